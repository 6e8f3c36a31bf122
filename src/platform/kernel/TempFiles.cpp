#include "platform/kernel/TempFiles.h"

#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vexol::platform::kernel {

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

MappedFile::~MappedFile()
{
    if (m_data) {
        ::munmap(const_cast<std::uint8_t*>(m_data), m_size);
    }
}

bool MappedFile::Open(const char* path)
{
    if (m_data || !path || !*path) {
        return false;
    }
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) {
        return false;
    }
    struct stat st
    {
    };
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
        // All pages at once: faulting them in one by one costs more than reading them.
        void* mapped =
            ::mmap(nullptr, std::size_t(st.st_size), PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
        if (mapped != MAP_FAILED) {
            m_data = static_cast<const std::uint8_t*>(mapped);
            m_size = std::size_t(st.st_size);
        }
    }
    ::close(fd);
    return m_data != nullptr;
}

bool DeleteFile(const char* path)
{
    return path && *path && ::unlink(path) == 0;
}

} // namespace vexol::platform::kernel
