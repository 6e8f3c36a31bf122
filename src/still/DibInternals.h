// What the bitmap model's files share about a packed DIB: the header at its start, the
// row bytes and sizes, and a reader of pixel rows as blue, green, red triples.
#pragma once

#include "platform/BitmapLayout.h"
#include "platform/WinTypes.h"
#include "still/CDib.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace vexol::still {

inline constexpr std::size_t kHeaderSize = sizeof(BITMAPINFOHEADER);

inline BITMAPINFOHEADER ReadHeader(const void* data)
{
    BITMAPINFOHEADER header;
    std::memcpy(&header, data, sizeof header);
    return header;
}

inline std::uint64_t Stride(std::int64_t width, unsigned bitCount)
{
    return vexol::platform::DibRowBytes(std::uint64_t(width), bitCount);
}

// Byte counts of a packed DIB, computed without overflow.
struct DibLayout
{
    std::uint64_t stride = 0;
    std::uint64_t tableBytes = 0;
    std::uint64_t imageBytes = 0;
    std::uint64_t total = 0;

    // Header, table and pixel area each fit the 32-bit fields that describe them.
    bool FitsInDword() const { return total <= 0xFFFFFFFFu; }
    bool Allocatable() const { return total <= CDib::MaxDataSize(); }
};

// Width and height must be positive.
inline DibLayout LayoutOf(LONG width, LONG height, unsigned bitCount, std::uint64_t tableEntries)
{
    DibLayout layout;
    layout.stride = Stride(width, bitCount);
    layout.tableBytes = 4 * tableEntries;
    layout.imageBytes = layout.stride * std::uint64_t(height);
    layout.total = kHeaderSize + layout.tableBytes + layout.imageBytes;
    return layout;
}

inline bool IsIndexedBitCount(unsigned bitCount)
{
    return bitCount == 1 || bitCount == 4 || bitCount == 8;
}

// Reads pixel rows of a bitmap as blue, green, red triples. In PixelValues mode it
// reads what GetPixel reads (1, 4, 8 and 24 bits; anything else is black); Display
// mode also reads the 16-bit (5-5-5) and 32-bit pixels a drawing surface shows.
class PixelRowReader
{
public:
    enum class Mode { PixelValues, Display };

    PixelRowReader(const CDib& dib, Mode mode)
        : m_pixels(nullptr), m_stride(dib.GetStride()), m_bitCount(dib.GetBitCount()),
          m_width(dib.GetSize().cx), m_height(dib.GetSize().cy)
    {
        const BYTE* data = dib.GetData();
        m_readable = data && (IsIndexedBitCount(m_bitCount) || m_bitCount == 24 ||
                              (mode == Mode::Display && (m_bitCount == 16 || m_bitCount == 32)));
        if (!m_readable) {
            return;
        }
        const BITMAPINFOHEADER header = ReadHeader(data);
        const DWORD entries = CDib::ColourTableEntries(&header);
        m_pixels = data + kHeaderSize + 4 * std::size_t(entries);
        // Indexes beyond the table read as black, as GetPixel reads them.
        m_lut.fill(0);
        for (DWORD i = 0; i < entries && i < 256; ++i) {
            const BYTE* quad = data + kHeaderSize + 4 * std::size_t(i);
            m_lut[3 * i] = quad[0];
            m_lut[3 * i + 1] = quad[1];
            m_lut[3 * i + 2] = quad[2];
        }
    }

    bool Readable() const { return m_readable; }

    // Writes `count` triples for columns x .. x + count - 1 of storage row y; pixels
    // outside the bitmap are black.
    void ReadBgr(std::int64_t x, std::int64_t y, std::size_t count, BYTE* out) const
    {
        if (!m_readable || y < 0 || y >= m_height || x >= m_width || x + std::int64_t(count) <= 0) {
            std::memset(out, 0, 3 * count);
            return;
        }
        const std::int64_t end = x + std::int64_t(count);
        const std::int64_t first = std::max<std::int64_t>(x, 0);
        const std::int64_t last = std::min<std::int64_t>(end, m_width);
        std::memset(out, 0, 3 * std::size_t(first - x));
        ConvertSpan(m_pixels + std::size_t(y) * m_stride, int(first), int(last),
                    out + 3 * std::size_t(first - x));
        std::memset(out + 3 * std::size_t(last - x), 0, 3 * std::size_t(end - last));
    }

private:
    void Lookup(unsigned index, BYTE* out) const { std::memcpy(out, &m_lut[3 * index], 3); }

    void ConvertSpan(const BYTE* row, int first, int last, BYTE* out) const
    {
        switch (m_bitCount) {
        case 24:
            std::memcpy(out, row + 3 * std::size_t(first), 3 * std::size_t(last - first));
            break;
        case 8:
            for (int c = first; c < last; ++c, out += 3) {
                Lookup(row[c], out);
            }
            break;
        case 4:
            for (int c = first; c < last; ++c, out += 3) {
                Lookup((row[c >> 1] >> ((c & 1) ? 0 : 4)) & 0x0F, out);
            }
            break;
        case 1:
            for (int c = first; c < last; ++c, out += 3) {
                Lookup((row[c >> 3] >> (7 - (c & 7))) & 1, out);
            }
            break;
        case 16:
            for (int c = first; c < last; ++c, out += 3) {
                const unsigned v = row[2 * c] | (unsigned(row[2 * c + 1]) << 8);
                out[0] = BYTE((v & 31) << 3);
                out[1] = BYTE(((v >> 5) & 31) << 3);
                out[2] = BYTE(((v >> 10) & 31) << 3);
            }
            break;
        case 32:
            for (int c = first; c < last; ++c, out += 3) {
                std::memcpy(out, row + 4 * std::size_t(c), 3);
            }
            break;
        default:
            std::memset(out, 0, 3 * std::size_t(last - first));
            break;
        }
    }

    const BYTE* m_pixels;
    std::size_t m_stride;
    unsigned m_bitCount;
    std::int64_t m_width;
    std::int64_t m_height;
    bool m_readable = false;
    std::array<BYTE, 3 * 256> m_lut{};
};

} // namespace vexol::still
