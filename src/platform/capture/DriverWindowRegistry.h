// The live driver windows, by handle. A handle is found here from its window's creation
// until the start of its destruction; every thread may look one up.
#pragma once

#include "platform/capture/DriverWindowState.h"

#include <memory>

namespace vexol::platform::capture {

void RegisterDriverWindow(HWND handle, std::shared_ptr<DriverWindowState> state);
void UnregisterDriverWindow(HWND handle);
// The window's state, or null when `handle` is no live driver window.
std::shared_ptr<DriverWindowState> FindDriverWindow(HWND handle);

} // namespace vexol::platform::capture
