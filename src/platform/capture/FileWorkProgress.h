// Long file work of the capture service (pre-allocating the capture file, copying the
// movie) runs on a worker thread while the calling user-interface thread keeps handling
// events, so the windows keep painting. When the work has not finished within half a
// second, a progress dialog shows how far it is and lets the user cancel it.
#pragma once

#include "platform/capture/AviResult.h"

#include <cstdint>
#include <functional>
#include <string>

class QWidget;

namespace vexol::platform::capture {

// Reports the bytes done and the whole size; returns false once the user cancelled.
// Called on the worker thread.
using FileWorkReport = std::function<bool(std::uint64_t done, std::uint64_t total)>;

// How long the work may take before the progress dialog appears.
inline constexpr int kFileWorkProgressDelayMs = 500;

// Runs `work` on a worker thread and returns its result; user-interface thread. The
// progress dialog is window-modal to `owner` (which may be destroyed meanwhile: the
// work is then cancelled) and labelled `label`.
AviResult RunFileWorkWithProgress(QWidget* owner, const std::string& label,
                                  const std::function<AviResult(const FileWorkReport&)>& work);

} // namespace vexol::platform::capture
