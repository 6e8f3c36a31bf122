#include "platform/capture/AviScanner.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vexol::platform::capture {

using namespace avi;

namespace {

constexpr std::size_t kMaxStreams = 64;
constexpr std::size_t kMaxFormat = 64 * 1024;
constexpr std::size_t kBlock = 64 * 1024; // index entries are read in blocks

class MemorySource : public AviByteSource
{
public:
    MemorySource(const void* data, std::size_t size)
        : m_data(static_cast<const std::uint8_t*>(data)), m_size(size)
    {
    }
    std::uint64_t Size() const override { return m_size; }
    bool Read(std::uint64_t offset, void* out, std::size_t size) override
    {
        if (offset > m_size || size > m_size - offset) {
            return false;
        }
        if (size > 0) {
            std::memcpy(out, m_data + offset, size);
        }
        return true;
    }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
};

} // namespace

AviFileSource::AviFileSource(int fd, std::uint64_t size) : m_fd(fd), m_size(size) {}

bool AviFileSource::Read(std::uint64_t offset, void* out, std::size_t size)
{
    if (offset > m_size || size > m_size - offset) {
        return false;
    }
    auto* p = static_cast<char*>(out);
    while (size > 0) {
        const ssize_t n = ::pread(m_fd, p, size, off_t(offset));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        p += n;
        offset += std::uint64_t(n);
        size -= std::size_t(n);
    }
    return true;
}

namespace {

AviResult Invalid(const std::string& why)
{
    return AviResult::Fail(ERROR_INVALID_DATA,
                           "The file is not a readable AVI movie: " + why + ".");
}

struct Chunk
{
    FOURCC code = 0;
    DWORD size = 0;
    std::uint64_t data = 0; // offset of the data
    FOURCC listType = 0;    // for RIFF and LIST
    std::uint64_t End() const { return data + size; }
    std::uint64_t Next() const { return data + Padded(size); }
};

class Scanner
{
public:
    Scanner(AviByteSource& source, AviFileInfo& info) : m_src(source), m_info(info) {}

    AviResult Run()
    {
        m_info = AviFileInfo{};
        m_info.fileSize = m_src.Size();
        Chunk riff;
        if (!ReadChunk(0, UINT64_MAX, riff) || riff.code != kRiff || riff.listType != kAvi) {
            return Invalid("it does not start with a RIFF AVI header");
        }
        if (riff.End() > m_info.fileSize) {
            return Invalid("the file is cut off");
        }
        if (AviResult r = ScanPart(riff, true); !r.Ok()) {
            return r;
        }
        // Further parts follow as RIFF 'AVIX'; anything else (a JUNK chunk over the
        // rest of a pre-allocated file, zeros, old data) ends the movie.
        std::uint64_t pos = m_info.parts.back().end;
        while (pos + kListHeader <= m_info.fileSize) {
            Chunk next;
            if (!ReadChunk(pos, UINT64_MAX, next) || next.code != kRiff || next.listType != kAviX) {
                break;
            }
            if (next.End() > m_info.fileSize) {
                return Invalid("an AVIX part is cut off");
            }
            if (AviResult r = ScanPart(next, false); !r.Ok()) {
                return r;
            }
            pos = m_info.parts.back().end;
        }
        m_info.movieEnd = m_info.parts.back().end;
        if (m_info.streams.empty()) {
            return Invalid("it has no stream header");
        }
        return ScanIndexes();
    }

