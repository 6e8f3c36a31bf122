#include "platform/capture/AviRebuild.h"

#include "platform/AtomicFile.h"
#include "platform/FileTarget.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace vexol::platform::capture {

using namespace avi;

namespace {

constexpr FOURCC kRec = MakeFourCC('r', 'e', 'c', ' ');
constexpr FOURCC kTwoCcUncompressed = MakeFourCC(0, 0, 'd', 'b');
constexpr FOURCC kTwoCcCompressed = MakeFourCC(0, 0, 'd', 'c');
constexpr FOURCC kTwoCcWave = MakeFourCC(0, 0, 'w', 'b');
// A larger chunk is taken for damage rather than a frame.
constexpr std::uint64_t kMaxChunkBytes = std::uint64_t(512) << 20;
constexpr WORD kWaveFormatPcm = 1;

AviResult Invalid(const std::string& why)
{
    return AviResult::Fail(ERROR_INVALID_DATA,
                           "The file holds no movie that can be rebuilt: " + why + ".");
}

// Stream number of a chunk code "##xx", or -1.
int StreamOf(FOURCC code)
{
    const int a = int(code & 0xFF) - '0';
    const int b = int((code >> 8) & 0xFF) - '0';
    if (a < 0 || a > 9 || b < 0 || b > 9) {
        return -1;
    }
    return a * 10 + b;
}

bool IsPrintableCode(FOURCC code)
{
    for (int i = 0; i < 4; ++i) {
        const unsigned c = (code >> (8 * i)) & 0xFF;
        if (c < 0x20 || c > 0x7E) {
            return false;
        }
    }
    return true;
}

// The frame period from the main header, else from the video stream's rate.
DWORD FramePeriod(const AviFileInfo& info, const AviStreamInfo& video)
{
    if (info.microSecPerFrame != 0) {
        return info.microSecPerFrame;
    }
    if (video.rate == 0 || video.scale == 0) {
        return 0;
    }
    const double period = std::round(1e6 * double(video.scale) / double(video.rate));
    return period >= 1 && period <= 4294967295.0 ? DWORD(period) : 0;
}

} // namespace

AviResult PlanAviRebuild(AviByteSource& source, AviRebuildPlan& plan)
{
    plan = AviRebuildPlan{};
    AviFileInfo info;
    std::uint64_t pos = 0;
    if (AviResult r = ScanAviHeaders(source, info, pos); !r.Ok()) {
        return r;
    }
    int video = -1;
    int audio = -1;
    for (std::size_t i = 0; i < info.streams.size() && i < 100; ++i) {
        const AviStreamInfo& s = info.streams[i];
        if (s.type == kVids && video < 0) {
            video = int(i);
        } else if (s.type == kAuds && audio < 0 && s.format.size() >= 16 &&
                   Get16(s.format.data()) == kWaveFormatPcm) {
            audio = int(i);
        }
    }
    if (video < 0) {
        return Invalid("it has no video stream");
    }
    plan.formats.video = info.streams[std::size_t(video)].format;
    plan.formats.microSecPerFrame = FramePeriod(info, info.streams[std::size_t(video)]);
    if (audio >= 0) {
        plan.formats.audio = info.streams[std::size_t(audio)].format;
    }
    if (AviResult r = AviWriter::CheckFormats(plan.formats); !r.Ok()) {
        return Invalid("its formats cannot be written again (" + r.text + ")");
    }

    const std::uint64_t size = source.Size();
    while (pos + kChunkHeader <= size && plan.chunks.size() < AviWriterOptions::kMaxIndexEntries) {
        std::uint8_t h[12];
        const bool hasType = pos + sizeof h <= size;
        if (!source.Read(pos, h, hasType ? 12 : 8)) {
            break;
        }
        const FOURCC code = Get32(h);
        const std::uint64_t chunkSize = Get32(h + 4);
        if (code == kRiff || code == kList) {
            if (!hasType) {
                break;
            }
            const FOURCC type = Get32(h + 8);
            if ((code == kRiff && type == kAviX) ||
                (code == kList && (type == kMovi || type == kRec))) {
                pos += kListHeader; // entered: its chunks follow
                continue;
            }
        }
        const std::uint64_t dataEnd = pos + kChunkHeader + chunkSize;
        if (dataEnd > size || chunkSize > kMaxChunkBytes) {
            break; // cut off here: a partial last chunk is dropped
        }
        const int number = StreamOf(code);
        const FOURCC twoCc = code & 0xFFFF0000u;
        const bool isVideo =
            number == video && (twoCc == kTwoCcCompressed || twoCc == kTwoCcUncompressed);
        const bool isAudio = number >= 0 && number == audio && twoCc == kTwoCcWave;
        if (isVideo || isAudio) {
            plan.chunks.push_back(AviRebuildChunk{pos + kChunkHeader, DWORD(chunkSize), isAudio});
            (isAudio ? plan.audioChunks : plan.videoFrames) += 1;
        } else if (number < 0 && !IsPrintableCode(code)) {
            break; // zeros or garbage: no more chunks
        }
        pos += kChunkHeader + Padded(chunkSize);
    }
    plan.end = std::min(pos, size);
    if (plan.videoFrames == 0) {
        plan.chunks.clear();
        return Invalid("no whole video frame was found");
    }
    return AviResult::Success();
}

