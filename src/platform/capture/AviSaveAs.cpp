#include "platform/capture/AviSaveAs.h"

#include "platform/AtomicFile.h"
#include "platform/FileTarget.h"
#include "platform/capture/AviRebuild.h"
#include "platform/capture/AviScanner.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace vexol::platform::capture {

namespace {

constexpr std::size_t kCopyBlock = std::size_t(4) << 20;

// Makes the rename itself durable.
void SyncFolderOf(const std::string& path)
{
    const int fd = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

AviResult Cancelled()
{
    return AviResult::Fail(kErrorCancelled,
                           texts::Message(res::UserLanguage(), texts::FileMessage::SaveCancelled));
}

// Copies the movie's extent, the RIFF parts, of a file that scans whole.
AviResult CopyMovie(int in, std::uint64_t total, const std::string& destination,
                    const AviCopyProgress& progress)
{
    AtomicFile out;
    if (!out.Open(destination)) {
        return AviResult::FromCheck(out.Check(), texts::FileAction::SaveMovie, false);
    }
    if (progress && !progress(0, total)) {
        return Cancelled();
    }
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[kCopyBlock]);
    if (!buffer) {
        return AviResult::Fail(
            ERROR_NOT_ENOUGH_MEMORY,
            texts::Message(res::UserLanguage(), texts::FileMessage::SaveOutOfMemory));
    }
    std::uint64_t done = 0;
    while (done < total) {
        const std::size_t want = std::size_t(std::min<std::uint64_t>(kCopyBlock, total - done));
        const ssize_t n = ::pread(in, buffer.get(), want, off_t(done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            const int error = n == 0 ? EIO : errno; // the file shrank under the copy
            return AviResult::FromErrno(error, texts::FileAction::ReadCaptureFile);
        }
        if (!out.Write(buffer.get(), std::size_t(n))) {
            return AviResult::FromCheck(out.Check(), texts::FileAction::SaveMovie, false);
        }
        done += std::uint64_t(n);
        if (progress && !progress(done, total)) {
            return Cancelled();
        }
    }
    if (!out.Commit()) {
        return AviResult::FromCheck(out.Check(), texts::FileAction::SaveMovie, false);
    }
    return AviResult::Success();
}

} // namespace

AviResult SaveCaptureFileAs(const std::string& source, const std::string& destination,
                            const AviCopyProgress& progress, AviSaveSummary* summary)
{
    const res::Language language = res::UserLanguage();
    if (summary) {
        *summary = AviSaveSummary{};
    }
    if (source.empty() || destination.empty()) {
        return AviResult::Fail(ERROR_INVALID_PARAMETER,
                               texts::Message(language, texts::FileMessage::NoCaptureFile));
    }
    // A shared lock: a recording or allocation into the capture file is kept out while
    // it is copied, and one that runs makes the copy fail at once.
    LockedFile in;
    if (const FileCheck check = LockedFile::OpenForReading(source, in); !check.Ok()) {
        if (check.refusal == FileRefusal::SystemError && check.error == ENOENT) {
            return AviResult::Fail(ERROR_FILE_NOT_FOUND,
                                   texts::Message(language, texts::FileMessage::CaptureFileMissing),
                                   ENOENT);
        }
        return AviResult::FromCheck(check, texts::FileAction::ReadCaptureFile, true);
    }
    struct stat src
    {
    };
    if (::fstat(in.Fd(), &src) != 0) {
        return AviResult::FromErrno(errno, texts::FileAction::ReadCaptureFile);
    }
    struct stat dst
    {
    };
    if (::stat(destination.c_str(), &dst) == 0 && dst.st_dev == src.st_dev &&
        dst.st_ino == src.st_ino) {
        return AviResult::Fail(ERROR_INVALID_PARAMETER,
                               texts::Message(language, texts::FileMessage::SaveOverCaptureFile));
    }
    AviFileInfo info;
    const AviResult scanned = ScanAviDescriptor(in.Fd(), std::uint64_t(src.st_size), info);
    AviResult result;
    if (scanned.Ok()) {
        result = CopyMovie(in.Fd(), info.movieEnd, destination, progress);
    } else if (scanned.code == ERROR_INVALID_DATA) {
        // Cut short or damaged: a new movie from the whole chunks that are there.
        AviRebuildSummary rebuilt;
        result =
            RebuildAviFrom(in.Fd(), std::uint64_t(src.st_size), destination, &rebuilt, progress);
        if (result.code == ERROR_INVALID_DATA) {
            return AviResult::Fail(ERROR_INVALID_DATA, texts::NotAMovie(language, scanned.text));
        }
        if (result.Ok() && summary) {
            summary->rebuilt = true;
            summary->videoFrames = rebuilt.videoFrames;
            summary->audioChunks = rebuilt.audioChunks;
        }
    } else {
        return scanned;
    }
    if (result.Ok()) {
        SyncFolderOf(destination);
    }
    return result;
}

} // namespace vexol::platform::capture
