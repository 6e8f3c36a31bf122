// Saving the captured movie: copies the movie of the capture file (its RIFF parts, not
// the pre-allocated rest of the file) to a file the user names. A capture file that was
// cut short or whose indexes are damaged is rebuilt from the whole chunks it holds
// (AviRebuild.h) instead of refused.
#pragma once

#include "platform/capture/AviResult.h"

#include <cstdint>
#include <functional>
#include <string>

namespace vexol::platform::capture {

// Called before the copy and after every block: bytes copied and bytes in all. Return
// false to cancel.
using AviCopyProgress = std::function<bool(std::uint64_t done, std::uint64_t total)>;

struct AviSaveSummary
{
    bool rebuilt = false; // the source was cut short; these were kept:
    std::uint64_t videoFrames = 0;
    std::uint64_t audioChunks = 0;
};

// The copy goes to a temporary file in the destination's folder that is synced and
// then renamed over the destination, so an existing destination is replaced whole or
// left untouched (on any failure or a cancel). The capture file is read under a shared
// lock; the destination must be a regular file or new (AtomicFile's rules).
//   ERROR_INVALID_PARAMETER  an empty path, or the destination is the source itself
//   ERROR_FILE_NOT_FOUND     the source does not exist
//   ERROR_INVALID_DATA       the source holds no movie that can be read or rebuilt
//   ERROR_ACCESS_DENIED      the destination is refused or cannot be written
//   kErrorSharingViolation   a recording or allocation holds the capture file
//   kErrorDiskFull, kErrorPathNotFound, ERROR_WRITE_FAULT   from the file system
//   kErrorCancelled          the progress callback cancelled
AviResult SaveCaptureFileAs(const std::string& source, const std::string& destination,
                            const AviCopyProgress& progress = {},
                            AviSaveSummary* summary = nullptr);

} // namespace vexol::platform::capture
