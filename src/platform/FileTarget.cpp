#include "platform/FileTarget.h"

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace vexol::platform {

namespace {

constexpr std::string_view kTemporaryPrefix = ".vexol-tmp-";
constexpr std::size_t kTemporaryRandom = 6;

// When this process started, as near as the library can tell: its load time.
const timespec g_processStart = [] {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return now;
}();

bool Before(const timespec& a, const timespec& b)
{
    return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec < b.tv_nsec);
}

// The pseudo file system check of an existing path or, for a new one, its folder.
FileCheck CheckFileSystem(const std::string& path)
{
    struct statfs fs
    {
    };
    if (::statfs(path.c_str(), &fs) != 0) {
        return FileCheck::System(errno);
    }
    return IsPseudoFileSystemType(long(fs.f_type))
               ? FileCheck::Refuse(FileRefusal::PseudoFileSystem)
               : FileCheck{};
}

// Checks an existing entry found by lstat.
FileCheck CheckEntry(const std::string& path, const struct stat& info)
{
    if (S_ISLNK(info.st_mode)) {
        return FileCheck::Refuse(FileRefusal::SymbolicLink);
    }
    if (!S_ISREG(info.st_mode)) {
        return FileCheck::Refuse(FileRefusal::NotRegularFile);
    }
    return CheckFileSystem(path);
}

// Checks an opened descriptor: still a regular file on an ordinary file system.
FileCheck CheckOpened(int fd)
{
    struct stat info
    {
    };
    struct statfs fs
    {
    };
    if (::fstat(fd, &info) != 0 || ::fstatfs(fd, &fs) != 0) {
        return FileCheck::System(errno);
    }
    if (!S_ISREG(info.st_mode)) {
        return FileCheck::Refuse(FileRefusal::NotRegularFile);
    }
    if (IsPseudoFileSystemType(long(fs.f_type))) {
        return FileCheck::Refuse(FileRefusal::PseudoFileSystem);
    }
    return {};
}

FileCheck LockWithoutWaiting(int fd, int operation)
{
    while (::flock(fd, operation | LOCK_NB) != 0) {
        if (errno == EINTR) {
            continue;
        }
        return errno == EWOULDBLOCK ? FileCheck::Refuse(FileRefusal::InUse)
                                    : FileCheck::System(errno);
    }
    return {};
}

void ClearNonBlocking(int fd)
{
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) {
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    }
}

} // namespace

bool IsPseudoFileSystemType(long type)
{
    // Values of <linux/magic.h>; configfs and fusectl are not listed there.
    constexpr long kConfigFs = 0x62656570;
    constexpr long kFuseControl = 0x65735543;
    switch (static_cast<unsigned long>(type) & 0xFFFFFFFFul) {
    case PROC_SUPER_MAGIC:
    case SYSFS_MAGIC:
    case DEBUGFS_MAGIC:
    case TRACEFS_MAGIC:
    case CGROUP_SUPER_MAGIC:
    case CGROUP2_SUPER_MAGIC:
    case SECURITYFS_MAGIC:
    case SELINUX_MAGIC:
    case SMACK_MAGIC:
    case BPF_FS_MAGIC:
    case PSTOREFS_MAGIC:
    case EFIVARFS_MAGIC:
    case DEVPTS_SUPER_MAGIC:
    case BINFMTFS_MAGIC:
    case NSFS_MAGIC:
    case RDTGROUP_SUPER_MAGIC:
    case kConfigFs:
    case kFuseControl:
        return true;
    default:
        return false;
    }
}

std::string FolderOf(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

FileCheck CheckReplaceTarget(const std::string& path)
{
    if (path.empty()) {
        return FileCheck::System(ENOENT);
    }
    struct stat info
    {
    };
    if (::lstat(path.c_str(), &info) != 0) {
        if (errno != ENOENT) {
            return FileCheck::System(errno);
        }
        return CheckFileSystem(FolderOf(path));
    }
    if (FileCheck check = CheckEntry(path, info); !check.Ok()) {
        return check;
    }
    // A writer in place (a recording, an allocation) holds the file locked.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        // Unreadable: the lock cannot be probed, and the rename does not need to read.
        return errno == ELOOP ? FileCheck::Refuse(FileRefusal::SymbolicLink) : FileCheck{};
    }
    FileCheck check = CheckOpened(fd);
    if (check.Ok()) {
        check = LockWithoutWaiting(fd, LOCK_SH);
    }
    ::close(fd);
    return check;
}

LockedFile::~LockedFile()
{
    Close();
}

LockedFile::LockedFile(LockedFile&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}

