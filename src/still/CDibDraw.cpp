// Drawing the bitmap model into a painter.
#include "still/CDib.h"

#include "platform/framework/Palette.h"
#include "still/DibInternals.h"

#include <QImage>
#include <QPaintDevice>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <new>

using namespace vexol::still;

BOOL CDib::Draw(QPainter* dc, const RECT& rect)
{
    return DrawWithPalette(dc, rect, nullptr, true);
}

BOOL CDib::Draw(QPainter* dc, const RECT& rect, CPalette* palette)
{
    return DrawWithPalette(dc, rect, palette, false);
}

BOOL CDib::DrawWithPalette(QPainter* dc, const RECT& rect, CPalette* palette, bool makePalette)
{
    if (m_data.empty() || !dc || !dc->isActive()) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    const PixelRowReader reader(*this, PixelRowReader::Mode::Display);
    if (!reader.Readable()) {
        return Fail(ERROR_INVALID_DATA);
    }

    std::int64_t left = std::min(rect.left, rect.right);
    std::int64_t top = std::min(rect.top, rect.bottom);
    std::int64_t width = std::int64_t(std::max(rect.left, rect.right)) - left;
    std::int64_t height = std::int64_t(std::max(rect.top, rect.bottom)) - top;
    if (width == 0 || height == 0) {
        width = m_nWidth;
        height = m_nHeight;
    }

    // A palette would be selected as the foreground palette and realised here; Qt's
    // surfaces are true-colour, so selection has no visible effect. One made here is
    // released when drawing ends.
    std::unique_ptr<CPalette> madePalette;
    const BITMAPINFOHEADER header = ReadHeader(m_data.data());
    if (ColourTableEntries(&header) > 0 && makePalette) {
        madePalette = MakePalette();
        palette = madePalette.get();
    }
    static_cast<void>(palette); // selected and realised: nothing to do on Qt surfaces

    // Only the part of the target that can reach the surface is rendered.
    std::int64_t visLeft = std::max<std::int64_t>(left, std::numeric_limits<int>::min() / 2);
    std::int64_t visTop = std::max<std::int64_t>(top, std::numeric_limits<int>::min() / 2);
    std::int64_t visRight =
        std::min<std::int64_t>(left + width, std::numeric_limits<int>::max() / 2);
    std::int64_t visBottom =
        std::min<std::int64_t>(top + height, std::numeric_limits<int>::max() / 2);
    const QTransform transform = dc->combinedTransform();
    QPaintDevice* device = dc->device();
    if (device && transform.type() <= QTransform::TxTranslate) {
        const std::int64_t dx = std::int64_t(std::floor(transform.dx()));
        const std::int64_t dy = std::int64_t(std::floor(transform.dy()));
        visLeft = std::max<std::int64_t>(visLeft, -dx - 1);
        visTop = std::max<std::int64_t>(visTop, -dy - 1);
        visRight = std::min<std::int64_t>(visRight, device->width() - dx + 1);
        visBottom = std::min<std::int64_t>(visBottom, device->height() - dy + 1);
    }
    if (dc->hasClipping()) {
        const QRect clip = dc->clipBoundingRect().toAlignedRect();
        visLeft = std::max<std::int64_t>(visLeft, clip.left());
        visTop = std::max<std::int64_t>(visTop, clip.top());
        visRight = std::min<std::int64_t>(visRight, std::int64_t(clip.left()) + clip.width());
        visBottom = std::min<std::int64_t>(visBottom, std::int64_t(clip.top()) + clip.height());
    }
    if (visLeft >= visRight || visTop >= visBottom) {
        return TRUE;
    }
    const std::int64_t visWidth = visRight - visLeft;
    const std::int64_t visHeight = visBottom - visTop;
    if (visWidth * visHeight > std::int64_t(MaxDataSize() / 4)) {
        return Fail(ERROR_NOT_ENOUGH_MEMORY);
    }

    try {
        QImage image(int(visWidth), int(visHeight), QImage::Format_RGB32);
        if (image.isNull()) {
            return Fail(ERROR_NOT_ENOUGH_MEMORY);
        }
        // Nearest-neighbour sampling: target column c shows source column
        // (c - left) * bitmap width / target width, likewise for rows from the top.
        std::vector<int> sourceColumn(static_cast<std::size_t>(visWidth));
        for (std::int64_t c = 0; c < visWidth; ++c) {
            sourceColumn[std::size_t(c)] = int((visLeft + c - left) * m_nWidth / width);
        }
        // The source columns shown, read once per source row; a strong reduction reads
        // only the sampled pixels instead of the whole span.
        const int first = sourceColumn.front();
        const std::size_t span = std::size_t(sourceColumn.back() - first + 1);
        const bool wholeSpan = span <= 4 * std::size_t(visWidth);
        std::vector<BYTE> row(3 * (wholeSpan ? span : std::size_t(visWidth)));
        std::int64_t cachedRow = -1;
        for (std::int64_t r = 0; r < visHeight; ++r) {
            const std::int64_t fromTop = (visTop + r - top) * m_nHeight / height;
            const std::int64_t storageRow = m_nHeight - 1 - fromTop;
            if (storageRow != cachedRow) {
                if (wholeSpan) {
                    reader.ReadBgr(first, storageRow, span, row.data());
                } else {
                    for (std::size_t c = 0; c < sourceColumn.size(); ++c) {
                        reader.ReadBgr(sourceColumn[c], storageRow, 1, row.data() + 3 * c);
                    }
                }
                cachedRow = storageRow;
            }
            QRgb* out = reinterpret_cast<QRgb*>(image.scanLine(int(r)));
            for (std::int64_t c = 0; c < visWidth; ++c) {
                const std::size_t at =
                    wholeSpan ? std::size_t(sourceColumn[std::size_t(c)] - first) : std::size_t(c);
                const BYTE* bgr = row.data() + 3 * at;
                out[c] = qRgb(bgr[2], bgr[1], bgr[0]);
            }
        }
        // COLORONCOLOR: no smoothing when the painter itself scales.
        dc->save();
        dc->setRenderHint(QPainter::SmoothPixmapTransform, false);
        dc->drawImage(QPoint(int(visLeft), int(visTop)), image);
        dc->restore();
    } catch (const std::bad_alloc&) {
        return Fail(ERROR_NOT_ENOUGH_MEMORY);
    }
    return TRUE;
}
