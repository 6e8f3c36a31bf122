// CDialogEx: the base of the application's own dialogs, drawn in the skinned frame. The
// dialog is a frameless top-level window; when it is first shown, the frame (border and
// caption, painted by a FrameSkin) is put round what the dialog holds, so that the
// dialog's own code keeps working in client coordinates.
//
// Dragging the caption moves the dialog; the caption's close button acts as Cancel,
// like Esc; Alt+Space opens the system menu.
#pragma once

#include "look/SkinnedWindow.h"
#include "platform/framework/Dialog.h"

class CDialogEx : public SkinnedWindow<CDialog>
{
public:
    explicit CDialogEx(UINT templateId, QWidget* parent = nullptr);

protected:
    BOOL OnInitDialog() override;
    void showEvent(QShowEvent* event) override;

private:
    // Puts the frame round the client area: the window grows, the controls move.
    void ApplyFrame();
};
