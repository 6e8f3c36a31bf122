// Modal message boxes: the style bits, the answer identifiers and MessageBoxA over
// QMessageBox, with a seam through which tests answer boxes instead of a user.
#pragma once

#include "platform/WinTypes.h"

#include <functional>
#include <string>

// Buttons (the low four bits of the style).
inline constexpr UINT MB_OK = 0x00;
inline constexpr UINT MB_OKCANCEL = 0x01;
inline constexpr UINT MB_ABORTRETRYIGNORE = 0x02;
inline constexpr UINT MB_YESNOCANCEL = 0x03;
inline constexpr UINT MB_YESNO = 0x04;
inline constexpr UINT MB_RETRYCANCEL = 0x05;
inline constexpr UINT MB_TYPEMASK = 0x0F;
// Icons (the next four bits).
inline constexpr UINT MB_ICONHAND = 0x10;
inline constexpr UINT MB_ICONQUESTION = 0x20;
inline constexpr UINT MB_ICONEXCLAMATION = 0x30;
inline constexpr UINT MB_ICONASTERISK = 0x40;
inline constexpr UINT MB_ICONMASK = 0xF0;

// Answers: the button that closed the box. 0 means no box was shown.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDABORT = 3;
inline constexpr int IDRETRY = 4;
inline constexpr int IDIGNORE = 5;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

// Shows a modal box with the buttons and icon of `style` and returns the answer.
// Esc or the window's close button answers IDCANCEL when the box has a Cancel button
// and IDOK for MB_OK; MB_YESNO and MB_ABORTRETRYIGNORE boxes close only through one of
// their buttons. Text and caption are UTF-8 (null: empty) and shown as plain text.
// Called off the user-interface thread, the box is shown by that thread while the
// caller waits. Returns 0 without a QApplication.
int MessageBoxA(HWND owner, const char* text, const char* caption, UINT style);
// The same with a help context identifier, which has no visible effect here.
int MessageBoxWithHelpId(HWND owner, const char* text, const char* caption, UINT style,
                         DWORD helpId);

namespace vexol::platform::framework {

// One box as the caller asked for it.
struct MessageBoxRequest
{
    HWND owner = nullptr;
    std::string text;
    std::string caption;
    UINT style = MB_OK;
    DWORD helpId = 0;
};

// Answers boxes instead of showing them: the handler gets each request and returns
// the answer. An empty handler restores the real box. Set it on the UI thread.
using MessageBoxHandler = std::function<int(const MessageBoxRequest&)>;
void SetMessageBoxHandler(MessageBoxHandler handler);

// The owner for the application's own boxes: the main window's last active pop-up (the
// topmost modal window), else the main window; null without a main window. The same
// whether or not the application is active.
HWND ApplicationBoxOwner();

} // namespace vexol::platform::framework
