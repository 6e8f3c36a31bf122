#include "platform/registry/HiveFile.h"

#include "platform/AtomicFile.h"
#include "platform/FileTarget.h"

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace vexol::platform::registry {

namespace {

// A file changed this shortly before it was read may change again without its size
// or times showing it (the file system's clock ticks coarsely): it is read again.
constexpr std::int64_t kRacyNanoseconds = 50'000'000;

// What tells one version of the hive file from another.
struct FileIdentity
{
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
    timespec changed{};

    static FileIdentity Of(const struct stat& info)
    {
        return FileIdentity{true,         info.st_dev,  info.st_ino,
                            info.st_size, info.st_mtim, info.st_ctim};
    }
    bool operator==(const FileIdentity& o) const
    {
        return exists == o.exists && device == o.device && inode == o.inode && size == o.size &&
               modified.tv_sec == o.modified.tv_sec && modified.tv_nsec == o.modified.tv_nsec &&
               changed.tv_sec == o.changed.tv_sec && changed.tv_nsec == o.changed.tv_nsec;
    }
};

std::int64_t Nanoseconds(const timespec& t)
{
    return std::int64_t(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

std::int64_t NowNanoseconds()
{
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return Nanoseconds(now);
}

// The parsed hive of the last file read, for this process.
struct HiveCache
{
    std::mutex mutex; // guards every field below; also serialises this process's transactions
    bool valid = false;
    std::string path; // the resolved path it was read from
    FileIdentity identity;
    std::int64_t loadedAt = 0; // when it was read (ns)
    bool ownWrite = false;     // the file is the one this process wrote last
    HiveParse outcome = HiveParse::Complete;
    Hive hive;
    std::uint64_t parses = 0;
};

HiveCache& Cache()
{
    static HiveCache cache;
    return cache;
}

LONG ErrorFromErrno(int error)
{
    switch (error) {
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ELOOP:
    case EINVAL:
    case EBUSY:
        return LONG(ERROR_ACCESS_DENIED);
    case ENOSPC:
    case EDQUOT:
        return LONG(ERROR_HANDLE_DISK_FULL);
    case ENOMEM:
        return LONG(ERROR_NOT_ENOUGH_MEMORY);
    default:
        return LONG(ERROR_WRITE_FAULT);
    }
}

bool IsMissing(int error)
{
    return error == ENOENT || error == ENOTDIR;
}

// Follows symbolic links at the end of `path` to the file they name, which may not
// exist yet. Folders along the way are left as they are.
std::string ResolveLinks(const std::string& path)
{
    std::string current = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat info
        {
        };
        if (::lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
            return current;
        }
        std::vector<char> target(std::size_t(info.st_size > 0 ? info.st_size : 255) + 1);
        const ssize_t n = ::readlink(current.c_str(), target.data(), target.size());
        if (n <= 0 || std::size_t(n) >= target.size()) {
            return current;
        }
        const std::string next(target.data(), std::size_t(n));
        current = next.front() == '/' ? next : FolderOf(current) + "/" + next;
    }
    return current; // a loop: the writers refuse the link itself
}

// Creates the folders above `path` that are missing.
bool MakeParentFolders(const std::string& path)
{
    const std::string folder = FolderOf(path);
    struct stat info
    {
    };
    if (::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        return true;
    }
    for (std::size_t pos = 1; pos <= folder.size(); ++pos) {
        if (pos != folder.size() && folder[pos] != '/') {
            continue;
        }
        const std::string prefix = folder.substr(0, pos);
        if (::mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST) {
            return false;
        }
    }
    return true;
}

// The flock on "<hive>.lock", held from construction to destruction.
class HiveLock
{
public:
    // A shared lock is taken only when the lock file exists (a read creates nothing);
    // an exclusive one creates it.
    HiveLock(const std::string& lockPath, bool exclusive)
    {
        m_fd = exclusive ? ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600)
                         : -1;
        if (m_fd < 0) {
            // Read-only use, or an existing lock file in a folder we cannot write: the
            // lock still works, and the write itself reports the denial.
            m_fd = ::open(lockPath.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
            if (m_fd < 0) {
                m_error = exclusive ? (errno == ENOENT ? EACCES : errno) : 0;
                return;
            }
        }
        while (::flock(m_fd, exclusive ? LOCK_EX : LOCK_SH) != 0) {
            if (errno != EINTR) {
                m_error = errno;
                ::close(m_fd);
                m_fd = -1;
                return;
            }
        }
    }
    ~HiveLock()
    {
        if (m_fd >= 0) {
            ::close(m_fd); // releases the lock
        }
    }
    HiveLock(const HiveLock&) = delete;
    HiveLock& operator=(const HiveLock&) = delete;

    int Error() const { return m_error; }

private:
    int m_fd = -1;
    int m_error = 0;
};

// Reads the hive file at `path` into the cache when it changed since the last read.
// Returns 0 or the errno value of a file that exists but cannot be read.
int Refresh(HiveCache& cache, const std::string& path)
{
    struct stat info
    {
    };
    FileIdentity identity;
    if (::lstat(path.c_str(), &info) == 0) {
        if (!S_ISREG(info.st_mode)) {
            cache.valid = false;
            return EISDIR; // a folder, FIFO, device or link loop where the hive should be
        }
        identity = FileIdentity::Of(info);
    } else if (!IsMissing(errno)) {
        cache.valid = false;
        return errno;
    }
    const bool racy = !cache.ownWrite &&
                      (Nanoseconds(cache.identity.modified) + kRacyNanoseconds >= cache.loadedAt ||
                       Nanoseconds(cache.identity.changed) + kRacyNanoseconds >= cache.loadedAt);
    if (cache.valid && cache.path == path && cache.identity == identity && !racy) {
        return 0;
    }
    cache.valid = false;
    cache.hive = Hive();
    cache.outcome = HiveParse::Complete;
    cache.ownWrite = false;
    cache.loadedAt = NowNanoseconds();
    if (identity.exists) {
        // Never blocks: only a regular file is opened, and never through a new link.
        const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0 && !IsMissing(errno)) {
            return errno;
        }
        if (fd < 0) {
            identity = FileIdentity{}; // removed since the look: missing
        } else {
            if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
                const int error = errno != 0 ? errno : EISDIR;
                ::close(fd);
                return error;
            }
            identity = FileIdentity::Of(info);
            if (std::uint64_t(info.st_size) > kMaxHiveFileSize) {
                cache.outcome = HiveParse::Unreadable;
            } else {
                std::string text;
                text.resize(std::size_t(info.st_size));
                std::size_t done = 0;
                while (done < text.size()) {
                    const ssize_t n = ::read(fd, text.data() + done, text.size() - done);
                    if (n < 0 && errno == EINTR) {
                        continue;
                    }
                    if (n < 0) {
                        const int error = errno;
                        ::close(fd);
                        return error;
                    }
                    if (n == 0) {
                        break; // shortened meanwhile: parse what is there
                    }
                    done += std::size_t(n);
                }
                text.resize(done);
                ++cache.parses;
                cache.outcome = cache.hive.Parse(text);
            }
            ::close(fd);
        }
    }
    cache.path = path;
    cache.identity = identity;
    cache.valid = true;
    return 0;
}

// Renames `from` to `to` unless `to` exists. False with errno EEXIST when it does.
bool RenameNoReplace(const std::string& from, const std::string& to)
{
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return true;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return false;
    }
    // A file system without the no-replace rename: a hard link fails on an existing
    // name just as well.
    if (::link(from.c_str(), to.c_str()) == 0) {
        ::unlink(from.c_str());
        return true;
    }
    if (errno != EPERM && errno != ENOSYS) {
        return false;
    }
    struct stat info
    {
    };
    if (::lstat(to.c_str(), &info) == 0) {
        errno = EEXIST;
        return false;
    }
    return ::rename(from.c_str(), to.c_str()) == 0;
}

