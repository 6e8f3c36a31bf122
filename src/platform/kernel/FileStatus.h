// The two questions the capture-file commands ask about a file: does it exist, and how
// long is it.
#pragma once

#include <cstdint>

namespace vexol::platform::kernel {

enum class FileLength {
    Measured,  // the length was read
    NotOpened, // missing, not a regular file, or in use by another writer
    Failed,    // it opened, but seeking to its end or closing it failed
};

// Opens `path` for reading without sharing it with a writer (a non-blocking shared
// lock: a file locked by a recording elsewhere does not open), seeks to its end and
// closes it. `length` is set only when Measured.
FileLength MeasureFileLength(const char* path, std::int64_t& length);

// True when something exists under `path` (links are followed).
bool FileExists(const char* path);

} // namespace vexol::platform::kernel