    // Only the header list of the first part, for a file whose sizes or indexes may
    // point past its end: the movie's first chunk offset goes to `moviData`.
    AviResult RunHeaders(std::uint64_t& moviData)
    {
        m_info = AviFileInfo{};
        m_info.fileSize = m_src.Size();
        moviData = 0;
        std::uint8_t h[12];
        if (!m_src.Read(0, h, sizeof h) || Get32(h) != kRiff || Get32(h + 8) != kAvi) {
            return Invalid("it does not start with a RIFF AVI header");
        }
        bool headerSeen = false;
        std::uint64_t pos = 12;
        while (pos + kListHeader <= m_info.fileSize) {
            if (!m_src.Read(pos, h, sizeof h)) {
                break;
            }
            const FOURCC code = Get32(h);
            const std::uint64_t end = pos + kChunkHeader + Get32(h + 4);
            if (code == kList && Get32(h + 8) == kMovi) {
                moviData = pos + kListHeader; // its size may run past the end
                break;
            }
            Chunk c;
            if (!ReadChunk(pos, m_info.fileSize, c)) {
                break; // runs past the end
            }
            if (code == kList && c.listType == kHdrl && !headerSeen) {
                if (AviResult r = ScanHeaderList(c); !r.Ok()) {
                    return r;
                }
                headerSeen = true;
            }
            pos = std::max(c.Next(), end);
        }
        if (!headerSeen) {
            return Invalid("the header list is missing or cut off");
        }
        if (m_info.streams.empty()) {
            return Invalid("it has no stream header");
        }
        if (moviData == 0) {
            return Invalid("it has no movie data");
        }
        return AviResult::Success();
    }

private:
    // Reads a chunk header at `pos`; the chunk must end by `limit`.
    bool ReadChunk(std::uint64_t pos, std::uint64_t limit, Chunk& chunk)
    {
        std::uint8_t h[12];
        if (!m_src.Read(pos, h, 8)) {
            return false;
        }
        chunk.code = Get32(h);
        chunk.size = Get32(h + 4);
        chunk.data = pos + 8;
        chunk.listType = 0;
        if (chunk.End() > limit) {
            return false;
        }
        if (chunk.code == kRiff || chunk.code == kList) {
            if (chunk.size < 4 || !m_src.Read(pos + 8, h + 8, 4)) {
                return false;
            }
            chunk.listType = Get32(h + 8);
        }
        return true;
    }

    AviResult ScanPart(const Chunk& riff, bool first)
    {
        if (riff.End() > m_info.fileSize) {
            return Invalid("the RIFF part is cut off");
        }
        AviRiffPart part;
        part.form = riff.listType;
        part.offset = riff.data - 8;
        part.end = std::min(riff.Next(), m_info.fileSize);
        bool headerSeen = false;
        std::uint64_t pos = riff.data + 4;
        while (pos + 8 <= riff.End()) {
            Chunk c;
            if (!ReadChunk(pos, riff.End(), c)) {
                return Invalid("a chunk runs past its RIFF part");
            }
            if (c.code == kList && c.listType == kHdrl && first && !headerSeen) {
                if (AviResult r = ScanHeaderList(c); !r.Ok()) {
                    return r;
                }
                headerSeen = true;
            } else if (c.code == kList && c.listType == kMovi && part.moviData == 0) {
                part.moviData = c.data + 4;
                part.moviEnd = c.End();
            } else if (c.code == kIdx1 && first && !m_info.hasIdx1) {
                m_info.hasIdx1 = true;
                m_idx1 = c;
            }
            pos = c.Next();
        }
        if (first && !headerSeen) {
            return Invalid("the header list is missing");
        }
        if (part.moviData == 0) {
            return Invalid("a RIFF part has no movie data");
        }
        m_info.parts.push_back(part);
        return AviResult::Success();
    }

