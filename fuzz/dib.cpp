// Fuzz target for CDib::LoadPackedDib: any input either fails with a defined code and
// leaves the bitmap empty, or gives a consistent bitmap that reloads byte for byte.
// Bitmaps are capped at 1 MB for the run (CDib refuses larger ones as it refuses
// those past its real limit), so a few header bytes cannot make one input allocate a
// gigabyte; every input is tried, run-length images of any declared size included.
#include "still/CDib.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

constexpr DWORD kFuzzMaxDataSize = 1u << 18;
// Whole-picture checks (conversion, every probe) on pictures up to this many pixels;
// the row loops they test are the same for larger ones.
constexpr std::uint64_t kConvertPixels = 1u << 12;

void Check(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    CDib::SetMaxDataSize(kFuzzMaxDataSize);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
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
    Check(dib.GetDataSize() <= kFuzzMaxDataSize);
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

    if (std::uint64_t(dims.cx) * std::uint64_t(dims.cy) <= kConvertPixels) {
        // The 24-bit copy must fit the cap like any bitmap.
        const std::uint64_t size24 =
            40 + (((std::uint64_t(dims.cx) * 24 + 31) >> 3) & ~3ull) * std::uint64_t(dims.cy);
        CDib converted = dib;
        const bool ok = converted.ConvertTo24Bit();
        Check(ok == (size24 <= kFuzzMaxDataSize));
        if (!ok) {
            Check(converted.m_nError == ERROR_NOT_ENOUGH_MEMORY);
            return 0;
        }
        Check(converted.GetBitCount() == 24 && converted.GetSize().cx == dims.cx);
        for (int x : xs) {
            for (int y : ys) {
                Check(converted.GetPixel(x, y) == dib.GetPixel(x, y));
            }
        }
    }
    return 0;
}
