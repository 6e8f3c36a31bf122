// Pre-allocation of the capture file: the file gets exactly the size the user chose,
// with its blocks reserved on disk, so that recording into it cannot fail for lack of
// space until the movie outgrows it.
#pragma once

#include "platform/capture/AviResult.h"

#include <cstdint>
#include <functional>
#include <string>

namespace vexol::platform::capture {

// Called between the pieces of a long allocation with the bytes reserved so far and the
// whole size; returning false cancels the allocation.
using AllocationProgress = std::function<bool(std::uint64_t done, std::uint64_t total)>;

// Creates `path` when missing and sets its length to `bytes` with every block
// allocated. A larger existing file is cut down to `bytes` (the size is the user's
// choice, and shrinking is how the user gives disk space back); bytes below the new
// length are kept, so a movie that fits stays readable. Zero is refused (a size of
// 4096 MB wraps to 0 in 32 bits and must not empty the file). The blocks are reserved
// in pieces, with `progress` asked between them. On failure or cancel the file keeps
// its earlier length and bytes, and a file created by the call is removed.
//   ERROR_INVALID_PARAMETER  empty path, zero bytes or more than a file can hold
//   kErrorPathNotFound       the folder does not exist
//   ERROR_ACCESS_DENIED      not a regular file, or not writable
//   kErrorDiskFull           not enough space (ENOSPC, EDQUOT)
//   kErrorFileTooLarge       beyond the file system's or the process's size limit
//   kErrorCancelled          `progress` returned false
AviResult AllocateCaptureFile(const std::string& path, std::uint64_t bytes,
                              const AllocationProgress& progress = {});

// The size of one reserved piece.
inline constexpr std::uint64_t kAllocationPieceBytes = 64u << 20;

// For tests: called on the allocating thread before each piece is reserved (an empty
// function removes it).
void SetAllocationPieceHookForTesting(std::function<void()> hook);

} // namespace vexol::platform::capture
