// CStatic: a handle on a static text control of a dialog.
#pragma once

#include "platform/WinTypes.h"

#include <QLabel>
#include <QPointer>
#include <string>

class CStatic
{
public:
    // Binds the handle to a static control; false when `control` is no static text.
    BOOL Attach(QWidget* control);
    QWidget* GetSafeHwnd() const;

    void SetWindowText(const char* text);
    // Position and size within the parent's client area.
    RECT GetRectInParent() const;
    void MoveWindow(int x, int y, int width, int height);

private:
    QPointer<QLabel> m_label;
};
