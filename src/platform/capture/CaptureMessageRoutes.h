// The capture messages and where each one is answered: one row per message with the
// thread it may come from and its handler. SendMessageA routes through this table only;
// a message without a row answers 0.
#pragma once

#include "platform/capture/CaptureTypes.h"

#include <span>

namespace vexol::platform::capture {

class DriverWindowState;

enum class MessageThread {
    // Queries, settings, callback registration, stop and abort: answered on whichever
    // thread sends them, from the window's thread-safe state.
    Any,
    // Acts on the driver or the display: answered on the window's own (UI) thread only,
    // while the window exists; 0 from other threads.
    Window,
};

struct CaptureMessageRoute
{
    UINT message;
    MessageThread thread;
    // For Window rows the router has checked the thread and that `state.Window()` exists.
    LRESULT (*handler)(DriverWindowState& state, WPARAM wParam, LPARAM lParam);
};

// Every row, in message number order.
std::span<const CaptureMessageRoute> CaptureMessageRoutes();

// The row for `message`, or null.
const CaptureMessageRoute* FindCaptureMessageRoute(UINT message);

// Answers `message` for the driver window whose state is `state`, on the calling thread.
LRESULT RouteCaptureMessage(DriverWindowState& state, UINT message, WPARAM wParam, LPARAM lParam);

} // namespace vexol::platform::capture
