// The bitmap model in files: a BMP file, and the model's own record in an archive.
#include "still/CDib.h"

#include "platform/AtomicFile.h"
#include "platform/framework/Archive.h"
#include "still/DibInternals.h"

#include <algorithm>
#include <new>

using namespace vexol::still;

namespace {

constexpr std::size_t kWritePiece = 32768;
constexpr LONG kXPelsPerMeter = 3790;
constexpr LONG kYPelsPerMeter = 3780;

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
    const BITMAPFILEHEADER fileHeader = vexol::platform::MakeBmpFileHeader(
        m_data.size(), kHeaderSize + 4 * std::size_t(ColourTableEntries(&header)));
    if (!file.Write(&fileHeader, sizeof fileHeader)) {
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
