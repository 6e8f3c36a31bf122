#include "platform/capture/AbortInputWatcher.h"

#include "platform/capture/CaptureSession.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>

namespace vexol::platform::capture {

namespace {
constexpr UINT kVkReturn = 0x0D, kVkEscape = 0x1B, kVkSpace = 0x20, kVkF1 = 0x70, kVkF12 = 0x7B;
}

std::string VirtualKeyName(UINT vk)
{
    if (vk == kVkEscape) {
        return "Esc";
    }
    if (vk == kVkSpace) {
        return "Space";
    }
    if (vk == kVkReturn) {
        return "Enter";
    }
    if (vk >= kVkF1 && vk <= kVkF12) {
        return "F" + std::to_string(vk - kVkF1 + 1);
    }
    if ((vk >= '0' && vk <= '9') || (vk >= 'A' && vk <= 'Z')) {
        return std::string(1, char(vk));
    }
    return {};
}

int QtKeyForVirtualKey(UINT vk)
{
    if (vk == kVkEscape) {
        return Qt::Key_Escape;
    }
    if (vk == kVkSpace) {
        return Qt::Key_Space;
    }
    if (vk == kVkReturn) {
        return Qt::Key_Return;
    }
    if (vk >= kVkF1 && vk <= kVkF12) {
        return Qt::Key_F1 + int(vk - kVkF1);
    }
    if ((vk >= '0' && vk <= '9') || (vk >= 'A' && vk <= 'Z')) {
        return int(vk); // Qt's key codes for digits and letters are their ASCII codes
    }
    return 0;
}

AbortInputWatcher::AbortInputWatcher(std::weak_ptr<CaptureSession> session,
                                     const CAPTUREPARMS& parms)
    : m_session(std::move(session)), m_key(QtKeyForVirtualKey(parms.vKeyAbort)),
      m_leftMouse(parms.fAbortLeftMouse != FALSE), m_rightMouse(parms.fAbortRightMouse != FALSE)
{
    if (QCoreApplication::instance()) {
        QCoreApplication::instance()->installEventFilter(this);
    }
}

AbortInputWatcher::~AbortInputWatcher() = default; // Qt drops a destroyed filter itself

bool AbortInputWatcher::IsNeeded(const CAPTUREPARMS& parms)
{
    return QtKeyForVirtualKey(parms.vKeyAbort) != 0 || parms.fAbortLeftMouse ||
           parms.fAbortRightMouse;
}

bool AbortInputWatcher::eventFilter(QObject* watched, QEvent* event)
{
    bool abort = false;
    if (event->type() == QEvent::KeyPress && m_key != 0) {
        auto* key = static_cast<QKeyEvent*>(event);
        abort = key->key() == m_key || (m_key == Qt::Key_Return && key->key() == Qt::Key_Enter);
    } else if (event->type() == QEvent::MouseButtonPress) {
        const Qt::MouseButton button = static_cast<QMouseEvent*>(event)->button();
        abort = (button == Qt::LeftButton && m_leftMouse) ||
                (button == Qt::RightButton && m_rightMouse);
    }
    if (abort) {
        if (auto session = m_session.lock()) {
            session->RequestStop();
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace vexol::platform::capture
