// The capture service's entry points, in the shape the application is written against:
// make a driver window, describe the installed drivers, send a capture message to a
// driver window, tell whether a driver window still exists, and its user-data slot.
//
// A message to a handle that is no live driver window is not delivered and answers 0.
// Queries, settings, callback registration, WM_CAP_STOP and WM_CAP_ABORT work from any
// thread (callbacks may use them); messages that act on the driver or the display are
// handled only on the thread that made the window and answer 0 elsewhere.
#pragma once

#include "platform/capture/CaptureTypes.h"

// A driver window: a child of `parent` at (x, y) with the given size; shown when `style`
// holds WS_VISIBLE. Null without a running QApplication or off its thread.
HWND capCreateCaptureWindowA(const char* windowName, DWORD style, int x, int y, int width,
                             int height, HWND parent, int id);

// Name and version of installed driver `index` into the caller's buffers (each cut to
// fit, with a terminator; a null buffer is skipped). FALSE past the last driver.
BOOL capGetDriverDescriptionA(UINT index, char* name, int nameSize, char* version, int versionSize);

// Delivers a WM_CAP_* message synchronously and returns its result.
LRESULT SendMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// TRUE while `hwnd` is a live driver window.
BOOL IsWindow(HWND hwnd);

// The user-data slot (GWLP_USERDATA) of a driver window; 0 for other handles or indexes.
LONG_PTR GetWindowLongPtrA(HWND hwnd, int index);
// Sets it and returns the previous value.
LONG_PTR SetWindowLongPtrA(HWND hwnd, int index, LONG_PTR value);
