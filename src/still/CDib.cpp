// The bitmap model: making, loading and converting packed DIBs, palettes and pixels.
// Drawing is in CDibDraw.cpp, files and archives in CDibFile.cpp.
#include "still/CDib.h"

#include "platform/framework/Palette.h"
#include "platform/framework/Resources.h"
#include "still/DibInternals.h"
#include "still/DibRle8.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>

using namespace vexol::still;

const CRuntimeClass CDib::classCDib{"CDib", 0, []() -> CObject* { return new CDib; }};

const CRuntimeClass* CDib::GetRuntimeClass() const
{
    return &classCDib;
}

namespace {
std::atomic<DWORD> g_maxDataSize{CDib::kMaxDataSize};
} // namespace

DWORD CDib::MaxDataSize()
{
    return g_maxDataSize.load(std::memory_order_relaxed);
}

void CDib::SetMaxDataSize(DWORD bytes)
{
    g_maxDataSize.store(bytes == 0 ? kMaxDataSize : std::min(bytes, kMaxDataSize),
                        std::memory_order_relaxed);
}

CDib::CDib(CDib&& other) noexcept
    : CObject(other), m_nError(other.m_nError), m_nWidth(other.m_nWidth),
      m_nHeight(other.m_nHeight), m_data(std::move(other.m_data))
{
    other.m_data.clear();
    other.m_nWidth = 0;
    other.m_nHeight = 0;
}

CDib& CDib::operator=(const CDib& other)
{
    if (this != &other) {
        m_data = other.m_data;
        m_nWidth = other.m_nWidth;
        m_nHeight = other.m_nHeight;
        m_nError = other.m_nError;
    }
    return *this;
}

CDib& CDib::operator=(CDib&& other) noexcept
{
    if (this != &other) {
        m_data = std::move(other.m_data);
        m_nWidth = other.m_nWidth;
        m_nHeight = other.m_nHeight;
        m_nError = other.m_nError;
        other.m_data.clear();
        other.m_nWidth = 0;
        other.m_nHeight = 0;
    }
    return *this;
}

BOOL CDib::Fail(DWORD error)
{
    m_nError = error;
    return FALSE;
}

BOOL CDib::Clear()
{
    m_data.clear();
    m_data.shrink_to_fit();
    m_nWidth = 0;
    m_nHeight = 0;
    m_nError = 0;
    return TRUE;
}

BYTE CDib::GetBitCount() const
{
    return m_data.empty() ? 0 : BYTE(ReadHeader(m_data.data()).biBitCount);
}

DWORD CDib::GetStride() const
{
    return m_data.empty() ? 0 : DWORD(Stride(m_nWidth, ReadHeader(m_data.data()).biBitCount));
}

DWORD CDib::ColourTableEntries(const BITMAPINFOHEADER* header)
{
    if (!header || header->biBitCount > 8) {
        return 0;
    }
    return header->biClrUsed != 0 ? header->biClrUsed : DWORD(1) << header->biBitCount;
}

BOOL CDib::Create(BYTE bitCount, LONG width, LONG height, CPalette* palette, COLORREF fill)
{
    m_data.clear();
    m_nWidth = 0;
    m_nHeight = 0;

    const bool hasPalette = palette && palette->IsValid();
    if (bitCount <= 1 || (bitCount <= 8 && !hasPalette) || width <= 0 || height <= 0) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    // A palette larger than the bit count can index gives only its first entries.
    const DWORD fullTable = bitCount <= 8 ? DWORD(1) << bitCount : 0;
    const DWORD n = bitCount <= 8 ? std::min(palette->GetEntryCount(), fullTable) : 0;

    BITMAPINFOHEADER header{};
    header.biSize = kHeaderSize;
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = bitCount;
    header.biCompression = BI_RGB;
    header.biClrUsed = n;
    const DibLayout layout = LayoutOf(width, height, bitCount, ColourTableEntries(&header));
    if (!layout.FitsInDword()) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    if (!layout.Allocatable()) {
        return Fail(ERROR_NOT_ENOUGH_MEMORY);
    }
    header.biSizeImage = DWORD(layout.imageBytes);

    try {
        std::vector<BYTE> data(layout.total, 0);
        std::memcpy(data.data(), &header, kHeaderSize);
        if (n > 0) {
            std::vector<PALETTEENTRY> entries(n);
            const UINT got = palette->GetPaletteEntries(0, n, entries.data());
            for (UINT i = 0; i < got; ++i) {
                BYTE* quad = data.data() + kHeaderSize + 4 * std::size_t(i);
                quad[0] = entries[i].peBlue;
                quad[1] = entries[i].peGreen;
                quad[2] = entries[i].peRed;
                quad[3] = 0;
            }
        }
        if (fill != 0 && bitCount == 24) {
            BYTE* pixels = data.data() + kHeaderSize;
            const BYTE bgr[3] = {GetBValue(fill), GetGValue(fill), GetRValue(fill)};
            for (LONG y = 0; y < height; ++y) {
                BYTE* row = pixels + std::size_t(y) * layout.stride;
                for (LONG x = 0; x < width; ++x) {
                    std::memcpy(row + 3 * std::size_t(x), bgr, 3);
                }
            }
        }
        m_data.swap(data);
    } catch (const std::bad_alloc&) {
        return Fail(ERROR_NOT_ENOUGH_MEMORY);
    }
    m_nWidth = width;
    m_nHeight = height;
    return TRUE;
}

