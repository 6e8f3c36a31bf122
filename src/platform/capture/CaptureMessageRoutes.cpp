#include "platform/capture/CaptureMessageRoutes.h"

#include "platform/capture/DriverWindow.h"
#include "platform/capture/DriverWindowState.h"
#include "platform/capture/RecordingFigures.h"

#include <QThread>
#include <algorithm>

namespace vexol::platform::capture {

// Holds the rows; a friend of DriverWindowState and DriverWindow so that the handlers
// stay private to them.
class CaptureMessageTable
{
public:
    static std::span<const CaptureMessageRoute> Rows();

private:
    using State = DriverWindowState;
    static DriverWindow& WindowOf(State& s) { return *s.Window(); }

    static const CaptureMessageRoute kRows[];
};

namespace {

constexpr MessageThread Any = MessageThread::Any;
constexpr MessageThread Window = MessageThread::Window;

} // namespace

// clang-format off
const CaptureMessageRoute CaptureMessageTable::kRows[] = {
    {WM_CAP_SET_CALLBACK_ERROR, Any,
     [](State& s, WPARAM, LPARAM l) -> LRESULT { s.m_callbacks->Set(CallbackKind::Error, l); return TRUE; }},
    {WM_CAP_SET_CALLBACK_STATUS, Any,
     [](State& s, WPARAM, LPARAM l) -> LRESULT { s.m_callbacks->Set(CallbackKind::Status, l); return TRUE; }},
    {WM_CAP_SET_CALLBACK_YIELD, Any,
     [](State& s, WPARAM, LPARAM l) -> LRESULT { s.m_callbacks->Set(CallbackKind::Yield, l); return TRUE; }},
    {WM_CAP_SET_CALLBACK_VIDEOSTREAM, Any,
     [](State& s, WPARAM, LPARAM l) -> LRESULT { s.m_callbacks->Set(CallbackKind::VideoStream, l); return TRUE; }},
    {WM_CAP_GET_USER_DATA, Any,
     [](State& s, WPARAM, LPARAM) -> LRESULT { return s.m_captureUserData.load(); }},
    {WM_CAP_SET_USER_DATA, Any,
     [](State& s, WPARAM, LPARAM l) -> LRESULT { s.m_captureUserData = l; return TRUE; }},
    {WM_CAP_DRIVER_CONNECT, Window,
     [](State& s, WPARAM w, LPARAM) { return WindowOf(s).Connect(UINT(w)); }},
    {WM_CAP_DRIVER_DISCONNECT, Window,
     [](State& s, WPARAM, LPARAM) { return WindowOf(s).DisconnectDriver(); }},
    {WM_CAP_DRIVER_GET_NAME, Any,
     [](State& s, WPARAM w, LPARAM l) { return s.GetDriverText(false, w, l); }},
    {WM_CAP_DRIVER_GET_VERSION, Any,
     [](State& s, WPARAM w, LPARAM l) { return s.GetDriverText(true, w, l); }},
    {WM_CAP_DRIVER_GET_CAPS, Any,
     [](State& s, WPARAM w, LPARAM l) { return s.GetDriverCaps(w, l); }},
    {WM_CAP_FILE_SET_CAPTURE_FILE, Any,
     [](State& s, WPARAM, LPARAM l) { return s.SetCaptureFile(l); }},
    {WM_CAP_FILE_GET_CAPTURE_FILE, Any,
     [](State& s, WPARAM w, LPARAM l) { return s.GetCaptureFile(w, l); }},
    {WM_CAP_FILE_ALLOCATE, Window,
     [](State& s, WPARAM, LPARAM l) { return WindowOf(s).AllocateFile(l); }},
    {WM_CAP_FILE_SAVEAS, Window,
     [](State& s, WPARAM, LPARAM l) { return WindowOf(s).SaveFileAs(l); }},
    {WM_CAP_FILE_SAVEDIB, Window,
     [](State& s, WPARAM, LPARAM l) { return WindowOf(s).SaveDib(l); }},
    {WM_CAP_EDIT_COPY, Window,
     [](State& s, WPARAM, LPARAM) { return WindowOf(s).CopyToClipboard(); }},
    {WM_CAP_SET_AUDIOFORMAT, Any,
     [](State& s, WPARAM w, LPARAM l) { return s.SetAudioFormat(w, l); }},
    {WM_CAP_GET_AUDIOFORMAT, Any,
     [](State& s, WPARAM w, LPARAM l) { return s.GetAudioFormat(w, l); }},
    {WM_CAP_DLG_VIDEOFORMAT, Window,
     [](State& s, WPARAM, LPARAM) { return WindowOf(s).RunDialog(WM_CAP_DLG_VIDEOFORMAT); }},
    {WM_CAP_DLG_VIDEOSOURCE, Window,
     [](State& s, WPARAM, LPARAM) { return WindowOf(s).RunDialog(WM_CAP_DLG_VIDEOSOURCE); }},
    {WM_CAP_DLG_VIDEODISPLAY, Window,
     [](State& s, WPARAM, LPARAM) { return WindowOf(s).RunDialog(WM_CAP_DLG_VIDEODISPLAY); }},
    {WM_CAP_GET_VIDEOFORMAT, Any,
     [](State& s, WPARAM w, LPARAM l) { return s.GetVideoFormat(w, l); }},
    {WM_CAP_SET_VIDEOFORMAT, Window,
     [](State& s, WPARAM w, LPARAM l) { return WindowOf(s).SetVideoFormat(w, l); }},
    {WM_CAP_SET_PREVIEW, Window,
     [](State& s, WPARAM w, LPARAM) { return WindowOf(s).SetPreview(w != 0); }},
    {WM_CAP_SET_OVERLAY, Window,
     [](State& s, WPARAM w, LPARAM) { return WindowOf(s).SetOverlay(w != 0); }},
    {WM_CAP_SET_PREVIEWRATE, Window,
     [](State& s, WPARAM w, LPARAM) { return WindowOf(s).SetPreviewRate(w); }},
    {WM_CAP_SET_SCALE, Window,
     [](State& s, WPARAM w, LPARAM) { return WindowOf(s).SetScale(w != 0); }},
    {WM_CAP_GET_STATUS, Any,
     [](State& s, WPARAM w, LPARAM l) { return s.GetStatus(w, l); }},
    {WM_CAP_GRAB_FRAME, Window,
     [](State& s, WPARAM, LPARAM) { return WindowOf(s).GrabFrame(true); }},
    {WM_CAP_GRAB_FRAME_NOSTOP, Window,
     [](State& s, WPARAM, LPARAM) { return WindowOf(s).GrabFrame(false); }},
    {WM_CAP_SEQUENCE, Window,
     [](State& s, WPARAM, LPARAM) { return WindowOf(s).StartSequence(true); }},
    {WM_CAP_SEQUENCE_NOFILE, Window,
     [](State& s, WPARAM, LPARAM) { return WindowOf(s).StartSequence(false); }},
    {WM_CAP_SET_SEQUENCE_SETUP, Any,
     [](State& s, WPARAM w, LPARAM l) { return s.SetSequenceSetup(w, l); }},
    {WM_CAP_GET_SEQUENCE_SETUP, Any,
     [](State& s, WPARAM w, LPARAM l) { return s.GetSequenceSetup(w, l); }},
    {WM_CAP_STOP, Any,
     [](State& s, WPARAM, LPARAM) { return s.EndCapture(false); }},
    {WM_CAP_ABORT, Any,
     [](State& s, WPARAM, LPARAM) { return s.EndCapture(true); }},
    {WM_CAP_GET_FILE_FIGURES, Any,
     [](State& s, WPARAM w, LPARAM l) { return s.GetFileFigures(w, l); }},
};
// clang-format on

std::span<const CaptureMessageRoute> CaptureMessageTable::Rows()
{
    return kRows;
}

std::span<const CaptureMessageRoute> CaptureMessageRoutes()
{
    return CaptureMessageTable::Rows();
}

const CaptureMessageRoute* FindCaptureMessageRoute(UINT message)
{
    const auto rows = CaptureMessageRoutes();
    const auto row =
        std::lower_bound(rows.begin(), rows.end(), message,
                         [](const CaptureMessageRoute& r, UINT m) { return r.message < m; });
    return row != rows.end() && row->message == message ? &*row : nullptr;
}

LRESULT RouteCaptureMessage(DriverWindowState& state, UINT message, WPARAM wParam, LPARAM lParam)
{
    const CaptureMessageRoute* route = FindCaptureMessageRoute(message);
    if (!route) {
        return 0;
    }
    if (route->thread == MessageThread::Window &&
        (QThread::currentThread() != state.OwnerThread() || !state.Window())) {
        return 0;
    }
    return route->handler(state, wParam, lParam);
}

} // namespace vexol::platform::capture
