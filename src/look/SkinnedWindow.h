// SkinnedWindow: a window class (Base) drawn in the skinned frame. It hands the paint,
// change, hide, mouse and key events to its SkinnedFrame; the caption's close button
// cancels a dialog and closes any other window. The derived class makes the window
// frameless and makes room for the frame when it is first shown.
#pragma once

#include "look/SkinnedFrame.h"

#include <QDialog>
#include <type_traits>
#include <utility>

class QHideEvent;
class QPaintEvent;

template <class Base> class SkinnedWindow : public Base
{
public:
    template <class... Args>
    explicit SkinnedWindow(Args&&... args)
        : Base(std::forward<Args>(args)...), m_frame(*this, FrameStyle())
    {
    }

    // A dialog is a captioned pop-up; any other window a sizable main window.
    static constexpr DWORD FrameStyle()
    {
        if constexpr (std::is_base_of_v<QDialog, Base>) {
            return SkinnedFrame::kDialogStyle;
        } else {
            return SkinnedFrame::kMainWindowStyle;
        }
    }

    // Frame layout of the window as it is now (after the first show: with the frame).
    frame::FrameLayout Layout() const { return m_frame.Layout(); }
    // The frame's size round the client area: left, top, right, bottom.
    QMargins FrameMargins() const { return m_frame.Margins(); }
    bool IsFramed() const { return m_frame.IsFramed(); }
    // Whether the frame is drawn active: the window or its owner has the focus.
    bool DrawsActive() const { return m_frame.DrawsActive(); }

protected:
    void paintEvent(QPaintEvent* event) override
    {
        Base::paintEvent(event);
        m_frame.Paint();
    }
    void changeEvent(QEvent* event) override
    {
        Base::changeEvent(event);
        m_frame.Changed(*event);
    }
    void mousePressEvent(QMouseEvent* event) override
    {
        if (!m_frame.MousePress(*event)) {
            Base::mousePressEvent(event);
        }
    }
    void mouseMoveEvent(QMouseEvent* event) override
    {
        if (!m_frame.MouseMove(*event)) {
            Base::mouseMoveEvent(event);
        }
    }
    void mouseReleaseEvent(QMouseEvent* event) override
    {
        bool closeClicked = false;
        if (!m_frame.MouseRelease(*event, closeClicked)) {
            Base::mouseReleaseEvent(event);
        } else if (closeClicked) {
            if constexpr (std::is_base_of_v<QDialog, Base>) {
                this->reject(); // the close button cancels, like Esc
            } else {
                this->close();
            }
        }
    }
    void mouseDoubleClickEvent(QMouseEvent* event) override
    {
        if (!m_frame.MouseDoubleClick(*event)) {
            Base::mouseDoubleClickEvent(event);
        }
    }
    void hideEvent(QHideEvent* event) override
    {
        m_frame.Hidden();
        Base::hideEvent(event);
    }
    void keyPressEvent(QKeyEvent* event) override
    {
        if (!m_frame.KeyPress(*event)) {
            Base::keyPressEvent(event);
        }
    }

    SkinnedFrame m_frame;
};