BOOL CDib::LoadPackedDib(const void* data, DWORD size)
{
    // The result is built aside and the object emptied first, so `data` may point
    // into this object.
    std::vector<BYTE> old;
    old.swap(m_data);
    m_nWidth = 0;
    m_nHeight = 0;

    if (!data || size <= kHeaderSize) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    const BYTE* source = static_cast<const BYTE*>(data);
    BITMAPINFOHEADER header = ReadHeader(source);
    if (header.biSize != kHeaderSize || header.biWidth <= 0 || header.biHeight <= 0) {
        return Fail(ERROR_INVALID_DATA);
    }
    const bool sizeGiven = size != kSizeNotGiven;
    const DibLayout layout =
        LayoutOf(header.biWidth, header.biHeight, header.biBitCount, ColourTableEntries(&header));
    if (!layout.FitsInDword()) {
        return Fail(ERROR_INVALID_DATA);
    }
    if (header.biCompression == BI_RGB) {
        if (sizeGiven && size < layout.total) {
            return Fail(ERROR_INVALID_DATA);
        }
    } else if (header.biCompression == BI_RLE8) {
        // The run-length data is not sized, but the colour table must be there.
        if (sizeGiven && size < kHeaderSize + layout.tableBytes) {
            return Fail(ERROR_INVALID_DATA);
        }
    } else {
        return Fail(ERROR_INVALID_DATA);
    }
    if (!IsIndexedBitCount(header.biBitCount) && header.biBitCount != 24) {
        return Fail(ERROR_INVALID_DATA);
    }
    if (!layout.Allocatable()) {
        return Fail(ERROR_NOT_ENOUGH_MEMORY);
    }

    std::vector<BYTE> loaded;
    try {
        if (header.biCompression == BI_RGB) {
            loaded.assign(source, source + layout.total);
        } else {
            loaded.assign(layout.total, 0);
            const std::size_t prefix = kHeaderSize + layout.tableBytes;
            std::memcpy(loaded.data() + kHeaderSize, source + kHeaderSize, layout.tableBytes);
            // Stored decoded: no compression, and the pixel area's real size.
            header.biCompression = BI_RGB;
            header.biSizeImage = DWORD(layout.imageBytes);
            std::memcpy(loaded.data(), &header, kHeaderSize);
            // Only 8-bit pixels can be written; other bit counts stay all zero.
            if (header.biBitCount == 8) {
                DecodeRle8(source + prefix, sizeGiven ? source + size : nullptr,
                           loaded.data() + prefix, layout.stride, header.biWidth, header.biHeight);
            }
        }
    } catch (const std::bad_alloc&) {
        return Fail(ERROR_NOT_ENOUGH_MEMORY);
    }
    m_data.swap(loaded);
    m_nWidth = header.biWidth;
    m_nHeight = header.biHeight;
    return TRUE;
}

BOOL CDib::LoadFromResource(WORD id)
{
    const BYTE* data = nullptr;
    DWORD size = 0;
    if (!FindBitmapResource(id, data, size) || !data) {
        return FALSE;
    }
    return LoadPackedDib(data, size);
}

