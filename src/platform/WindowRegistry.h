// Window handles: the registry issues an HWND for a window and resolves it back. A
// handle is a number, never the window's address; it resolves to null once its window
// is destroyed, and no later window is given the same number, so a stale handle never
// reaches another window.
#pragma once

#include "platform/WinTypes.h"

class QWidget;

// The handle of `window`, issued on first use and the same for as long as the window
// lives; null for null.
HWND HandleOfWindow(QWidget* window);
// The window behind `hwnd`; null for null, for a handle never issued and for one whose
// window is destroyed (or retired).
QWidget* WindowOfHandle(HWND hwnd);
// Makes `hwnd` resolve to null from now on, before its window is gone: for a window
// whose destructor must not be reached through its handle any more.
void RetireWindowHandle(HWND hwnd);

// Win32-style calls on a window's handle (UI thread); a handle that resolves to no
// window is left alone.
// Enables or disables the window; TRUE when it was disabled before.
BOOL EnableWindow(HWND hwnd, BOOL enable);
// Maps `point` from the window's client area (below the menu bar of a frame with one)
// to the screen.
BOOL ClientToScreen(HWND hwnd, POINT* point);
// Places the window at (x, y) in its parent with the given size; FALSE for no window
// or a negative size.
BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint);