    AviResult ScanHeaderList(const Chunk& hdrl)
    {
        bool mainSeen = false;
        std::uint64_t pos = hdrl.data + 4;
        while (pos + 8 <= hdrl.End()) {
            Chunk c;
            if (!ReadChunk(pos, hdrl.End(), c)) {
                return Invalid("a header chunk runs past its list");
            }
            if (c.code == kAvih && !mainSeen) {
                std::uint8_t h[kMainHeaderSize];
                if (c.size < kMainHeaderSize || !m_src.Read(c.data, h, sizeof h)) {
                    return Invalid("the main header is too short");
                }
                m_info.microSecPerFrame = Get32(h);
                m_info.maxBytesPerSec = Get32(h + 4);
                m_info.flags = Get32(h + 12);
                m_info.totalFrames = Get32(h + 16);
                m_info.streamCount = Get32(h + 24);
                m_info.suggestedBufferSize = Get32(h + 28);
                m_info.width = Get32(h + 32);
                m_info.height = Get32(h + 36);
                mainSeen = true;
            } else if (c.code == kList && c.listType == kStrl) {
                if (m_info.streams.size() >= kMaxStreams) {
                    return Invalid("it has too many streams");
                }
                if (AviResult r = ScanStreamList(c); !r.Ok()) {
                    return r;
                }
            } else if (c.code == kList && c.listType == kOdml) {
                Chunk d;
                if (ReadChunk(c.data + 4, c.End(), d) && d.code == kDmlh && d.size >= 4) {
                    std::uint8_t v[4];
                    if (!m_src.Read(d.data, v, 4)) {
                        return Invalid("the extended header cannot be read");
                    }
                    m_info.hasOdmlHeader = true;
                    m_info.odmlTotalFrames = Get32(v);
                }
            }
            pos = c.Next();
        }
        if (!mainSeen) {
            return Invalid("the main header is missing");
        }
        return AviResult::Success();
    }

    AviResult ScanStreamList(const Chunk& strl)
    {
        AviStreamInfo stream;
        bool headerSeen = false;
        Chunk super;
        bool hasSuper = false;
        std::uint64_t pos = strl.data + 4;
        while (pos + 8 <= strl.End()) {
            Chunk c;
            if (!ReadChunk(pos, strl.End(), c)) {
                return Invalid("a stream chunk runs past its list");
            }
            if (c.code == kStrh && !headerSeen) {
                std::uint8_t h[48];
                if (c.size < sizeof h || !m_src.Read(c.data, h, sizeof h)) {
                    return Invalid("a stream header is too short");
                }
                stream.type = Get32(h);
                stream.handler = Get32(h + 4);
                stream.scale = Get32(h + 20);
                stream.rate = Get32(h + 24);
                stream.start = Get32(h + 28);
                stream.length = Get32(h + 32);
                stream.suggestedBufferSize = Get32(h + 36);
                stream.sampleSize = Get32(h + 44);
                headerSeen = true;
            } else if (c.code == kStrf && stream.format.empty()) {
                if (c.size > kMaxFormat) {
                    return Invalid("a stream format is too large");
                }
                stream.format.resize(c.size);
                if (!m_src.Read(c.data, stream.format.data(), c.size)) {
                    return Invalid("a stream format cannot be read");
                }
            } else if (c.code == kIndx && !hasSuper) {
                super = c;
                hasSuper = true;
            }
            pos = c.Next();
        }
        if (!headerSeen) {
            return Invalid("a stream list has no stream header");
        }
        m_supers.push_back(hasSuper ? super : Chunk{});
        m_info.streams.push_back(std::move(stream));
        return AviResult::Success();
    }

    // Stream number of a chunk code "##xx", or -1.
    static int StreamOf(FOURCC code)
    {
        const int a = int(code & 0xFF) - '0';
        const int b = int((code >> 8) & 0xFF) - '0';
        if (a < 0 || a > 9 || b < 0 || b > 9) {
            return -1;
        }
        return a * 10 + b;
    }

    // Counts the budget of index bytes read; a crafted file whose super index entries
    // all name one large index chunk cannot make the scan quadratic.
    bool Spend(std::uint64_t bytes)
    {
        if (bytes > m_indexBudget) {
            return false;
        }
        m_indexBudget -= bytes;
        return true;
    }

    bool InMovie(std::uint64_t offset, std::uint64_t size) const
    {
        return offset <= m_info.movieEnd && size <= m_info.movieEnd - offset;
    }

