// Fuzz target for the AVI readers: the scanner and the rebuild of a movie cut short.
// Any input either fails with ERROR_INVALID_DATA and an empty description, or gives a
// description whose extents lie inside the input. A rebuild plan, when there is one,
// is written out and must scan whole, holding exactly the frames planned.
#include "platform/capture/AviRebuild.h"
#include "platform/capture/AviScanner.h"

#include <cstdint>
#include <cstdlib>
#include <sys/mman.h>
#include <unistd.h>

using namespace vexol::platform::capture;

namespace {

void Check(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

void CheckScan(const std::uint8_t* data, std::size_t size)
{
    AviFileInfo info;
    const AviResult result = ScanAviMemory(data, size, info);
    if (!result.Ok()) {
        Check(result.code == ERROR_INVALID_DATA);
        Check(info.parts.empty() && info.streams.empty() && info.movieEnd == 0);
        return;
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
}

class MemorySource : public AviByteSource
{
public:
    MemorySource(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}
    std::uint64_t Size() const override { return m_size; }
    bool Read(std::uint64_t offset, void* out, std::size_t size) override
    {
        if (offset > m_size || size > m_size - offset) {
            return false;
        }
        std::copy(m_data + offset, m_data + offset + size, static_cast<std::uint8_t*>(out));
        return true;
    }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
};

void CheckRebuild(const std::uint8_t* data, std::size_t size)
{
    MemorySource source(data, size);
    AviRebuildPlan plan;
    const AviResult planned = PlanAviRebuild(source, plan);
    if (!planned.Ok()) {
        Check(planned.code == ERROR_INVALID_DATA && plan.chunks.empty());
        return;
    }
    Check(plan.videoFrames > 0 && plan.end <= size);
    for (const AviRebuildChunk& chunk : plan.chunks) {
        Check(chunk.offset <= size && chunk.size <= size - chunk.offset);
    }
    const int fd = ::memfd_create("rebuilt", MFD_CLOEXEC);
    Check(fd >= 0);
    const AviResult written = WriteAviRebuild(source, plan, fd);
    if (written.Ok()) {
        const off_t length = ::lseek(fd, 0, SEEK_END);
        AviFileInfo info;
        Check(ScanAviDescriptor(fd, std::uint64_t(length), info).Ok());
        Check(!info.streams.empty() && info.streams[0].chunks == plan.videoFrames);
    } else {
        Check(written.code == ERROR_NOT_ENOUGH_MEMORY);
    }
    ::close(fd);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CheckScan(data, size);
    CheckRebuild(data, size);
    return 0;
}
