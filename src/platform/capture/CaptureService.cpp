#include "platform/capture/CaptureService.h"

#include "platform/WindowRegistry.h"
#include "platform/capture/CaptureMessageRoutes.h"
#include "platform/capture/DriverRegistry.h"
#include "platform/capture/DriverWindow.h"
#include "platform/capture/DriverWindowRegistry.h"

#include <QApplication>
#include <QThread>
#include <algorithm>

using namespace vexol::platform::capture;

HWND capCreateCaptureWindowA(const char* windowName, DWORD style, int x, int y, int width,
                             int height, HWND parent, int id)
{
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()) ||
        QThread::currentThread() != QCoreApplication::instance()->thread()) {
        return nullptr;
    }
    QWidget* parentWindow = WindowOfHandle(parent);
    if (parent && !parentWindow) {
        return nullptr; // the parent is gone
    }
    auto* window = new DriverWindow(parentWindow);
    window->setWindowTitle(QString::fromUtf8(windowName ? windowName : ""));
    window->setGeometry(x, y, std::max(0, width), std::max(0, height));
    window->SetControlId(id);
    // A child shows with its parent unless hidden explicitly.
    window->setVisible((style & WS_VISIBLE) != 0);
    return window->Handle();
}

BOOL capGetDriverDescriptionA(UINT index, char* name, int nameSize, char* version, int versionSize)
{
    const std::vector<InstalledDriver> drivers = InstalledDrivers();
    if (index >= drivers.size()) {
        return FALSE;
    }
    CopyTextToBuffer(drivers[index].name, name, std::size_t(std::max(0, nameSize)));
    CopyTextToBuffer(drivers[index].version, version, std::size_t(std::max(0, versionSize)));
    return TRUE;
}

LRESULT SendMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    const std::shared_ptr<DriverWindowState> state = FindDriverWindow(hwnd);
    if (!state) {
        return 0;
    }
    return RouteCaptureMessage(*state, message, wParam, lParam);
}

BOOL IsWindow(HWND hwnd)
{
    return FindDriverWindow(hwnd) ? TRUE : FALSE;
}

LONG_PTR GetWindowLongPtrA(HWND hwnd, int index)
{
    const auto state = FindDriverWindow(hwnd);
    return state && index == GWLP_USERDATA ? state->WindowUserData() : 0;
}

LONG_PTR SetWindowLongPtrA(HWND hwnd, int index, LONG_PTR value)
{
    const auto state = FindDriverWindow(hwnd);
    return state && index == GWLP_USERDATA ? state->SetWindowUserData(value) : 0;
}
