// The one place that decides whether a path may be written, and opens files for
// writing without surprises.
//
// Whole-file writers (stills, JPEG files, saved movies, the settings hive) replace their
// target by renaming a temporary file over it; the capture file is written in place.
// Both refuse, before anything is opened for writing:
//  - anything that is not a regular file: a folder, a device, a FIFO or a socket (a
//    rename would destroy it; opening a FIFO or device could block or act on hardware);
//  - files on the kernel's pseudo file systems (proc, sysfs, debugfs, cgroup, ...),
//    where a write changes the running system; tmpfs and disks are ordinary;
//  - a symbolic link (a caller that means to write through a link resolves it first);
//  - a file that another writer holds locked with flock: the capture file of a running
//    recording, allocation or save.
//
// Temporary files are named ".vexol-tmp-XXXXXX" in the target's folder (short, so a
// long target name still fits) and stay flock-ed by their writer until renamed. A
// writer that died leaves an unlocked one; RemoveStaleTemporaryFiles removes those.
#pragma once

#include <string>
#include <string_view>

namespace vexol::platform {

enum class FileRefusal {
    None,
    NotRegularFile,
    PseudoFileSystem,
    SymbolicLink,
    InUse,
    SystemError, // `error` holds the errno value
};

struct FileCheck
{
    FileRefusal refusal = FileRefusal::None;
    int error = 0; // errno of a SystemError

    bool Ok() const { return refusal == FileRefusal::None; }
    static FileCheck Refuse(FileRefusal refusal) { return FileCheck{refusal, 0}; }
    static FileCheck System(int error) { return FileCheck{FileRefusal::SystemError, error}; }
};

// True for the magic numbers (statfs f_type) of the kernel's pseudo file systems.
bool IsPseudoFileSystemType(long type);

// Whether `path` may be replaced by a new file: it is missing (and its folder is not on
// a pseudo file system) or a regular file on an ordinary file system that no other
// writer holds locked. Nothing is opened for writing.
FileCheck CheckReplaceTarget(const std::string& path);

// An open descriptor with its flock, both released on destruction.
class LockedFile
{
public:
    LockedFile() = default;
    ~LockedFile();
    LockedFile(const LockedFile&) = delete;
    LockedFile& operator=(const LockedFile&) = delete;
    LockedFile(LockedFile&& other) noexcept;
    LockedFile& operator=(LockedFile&& other) noexcept;

    // Opens a regular file for reading and writing, creating it (mode 0666 less the
    // umask) when missing, without following a symbolic link, and locks it exclusively
    // without waiting. `created` tells whether it was made here.
    static FileCheck OpenForWriting(const std::string& path, LockedFile& file,
                                    bool* created = nullptr);
    // Opens an existing regular file for reading with a shared lock, without waiting:
    // writers in place are kept out while it is read.
    static FileCheck OpenForReading(const std::string& path, LockedFile& file);

    int Fd() const { return m_fd; }
    bool IsOpen() const { return m_fd >= 0; }
    // Closes the descriptor, which also releases the lock; the close's result.
    bool Close();
    // Gives the descriptor (with its lock) to the caller, who closes it.
    int Release();

private:
    int m_fd = -1;
};

// The folder part of `path` ("." for a bare name, "/" for a file in the root).
std::string FolderOf(const std::string& path);

// Creates a temporary file beside `target` (mode 0600), named by our pattern and
// locked exclusively while its writer lives.
FileCheck CreateTemporaryBeside(const std::string& target, int& fd, std::string& path);

// True for names our temporary files take: ".vexol-tmp-" and six characters.
bool IsTemporaryFileName(std::string_view name);

// Removes our temporary files in `folder` that no living writer holds. With
// `onlyOlderThanProcess`, only those last changed before this process started (a
// caller that holds a lock of its own over the folder's writers may drop that rule).
// Returns how many were removed. Other files are never touched.
int RemoveStaleTemporaryFiles(const std::string& folder, bool onlyOlderThanProcess = true);

} // namespace vexol::platform
