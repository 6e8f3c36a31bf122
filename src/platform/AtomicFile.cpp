#include "platform/AtomicFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vexol::platform {

int ErrnoOf(const FileCheck& check)
{
    switch (check.refusal) {
    case FileRefusal::None:
        return 0;
    case FileRefusal::NotRegularFile:
        return EINVAL;
    case FileRefusal::PseudoFileSystem:
        return EPERM;
    case FileRefusal::SymbolicLink:
        return ELOOP;
    case FileRefusal::InUse:
        return EBUSY;
    case FileRefusal::SystemError:
        return check.error != 0 ? check.error : EIO;
    }
    return EIO;
}

mode_t CurrentUmask()
{
    // /proc/self/status has it since Linux 4.7; changing the umask to read it would
    // race with other threads creating files.
    if (FILE* status = std::fopen("/proc/self/status", "re")) {
        char line[256];
        unsigned mask = 0;
        while (std::fgets(line, sizeof line, status)) {
            if (std::sscanf(line, "Umask: %o", &mask) == 1) {
                std::fclose(status);
                return mode_t(mask & 0777);
            }
        }
        std::fclose(status);
    }
    return 022;
}

AtomicFile::~AtomicFile()
{
    Abandon();
}

bool AtomicFile::Failed(FileCheck check)
{
    m_check = check;
    m_failed = true;
    errno = ErrnoOf(check);
    return false;
}

bool AtomicFile::Open(const std::string& path, const AtomicFileOptions& options)
{
    Abandon();
    m_check = {};
    m_failed = false;
    if (path.empty()) {
        return Failed(FileCheck::System(ENOENT));
    }
    if (FileCheck check = CheckReplaceTarget(path); !check.Ok()) {
        return Failed(check);
    }
    m_target = path;
    m_flush = options.flush;
    const std::string folder = FolderOf(path);
    RemoveStaleTemporaryFiles(folder);
    // The temporary file lives in the target's folder so that the rename stays on one
    // file system and is atomic.
    if (FileCheck check = CreateTemporaryBeside(path, m_fd, m_temp); !check.Ok()) {
        return Failed(check);
    }
    // The temporary file is 0600; give it the mode an ordinary create would, or the
    // mode of the file it replaces.
    struct stat old
    {
    };
    const mode_t mode = ::lstat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode)
                            ? (old.st_mode & 07777)
                            : (options.newFileMode & ~CurrentUmask() & 07777);
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
            return Failed(FileCheck::System(errno));
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
    // A fine-grained modification time tells readers that cache the file (the settings
    // hive) that it changed, even within one tick of the file system's own clock.
    timespec now[2];
    ::clock_gettime(CLOCK_REALTIME, &now[0]);
    now[1] = now[0];
    ::futimens(m_fd, now);
    FileCheck check = m_failed ? m_check : FileCheck{};
    if (check.Ok() && m_flush && ::fsync(m_fd) != 0) {
        check = FileCheck::System(errno);
    }
    // The target may have changed since Open: look again right before replacing it.
    if (check.Ok()) {
        check = CheckReplaceTarget(m_target);
    }
    if (check.Ok() && ::rename(m_temp.c_str(), m_target.c_str()) == 0) {
        m_temp.clear();
        // Closing releases the temporary file's lock; only now is it the target.
        const bool closed = ::close(m_fd) == 0;
        m_fd = -1;
        if (!closed) {
            return Failed(FileCheck::System(errno));
        }
        return true;
    }
    if (check.Ok()) {
        check = FileCheck::System(errno);
    }
    Abandon();
    return Failed(check);
}

void AtomicFile::Abandon()
{
    if (!m_temp.empty()) {
        ::unlink(m_temp.c_str());
        m_temp.clear();
    }
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

bool AtomicFile::WriteAll(const std::string& path, const void* data, std::size_t size,
                          FileCheck* why, const AtomicFileOptions& options)
{
    AtomicFile file;
    const bool ok = file.Open(path, options) && file.Write(data, size) && file.Commit();
    if (why) {
        *why = ok ? FileCheck{} : file.Check();
    }
    return ok;
}

} // namespace vexol::platform
