// Builders and checks for packed DIBs used by the CDib tests.
#pragma once

#include "platform/WinTypes.h"
#include "still/CDib.h"

#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <vector>

namespace vexol::test {

inline BITMAPINFOHEADER DibHeader(int bitCount, int width, int height, DWORD clrUsed = 0,
                                  DWORD compression = BI_RGB)
{
    return BITMAPINFOHEADER{40, width, height, 1, WORD(bitCount), compression, 0, 0, 0, clrUsed, 0};
}

// Header + table + pixel bytes as given.
inline std::vector<BYTE> Pack(const BITMAPINFOHEADER& header, const std::vector<RGBQUAD>& table,
                              const std::vector<BYTE>& pixels)
{
    std::vector<BYTE> out(40 + 4 * table.size());
    std::memcpy(out.data(), &header, 40);
    if (!table.empty()) {
        std::memcpy(out.data() + 40, table.data(), 4 * table.size());
    }
    out.insert(out.end(), pixels.begin(), pixels.end());
    return out;
}

// `count` table colours from a seed.
inline std::vector<RGBQUAD> MakeTable(int count, unsigned seed = 1)
{
    std::mt19937 random(seed);
    std::vector<RGBQUAD> table(count);
    for (RGBQUAD& q : table) {
        q = RGBQUAD{BYTE(random()), BYTE(random()), BYTE(random()), 0};
    }
    return table;
}

// An uncompressed DIB with a full table (none for 24 bits) unless `clrUsed` is given;
// `value(x, y)` (storage row y) is the index, or the COLORREF for 24 bits.
inline CDib MakeDib(int bits, int width, int height, const std::function<DWORD(int, int)>& value,
                    DWORD clrUsed = 0, unsigned seed = 1)
{
    const std::size_t stride = ((width * bits + 31) >> 3) & ~3;
    std::vector<BYTE> pixels(stride * height, 0);
    for (int y = 0; y < height; ++y) {
        BYTE* row = pixels.data() + stride * y;
        for (int x = 0; x < width; ++x) {
            const DWORD v = value(x, y);
            if (bits == 24) {
                row[3 * x] = GetBValue(v), row[3 * x + 1] = GetGValue(v);
                row[3 * x + 2] = GetRValue(v);
            } else {
                const int perByte = 8 / bits;
                row[x / perByte] |=
                    BYTE((v & ((1u << bits) - 1)) << (8 - bits * (x % perByte + 1)));
            }
        }
    }
    const int entries = bits == 24 ? 0 : clrUsed ? int(clrUsed) : 1 << bits;
    const auto data =
        Pack(DibHeader(bits, width, height, clrUsed), MakeTable(entries, seed), pixels);
    CDib dib;
    dib.LoadPackedDib(data.data(), DWORD(data.size()));
    return dib;
}

inline BITMAPINFOHEADER HeaderOf(const CDib& dib)
{
    BITMAPINFOHEADER h{};
    std::memcpy(&h, dib.GetData(), 40);
    return h;
}

inline COLORREF TableColour(const CDib& dib, unsigned index)
{
    const BYTE* quad = dib.GetData() + 40 + 4 * index;
    return RGB(quad[2], quad[1], quad[0]);
}

inline bool IsEmpty(const CDib& dib)
{
    return !dib.GetData() && dib.GetDataSize() == 0 && dib.GetSize().cx == 0 &&
           dib.GetSize().cy == 0 && dib.GetBitCount() == 0;
}

inline bool SameBytes(const CDib& a, const CDib& b)
{
    return a.GetDataSize() == b.GetDataSize() &&
           std::memcmp(a.GetData(), b.GetData(), a.GetDataSize()) == 0;
}

// An exactly sized heap copy, so that a read past its end shows under the sanitizer.
inline std::unique_ptr<BYTE[]> HeapCopy(const std::vector<BYTE>& v)
{
    std::unique_ptr<BYTE[]> copy(new BYTE[v.size()]);
    std::memcpy(copy.get(), v.data(), v.size());
    return copy;
}

} // namespace vexol::test
