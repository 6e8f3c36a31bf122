// Pre-allocation of the capture file: the file gets exactly the size the user chose,
// with its blocks reserved on disk, so that recording into it cannot fail for lack of
// space until the movie outgrows it.
#pragma once

#include "platform/capture/AviResult.h"

#include <string>

namespace vexol::platform::capture {

// Creates `path` when missing and sets its length to `bytes` with every block
// allocated. A larger existing file is cut down to `bytes` (the size is the user's
// choice, and shrinking is how the user gives disk space back); bytes below the new
// length are kept, so a movie that fits stays readable. Zero is refused (a size of
// 4096 MB wraps to 0 in 32 bits and must not empty the file). On failure the file
// keeps its earlier length, and a file created by the call is removed.
//   ERROR_INVALID_PARAMETER  empty path or zero bytes
//   kErrorPathNotFound       the folder does not exist
//   ERROR_ACCESS_DENIED      not a regular file, or not writable
//   kErrorDiskFull           not enough space (ENOSPC, EDQUOT)
//   kErrorFileTooLarge       beyond the file system's or the process's size limit
AviResult AllocateCaptureFile(const std::string& path, DWORD bytes);

} // namespace vexol::platform::capture
