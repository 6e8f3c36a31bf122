#include "platform/capture/AviAllocate.h"

#include "platform/FileTarget.h"

#include <cerrno>
#include <fcntl.h>
#include <limits>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace vexol::platform::capture {

namespace {

// Reserves [offset, offset + length) with fallocate, or through posix_fallocate's
// fallback where the file system has no fallocate. Returns 0 or an errno value.
int Reserve(int fd, off_t offset, off_t length)
{
    if (length <= 0) {
        return 0;
    }
    if (::fallocate(fd, 0, offset, length) == 0) {
        return 0;
    }
    if (errno != EOPNOTSUPP && errno != ENOSYS) {
        return errno;
    }
    return ::posix_fallocate(fd, offset, length);
}

struct PieceHook
{
    std::mutex mutex; // guards hook
    std::function<void()> hook;
};

PieceHook& TestingPieceHook()
{
    static PieceHook hook;
    return hook;
}

void RunPieceHook()
{
    std::function<void()> hook;
    {
        PieceHook& h = TestingPieceHook();
        std::lock_guard lock(h.mutex);
        hook = h.hook;
    }
    if (hook) {
        hook();
    }
}

// Reserves [0, length) piece by piece, asking `progress` before each. Returns 0, an
// errno value, or -1 when cancelled.
int ReserveInPieces(int fd, off_t length, const AllocationProgress& progress)
{
    const auto total = std::uint64_t(length);
    for (std::uint64_t done = 0; done < total;) {
        RunPieceHook();
        if (progress && !progress(done, total)) {
            return -1;
        }
        const std::uint64_t piece = std::min(kAllocationPieceBytes, total - done);
        if (const int error = Reserve(fd, off_t(done), off_t(piece)); error != 0) {
            return error;
        }
        done += piece;
    }
    if (progress) {
        progress(total, total);
    }
    return 0;
}

} // namespace

void SetAllocationPieceHookForTesting(std::function<void()> hook)
{
    PieceHook& h = TestingPieceHook();
    std::lock_guard lock(h.mutex);
    h.hook = std::move(hook);
}

AviResult AllocateCaptureFile(const std::string& path, std::uint64_t bytes,
                              const AllocationProgress& progress)
{
    const res::Language language = res::UserLanguage();
    if (path.empty()) {
        return AviResult::Fail(ERROR_INVALID_PARAMETER,
                               texts::Message(language, texts::FileMessage::NoCaptureFile));
    }
    if (bytes == 0) {
        return AviResult::Fail(ERROR_INVALID_PARAMETER,
                               texts::Message(language, texts::FileMessage::ZeroSize));
    }
    if (bytes > std::uint64_t(std::numeric_limits<off_t>::max())) {
        return AviResult::Fail(ERROR_INVALID_PARAMETER,
                               texts::Message(language, texts::FileMessage::SizeTooLarge));
    }
    // No link, no special or kernel file, and no other writer: the file stays locked
    // while it is allocated.
    LockedFile file;
    bool created = false;
    if (const FileCheck check = LockedFile::OpenForWriting(path, file, &created); !check.Ok()) {
        return AviResult::FromCheck(check, texts::FileAction::AllocateCaptureFile, true);
    }
    const int fd = file.Fd();
    struct stat st
    {
    };
    if (::fstat(fd, &st) != 0) {
        return AviResult::FromErrno(errno, texts::FileAction::AllocateCaptureFile);
    }
    const off_t oldSize = st.st_size;
    const off_t newSize = off_t(bytes);

    // Reserve first (this also fills holes of a sparse existing file), then cut a
    // larger file down, so a failed reservation leaves the file's bytes as they were.
    int error = ReserveInPieces(fd, newSize, progress);
    if (error == 0 && newSize < oldSize && ::ftruncate(fd, newSize) != 0) {
        error = errno;
    }
    if (error == 0 && ::fsync(fd) != 0) {
        error = errno;
    }
    if (error != 0 && newSize > oldSize) {
        // Give back whatever the failed reservation took.
        (void)!::ftruncate(fd, oldSize);
    }
    if (error != 0 && created) {
        ::unlink(path.c_str());
    }
    file.Close();
    if (error != 0) {
        if (error == -1) {
            return AviResult::Fail(kErrorCancelled,
                                   texts::Message(language, texts::FileMessage::AllocationCancelled));
        }
        return AviResult::FromErrno(error, texts::FileAction::AllocateCaptureFile);
    }
    return AviResult::Success();
}

} // namespace vexol::platform::capture