    AviResult ScanIndexes()
    {
        m_indexBudget = m_info.movieEnd;
        for (std::size_t i = 0; i < m_info.streams.size(); ++i) {
            const Chunk& super = m_supers[i];
            if (super.code != kIndx) {
                continue;
            }
            if (AviResult r = ScanSuperIndex(super, m_info.streams[i]); !r.Ok()) {
                return r;
            }
        }
        if (m_info.hasIdx1) {
            return ScanIdx1();
        }
        return AviResult::Success();
    }

    AviResult ScanSuperIndex(const Chunk& super, AviStreamInfo& stream)
    {
        std::uint8_t h[kSuperIndexHeader];
        if (super.size < sizeof h || !m_src.Read(super.data, h, sizeof h)) {
            return Invalid("a super index is too short");
        }
        if (Get16(h) != 4 || h[3] != kIndexOfIndexes) {
            return Invalid("a super index has an unknown layout");
        }
        const std::uint64_t inUse = Get32(h + 4);
        if (inUse > (super.size - kSuperIndexHeader) / kSuperIndexEntry) {
            return Invalid("a super index claims more entries than it holds");
        }
        if (inUse == 0) {
            return AviResult::Success();
        }
        stream.odmlIndex = true;
        stream.superIndexEntries = inUse;
        for (std::uint64_t i = 0; i < inUse; ++i) {
            std::uint8_t e[kSuperIndexEntry];
            if (!m_src.Read(super.data + kSuperIndexHeader + i * kSuperIndexEntry, e, sizeof e)) {
                return Invalid("a super index entry cannot be read");
            }
            const std::uint64_t offset = Get64(e);
            Chunk ix;
            if (!InMovie(offset, kChunkHeader) || !ReadChunk(offset, m_info.movieEnd, ix) ||
                ix.size < kStdIndexHeader) {
                return Invalid("a super index entry points outside the movie");
            }
            if (AviResult r = ScanStdIndex(ix, stream); !r.Ok()) {
                return r;
            }
        }
        return AviResult::Success();
    }

    AviResult ScanStdIndex(const Chunk& ix, AviStreamInfo& stream)
    {
        std::uint8_t h[kStdIndexHeader];
        if (!m_src.Read(ix.data, h, sizeof h)) {
            return Invalid("a standard index cannot be read");
        }
        if (Get16(h) != 2 || h[3] != kIndexOfChunks) {
            return Invalid("a standard index has an unknown layout");
        }
        const std::uint64_t n = Get32(h + 4);
        if (n > (ix.size - kStdIndexHeader) / kStdIndexEntry) {
            return Invalid("a standard index claims more entries than it holds");
        }
        const std::uint64_t base = Get64(h + 12);
        if (!Spend(kStdIndexHeader + n * kStdIndexEntry)) {
            return Invalid("the indexes are larger than the movie");
        }
        std::vector<std::uint8_t> block;
        std::uint64_t done = 0;
        while (done < n) {
            const std::uint64_t count = std::min<std::uint64_t>(n - done, kBlock / kStdIndexEntry);
            block.resize(count * kStdIndexEntry);
            if (!m_src.Read(ix.data + kStdIndexHeader + done * kStdIndexEntry, block.data(),
                            block.size())) {
                return Invalid("a standard index cannot be read");
            }
            for (std::uint64_t k = 0; k < count; ++k) {
                const std::uint8_t* e = &block[k * kStdIndexEntry];
                const std::uint64_t size = Get32(e + 4) & ~kStdIndexDeltaFrame;
                if (base > m_info.movieEnd) {
                    return Invalid("a standard index points outside the movie");
                }
                const std::uint64_t offset = base + Get32(e);
                if (offset < kChunkHeader || !InMovie(offset, size)) {
                    return Invalid("a standard index points outside the movie");
                }
                ++stream.chunks;
                stream.bytes += size;
                stream.emptyChunks += size == 0 ? 1 : 0;
                stream.keyChunks += (Get32(e + 4) & kStdIndexDeltaFrame) ? 0 : 1;
            }
            done += count;
        }
        return AviResult::Success();
    }

