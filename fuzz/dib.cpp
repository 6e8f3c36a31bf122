// Fuzz target for CDib::LoadPackedDib: any input either fails with a defined code and
// leaves the bitmap empty, or gives a consistent bitmap that reloads byte for byte.
#include "still/CDib.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

void Check(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > (1u << 20)) {
        return 0;
    }
    // Run-length headers may declare large images from a few bytes; those only cost
    // time (zero-filling up to the size cap), so they are skipped here.
    if (size >= sizeof(BITMAPINFOHEADER)) {
        BITMAPINFOHEADER h;
        std::memcpy(&h, data, sizeof h);
        if (h.biCompression == BI_RLE8 && h.biWidth > 0 && h.biHeight > 0 &&
            std::uint64_t(h.biWidth) * std::uint64_t(h.biHeight) > (1u << 20)) {
            return 0;
        }
    }

    CDib dib;
    if (!dib.LoadPackedDib(data, DWORD(size))) {
        Check(dib.GetData() == nullptr && dib.GetDataSize() == 0);
        Check(dib.m_nError == ERROR_INVALID_PARAMETER || dib.m_nError == ERROR_INVALID_DATA ||
              dib.m_nError == ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }

    BITMAPINFOHEADER h;
    std::memcpy(&h, dib.GetData(), sizeof h);
    const SIZE dims = dib.GetSize();
    const std::uint64_t entries = CDib::ColourTableEntries(&h);
    const std::uint64_t stride = ((std::uint64_t(h.biWidth) * h.biBitCount + 31) >> 3) & ~3ull;
    Check(h.biCompression == BI_RGB && h.biSize == 40);
    Check(dims.cx == h.biWidth && dims.cy == h.biHeight && dims.cx > 0 && dims.cy > 0);
    Check(dib.GetDataSize() == 40 + 4 * entries + stride * std::uint64_t(dims.cy));
    Check(dib.GetStride() == stride);

    const int xs[] = {0, dims.cx - 1, dims.cx / 2, dims.cx, -1};
    const int ys[] = {0, dims.cy - 1, dims.cy / 2, dims.cy, -1};
    for (int x : xs) {
        for (int y : ys) {
            const COLORREF c = dib.GetPixel(x, y);
            Check((c >> 24) == 0);
            if (x < 0 || y < 0 || x >= dims.cx || y >= dims.cy) {
                Check(c == 0);
            }
        }
    }

    CDib reloaded;
    Check(reloaded.LoadPackedDib(dib.GetData(), dib.GetDataSize()));
    Check(reloaded.GetDataSize() == dib.GetDataSize());
    Check(std::memcmp(reloaded.GetData(), dib.GetData(), dib.GetDataSize()) == 0);

    if (std::uint64_t(dims.cx) * std::uint64_t(dims.cy) <= (1u << 20)) {
        CDib converted = dib;
        Check(converted.ConvertTo24Bit());
        Check(converted.GetBitCount() == 24 && converted.GetSize().cx == dims.cx);
        for (int x : xs) {
            for (int y : ys) {
                Check(converted.GetPixel(x, y) == dib.GetPixel(x, y));
            }
        }
    }
    return 0;
}