LockedFile& LockedFile::operator=(LockedFile&& other) noexcept
{
    if (this != &other) {
        Close();
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

bool LockedFile::Close()
{
    if (m_fd < 0) {
        return true;
    }
    const bool ok = ::close(m_fd) == 0;
    m_fd = -1;
    return ok;
}

int LockedFile::Release()
{
    return std::exchange(m_fd, -1);
}

FileCheck LockedFile::OpenForWriting(const std::string& path, LockedFile& file, bool* created)
{
    file.Close();
    if (created) {
        *created = false;
    }
    if (path.empty()) {
        return FileCheck::System(ENOENT);
    }
    // Two rounds: the file may appear or go between the look and the open.
    for (int round = 0; round < 2; ++round) {
        struct stat info
        {
        };
        const bool exists = ::lstat(path.c_str(), &info) == 0;
        if (!exists && errno != ENOENT) {
            return FileCheck::System(errno);
        }
        FileCheck check = exists ? CheckEntry(path, info) : CheckFileSystem(FolderOf(path));
        if (!check.Ok()) {
            return check;
        }
        const int flags =
            O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | (exists ? 0 : O_CREAT | O_EXCL);
        const int fd = ::open(path.c_str(), flags, 0666);
        if (fd < 0) {
            if (errno == ELOOP) {
                return FileCheck::Refuse(FileRefusal::SymbolicLink);
            }
            if ((errno == EEXIST && !exists) || (errno == ENOENT && exists)) {
                continue;
            }
            return FileCheck::System(errno);
        }
        check = CheckOpened(fd);
        if (check.Ok()) {
            check = LockWithoutWaiting(fd, LOCK_EX);
        }
        if (!check.Ok()) {
            ::close(fd);
            if (!exists) {
                ::unlink(path.c_str());
            }
            return check;
        }
        ClearNonBlocking(fd);
        file.m_fd = fd;
        if (created) {
            *created = !exists;
        }
        return {};
    }
    return FileCheck::System(EAGAIN);
}

FileCheck LockedFile::OpenForReading(const std::string& path, LockedFile& file)
{
    file.Close();
    struct stat info
    {
    };
    // Reading through a link is harmless; a FIFO or device is never opened.
    if (::stat(path.c_str(), &info) != 0) {
        return FileCheck::System(errno);
    }
    if (!S_ISREG(info.st_mode)) {
        return FileCheck::Refuse(FileRefusal::NotRegularFile);
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return FileCheck::System(errno);
    }
    FileCheck check = CheckOpened(fd);
    if (check.Ok()) {
        check = LockWithoutWaiting(fd, LOCK_SH);
    }
    if (!check.Ok()) {
        ::close(fd);
        return check;
    }
    ClearNonBlocking(fd);
    file.m_fd = fd;
    return {};
}

FileCheck CreateTemporaryBeside(const std::string& target, int& fd, std::string& path)
{
    fd = -1;
    path.clear();
    std::string pattern = FolderOf(target) + "/" + std::string(kTemporaryPrefix) + "XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int created = ::mkostemp(name.data(), O_CLOEXEC);
    if (created < 0) {
        return FileCheck::System(errno);
    }
    // The lock marks the file as alive for RemoveStaleTemporaryFiles.
    if (::flock(created, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(created);
        ::unlink(name.data());
        return FileCheck::System(error);
    }
    fd = created;
    path.assign(name.data());
    return {};
}

bool IsTemporaryFileName(std::string_view name)
{
    if (name.size() != kTemporaryPrefix.size() + kTemporaryRandom ||
        !name.starts_with(kTemporaryPrefix)) {
        return false;
    }
    for (const char c : name.substr(kTemporaryPrefix.size())) {
        const bool alnum =
            (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!alnum) {
            return false;
        }
    }
    return true;
}

int RemoveStaleTemporaryFiles(const std::string& folder, bool onlyOlderThanProcess)
{
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) {
        return 0;
    }
    int removed = 0;
    while (const dirent* entry = ::readdir(dir)) {
        if (!IsTemporaryFileName(entry->d_name)) {
            continue;
        }
        struct stat info
        {
        };
        if (::fstatat(::dirfd(dir), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(info.st_mode) ||
            (onlyOlderThanProcess && !Before(info.st_mtim, g_processStart))) {
            continue;
        }
        const int fd =
            ::openat(::dirfd(dir), entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            continue;
        }
        // A living writer holds its file locked.
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
            ::unlinkat(::dirfd(dir), entry->d_name, 0) == 0) {
            ++removed;
        }
        ::close(fd);
    }
    ::closedir(dir);
    return removed;
}

} // namespace vexol::platform
