// Reads the RIFF structure of an AVI file: the parts (RIFF 'AVI ' and the 'AVIX' parts
// after it), the main and stream headers, and the chunk counts from the indexes. Every
// size and offset is checked against the data actually there, so the scanner is safe on
// any input: it either returns a consistent description or ERROR_INVALID_DATA.
#pragma once

#include "platform/WinTypes.h"
#include "platform/capture/AviFormat.h"
#include "platform/capture/AviResult.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vexol::platform::capture {

// Random access to the bytes being scanned.
class AviByteSource
{
public:
    virtual ~AviByteSource() = default;
    virtual std::uint64_t Size() const = 0;
    // Reads exactly `size` bytes at `offset`; false on a read error or past the end.
    virtual bool Read(std::uint64_t offset, void* out, std::size_t size) = 0;
};

// An open file read through pread; `size` is the length it is taken to have.
class AviFileSource : public AviByteSource
{
public:
    AviFileSource(int fd, std::uint64_t size);
    std::uint64_t Size() const override { return m_size; }
    bool Read(std::uint64_t offset, void* out, std::size_t size) override;

private:
    int m_fd;
    std::uint64_t m_size;
};

struct AviRiffPart
{
    FOURCC form = 0;            // 'AVI ' or 'AVIX'
    std::uint64_t offset = 0;   // of the 'RIFF' code
    std::uint64_t end = 0;      // first byte after the part (padding included)
    std::uint64_t moviData = 0; // first byte after the 'movi' list type; 0: no movi
    std::uint64_t moviEnd = 0;
};

struct AviStreamInfo
{
    FOURCC type = 0; // 'vids', 'auds'
    FOURCC handler = 0;
    DWORD scale = 0;
    DWORD rate = 0;
    DWORD start = 0;
    DWORD length = 0;
    DWORD suggestedBufferSize = 0;
    DWORD sampleSize = 0;
    std::vector<std::uint8_t> format; // strf

    // From the index used (OpenDML when the stream has one, else idx1).
    bool odmlIndex = false;
    std::uint64_t superIndexEntries = 0;
    std::uint64_t chunks = 0;
    std::uint64_t emptyChunks = 0; // zero-length chunks (dropped video frames)
    std::uint64_t keyChunks = 0;
    std::uint64_t bytes = 0;
    // From idx1 alone (the first part).
    std::uint64_t idx1Chunks = 0;
};

struct AviFileInfo
{
    std::uint64_t fileSize = 0;
    std::uint64_t movieEnd = 0; // end of the last RIFF part: the movie's extent
    std::vector<AviRiffPart> parts;

    DWORD microSecPerFrame = 0;
    DWORD maxBytesPerSec = 0;
    DWORD flags = 0;
    DWORD totalFrames = 0; // avih: frames in the first part
    DWORD streamCount = 0; // avih
    DWORD suggestedBufferSize = 0;
    DWORD width = 0;
    DWORD height = 0;
    bool hasOdmlHeader = false;
    DWORD odmlTotalFrames = 0; // dmlh: frames in the whole movie
    bool hasIdx1 = false;
    std::vector<AviStreamInfo> streams;
};

AviResult ScanAvi(AviByteSource& source, AviFileInfo& info);
AviResult ScanAviMemory(const void* data, std::size_t size, AviFileInfo& info);
// Reads only the first part's header list (main header, stream headers and formats),
// also from a file cut off or damaged after it; `moviData` receives the offset of the
// first movie chunk. Fills the header fields of `info`; parts and counts stay empty.
AviResult ScanAviHeaders(AviByteSource& source, AviFileInfo& info, std::uint64_t& moviData);
// ERROR_FILE_NOT_FOUND when the file is missing; ERROR_ACCESS_DENIED when it is not a
// regular file or cannot be read.
AviResult ScanAviFile(const std::string& path, AviFileInfo& info);
// Scans an open regular file of `size` bytes through pread.
AviResult ScanAviDescriptor(int fd, std::uint64_t size, AviFileInfo& info);

} // namespace vexol::platform::capture
