// Ends a running capture when the user presses its abort key or mouse button
// (CAPTUREPARMS vKeyAbort, fAbortLeftMouse, fAbortRightMouse). Watches the input of the
// whole application on the UI thread; the input still reaches its window.
#pragma once

#include "platform/capture/CaptureTypes.h"

#include <QObject>
#include <memory>
#include <string>

namespace vexol::platform::capture {

class CaptureSession;

// The name of a virtual-key code for status texts ("Esc", "F5", "A"); empty for 0 or a
// code this service does not watch.
std::string VirtualKeyName(UINT virtualKey);
// The Qt key of a virtual-key code; 0 when there is none.
int QtKeyForVirtualKey(UINT virtualKey);

class AbortInputWatcher : public QObject
{
public:
    AbortInputWatcher(std::weak_ptr<CaptureSession> session, const CAPTUREPARMS& parms);
    ~AbortInputWatcher() override;

    // True when the parameters name any abort input at all.
    static bool IsNeeded(const CAPTUREPARMS& parms);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::weak_ptr<CaptureSession> m_session;
    int m_key;
    bool m_leftMouse;
    bool m_rightMouse;
};

} // namespace vexol::platform::capture
