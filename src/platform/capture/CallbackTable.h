// The four callback procedures registered on a driver window. Calls may come from the
// capture thread while the UI thread changes a registration; changing or removing a
// procedure waits until calls of the old one on other threads have returned, so a caller
// that unregisters may free what the procedure uses.
//
// A procedure called on the capture thread must not wait for the UI thread: the UI
// thread joins the capture thread when the driver changes, when a capture starts again
// and when the window goes, and neither would ever return.
#pragma once

#include "platform/capture/CaptureTypes.h"

#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace vexol::platform::capture {

enum class CallbackKind {
    Error,
    Status,
    Yield,
    VideoStream,
};

class CallbackTable
{
public:
    // Registers `procedure` (null removes it). Does not wait when called from inside a
    // call of the same kind on this thread.
    void Set(CallbackKind kind, LPARAM procedure);
    bool IsSet(CallbackKind kind) const;

    // Each returns `absent` when no procedure is registered.
    LRESULT Error(HWND hwnd, int id, const char* text, LRESULT absent = 0);
    LRESULT Status(HWND hwnd, int id, const char* text, LRESULT absent = 0);
    LRESULT Yield(HWND hwnd, LRESULT absent = 1);
    LRESULT VideoStream(HWND hwnd, VIDEOHDR* header, LRESULT absent = 0);

private:
    struct Slot
    {
        LPARAM procedure = 0;                 // the procedure as the message carried it
        std::vector<std::thread::id> callers; // threads inside a call right now
    };
    template <typename Procedure, typename... Args>
    LRESULT Invoke(CallbackKind kind, LRESULT absent, Args... args);

    mutable std::mutex m_mutex; // guards m_slots
    std::condition_variable m_callReturned;
    Slot m_slots[4];
};

} // namespace vexol::platform::capture
