#include "platform/capture/AviSaveAs.h"

#include "platform/AtomicFile.h"
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

// Closes a descriptor when the copy ends in any way.
struct FdCloser
{
    int fd;
    ~FdCloser()
    {
        if (fd >= 0) {
            ::close(fd);
        }
    }
};

// Makes the rename itself durable.
void SyncFolderOf(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    const std::string folder =
        slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

AviResult SaveCaptureFileAs(const std::string& source, const std::string& destination,
                            const AviCopyProgress& progress)
{
    if (source.empty() || destination.empty()) {
        return AviResult::Fail(ERROR_INVALID_PARAMETER, "No file name was given.");
    }
    const int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (in < 0) {
        if (errno == ENOENT) {
            return AviResult::Fail(ERROR_FILE_NOT_FOUND, "The capture file does not exist.",
                                   ENOENT);
        }
        return AviResult::FromErrno(errno, "The capture file cannot be read");
    }
    FdCloser closer{in};
    struct stat src
    {
    };
    if (::fstat(in, &src) != 0 || !S_ISREG(src.st_mode)) {
        return AviResult::Fail(ERROR_INVALID_DATA, "The capture file is not a readable AVI movie.");
    }
    AviFileInfo info;
    if (AviResult r = ScanAviDescriptor(in, std::uint64_t(src.st_size), info); !r.Ok()) {
        return r;
    }

    struct stat dst
    {
    };
    if (::stat(destination.c_str(), &dst) == 0) {
        if (dst.st_dev == src.st_dev && dst.st_ino == src.st_ino) {
            return AviResult::Fail(ERROR_INVALID_PARAMETER,
                                   "The movie cannot be saved over the capture file itself.");
        }
        if (!S_ISREG(dst.st_mode)) {
            return AviResult::Fail(ERROR_ACCESS_DENIED,
                                   "The movie cannot be saved: the name is not a regular file.");
        }
    }

    AtomicFile out;
    if (!out.Open(destination)) {
        return AviResult::FromErrno(errno, "The movie cannot be saved");
    }
    const std::uint64_t total = info.movieEnd;
    if (progress && !progress(0, total)) {
        out.Abandon();
        return AviResult::Fail(kErrorCancelled, "Saving the movie was cancelled.");
    }
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[kCopyBlock]);
    if (!buffer) {
        return AviResult::Fail(ERROR_NOT_ENOUGH_MEMORY,
                               "There is not enough memory to save the movie.");
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
            out.Abandon();
            return AviResult::FromErrno(error, "The capture file cannot be read");
        }
        if (!out.Write(buffer.get(), std::size_t(n))) {
            const int error = errno;
            out.Abandon();
            return AviResult::FromErrno(error, "The movie cannot be saved");
        }
        done += std::uint64_t(n);
        if (progress && !progress(done, total)) {
            out.Abandon();
            return AviResult::Fail(kErrorCancelled, "Saving the movie was cancelled.");
        }
    }
    if (!out.Commit()) {
        return AviResult::FromErrno(errno, "The movie cannot be saved");
    }
    SyncFolderOf(destination);
    return AviResult::Success();
}

} // namespace vexol::platform::capture