BOOL CDib::CreatePalette(CPalette* palette)
{
    if (!palette || m_data.empty()) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    const BITMAPINFOHEADER header = ReadHeader(m_data.data());
    const DWORD entries = ColourTableEntries(&header);
    if (entries == 0) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    palette->DeleteObject();
    if (entries > CPalette::kMaxEntries) {
        return Fail(ERROR_NOT_ENOUGH_MEMORY);
    }
    try {
        LOGPALETTE logPalette;
        logPalette.palVersion = 0x300;
        logPalette.palNumEntries = WORD(entries);
        logPalette.palPalEntry.resize(entries);
        for (DWORD i = 0; i < entries; ++i) {
            const BYTE* quad = m_data.data() + kHeaderSize + 4 * std::size_t(i);
            logPalette.palPalEntry[i] = PALETTEENTRY{quad[2], quad[1], quad[0], 0};
        }
        if (!palette->CreatePalette(&logPalette)) {
            return Fail(ERROR_NOT_ENOUGH_MEMORY);
        }
    } catch (const std::bad_alloc&) {
        return Fail(ERROR_NOT_ENOUGH_MEMORY);
    }
    return TRUE;
}

std::unique_ptr<CPalette> CDib::MakePalette()
{
    if (m_data.empty()) {
        return nullptr;
    }
    const BITMAPINFOHEADER header = ReadHeader(m_data.data());
    if (ColourTableEntries(&header) == 0) {
        return nullptr;
    }
    std::unique_ptr<CPalette> palette(new (std::nothrow) CPalette);
    if (!palette) {
        m_nError = ERROR_NOT_ENOUGH_MEMORY;
        return nullptr;
    }
    if (!CreatePalette(palette.get())) {
        return nullptr;
    }
    return palette;
}

COLORREF CDib::GetPixel(int x, int y) const
{
    if (m_data.empty() || x < 0 || x >= m_nWidth || y < 0 || y >= m_nHeight) {
        return 0;
    }
    const BITMAPINFOHEADER header = ReadHeader(m_data.data());
    const unsigned bitCount = header.biBitCount;
    const std::size_t stride = GetStride();
    const DWORD entries = ColourTableEntries(&header);
    const BYTE* pixels = m_data.data() + kHeaderSize + 4 * std::size_t(entries);
    if (bitCount == 24) {
        const BYTE* p = pixels + std::size_t(y) * stride + 3 * std::size_t(x);
        return RGB(p[2], p[1], p[0]);
    }
    if (!IsIndexedBitCount(bitCount)) {
        return 0;
    }
    const unsigned perByte = 8 / bitCount;
    const BYTE byte = pixels[std::size_t(y) * stride + std::size_t(x) / perByte];
    const unsigned index = BYTE(byte << ((unsigned(x) % perByte) * bitCount)) >> (8 - bitCount);
    if (index >= entries) {
        return 0;
    }
    const BYTE* quad = m_data.data() + kHeaderSize + 4 * std::size_t(index);
    return RGB(quad[2], quad[1], quad[0]);
}

void CDib::SetPixel(int x, int y, COLORREF colour)
{
    if (m_data.empty() || x < 0 || x >= m_nWidth || y < 0 || y >= m_nHeight ||
        GetBitCount() != 24) {
        return;
    }
    BYTE* p = m_data.data() + kHeaderSize + std::size_t(y) * GetStride() + 3 * std::size_t(x);
    p[0] = GetBValue(colour);
    p[1] = GetGValue(colour);
    p[2] = GetRValue(colour);
}

