#include "look/DibCellStrip.h"

BOOL DibCellStrip::Load(UINT id, int cellCount)
{
    if (!source.LoadFromResource(WORD(id))) {
        return FALSE;
    }
    return MakeCell(cellCount);
}

BOOL DibCellStrip::MakeCell(int cellCount)
{
    LONG cellWidth = cellCount > 0 ? source.GetSize().cx / cellCount : 1;
    if (cellWidth < 1) {
        cellWidth = 1;
    }
    const BOOL created = Create(24, cellWidth, source.GetSize().cy, nullptr, 0);
    cachedCell = -1;
    return created;
}

BOOL DibCellStrip::Draw(int cell, QPainter* dc, const RECT& rect, CPalette* palette)
{
    if (GetData()) {
        if (cell != cachedCell && cell >= 0) {
            const SIZE size = GetSize();
            const RECT from{cell * size.cx, 0, (cell + 1) * size.cx, size.cy};
            ++m_cellCopies;
            if (!CopyFrom(&source, from, 0, 0)) {
                cachedCell = -1;
                return FALSE;
            }
            cachedCell = cell;
        }
    } else {
        cachedCell = -1;
    }
    return CDib::Draw(dc, rect, palette);
}
