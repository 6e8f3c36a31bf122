// Drawing the bitmap model through a device context.
#include "still/CDib.h"

#include "platform/framework/DC.h"
#include "platform/framework/Palette.h"
#include "still/DibInternals.h"

#include <algorithm>
#include <cstdint>
#include <new>
#include <vector>

using namespace vexol::still;

BOOL CDib::Draw(CDC* dc, const RECT& rect)
{
    return DrawWithPalette(dc, rect, nullptr, true);
}

BOOL CDib::Draw(CDC* dc, const RECT& rect, CPalette* palette)
{
    return DrawWithPalette(dc, rect, palette, false);
}

BOOL CDib::DrawWithPalette(CDC* dc, const RECT& rect, CPalette* palette, bool makePalette)
{
    if (m_data.empty() || !dc || !dc->IsActive()) {
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

    // A palette would be selected as the foreground palette and realised here; the
    // surfaces are true-colour, so selection has no visible effect. One made here is
    // released when drawing ends.
    std::unique_ptr<CPalette> madePalette;
    const BITMAPINFOHEADER header = ReadHeader(m_data.data());
    if (ColourTableEntries(&header) > 0 && makePalette) {
        madePalette = MakePalette();
        palette = madePalette.get();
    }
    static_cast<void>(palette); // selected and realised: nothing to do on true-colour surfaces

    // Only the part of the target that can reach the surface is rendered.
    RECT box{};
    if (dc->GetClipBox(&box) != SIMPLEREGION) {
        return TRUE;
    }
    const std::int64_t visLeft = std::max<std::int64_t>(left, box.left);
    const std::int64_t visTop = std::max<std::int64_t>(top, box.top);
    const std::int64_t visRight = std::min<std::int64_t>(left + width, box.right);
    const std::int64_t visBottom = std::min<std::int64_t>(top + height, box.bottom);
    if (visLeft >= visRight || visTop >= visBottom) {
        return TRUE;
    }
    const std::int64_t visWidth = visRight - visLeft;
    const std::int64_t visHeight = visBottom - visTop;
    if (visWidth * visHeight > std::int64_t(MaxDataSize() / 4)) {
        return Fail(ERROR_NOT_ENOUGH_MEMORY);
    }

    try {
        std::vector<BYTE> pixels(std::size_t(visWidth) * std::size_t(visHeight) * 4);
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
            BYTE* out = pixels.data() + std::size_t(r) * std::size_t(visWidth) * 4;
            for (std::int64_t c = 0; c < visWidth; ++c, out += 4) {
                const std::size_t at =
                    wholeSpan ? std::size_t(sourceColumn[std::size_t(c)] - first) : std::size_t(c);
                const BYTE* bgr = row.data() + 3 * at;
                out[0] = bgr[0];
                out[1] = bgr[1];
                out[2] = bgr[2];
                out[3] = 0;
            }
        }
        // Top-down rows; COLORONCOLOR: no smoothing when the context itself scales.
        const BITMAPINFOHEADER shown{sizeof(BITMAPINFOHEADER), LONG(visWidth), -LONG(visHeight), 1, 32,
                                     BI_RGB, 0, 0, 0, 0, 0};
        if (!dc->SetDIBitsToDevice(int(visLeft), int(visTop), shown, pixels.data())) {
            return Fail(ERROR_NOT_ENOUGH_MEMORY);
        }
    } catch (const std::bad_alloc&) {
        return Fail(ERROR_NOT_ENOUGH_MEMORY);
    }
    return TRUE;
}