    AviResult ScanIdx1()
    {
        const std::uint64_t n = m_idx1.size / kIdx1Entry;
        if (!Spend(n * kIdx1Entry)) {
            return Invalid("the indexes are larger than the movie");
        }
        const AviRiffPart& first = m_info.parts.front();
        // Offsets count from the 'movi' list type, or, in some files, from the file's
        // start; the first entry tells which.
        std::uint64_t origin = first.moviData - 4;
        std::vector<std::uint8_t> block;
        std::uint64_t done = 0;
        while (done < n) {
            const std::uint64_t count = std::min<std::uint64_t>(n - done, kBlock / kIdx1Entry);
            block.resize(count * kIdx1Entry);
            if (!m_src.Read(m_idx1.data + done * kIdx1Entry, block.data(), block.size())) {
                return Invalid("the index cannot be read");
            }
            if (done == 0 && Get32(&block[8]) >= first.moviData) {
                origin = 0;
            }
            for (std::uint64_t k = 0; k < count; ++k) {
                const std::uint8_t* e = &block[k * kIdx1Entry];
                const int number = StreamOf(Get32(e));
                const std::uint64_t at = origin + Get32(e + 8);
                const std::uint64_t size = Get32(e + 12);
                if (!InMovie(at, kChunkHeader + size)) {
                    return Invalid("the index points outside the movie");
                }
                if (number < 0 || std::size_t(number) >= m_info.streams.size()) {
                    continue; // 'rec ' lists and foreign entries
                }
                AviStreamInfo& stream = m_info.streams[std::size_t(number)];
                ++stream.idx1Chunks;
                if (!stream.odmlIndex) {
                    ++stream.chunks;
                    stream.bytes += size;
                    stream.emptyChunks += size == 0 ? 1 : 0;
                    stream.keyChunks += (Get32(e + 4) & kAviifKeyFrame) ? 1 : 0;
                }
            }
            done += count;
        }
        return AviResult::Success();
    }

    AviByteSource& m_src;
    AviFileInfo& m_info;
    std::vector<Chunk> m_supers; // indx chunk of each stream (code 0 when none)
    Chunk m_idx1;
    std::uint64_t m_indexBudget = 0;
};

} // namespace

AviResult ScanAvi(AviByteSource& source, AviFileInfo& info)
{
    Scanner scanner(source, info);
    AviResult result = scanner.Run();
    if (!result.Ok()) {
        info = AviFileInfo{};
    }
    return result;
}

AviResult ScanAviHeaders(AviByteSource& source, AviFileInfo& info, std::uint64_t& moviData)
{
    Scanner scanner(source, info);
    AviResult result = scanner.RunHeaders(moviData);
    if (!result.Ok()) {
        info = AviFileInfo{};
        moviData = 0;
    }
    return result;
}

AviResult ScanAviMemory(const void* data, std::size_t size, AviFileInfo& info)
{
    MemorySource source(data, size);
    return ScanAvi(source, info);
}

AviResult ScanAviDescriptor(int fd, std::uint64_t size, AviFileInfo& info)
{
    AviFileSource source(fd, size);
    return ScanAvi(source, info);
}

AviResult ScanAviFile(const std::string& path, AviFileInfo& info)
{
    info = AviFileInfo{};
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        if (errno == ENOENT) {
            return AviResult::Fail(ERROR_FILE_NOT_FOUND, "The movie file does not exist.", ENOENT);
        }
        return AviResult::FromErrno(errno, texts::FileAction::ReadMovie);
    }
    struct stat st
    {
    };
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return AviResult::Fail(ERROR_ACCESS_DENIED,
                               "The movie cannot be read: it is not a regular file.");
    }
    AviFileSource source(fd, std::uint64_t(st.st_size));
    AviResult result = ScanAvi(source, info);
    ::close(fd);
    return result;
}

} // namespace vexol::platform::capture
