// Shows the capture driver's error texts in message boxes owned by the main window.
//
// The capture service calls its error callback on its own thread and that thread waits
// while the box is open, as a capture error box always did. Widgets live on the
// user-interface thread, so the box is shown there. Unregistering a callback waits for
// running calls of it to return; a capture thread waiting for a box that the
// user-interface thread can no longer show (because it is the one unregistering) would
// never return. CancelPending releases such waiters and drops their boxes; it is called
// when the capture window is destroyed, before the callbacks are unregistered.
#pragma once

#include "platform/WinTypes.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

class CaptureErrorBoxes
{
public:
    CaptureErrorBoxes() = default;
    ~CaptureErrorBoxes();
    CaptureErrorBoxes(const CaptureErrorBoxes&) = delete;
    CaptureErrorBoxes& operator=(const CaptureErrorBoxes&) = delete;

    // Shows `text` with `caption`, an exclamation icon and OK, owned by the main window
    // when there is one, and returns when the box was closed (or dropped). Any thread.
    void Show(const std::string& text, const std::string& caption, UINT style);

    // Releases every thread waiting in Show, drops boxes not yet shown, and makes later
    // calls return at once without a box. Any thread.
    void CancelPending();

private:
    struct Request;

    std::mutex m_mutex; // guards m_pending and m_cancelled
    std::vector<std::shared_ptr<Request>> m_pending;
    bool m_cancelled = false;
};

// The application's main window, the owner of capture boxes and dialogs; null when
// there is none. User-interface thread.
HWND CaptureMainWindow();