// Moves a damaged hive aside to the first free name of <hive>.bad, <hive>.bad.1, ...
bool MoveAside(const std::string& path)
{
    constexpr int kMaxCopies = 10000;
    for (int n = 0; n < kMaxCopies; ++n) {
        const std::string target =
            path + ".bad" + (n == 0 ? std::string() : "." + std::to_string(n));
        if (RenameNoReplace(path, target)) {
            return true;
        }
        if (errno != EEXIST) {
            return false;
        }
    }
    errno = EEXIST;
    return false;
}

// Removes temporary files of writers that died. Runs under the exclusive lock, so no
// living hive writer owns one; the names of earlier versions ("<hive>.tmp-XXXXXX")
// are removed too.
void RemoveStaleTemporaryFilesOf(const std::string& path)
{
    const std::string folder = FolderOf(path);
    RemoveStaleTemporaryFiles(folder, false);
    const std::size_t slash = path.rfind('/');
    const std::string prefix =
        (slash == std::string::npos ? path : path.substr(slash + 1)) + ".tmp-";
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) {
        return;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name(entry->d_name);
        if (name.size() == prefix.size() + 6 && name.starts_with(prefix)) {
            ::unlinkat(::dirfd(dir), entry->d_name, 0);
        }
    }
    ::closedir(dir);
}

bool IsEmpty(const Hive& hive)
{
    const RegistryKey& machine = hive.Root(RootKey::LocalMachine);
    const RegistryKey& user = hive.Root(RootKey::CurrentUser);
    return machine.ValueCount() == 0 && machine.SubkeyCount() == 0 && user.ValueCount() == 0 &&
           user.SubkeyCount() == 0;
}

