// SkinnedFrame: the skinned frame of one frameless top-level window. The window hands
// its paint, mouse and change events to it; the frame paints the border and the caption,
// moves the window when its caption is dragged, sizes a sizable window by its border,
// minimises and maximises or restores it by its caption buttons (a double click on the
// caption maximises or restores too) and reports a click on the close button. Alt+Space
// or a right click on the caption opens the system menu (Restore, Move, Size, Minimize,
// Maximize, Close as the window's style has them); Move and Size work with the arrow
// keys until Enter keeps or Esc undoes the change. Where the window's contents go once
// the frame is put round them is the window's own business (Frame returns the margins to
// make room for).
#pragma once

#include "look/FrameSkin.h"

#include <QMargins>
#include <QPoint>
#include <QRect>

class QAction;
class QEvent;
class QKeyEvent;
class QMenu;
class QMouseEvent;
class QWidget;

class SkinnedFrame
{
public:
    // Dialogs are captioned pop-up windows with a system menu.
    static constexpr DWORD kDialogStyle = frame::kPopup | frame::kCaption | frame::kSysMenu;
    // A main window: sizing border, minimise and maximise boxes.
    static constexpr DWORD kMainWindowStyle = frame::kCaption | frame::kSysMenu |
                                              frame::kThickFrame | frame::kMinimizeBox |
                                              frame::kMaximizeBox;

    explicit SkinnedFrame(QWidget& window, DWORD style = kDialogStyle);

    // Asks the window system for no frame of its own and sets up the system menu; before
    // the window is shown.
    void MakeFrameless();
    // Takes the frame on when the window is frameless and not yet framed: TRUE then, the
    // window must make room for Margins() round its contents.
    BOOL Frame();

    DWORD Style() const { return m_style; }
    bool IsFramed() const { return m_framed; }
    frame::FrameLayout Layout() const;
    // What the mouse at `at` (window coordinates) is over.
    frame::Hit HitTest(QPoint at) const;
    // The frame's size round the client area: left, top, right, bottom.
    QMargins Margins() const;
    // Whether the frame is drawn active: the window or its owner has the focus.
    bool DrawsActive() const;

    // Paints the frame over what the window painted.
    void Paint();
    // Repaints the caption when the activation or the title changed, the whole frame
    // when the window was maximised, minimised or restored.
    void Changed(const QEvent& event);
    // Mouse events: TRUE when the frame used the event. A release on the close button
    // it was pressed on sets `closeClicked`.
    BOOL MousePress(const QMouseEvent& event);
    BOOL MouseMove(const QMouseEvent& event);
    BOOL MouseRelease(const QMouseEvent& event, bool& closeClicked);
    BOOL MouseDoubleClick(const QMouseEvent& event);
    // Keys while the window is moved or sized by keyboard: TRUE when the frame used the key.
    BOOL KeyPress(const QKeyEvent& event);

    // Opens the system menu at `globalAt`.
    void OpenSystemMenu(QPoint globalAt);
    QMenu* SystemMenu() const { return m_menu; }
    // Enables the system menu's items for the window's state, as when it opens.
    void UpdateSystemMenu();
    bool IsKeyMoving() const { return m_keyMode == KeyMode::Move; }
    bool IsKeySizing() const { return m_keyMode == KeyMode::Size; }
    // The window was hidden: a keyboard move or size ends where the window is.
    void Hidden();
    // Pixels an arrow key moves or sizes the window; with Ctrl one pixel.
    static constexpr int kKeyMoveStep = 8;
    // Pixels the pointer moves with the caption pressed before the window moves.
    static constexpr int kMoveThreshold = 3;

    // Maximises a maximisable window, or restores a maximised one.
    void ToggleMaximized();

private:
    enum class KeyMode { None, Move, Size };

    frame::WindowFacts FactsFor(QSize size) const;
    frame::FrameLayout LayoutFor(QSize size) const;
    bool Sizable() const;
    void StartKeyMode(KeyMode mode);
    void EndKeyMode(bool keep);
    void ShowCursorFor(frame::HitZone zone);
    void PressButton(frame::CaptionButton button);
    QRect SizedGeometry(QPoint globalAt) const;

    QWidget& m_window;
    DWORD m_style;
    FrameSkin m_skin;
    bool m_framed = false;
    bool m_buttonPressed = false; // a caption button is held down
    frame::CaptionButton m_pressedButton = frame::CaptionButton::Close;
    bool m_movePending = false; // the caption is pressed; a drag moves the window
    QPoint m_pressAt;           // where it was pressed, on the screen
    bool m_dragging = false;    // moving by hand where the window system cannot
    QPoint m_dragOffset;
    frame::HitZone m_sizingZone = frame::HitZone::Client; // sizing by hand: the border held
    QRect m_sizeStart;       // the geometry when the border was pressed
    QMenu* m_menu = nullptr; // the system menu, a child of the window
    QAction* m_restore = nullptr;
    QAction* m_move = nullptr;
    QAction* m_size = nullptr;
    QAction* m_minimize = nullptr;
    QAction* m_maximize = nullptr;
    KeyMode m_keyMode = KeyMode::None;
    QRect m_keyStart; // where Esc puts the window back
};