AviResult WriteAviRebuild(AviByteSource& source, const AviRebuildPlan& plan, int fd,
                          const AviRebuildProgress& progress)
{
    AviWriterOptions options;
    options.maxIndexEntries =
        DWORD(std::min<std::uint64_t>(plan.chunks.size() + 1, AviWriterOptions::kMaxIndexEntries));
    options.checkpointInterval = std::chrono::hours(24); // one header, written at the end
    options.syncOnCheckpoint = false;                    // the caller syncs once
    options.growStep = std::uint64_t(1) << 20;           // the size is known: no big steps
    AviWriter writer;
    if (AviResult r = writer.OpenDescriptor(fd, plan.formats, options); !r.Ok()) {
        return r;
    }
    std::uint64_t total = 0;
    for (const AviRebuildChunk& chunk : plan.chunks) {
        total += chunk.size;
    }
    if (progress && !progress(0, total)) {
        writer.Close();
        return AviResult::Fail(kErrorCancelled, texts::Message(res::UserLanguage(),
                                                               texts::FileMessage::SaveCancelled));
    }
    std::vector<std::uint8_t> buffer;
    std::uint64_t done = 0;
    for (const AviRebuildChunk& chunk : plan.chunks) {
        try {
            buffer.resize(chunk.size);
        } catch (const std::bad_alloc&) {
            writer.Close();
            return AviResult::Fail(
                ERROR_NOT_ENOUGH_MEMORY,
                texts::Message(res::UserLanguage(), texts::FileMessage::SaveOutOfMemory));
        }
        if (!source.Read(chunk.offset, buffer.data(), chunk.size)) {
            writer.Close();
            return AviResult::FromErrno(EIO, texts::FileAction::ReadCaptureFile);
        }
        const AviWrite written = chunk.audio ? writer.WriteAudio(buffer.data(), chunk.size)
                                 : chunk.size == 0
                                     ? writer.WriteDroppedFrame()
                                     : writer.WriteVideoFrame(buffer.data(), chunk.size);
        if (written == AviWrite::IndexFull) {
            break;
        }
        if (written == AviWrite::Failed) {
            const int error = writer.Error().sysError;
            writer.Close();
            return AviResult::FromErrno(error != 0 ? error : EIO, texts::FileAction::SaveMovie);
        }
        done += chunk.size;
        if (progress && !progress(done, total)) {
            writer.Close();
            return AviResult::Fail(
                kErrorCancelled,
                texts::Message(res::UserLanguage(), texts::FileMessage::SaveCancelled));
        }
    }
    if (const AviResult closed = writer.Close(); !closed.Ok()) {
        return AviResult::FromErrno(closed.sysError != 0 ? closed.sysError : EIO,
                                    texts::FileAction::SaveMovie);
    }
    if (::fsync(fd) != 0) {
        return AviResult::FromErrno(errno, texts::FileAction::SaveMovie);
    }
    return AviResult::Success();
}

AviResult RebuildAviFrom(int sourceFd, std::uint64_t size, const std::string& destination,
                         AviRebuildSummary* summary, const AviRebuildProgress& progress)
{
    AviFileSource source(sourceFd, size);
    AviRebuildPlan plan;
    if (AviResult r = PlanAviRebuild(source, plan); !r.Ok()) {
        return r;
    }
    struct stat in
    {
    };
    struct stat out
    {
    };
    if (::fstat(sourceFd, &in) == 0 && ::stat(destination.c_str(), &out) == 0 &&
        in.st_dev == out.st_dev && in.st_ino == out.st_ino) {
        return AviResult::Fail(
            ERROR_INVALID_PARAMETER,
            texts::Message(res::UserLanguage(), texts::FileMessage::SaveOverCaptureFile));
    }
    AtomicFile file;
    if (!file.Open(destination)) {
        return AviResult::FromCheck(file.Check(), texts::FileAction::SaveMovie, false);
    }
    if (AviResult r = WriteAviRebuild(source, plan, file.Fd(), progress); !r.Ok()) {
        file.Abandon();
        return r;
    }
    if (!file.Commit()) {
        return AviResult::FromCheck(file.Check(), texts::FileAction::SaveMovie, false);
    }
    if (summary) {
        summary->videoFrames = plan.videoFrames;
        summary->audioChunks = plan.audioChunks;
    }
    return AviResult::Success();
}

AviResult RebuildAviFile(const std::string& source, const std::string& destination,
                         AviRebuildSummary* summary, const AviRebuildProgress& progress)
{
    if (source.empty() || destination.empty()) {
        return AviResult::Fail(
            ERROR_INVALID_PARAMETER,
            texts::Message(res::UserLanguage(), texts::FileMessage::NoCaptureFile));
    }
    LockedFile in;
    if (const FileCheck check = LockedFile::OpenForReading(source, in); !check.Ok()) {
        return AviResult::FromCheck(check, texts::FileAction::ReadMovie, true);
    }
    struct stat info
    {
    };
    if (::fstat(in.Fd(), &info) != 0) {
        return AviResult::FromErrno(errno, texts::FileAction::ReadMovie);
    }
    return RebuildAviFrom(in.Fd(), std::uint64_t(info.st_size), destination, summary, progress);
}

} // namespace vexol::platform::capture
