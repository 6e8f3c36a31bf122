#include "look/ImageList.h"

#include "still/CDib.h"

#include <QPainter>

BOOL CImageList::Create(int cx, int cy, UINT flags, int initial, int grow)
{
    static_cast<void>(flags);
    static_cast<void>(grow);
    m_images.clear();
    if (cx < 1 || cy < 1) {
        m_size = SIZE{0, 0};
        return FALSE;
    }
    m_size = SIZE{cx, cy};
    m_images.reserve(std::size_t(std::max(initial, 0)));
    return TRUE;
}

int CImageList::AddMasked(const CDib& bitmap, COLORREF mask)
{
    const SIZE size = bitmap.GetSize();
    if (!IsCreated() || size.cx < m_size.cx || size.cy < 1) {
        return -1;
    }
    const int first = GetImageCount();
    const int rows = std::min<int>(size.cy, m_size.cy);
    for (int image = 0; image < size.cx / m_size.cx; ++image) {
        QImage pixels(m_size.cx, m_size.cy, QImage::Format_ARGB32);
        pixels.fill(Qt::transparent);
        for (int row = 0; row < rows; ++row) {
            // CDib rows count from the bottom of the picture.
            const int y = size.cy - 1 - row;
            for (int x = 0; x < m_size.cx; ++x) {
                const COLORREF colour = bitmap.GetPixel(image * m_size.cx + x, y);
                if (colour != mask) {
                    pixels.setPixel(x, row, qRgb(colour & 0xFF, (colour >> 8) & 0xFF,
                                                 (colour >> 16) & 0xFF));
                }
            }
        }
        m_images.push_back(std::move(pixels));
    }
    return GetImageCount() > first ? first : -1;
}

BOOL CImageList::Draw(QPainter* dc, int index, POINT at, UINT style) const
{
    static_cast<void>(style);
    if (!dc || !dc->isActive() || index < 0 || index >= GetImageCount()) {
        return FALSE;
    }
    dc->drawImage(QPoint(at.x, at.y), m_images[std::size_t(index)]);
    return TRUE;
}

BOOL CImageList::DeleteImageList()
{
    m_images.clear();
    m_size = SIZE{0, 0};
    return TRUE;
}
