#include "capture/CaptureErrorBoxes.h"

#include "platform/framework/FrameWnd.h"
#include "platform/framework/MessageBox.h"
#include "platform/framework/WinApp.h"

#include <QCoreApplication>
#include <QThread>
#include <algorithm>
#include <condition_variable>

struct CaptureErrorBoxes::Request
{
    std::string text;
    std::string caption;
    UINT style = MB_OK;
    std::mutex mutex; // guards state
    std::condition_variable changed;
    enum class State { Waiting, Done, Cancelled } state = State::Waiting;
};

HWND CaptureMainWindow()
{
    CWinApp* app = CWinApp::Instance();
    return app ? app->GetMainWnd() : nullptr;
}

CaptureErrorBoxes::~CaptureErrorBoxes()
{
    CancelPending();
}

void CaptureErrorBoxes::Show(const std::string& text, const std::string& caption, UINT style)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread()) {
        {
            std::lock_guard lock(m_mutex);
            if (m_cancelled) {
                return;
            }
        }
        MessageBoxA(CaptureMainWindow(), text.c_str(), caption.c_str(), style);
        return;
    }

    auto request = std::make_shared<Request>();
    request->text = text;
    request->caption = caption;
    request->style = style;
    {
        std::lock_guard lock(m_mutex);
        if (m_cancelled) {
            return;
        }
        m_pending.push_back(request);
    }
    // The queued call holds only the request, never this object, which may be gone by
    // the time the user-interface thread gets to it.
    QMetaObject::invokeMethod(
        app,
        [request] {
            {
                std::lock_guard lock(request->mutex);
                if (request->state != Request::State::Waiting) {
                    return;
                }
            }
            MessageBoxA(CaptureMainWindow(), request->text.c_str(), request->caption.c_str(),
                        request->style);
            std::lock_guard lock(request->mutex);
            if (request->state == Request::State::Waiting) {
                request->state = Request::State::Done;
            }
            request->changed.notify_all();
        },
        Qt::QueuedConnection);
    {
        std::unique_lock lock(request->mutex);
        request->changed.wait(lock, [&] { return request->state != Request::State::Waiting; });
        if (request->state == Request::State::Cancelled) {
            return; // CancelPending already dropped it from the list
        }
    }
    std::lock_guard lock(m_mutex);
    m_pending.erase(std::remove(m_pending.begin(), m_pending.end(), request), m_pending.end());
}

void CaptureErrorBoxes::CancelPending()
{
    std::vector<std::shared_ptr<Request>> pending;
    {
        std::lock_guard lock(m_mutex);
        m_cancelled = true;
        pending.swap(m_pending);
    }
    for (const auto& request : pending) {
        std::lock_guard lock(request->mutex);
        if (request->state == Request::State::Waiting) {
            request->state = Request::State::Cancelled;
        }
        request->changed.notify_all();
    }
}
