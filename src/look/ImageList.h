// CImageList: a row of equal-sized images drawn with a transparent colour. Bitmaps
// added with AddMasked are cut into images of the list's width; every pixel of the
// mask colour becomes transparent.
#pragma once

#include "platform/WinTypes.h"

#include <QImage>
#include <vector>

class CDib;
class QPainter;

inline constexpr UINT ILC_MASK = 0x0001;
inline constexpr UINT ILC_COLOR8 = 0x0008;
inline constexpr UINT ILD_NORMAL = 0x0000;

class CImageList
{
public:
    // Makes an empty list of `cx` x `cy` images; FALSE for a size below 1 pixel. The
    // growth and initial size are accepted for the caller's sake: the list grows as
    // needed.
    BOOL Create(int cx, int cy, UINT flags, int initial, int grow);
    // Adds the images of `bitmap` (as many whole images as its width holds); pixels of
    // `mask` are transparent. The index of the first added image, or -1.
    int AddMasked(const CDib& bitmap, COLORREF mask);
    // Draws image `index` with its top-left at (x, y). FALSE for an index not held.
    BOOL Draw(QPainter* dc, int index, POINT at, UINT style) const;
    int GetImageCount() const { return int(m_images.size()); }
    SIZE GetImageSize() const { return m_size; }
    // Frees the images; the list is no longer created.
    BOOL DeleteImageList();
    bool IsCreated() const { return m_size.cx > 0; }

private:
    SIZE m_size{0, 0};
    std::vector<QImage> m_images;
};
