#include "capture/CaptureServiceCalls.h"

#include "platform/capture/CaptureService.h"

#include <map>
#include <mutex>

namespace {

struct DriverWindowServices
{
    std::mutex mutex; // guards services
    std::map<HWND, CaptureServiceCalls*> services;
};

DriverWindowServices& Services()
{
    static DriverWindowServices table;
    return table;
}

} // namespace

CaptureServiceCalls::~CaptureServiceCalls() = default;

HWND CaptureServiceCalls::CreateCaptureWindow(const char* windowName, DWORD style, int x, int y,
                                              int width, int height, HWND parent, int id)
{
    return capCreateCaptureWindowA(windowName, style, x, y, width, height, parent, id);
}

BOOL CaptureServiceCalls::GetDriverDescription(UINT index, char* name, int nameSize, char* version,
                                               int versionSize)
{
    return capGetDriverDescriptionA(index, name, nameSize, version, versionSize);
}

LRESULT CaptureServiceCalls::Send(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return SendMessageA(hwnd, message, wParam, lParam);
}

BOOL CaptureServiceCalls::IsWindow(HWND hwnd)
{
    return ::IsWindow(hwnd);
}

LONG_PTR CaptureServiceCalls::GetUserData(HWND hwnd)
{
    return GetWindowLongPtrA(hwnd, GWLP_USERDATA);
}

LONG_PTR CaptureServiceCalls::SetUserData(HWND hwnd, LONG_PTR value)
{
    return SetWindowLongPtrA(hwnd, GWLP_USERDATA, value);
}

CaptureServiceCalls& CaptureServiceCalls::Real()
{
    static CaptureServiceCalls real;
    return real;
}

void CaptureServiceCalls::RememberDriverWindow(HWND hwnd, CaptureServiceCalls* service)
{
    if (!hwnd || !service) {
        return;
    }
    DriverWindowServices& table = Services();
    std::lock_guard lock(table.mutex);
    table.services[hwnd] = service;
}

void CaptureServiceCalls::ForgetDriverWindow(HWND hwnd)
{
    DriverWindowServices& table = Services();
    std::lock_guard lock(table.mutex);
    table.services.erase(hwnd);
}

CaptureServiceCalls& CaptureServiceCalls::ServiceOf(HWND hwnd)
{
    DriverWindowServices& table = Services();
    std::lock_guard lock(table.mutex);
    const auto found = table.services.find(hwnd);
    return found != table.services.end() ? *found->second : Real();
}
