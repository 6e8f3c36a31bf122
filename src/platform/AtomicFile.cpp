#include "platform/AtomicFile.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace vexol::platform {

AtomicFile::~AtomicFile()
{
    Abandon();
}

bool AtomicFile::Open(const std::string& path)
{
    Abandon();
    if (path.empty()) {
        errno = ENOENT;
        return false;
    }
    m_target = path;
    m_failed = false;
    // The temporary file lives in the target's folder so that the rename stays on one
    // file system and is atomic.
    std::vector<char> name(path.begin(), path.end());
    const char suffix[] = ".tmp-XXXXXX";
    name.insert(name.end(), suffix, suffix + sizeof suffix);
    m_fd = ::mkstemp(name.data());
    if (m_fd < 0) {
        return false;
    }
    m_temp.assign(name.data());
    // mkstemp creates 0600; give the new file the mode an ordinary create would, or the
    // mode of the file it replaces.
    struct stat old{};
    mode_t mode;
    if (::stat(path.c_str(), &old) == 0) {
        mode = old.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    ::fchmod(m_fd, mode);
    return true;
}

bool AtomicFile::Write(const void* data, std::size_t size)
{
    if (m_fd < 0 || m_failed) {
        return false;
    }
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(m_fd, p, size);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            m_failed = true;
            return false;
        }
        p += n;
        size -= std::size_t(n);
    }
    return true;
}

bool AtomicFile::Commit()
{
    if (m_fd < 0) {
        return false;
    }
    bool ok = !m_failed && ::fsync(m_fd) == 0;
    ok = (::close(m_fd) == 0) && ok;
    m_fd = -1;
    if (ok && ::rename(m_temp.c_str(), m_target.c_str()) == 0) {
        m_temp.clear();
        return true;
    }
    const int saved = errno;
    ::unlink(m_temp.c_str());
    m_temp.clear();
    errno = saved;
    return false;
}

void AtomicFile::Abandon()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (!m_temp.empty()) {
        ::unlink(m_temp.c_str());
        m_temp.clear();
    }
}

bool AtomicFile::WriteAll(const std::string& path, const void* data, std::size_t size)
{
    AtomicFile file;
    return file.Open(path) && file.Write(data, size) && file.Commit();
}

} // namespace vexol::platform
