// DibCellStrip: a bitmap strip of equal cells side by side, one per visual state. The
// object's own image is the cell drawn last; it is copied out of the strip only when a
// different cell is asked for, so repainting an unchanged state copies no pixels.
#pragma once

#include "still/CDib.h"

class CPalette;
class QPainter;

class DibCellStrip : public CDib
{
public:
    // Loads bitmap resource `id` and cuts it into `cellCount` cells of equal width (a
    // count of 0 or less, or a strip narrower than the count, gives 1-pixel cells).
    // The own image becomes an empty 24-bit cell; no cell is cached.
    BOOL Load(UINT id, int cellCount);
    // Draws cell `cell` into `rect`: stretched, or at its own size at the rectangle's
    // top-left when the rectangle has no width or height. A negative cell draws the
    // cell already held. FALSE when the cell cannot be copied or drawn.
    BOOL Draw(int cell, QPainter* dc, const RECT& rect, CPalette* palette);

    // Size of one cell; (0, 0) before a successful load.
    SIZE GetCellSize() const { return GetSize(); }
    // How often a cell has been copied out of the strip (for checking the cache).
    int GetCellCopies() const { return m_cellCopies; }

    int cachedCell = -1; // cell now in the own image; -1 none
    CDib source;         // the whole strip

private:
    BOOL MakeCell(int cellCount);

    int m_cellCopies = 0;
};