BOOL CDib::CopyFrom(const CDib* src, const RECT& srcRect, int x, int y)
{
    if (m_data.empty() || !src || GetBitCount() != 24) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    const std::int64_t width = std::int64_t(srcRect.right) - srcRect.left;
    const std::int64_t height = std::int64_t(srcRect.bottom) - srcRect.top;
    const std::int64_t clipLeft = std::max<std::int64_t>(x, 0);
    const std::int64_t clipTop = std::max<std::int64_t>(y, 0);
    const std::int64_t clipRight = std::min<std::int64_t>(x + width, m_nWidth);
    const std::int64_t clipBottom = std::min<std::int64_t>(y + height, m_nHeight);
    if (clipLeft >= clipRight || clipTop >= clipBottom) {
        return TRUE;
    }
    const std::size_t columns = std::size_t(clipRight - clipLeft);
    const std::size_t rows = std::size_t(clipBottom - clipTop);
    // A pixel clipped away at the left or top takes its source pixel with it.
    const std::int64_t sourceLeft = srcRect.left + (clipLeft - x);
    const std::int64_t sourceTop = srcRect.top + (clipTop - y);

    const PixelRowReader reader(*src, PixelRowReader::Mode::PixelValues);
    const std::size_t stride = GetStride();
    BYTE* pixels = m_data.data() + kHeaderSize;
    auto target = [&](std::size_t j) {
        return pixels + std::size_t(clipTop + std::int64_t(j)) * stride + 3 * std::size_t(clipLeft);
    };
    if (src != this) {
        for (std::size_t j = 0; j < rows; ++j) {
            reader.ReadBgr(sourceLeft, sourceTop + std::int64_t(j), columns, target(j));
        }
        return TRUE;
    }
    // Copying within this bitmap: read the whole source area first, so that
    // overlapping areas copy the picture as it was.
    try {
        std::vector<BYTE> area(rows * columns * 3);
        for (std::size_t j = 0; j < rows; ++j) {
            reader.ReadBgr(sourceLeft, sourceTop + std::int64_t(j), columns,
                           area.data() + j * columns * 3);
        }
        for (std::size_t j = 0; j < rows; ++j) {
            std::memcpy(target(j), area.data() + j * columns * 3, columns * 3);
        }
    } catch (const std::bad_alloc&) {
        return Fail(ERROR_NOT_ENOUGH_MEMORY);
    }
    return TRUE;
}

BOOL CDib::ConvertTo24Bit()
{
    if (m_data.empty()) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    if (GetBitCount() == 24) {
        return TRUE;
    }
    CDib converted;
    if (!converted.Create(24, m_nWidth, m_nHeight, nullptr, 0)) {
        return Fail(converted.m_nError);
    }
    const PixelRowReader reader(*this, PixelRowReader::Mode::PixelValues);
    const std::size_t stride = converted.GetStride();
    BYTE* pixels = converted.m_data.data() + kHeaderSize;
    for (LONG y = 0; y < m_nHeight; ++y) {
        reader.ReadBgr(0, y, std::size_t(m_nWidth), pixels + std::size_t(y) * stride);
    }
    converted.m_nError = m_nError;
    *this = std::move(converted);
    return TRUE;
}

namespace {

// One row of 16-bit 5-5-5 words (little-endian, bit 15 ignored) to blue, green, red.
void Row16To24(const BYTE* from, BYTE* to, int width)
{
    for (int x = 0; x < width; ++x, from += 2, to += 3) {
        const unsigned v = from[0] | (unsigned(from[1]) << 8);
        to[0] = BYTE((v & 31) << 3);
        to[1] = BYTE(((v >> 5) & 31) << 3);
        to[2] = BYTE(((v >> 10) & 31) << 3);
    }
}

// One row of 32-bit pixels (blue, green, red, reserved) to blue, green, red.
void Row32To24(const BYTE* from, BYTE* to, int width)
{
    for (int x = 0; x < width; ++x, from += 4, to += 3) {
        to[0] = from[0];
        to[1] = from[1];
        to[2] = from[2];
    }
}

} // namespace

BOOL CDib::CreateFromRows(const void* pixels, int width, int height, std::size_t inStride,
                          void (*convertRow)(const BYTE*, BYTE*, int))
{
    if (!pixels) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    CDib created;
    if (!created.Create(24, width, height, nullptr, 0)) {
        return Fail(created.m_nError);
    }
    const BYTE* in = static_cast<const BYTE*>(pixels);
    const std::size_t stride = created.GetStride();
    BYTE* out = created.m_data.data() + kHeaderSize;
    for (int y = 0; y < height; ++y) {
        convertRow(in + std::size_t(y) * inStride, out + std::size_t(y) * stride, width);
    }
    created.m_nError = m_nError;
    *this = std::move(created);
    return TRUE;
}

BOOL CDib::CreateFrom16Bit(const void* pixels, int width, int height)
{
    // Rows of width words, padded by one word when width is odd.
    const std::size_t inStride =
        width > 0 ? 2 * (std::size_t(width) + (std::size_t(width) & 1)) : 0;
    return CreateFromRows(pixels, width, height, inStride, Row16To24);
}

BOOL CDib::CreateFrom32Bit(const void* pixels, int width, int height)
{
    const std::size_t inStride = width > 0 ? 4 * std::size_t(width) : 0;
    return CreateFromRows(pixels, width, height, inStride, Row32To24);
}
