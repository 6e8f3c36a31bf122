#include "platform/SystemMetrics.h"

#include <QGuiApplication>
#include <QScreen>

int GetSystemMetrics(int index)
{
    const QScreen* screen = qobject_cast<QGuiApplication*>(QCoreApplication::instance())
                                ? QGuiApplication::primaryScreen()
                                : nullptr;
    if (!screen) {
        return 0;
    }
    switch (index) {
    case SM_CXSCREEN:
        return screen->geometry().width();
    case SM_CYSCREEN:
        return screen->geometry().height();
    case SM_CXMAXIMIZED:
        return screen->availableGeometry().width();
    case SM_CYMAXIMIZED:
        return screen->availableGeometry().height();
    default:
        return 0;
    }
}
