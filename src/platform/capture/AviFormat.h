// The RIFF AVI and OpenDML on-disk vocabulary shared by the capture file's writer and
// scanner: chunk codes, header sizes, index flags and little-endian field access.
#pragma once

#include "platform/WinTypes.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace vexol::platform::capture {

using FOURCC = DWORD;

constexpr FOURCC MakeFourCC(char a, char b, char c, char d)
{
    return FOURCC(std::uint8_t(a)) | (FOURCC(std::uint8_t(b)) << 8) |
           (FOURCC(std::uint8_t(c)) << 16) | (FOURCC(std::uint8_t(d)) << 24);
}

// Printable form of a chunk code, for messages and tests.
std::string FourCCText(FOURCC code);

namespace avi {

inline constexpr FOURCC kRiff = MakeFourCC('R', 'I', 'F', 'F');
inline constexpr FOURCC kList = MakeFourCC('L', 'I', 'S', 'T');
inline constexpr FOURCC kJunk = MakeFourCC('J', 'U', 'N', 'K');
inline constexpr FOURCC kAvi = MakeFourCC('A', 'V', 'I', ' ');
inline constexpr FOURCC kAviX = MakeFourCC('A', 'V', 'I', 'X');
inline constexpr FOURCC kHdrl = MakeFourCC('h', 'd', 'r', 'l');
inline constexpr FOURCC kAvih = MakeFourCC('a', 'v', 'i', 'h');
inline constexpr FOURCC kStrl = MakeFourCC('s', 't', 'r', 'l');
inline constexpr FOURCC kStrh = MakeFourCC('s', 't', 'r', 'h');
inline constexpr FOURCC kStrf = MakeFourCC('s', 't', 'r', 'f');
inline constexpr FOURCC kIndx = MakeFourCC('i', 'n', 'd', 'x');
inline constexpr FOURCC kOdml = MakeFourCC('o', 'd', 'm', 'l');
inline constexpr FOURCC kDmlh = MakeFourCC('d', 'm', 'l', 'h');
inline constexpr FOURCC kMovi = MakeFourCC('m', 'o', 'v', 'i');
inline constexpr FOURCC kIdx1 = MakeFourCC('i', 'd', 'x', '1');
inline constexpr FOURCC kVids = MakeFourCC('v', 'i', 'd', 's');
inline constexpr FOURCC kAuds = MakeFourCC('a', 'u', 'd', 's');
inline constexpr FOURCC kDib = MakeFourCC('D', 'I', 'B', ' ');
inline constexpr FOURCC kMjpg = MakeFourCC('M', 'J', 'P', 'G');
inline constexpr FOURCC kVideoChunk = MakeFourCC('0', '0', 'd', 'c');
inline constexpr FOURCC kAudioChunk = MakeFourCC('0', '1', 'w', 'b');
inline constexpr FOURCC kVideoIndex = MakeFourCC('i', 'x', '0', '0');
inline constexpr FOURCC kAudioIndex = MakeFourCC('i', 'x', '0', '1');

inline constexpr std::size_t kChunkHeader = 8;       // code + size
inline constexpr std::size_t kListHeader = 12;       // 'LIST' + size + list type
inline constexpr std::size_t kMainHeaderSize = 56;   // avih
inline constexpr std::size_t kStreamHeaderSize = 56; // strh
inline constexpr std::size_t kDmlhSize = 248;
inline constexpr std::size_t kSuperIndexHeader = 24; // indx fields before the entries
inline constexpr std::size_t kSuperIndexEntry = 16;
inline constexpr std::size_t kStdIndexHeader = 24; // ix## fields before the entries
inline constexpr std::size_t kStdIndexEntry = 8;
inline constexpr std::size_t kIdx1Entry = 16;

// avih flags
inline constexpr DWORD kAvifHasIndex = 0x10;
inline constexpr DWORD kAvifIsInterleaved = 0x100;
inline constexpr DWORD kAvifTrustCkType = 0x800;
// idx1 flags
inline constexpr DWORD kAviifKeyFrame = 0x10;
// Standard index entry: size bit set for a frame that is not a key frame.
inline constexpr DWORD kStdIndexDeltaFrame = 0x80000000u;
// bIndexType
inline constexpr std::uint8_t kIndexOfIndexes = 0;
inline constexpr std::uint8_t kIndexOfChunks = 1;

// Chunks are padded to an even size.
constexpr std::uint64_t Padded(std::uint64_t size)
{
    return size + (size & 1);
}

inline std::uint16_t Get16(const std::uint8_t* p)
{
    return std::uint16_t(p[0] | (p[1] << 8));
}
inline std::uint32_t Get32(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
           (std::uint32_t(p[3]) << 24);
}
inline std::uint64_t Get64(const std::uint8_t* p)
{
    return std::uint64_t(Get32(p)) | (std::uint64_t(Get32(p + 4)) << 32);
}
inline void Put16(std::uint8_t* p, std::uint16_t v)
{
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
}
inline void Put32(std::uint8_t* p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i) {
        p[i] = std::uint8_t(v >> (8 * i));
    }
}
inline void Put64(std::uint8_t* p, std::uint64_t v)
{
    Put32(p, std::uint32_t(v));
    Put32(p + 4, std::uint32_t(v >> 32));
}

// Appends little-endian fields to a byte buffer.
class ByteSink
{
public:
    explicit ByteSink(std::vector<std::uint8_t>& out) : m_out(out) {}
    void U8(std::uint8_t v) { m_out.push_back(v); }
    void U16(std::uint16_t v)
    {
        const std::size_t at = Grow(2);
        Put16(&m_out[at], v);
    }
    void U32(std::uint32_t v)
    {
        const std::size_t at = Grow(4);
        Put32(&m_out[at], v);
    }
    void U64(std::uint64_t v)
    {
        const std::size_t at = Grow(8);
        Put64(&m_out[at], v);
    }
    void Bytes(const void* data, std::size_t size)
    {
        if (size > 0) {
            const std::size_t at = Grow(size);
            std::memcpy(&m_out[at], data, size);
        }
    }
    void Zeros(std::size_t size) { m_out.resize(m_out.size() + size, 0); }
    std::size_t Size() const { return m_out.size(); }
    // Overwrites a 32-bit field written earlier (a size known only later).
    void Patch32(std::size_t at, std::uint32_t v) { Put32(&m_out[at], v); }

private:
    std::size_t Grow(std::size_t n)
    {
        const std::size_t at = m_out.size();
        m_out.resize(at + n);
        return at;
    }
    std::vector<std::uint8_t>& m_out;
};

} // namespace avi
} // namespace vexol::platform::capture