// The write of a transaction, under the exclusive lock: a damaged file goes aside
// first, then the hive is written unless it is a damaged file's empty remains.
LONG WriteBack(HiveCache& cache, const std::string& path, bool changed)
{
    const bool damaged = cache.outcome != HiveParse::Complete;
    RemoveStaleTemporaryFilesOf(path);
    if (damaged && cache.identity.exists && !MoveAside(path)) {
        return ErrorFromErrno(errno);
    }
    if (damaged && !changed && IsEmpty(cache.hive)) {
        cache.identity = FileIdentity{};
        cache.outcome = HiveParse::Complete;
        cache.ownWrite = true;
        return LONG(ERROR_SUCCESS);
    }
    const std::string text = cache.hive.Serialise();
    if (text.size() > kMaxHiveFileSize) {
        return LONG(ERROR_NOT_ENOUGH_MEMORY);
    }
    AtomicFileOptions options;
    options.newFileMode = 0600;
    if (!AtomicFile::WriteAll(path, text.data(), text.size(), nullptr, options)) {
        return ErrorFromErrno(errno);
    }
    struct stat info
    {
    };
    if (::lstat(path.c_str(), &info) != 0) {
        return ErrorFromErrno(errno);
    }
    cache.identity = FileIdentity::Of(info);
    cache.outcome = HiveParse::Complete;
    cache.ownWrite = true;
    return LONG(ERROR_SUCCESS);
}

// Runs `change` on the hive under the exclusive lock and writes the result.
LONG Transaction(HiveCache& cache, const std::string& path,
                 const std::function<LONG(Hive& hive, bool& changed)>& change)
{
    if (!MakeParentFolders(path)) {
        return ErrorFromErrno(errno);
    }
    const HiveLock lock(path + ".lock", true);
    if (lock.Error() != 0) {
        return ErrorFromErrno(lock.Error());
    }
    if (const int error = Refresh(cache, path); error != 0) {
        return ErrorFromErrno(error); // never write over a hive we cannot read
    }
    bool changed = false;
    LONG result = LONG(ERROR_SUCCESS);
    try {
        result = change(cache.hive, changed);
    } catch (...) {
        cache.valid = false; // the change may have stopped half way
        throw;
    }
    if (result != LONG(ERROR_SUCCESS) || (!changed && cache.outcome == HiveParse::Complete)) {
        if (changed) {
            cache.valid = false;
        }
        return result;
    }
    const LONG written = WriteBack(cache, path, changed);
    if (written != LONG(ERROR_SUCCESS)) {
        if (changed) {
            cache.valid = false; // memory no longer matches the file
        }
        return written;
    }
    return result;
}

} // namespace

std::string HivePath()
{
    if (const char* explicitPath = std::getenv("VEXOL_REGISTRY"); explicitPath && *explicitPath) {
        return explicitPath;
    }
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && config[0] == '/') {
        return std::string(config) + "/vexol/registry.reg";
    }
    std::string home;
    if (const char* env = std::getenv("HOME"); env && *env) {
        home = env;
    } else {
        struct passwd entry
        {
        };
        struct passwd* found = nullptr;
        std::vector<char> buffer(16384);
        if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
            found->pw_dir && *found->pw_dir) {
            home = found->pw_dir;
        }
    }
    if (home.empty()) {
        return {};
    }
    return home + "/.config/vexol/registry.reg";
}

LONG ReadHive(const std::function<LONG(const Hive& hive)>& use)
{
    HiveCache& cache = Cache();
    const std::lock_guard guard(cache.mutex);
    const std::string named = HivePath();
    if (named.empty()) {
        return use(Hive());
    }
    const std::string path = ResolveLinks(named);
    int error = 0;
    {
        const HiveLock lock(path + ".lock", false);
        error = Refresh(cache, path);
    }
    if (error != 0) {
        return IsMissing(error) ? use(Hive()) : ErrorFromErrno(error);
    }
    if (cache.outcome != HiveParse::Complete) {
        // A damaged hive goes aside at once, with what parsed written back. Where that
        // cannot be done (a read-only folder) the hive is still read as it parsed.
        Transaction(cache, path, [](Hive&, bool&) { return LONG(ERROR_SUCCESS); });
        if (!cache.valid && Refresh(cache, path) != 0) {
            return use(Hive());
        }
    }
    return use(cache.hive);
}

LONG UpdateHiveFile(const std::function<LONG(Hive& hive, bool& changed)>& change)
{
    HiveCache& cache = Cache();
    const std::lock_guard guard(cache.mutex);
    const std::string named = HivePath();
    if (named.empty()) {
        return LONG(ERROR_ACCESS_DENIED);
    }
    return Transaction(cache, ResolveLinks(named), change);
}

std::uint64_t HiveParseCount()
{
    HiveCache& cache = Cache();
    const std::lock_guard guard(cache.mutex);
    return cache.parses;
}

} // namespace vexol::platform::registry
