#include "platform/kernel/TempFiles.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vexol::kernel {

std::string TemporaryFolder()
{
    std::string folder = "/tmp";
    if (const char* tmpdir = std::getenv("TMPDIR"); tmpdir && *tmpdir) {
        struct stat st
        {
        };
        if (::stat(tmpdir, &st) == 0 && S_ISDIR(st.st_mode)) {
            folder = tmpdir;
        }
    }
    if (folder.back() != '/') {
        folder += '/';
    }
    return folder;
}

std::string CreateTemporaryFile(const char* prefix, const char* suffix)
{
    const std::string ending = suffix ? suffix : "";
    std::string name = TemporaryFolder() + (prefix ? prefix : "") + "XXXXXX" + ending;
    // mkstemps opens with O_CREAT | O_EXCL and mode 0600.
    const int fd = ::mkstemps(name.data(), int(ending.size()));
    if (fd < 0) {
        return {};
    }
    ::close(fd);
    return name;
}

bool ReadWholeFile(const char* path, std::vector<std::uint8_t>& bytes)
{
    bytes.clear();
    if (!path || !*path) {
        return false;
    }
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) {
        return false;
    }
    struct stat st
    {
    };
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (ok) {
        bytes.resize(std::size_t(st.st_size));
        std::size_t done = 0;
        while (ok && done < bytes.size()) {
            const ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            ok = n > 0;
            done += ok ? std::size_t(n) : 0;
        }
    }
    ok = ::close(fd) == 0 && ok;
    if (!ok) {
        bytes.clear();
    }
    return ok;
}

bool DeleteFile(const char* path)
{
    return path && *path && ::unlink(path) == 0;
}

} // namespace vexol::kernel
