// Writing a file so that readers see either the old file or the complete new one:
// the bytes go to a temporary file in the target's folder, which is flushed and then
// renamed over the target. A failed or abandoned write removes the temporary file and
// leaves any earlier file under the target path untouched.
#pragma once

#include <cstddef>
#include <string>

namespace vexol::platform {

class AtomicFile
{
public:
    AtomicFile() = default;
    ~AtomicFile(); // abandons an uncommitted write
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Creates the temporary file beside `path`. False (with errno set) when the folder
    // cannot be written or the path is not usable.
    bool Open(const std::string& path);
    // Appends bytes; false on a write error (a full disk, an I/O error).
    bool Write(const void* data, std::size_t size);
    // Flushes, closes and renames the temporary file over the target. False when any
    // step fails; the temporary file is then removed.
    bool Commit();
    // Removes the temporary file; the target is left as it was.
    void Abandon();

    // Writes a whole buffer atomically: Open, Write, Commit.
    static bool WriteAll(const std::string& path, const void* data, std::size_t size);

private:
    int m_fd = -1;
    std::string m_target;
    std::string m_temp;
    bool m_failed = false;
};

} // namespace vexol::platform
