// Short-lived files in the temporary folder: made under a name nobody else can take,
// read back and removed again.
#pragma once

#include <cstdint>
#include <string>

namespace vexol::platform::kernel {

// The temporary folder: TMPDIR when it names an existing folder, else /tmp. Ends in '/'.
std::string TemporaryFolder();

// Creates a new, empty file "<folder><prefix>XXXXXX<suffix>" in the temporary folder,
// exclusively (a name already taken, a link included, is never opened) and readable and
// writable by the user alone. Its path, or empty when it cannot be made.
std::string CreateTemporaryFile(const char* prefix, const char* suffix);

// The contents of a regular file (a link is not followed), mapped read-only while the
// object lives: read without copying them into new memory first. The file may be
// removed meanwhile, but must not be cut short.
class MappedFile
{
public:
    MappedFile() = default;
    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    // False when the file cannot be opened or mapped, or is empty.
    bool Open(const char* path);
    const std::uint8_t* Data() const { return m_data; }
    std::size_t Size() const { return m_size; }

private:
    const std::uint8_t* m_data = nullptr;
    std::size_t m_size = 0;
};

// Removes `path` (a link itself, not its target); false when nothing was removed.
bool DeleteFile(const char* path);

} // namespace vexol::platform::kernel
