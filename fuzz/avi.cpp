// Fuzz target for the AVI scanner: any input either fails with ERROR_INVALID_DATA and
// an empty description, or gives a description whose extents lie inside the input.
#include "platform/capture/AviScanner.h"

#include <cstdint>
#include <cstdlib>

using namespace vexol::platform::capture;

namespace {

void Check(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    AviFileInfo info;
    const AviResult result = ScanAviMemory(data, size, info);
    if (!result.Ok()) {
        Check(result.code == ERROR_INVALID_DATA);
        Check(info.parts.empty() && info.streams.empty() && info.movieEnd == 0);
        return 0;
    }
    Check(info.fileSize == size);
    Check(info.movieEnd <= size);
    Check(!info.parts.empty() && !info.streams.empty());
    std::uint64_t previousEnd = 0;
    for (const AviRiffPart& part : info.parts) {
        Check(part.offset >= previousEnd);
        Check(part.offset < part.end && part.end <= info.movieEnd);
        Check(part.offset < part.moviData && part.moviData <= part.moviEnd);
        Check(part.moviEnd <= part.end);
        previousEnd = part.end;
    }
    for (const AviStreamInfo& stream : info.streams) {
        Check(stream.bytes <= info.movieEnd);
        Check(stream.emptyChunks <= stream.chunks && stream.keyChunks <= stream.chunks);
        Check(stream.format.size() <= size);
    }
    return 0;
}
