#include "platform/framework/DC.h"

#include <QImage>
#include <QPaintDevice>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

BOOL CDC::IsActive() const
{
    return m_painter && m_painter->isActive() ? TRUE : FALSE;
}

int CDC::GetClipBox(RECT* rect) const
{
    if (!rect || !IsActive()) {
        return RGN_ERROR;
    }
    std::int64_t left = std::numeric_limits<int>::min() / 2;
    std::int64_t top = left;
    std::int64_t right = std::numeric_limits<int>::max() / 2;
    std::int64_t bottom = right;
    const QTransform transform = m_painter->combinedTransform();
    const QPaintDevice* device = m_painter->device();
    if (device && transform.type() <= QTransform::TxTranslate) {
        const std::int64_t dx = std::int64_t(std::floor(transform.dx()));
        const std::int64_t dy = std::int64_t(std::floor(transform.dy()));
        left = std::max<std::int64_t>(left, -dx - 1);
        top = std::max<std::int64_t>(top, -dy - 1);
        right = std::min<std::int64_t>(right, device->width() - dx + 1);
        bottom = std::min<std::int64_t>(bottom, device->height() - dy + 1);
    }
    if (m_painter->hasClipping()) {
        const QRect clip = m_painter->clipBoundingRect().toAlignedRect();
        left = std::max<std::int64_t>(left, clip.left());
        top = std::max<std::int64_t>(top, clip.top());
        right = std::min<std::int64_t>(right, std::int64_t(clip.left()) + clip.width());
        bottom = std::min<std::int64_t>(bottom, std::int64_t(clip.top()) + clip.height());
    }
    if (left >= right || top >= bottom) {
        *rect = RECT{0, 0, 0, 0};
        return NULLREGION;
    }
    *rect = RECT{LONG(left), LONG(top), LONG(right), LONG(bottom)};
    return SIMPLEREGION;
}

BOOL CDC::SetDIBitsToDevice(int x, int y, const BITMAPINFOHEADER& header, const void* bits)
{
    if (!IsActive() || !bits || header.biBitCount != 32 || header.biCompression != BI_RGB ||
        header.biWidth <= 0 || header.biHeight == 0 ||
        header.biHeight == std::numeric_limits<LONG>::min()) {
        return FALSE;
    }
    const int width = int(header.biWidth);
    const bool topDown = header.biHeight < 0;
    const int height = int(topDown ? -header.biHeight : header.biHeight);
    QImage image(width, height, QImage::Format_RGB32);
    if (image.isNull()) {
        return FALSE;
    }
    // Rows as B, G, R, unused bytes; Qt's 32-bit RGB wants the unused byte at 0xFF.
    const auto* source = static_cast<const BYTE*>(bits);
    for (int row = 0; row < height; ++row) {
        const BYTE* in = source + std::size_t(topDown ? row : height - 1 - row) * width * 4;
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(row));
        for (int c = 0; c < width; ++c, in += 4) {
            out[c] = qRgb(in[2], in[1], in[0]);
        }
    }
    m_painter->save();
    m_painter->setRenderHint(QPainter::SmoothPixmapTransform, false);
    m_painter->drawImage(QPoint(x, y), image);
    m_painter->restore();
    return TRUE;
}
