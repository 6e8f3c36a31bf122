#include "capture/CaptureErrorBoxes.h"

#include "platform/UiThread.h"
#include "platform/WindowRegistry.h"
#include "platform/framework/FrameWnd.h"
#include "platform/framework/MessageBox.h"
#include "platform/framework/WinApp.h"

#include <deque>
#include <mutex>
#include <string>

struct CaptureErrorBoxes::Queue
{
    struct Box
    {
        std::string text;
        std::string caption;
        UINT style = MB_OK;
    };

    std::mutex mutex; // guards boxes and cancelled
    std::deque<Box> boxes;
    bool cancelled = false;
    bool showing = false; // a queued box is open; user-interface thread only

    // User-interface thread: shows the queued boxes in order. A box's own event loop may
    // run this again; the inner call leaves the rest to the loop that is already here,
    // so the boxes follow each other instead of piling up.
    void ShowQueued()
    {
        if (showing) {
            return;
        }
        showing = true;
        for (;;) {
            Box box;
            {
                std::lock_guard lock(mutex);
                if (cancelled || boxes.empty()) {
                    break;
                }
                box = std::move(boxes.front());
                boxes.pop_front();
            }
            MessageBoxA(CaptureMainWindow(), box.text.c_str(), box.caption.c_str(), box.style);
        }
        showing = false;
    }
};

HWND CaptureMainWindow()
{
    CWinApp* app = CWinApp::Instance();
    return app ? HandleOfWindow(app->GetMainWnd()) : nullptr;
}

CaptureErrorBoxes::CaptureErrorBoxes() : m_queue(std::make_shared<Queue>()) {}

CaptureErrorBoxes::~CaptureErrorBoxes()
{
    CancelPending();
}

void CaptureErrorBoxes::Show(const std::string& text, const std::string& caption, UINT style)
{
    const bool onUiThread = IsUiThread();
    {
        std::lock_guard lock(m_queue->mutex);
        if (m_queue->cancelled) {
            return;
        }
        if (!onUiThread) {
            m_queue->boxes.push_back({text, caption, style});
        }
    }
    if (onUiThread) {
        MessageBoxA(CaptureMainWindow(), text.c_str(), caption.c_str(), style);
        return;
    }
    // The queued call holds the queue, never this object, which may be gone by the time
    // the user-interface thread gets to it.
    RunOnUiThread([queue = m_queue] { queue->ShowQueued(); });
}

void CaptureErrorBoxes::CancelPending()
{
    std::lock_guard lock(m_queue->mutex);
    m_queue->cancelled = true;
    m_queue->boxes.clear();
}
