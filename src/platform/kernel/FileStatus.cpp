#include "platform/kernel/FileStatus.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vexol::platform::kernel {

FileLength MeasureFileLength(const char* path, std::int64_t& length)
{
    if (!path || !*path) {
        return FileLength::NotOpened;
    }
    // O_NONBLOCK: a fifo under the name must not block the user interface.
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return FileLength::NotOpened;
    }
    struct stat st
    {
    };
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || ::flock(fd, LOCK_SH | LOCK_NB) != 0) {
        ::close(fd);
        return FileLength::NotOpened;
    }
    const off_t end = ::lseek(fd, 0, SEEK_END);
    if (end < 0) {
        ::close(fd);
        return FileLength::Failed;
    }
    if (::close(fd) != 0) {
        return FileLength::Failed;
    }
    length = end;
    return FileLength::Measured;
}

bool FileExists(const char* path)
{
    struct stat st
    {
    };
    return path && *path && ::stat(path, &st) == 0;
}

} // namespace vexol::platform::kernel
