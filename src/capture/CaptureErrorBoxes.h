// Shows the capture driver's error texts in message boxes owned by the main window.
//
// The capture service calls its error callback on its own thread. Widgets live on the
// user-interface thread, so the box is shown there; the capture thread does not wait for
// it. The user-interface thread joins the capture thread when a driver is changed, a
// capture starts again or the window goes, and a capture thread waiting for a box at
// that moment would never return. Boxes from the capture thread are queued and shown one
// after another, in the order the errors came, as soon as the user-interface thread
// handles events again.
#pragma once

#include "platform/WinTypes.h"

#include <memory>
#include <string>

class CaptureErrorBoxes
{
public:
    CaptureErrorBoxes();
    ~CaptureErrorBoxes();
    CaptureErrorBoxes(const CaptureErrorBoxes&) = delete;
    CaptureErrorBoxes& operator=(const CaptureErrorBoxes&) = delete;

    // Shows `text` with `caption` and the style's icon and buttons, owned by the main
    // window when there is one. On the user-interface thread the box is shown now and
    // the call returns when it was closed; on any other thread the box is queued for the
    // user-interface thread and the call returns at once.
    void Show(const std::string& text, const std::string& caption, UINT style);

    // Drops the boxes not yet shown and makes later calls show nothing. Any thread.
    void CancelPending();

private:
    struct Queue;
    const std::shared_ptr<Queue> m_queue;
};

// The application's main window, the owner of capture boxes and dialogs; null when
// there is none. User-interface thread.
HWND CaptureMainWindow();
