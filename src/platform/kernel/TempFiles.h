// Short-lived files in the temporary folder: made under a name nobody else can take,
// read back whole and removed again.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vexol::kernel {

// The temporary folder: TMPDIR when it names an existing folder, else /tmp. Ends in '/'.
std::string TemporaryFolder();

// Creates a new, empty file "<folder><prefix>XXXXXX<suffix>" in the temporary folder,
// exclusively (a name already taken, a link included, is never opened) and readable and
// writable by the user alone. Its path, or empty when it cannot be made.
std::string CreateTemporaryFile(const char* prefix, const char* suffix);

// The whole contents of the regular file `path` (a link is not followed); false when it
// cannot be opened or read.
bool ReadWholeFile(const char* path, std::vector<std::uint8_t>& bytes);

// Removes `path` (a link itself, not its target); false when nothing was removed.
bool DeleteFile(const char* path);

} // namespace vexol::kernel
