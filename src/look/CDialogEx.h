// CDialogEx: the base of the application's own dialogs, drawn in the skinned frame. The
// dialog is a frameless top-level window; when it is first shown, the frame (border and
// caption, painted by a FrameSkin) is put round what the dialog holds, so that the
// dialog's own code keeps working in client coordinates.
//
// Dragging the caption moves the dialog; the caption's close button acts as Cancel,
// like Esc.
#pragma once

#include "look/SkinnedFrame.h"
#include "platform/framework/Dialog.h"

class CDialogEx : public CDialog
{
public:
    explicit CDialogEx(UINT templateId, QWidget* parent = nullptr);

    // Frame layout of the dialog as it is now (after the first show: with the frame).
    frame::FrameLayout Layout() const;
    // The frame's size round the client area: left, top, right, bottom.
    QMargins FrameMargins() const;
    bool IsFramed() const { return m_frame.IsFramed(); }
    // Whether the frame is drawn active: the dialog or the main window has the focus.
    bool DrawsActive() const;

protected:
    BOOL OnInitDialog() override;
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // Puts the frame round the client area: the window grows, the controls move.
    void ApplyFrame();

    SkinnedFrame m_frame;
};
