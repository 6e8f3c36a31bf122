// Writing a file so that readers see either the old file or the complete new one:
// the bytes go to a temporary file in the target's folder, which is flushed and then
// renamed over the target. A failed or abandoned write removes the temporary file and
// leaves any earlier file under the target path untouched.
//
// Only a regular file (or a new name) is ever replaced: a folder, device, FIFO, socket,
// symbolic link, a file on a kernel pseudo file system or a file that another writer
// holds locked is refused before anything is written (see FileTarget.h). Opening also
// removes temporary files that crashed writers left in the folder.
#pragma once

#include "platform/FileTarget.h"

#include <cstddef>
#include <string>
#include <sys/types.h>

namespace vexol::platform {

struct AtomicFileOptions
{
    // Mode of a new file, less the umask. A replaced file keeps its own mode.
    mode_t newFileMode = 0666;
    // Whether Commit forces the bytes to the disk before the rename. Without, the file
    // is still replaced whole, but a crash soon after may leave the earlier one.
    bool flush = true;
};

class AtomicFile
{
public:
    AtomicFile() = default;
    ~AtomicFile(); // abandons an uncommitted write
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Creates the temporary file beside `path`. False when the target may not be
    // replaced or the folder cannot be written; Check() then says why and errno is set.
    bool Open(const std::string& path, const AtomicFileOptions& options = {});
    // Appends bytes; false on a write error (a full disk, an I/O error).
    bool Write(const void* data, std::size_t size);
    // Flushes, closes and renames the temporary file over the target. False when any
    // step fails; the temporary file is then removed.
    bool Commit();
    // Removes the temporary file; the target is left as it was.
    void Abandon();

    // Why the last Open, Write or Commit failed.
    const FileCheck& Check() const { return m_check; }
    // The temporary file's descriptor while open (for writers that need one).
    int Fd() const { return m_fd; }

    // Writes a whole buffer atomically: Open, Write, Commit. `why`, when given,
    // receives the reason of a failure.
    static bool WriteAll(const std::string& path, const void* data, std::size_t size,
                         FileCheck* why = nullptr, const AtomicFileOptions& options = {});

private:
    bool Failed(FileCheck check);

    int m_fd = -1;
    std::string m_target;
    std::string m_temp;
    bool m_failed = false;
    bool m_flush = true;
    FileCheck m_check;
};

// The errno value a refusal is reported with where only errno travels: EISDIR or
// EINVAL for a non-regular file, EPERM for a pseudo file system, ELOOP for a link,
// EBUSY for a file in use, the error itself otherwise.
int ErrnoOf(const FileCheck& check);

// The process's umask, read without changing it.
mode_t CurrentUmask();

} // namespace vexol::platform
