#include "platform/capture/AviAllocate.h"

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
    if (path.empty()) {
        return AviResult::Fail(ERROR_INVALID_PARAMETER, "No capture file is set.");
    }
    if (bytes == 0) {
        return AviResult::Fail(ERROR_INVALID_PARAMETER,
                               "The capture file size must be larger than zero.");
    }
    if (bytes > std::uint64_t(std::numeric_limits<off_t>::max())) {
        return AviResult::Fail(ERROR_INVALID_PARAMETER, "The capture file size is too large.");
    }
    // A fifo or a device must not be opened for writing at all (a fifo would block).
    struct stat before
    {
    };
    const bool existed = ::stat(path.c_str(), &before) == 0;
    if (existed && !S_ISREG(before.st_mode)) {
        return AviResult::Fail(ERROR_ACCESS_DENIED,
                               "The capture file cannot be allocated: it is not a regular file.");
    }
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0666);
    if (fd < 0) {
        return AviResult::FromErrno(errno, "The capture file cannot be created");
    }
    struct stat st
    {
    };
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return AviResult::Fail(ERROR_ACCESS_DENIED,
                               "The capture file cannot be allocated: it is not a regular file.");
    }
    const off_t oldSize = existed ? st.st_size : 0;
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
    ::close(fd);
    if (error != 0) {
        if (!existed) {
            ::unlink(path.c_str());
        }
        if (error == -1) {
            return AviResult::Fail(kErrorCancelled, "The allocation was cancelled.");
        }
        return AviResult::FromErrno(error, "The capture file cannot be allocated");
    }
    return AviResult::Success();
}

} // namespace vexol::platform::capture
