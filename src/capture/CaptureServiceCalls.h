// The capture window's only way to the capture service: the service's entry points as
// one overridable object. The base class is the real service (CaptureService.h); tests
// derive a scripted driver window from it.
#pragma once

#include "platform/capture/CaptureTypes.h"

class CaptureServiceCalls
{
public:
    CaptureServiceCalls() = default;
    virtual ~CaptureServiceCalls();
    CaptureServiceCalls(const CaptureServiceCalls&) = delete;
    CaptureServiceCalls& operator=(const CaptureServiceCalls&) = delete;

    // capCreateCaptureWindowA.
    virtual HWND CreateCaptureWindow(const char* windowName, DWORD style, int x, int y, int width,
                                     int height, HWND parent, int id);
    // capGetDriverDescriptionA.
    virtual BOOL GetDriverDescription(UINT index, char* name, int nameSize, char* version,
                                      int versionSize);
    // SendMessageA to a driver window.
    virtual LRESULT Send(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    // IsWindow.
    virtual BOOL IsWindow(HWND hwnd);
    // GetWindowLongPtrA / SetWindowLongPtrA with GWLP_USERDATA.
    virtual LONG_PTR GetUserData(HWND hwnd);
    virtual LONG_PTR SetUserData(HWND hwnd, LONG_PTR value);

    // The real service, shared by every capture window that is given no other.
    static CaptureServiceCalls& Real();

    // The callback procedures receive only a driver window handle; these remember which
    // service made each driver window so that its user data is read from the right place.
    // Any thread.
    static void RememberDriverWindow(HWND hwnd, CaptureServiceCalls* service);
    static void ForgetDriverWindow(HWND hwnd);
    // The service that made `hwnd`; the real service for windows not remembered.
    static CaptureServiceCalls& ServiceOf(HWND hwnd);
};
