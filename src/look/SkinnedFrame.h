// SkinnedFrame: the skinned frame of one frameless top-level dialog window. The window
// hands its paint, mouse and change events to it; the frame paints the border and the
// caption, moves the window when its caption is dragged and reports a click on the
// close button. Alt+Space or a right click on the caption opens the system menu (Move,
// Close); Move moves the window with the arrow keys until Enter keeps or Esc undoes it.
// Where the window's contents go once the frame is put round them is the
// window's own business (Frame returns the margins to make room for).
#pragma once

#include "look/FrameSkin.h"

#include <QMargins>
#include <QPoint>
#include <QRect>

class QEvent;
class QKeyEvent;
class QMenu;
class QMouseEvent;
class QWidget;

class SkinnedFrame
{
public:
    explicit SkinnedFrame(QWidget& window);

    // Asks the window system for no frame of its own and sets up the system menu; before
    // the window is shown.
    void MakeFrameless();
    // Takes the frame on when the window is frameless and not yet framed: TRUE then, the
    // window must make room for Margins() round its contents.
    BOOL Frame();

    bool IsFramed() const { return m_framed; }
    frame::FrameLayout Layout() const;
    // The frame's size round the client area: left, top, right, bottom.
    QMargins Margins() const;
    // Whether the frame is drawn active: the window or its owner has the focus.
    bool DrawsActive() const;

    // Paints the frame over what the window painted.
    void Paint();
    // Repaints the caption when the activation or the title changed.
    void Changed(const QEvent& event);
    // Mouse events: TRUE when the frame used the event. A release on the close button
    // it was pressed on sets `closeClicked`.
    BOOL MousePress(const QMouseEvent& event);
    BOOL MouseMove(const QMouseEvent& event);
    BOOL MouseRelease(const QMouseEvent& event, bool& closeClicked);
    // Keys while the window is moved by keyboard: TRUE when the frame used the key.
    BOOL KeyPress(const QKeyEvent& event);

    // Opens the system menu at `globalAt`; its actions are Move and Close.
    void OpenSystemMenu(QPoint globalAt);
    QMenu* SystemMenu() const { return m_menu; }
    bool IsKeyMoving() const { return m_keyMoving; }
    // The window was hidden: a keyboard move ends where the window is.
    void Hidden();
    // Pixels an arrow key moves the window; with Ctrl one pixel.
    static constexpr int kKeyMoveStep = 8;

private:
    frame::FrameLayout LayoutFor(QSize size) const;
    QRect CloseButtonRect() const;
    bool InCaption(QPoint at) const;
    void StartKeyMove();
    void EndKeyMove(bool keep);

    QWidget& m_window;
    FrameSkin m_skin;
    bool m_framed = false;
    bool m_closePressed = false;
    bool m_dragging = false; // moving by hand where the window system cannot
    QPoint m_dragOffset;
    QMenu* m_menu = nullptr; // the system menu, a child of the window
    bool m_keyMoving = false;
    QPoint m_keyMoveStart; // where Esc puts the window back
};
