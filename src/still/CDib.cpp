#include "still/CDib.h"

#include "platform/AtomicFile.h"
#include "platform/framework/Archive.h"
#include "platform/framework/Palette.h"
#include "platform/framework/Resources.h"

#include <QImage>
#include <QPaintDevice>
#include <QPainter>
#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>

namespace {

constexpr std::size_t kHeaderSize = sizeof(BITMAPINFOHEADER);
constexpr std::size_t kWritePiece = 32768;
constexpr LONG kXPelsPerMeter = 3790;
constexpr LONG kYPelsPerMeter = 3780;

BITMAPINFOHEADER ReadHeader(const void* data)
{
    BITMAPINFOHEADER header;
    std::memcpy(&header, data, sizeof header);
    return header;
}

std::uint64_t Stride(std::int64_t width, unsigned bitCount)
{
    return std::uint64_t((width * bitCount + 31) >> 3) & ~std::uint64_t(3);
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
DibLayout LayoutOf(LONG width, LONG height, unsigned bitCount, std::uint64_t tableEntries)
{
    DibLayout layout;
    layout.stride = Stride(width, bitCount);
    layout.tableBytes = 4 * tableEntries;
    layout.imageBytes = layout.stride * std::uint64_t(height);
    layout.total = kHeaderSize + layout.tableBytes + layout.imageBytes;
    return layout;
}

bool IsIndexedBitCount(unsigned bitCount)
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

// Decodes BI_RLE8 data from [in, end) into an 8-bit pixel area; `end` null means the
// data has no known end, and decoding then relies on the end-of-bitmap escape or on
// leaving the last row. An item cut short by `end` stops decoding after writing the
// pixels that are there.
void DecodeRle8(const BYTE* in, const BYTE* end, BYTE* pixels, std::size_t stride,
                std::int64_t width, std::int64_t height)
{
    auto available = [&](std::size_t n) { return !end || std::size_t(end - in) >= n; };
    auto write = [&](std::int64_t x, std::int64_t y, std::size_t count, const BYTE* values,
                     BYTE value) {
        if (y < 0 || y >= height || x >= width || x + std::int64_t(count) <= 0) {
            return;
        }
        const std::int64_t first = std::max<std::int64_t>(x, 0);
        const std::int64_t last = std::min<std::int64_t>(x + std::int64_t(count), width);
        BYTE* target = pixels + std::size_t(y) * stride + std::size_t(first);
        if (values) {
            std::memcpy(target, values + (first - x), std::size_t(last - first));
        } else {
            std::memset(target, value, std::size_t(last - first));
        }
    };

    std::int64_t x = 0;
    std::int64_t y = 0;
    while (available(2)) {
        const BYTE a = in[0];
        const BYTE b = in[1];
        in += 2;
        if (a != 0) {
            write(x, y, a, nullptr, b);
            x += a;
        } else if (b == 0) {
            ++y;
            x = 0;
        } else if (b == 1) {
            break;
        } else if (b == 2) {
            if (!available(2)) {
                break;
            }
            x += in[0];
            y += in[1];
            in += 2;
        } else {
            const std::size_t count = b;
            const std::size_t present = available(count) ? count : std::size_t(end - in);
            write(x, y, present, in, 0);
            const std::size_t padded = count + (count & 1);
            if (present < count || !available(padded)) {
                break;
            }
            in += padded;
            x += std::int64_t(count);
        }
        // Past the last row no write can land any more.
        if (y >= height) {
            break;
        }
    }
}

void PutDword(BYTE* at, DWORD value)
{
    at[0] = BYTE(value);
    at[1] = BYTE(value >> 8);
    at[2] = BYTE(value >> 16);
    at[3] = BYTE(value >> 24);
}

// True when `data` is a packed DIB as this class stores it: the header matches width
// and height and the block has exactly the size the header implies.
bool IsStoredDib(const std::vector<BYTE>& data, LONG width, LONG height)
{
    if (data.empty()) {
        return width == 0 && height == 0;
    }
    if (data.size() < kHeaderSize || width <= 0 || height <= 0) {
        return false;
    }
    const BITMAPINFOHEADER header = ReadHeader(data.data());
    if (header.biSize != kHeaderSize || header.biWidth != width || header.biHeight != height ||
        header.biCompression != BI_RGB || header.biBitCount == 0 || header.biBitCount > 255) {
        return false;
    }
    const DibLayout layout =
        LayoutOf(width, height, header.biBitCount, CDib::ColourTableEntries(&header));
    return layout.total == data.size();
}

} // namespace

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

BOOL CDib::WriteBmpFile(const char* path)
{
    if (m_data.empty() || !path) {
        return FALSE;
    }
    // The file goes to a temporary file that replaces the target only when complete,
    // so a failed write never destroys a file that was there before.
    vexol::platform::AtomicFile file;
    if (!file.Open(path)) {
        return FALSE;
    }
    const BITMAPINFOHEADER header = ReadHeader(m_data.data());
    BYTE fileHeader[14] = {'B', 'M'};
    PutDword(fileHeader + 2, DWORD(sizeof fileHeader + m_data.size()));
    PutDword(fileHeader + 10,
             DWORD(sizeof fileHeader + kHeaderSize + 4 * std::size_t(ColourTableEntries(&header))));
    if (!file.Write(fileHeader, sizeof fileHeader)) {
        return FALSE;
    }
    PutDword(m_data.data() + offsetof(BITMAPINFOHEADER, biXPelsPerMeter), DWORD(kXPelsPerMeter));
    PutDword(m_data.data() + offsetof(BITMAPINFOHEADER, biYPelsPerMeter), DWORD(kYPelsPerMeter));
    for (std::size_t offset = 0; offset < m_data.size(); offset += kWritePiece) {
        if (!file.Write(m_data.data() + offset, std::min(kWritePiece, m_data.size() - offset))) {
            return FALSE;
        }
    }
    return file.Commit() ? TRUE : FALSE;
}

void CDib::Serialize(CArchive& ar)
{
    if (ar.IsStoring()) {
        ar << DWORD(0) << m_nWidth << m_nHeight << DWORD(m_data.size());
        ar.Write(m_data.data(), m_data.size());
        ar << m_nError;
        return;
    }
    DWORD reserved = 0;
    LONG width = 0;
    LONG height = 0;
    DWORD size = 0;
    ar >> reserved >> width >> height >> size;
    if (ar.Failed()) {
        return;
    }
    if (size > MaxDataSize()) {
        ar.SetFailed();
        return;
    }
    std::vector<BYTE> data;
    DWORD error = 0;
    try {
        // Read in pieces so that a count larger than the archive's data fails at the
        // end of the data rather than by allocating the whole count first.
        constexpr std::size_t kPiece = 1 << 20;
        while (data.size() < size && !ar.Failed()) {
            const std::size_t piece = std::min<std::size_t>(kPiece, size - data.size());
            const std::size_t at = data.size();
            data.resize(at + piece);
            ar.Read(data.data() + at, piece);
        }
    } catch (const std::bad_alloc&) {
        ar.SetFailed();
        return;
    }
    ar >> error;
    if (ar.Failed() || !IsStoredDib(data, width, height)) {
        ar.SetFailed();
        return;
    }
    m_data.swap(data);
    m_nWidth = width;
    m_nHeight = height;
    m_nError = error;
}
