// Rebuilding a movie from the whole chunks present in an AVI file that was cut short
// (copied off a full disk, left by a crashed machine) or whose sizes and indexes no
// longer match its data.
//
// The header list gives the formats. From the first movie chunk on, the file is walked
// chunk by chunk up to its end, whatever the RIFF and LIST sizes say: video and audio
// chunks are kept in file order, index, JUNK and other chunks are stepped over, part
// headers (RIFF AVIX, LIST movi and rec) are entered; the walk ends at the first chunk
// that runs past the end of the file (a partial last chunk is dropped) or at bytes that
// are no chunk (zeros, garbage). A new movie with fresh indexes (idx1, and OpenDML ones
// past 1 GiB) is written from what was kept.
#pragma once

#include "platform/capture/AviScanner.h"
#include "platform/capture/AviWriter.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vexol::platform::capture {

struct AviRebuildChunk
{
    std::uint64_t offset = 0; // of the data
    DWORD size = 0;
    bool audio = false;
};

struct AviRebuildPlan
{
    AviStreamFormats formats; // video and, when it is PCM, audio
    std::vector<AviRebuildChunk> chunks;
    std::uint64_t videoFrames = 0; // dropped (empty) frames included
    std::uint64_t audioChunks = 0;
    std::uint64_t end = 0; // where the walk stopped
};

// Finds the formats and the whole chunks. ERROR_INVALID_DATA when the header list
// cannot be read, the video format is not usable or no video frame is whole.
AviResult PlanAviRebuild(AviByteSource& source, AviRebuildPlan& plan);

// Called before the copy and after every chunk: bytes copied and bytes in all. Return
// false to cancel.
using AviRebuildProgress = std::function<bool(std::uint64_t done, std::uint64_t total)>;

// Writes the planned movie into `fd`, an empty file open for reading and writing, and
// flushes it. kErrorCancelled when the progress callback cancelled.
AviResult WriteAviRebuild(AviByteSource& source, const AviRebuildPlan& plan, int fd,
                          const AviRebuildProgress& progress = {});

struct AviRebuildSummary
{
    std::uint64_t videoFrames = 0;
    std::uint64_t audioChunks = 0;
};

// Rebuilds `source` into `destination`, through a temporary file renamed over it, so an
// existing destination is replaced whole or left untouched. The source is read with a
// shared lock (a recording into it is refused); the destination follows the rules of
// AtomicFile. ERROR_INVALID_PARAMETER when both name one file.
AviResult RebuildAviFile(const std::string& source, const std::string& destination,
                         AviRebuildSummary* summary = nullptr,
                         const AviRebuildProgress& progress = {});

// The same from a source already open and locked, `size` bytes long.
AviResult RebuildAviFrom(int sourceFd, std::uint64_t size, const std::string& destination,
                         AviRebuildSummary* summary, const AviRebuildProgress& progress);

} // namespace vexol::platform::capture
