#include "look/SkinnedFrame.h"

#include <QApplication>
#include <QFontDatabase>
#include <QMouseEvent>
#include <QPainter>
#include <QWidget>
#include <QWindow>

namespace {

// Dialogs are captioned pop-up windows with a system menu.
constexpr DWORD kDialogStyle = frame::kPopup | frame::kCaption | frame::kSysMenu;

// The desktop's title font at a size that fits the 18-pixel caption.
QFont CaptionFont()
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::TitleFont);
    font.setPixelSize(12);
    return font;
}

} // namespace

SkinnedFrame::SkinnedFrame(QWidget& window) : m_window(window)
{
    m_skin.LoadStandard();
}

void SkinnedFrame::MakeFrameless()
{
    // (Qt drops the frameless hint when title-bar hints come with it.)
    if (m_window.isWindow()) {
        m_window.setWindowFlags((m_window.windowFlags() & Qt::WindowType_Mask) |
                                Qt::FramelessWindowHint);
    }
}

BOOL SkinnedFrame::Frame()
{
    if (m_framed || (m_window.windowFlags() & Qt::FramelessWindowHint) == 0) {
        return FALSE;
    }
    m_framed = true;
    return TRUE;
}

frame::FrameLayout SkinnedFrame::LayoutFor(QSize size) const
{
    return frame::LayOutFrame(frame::WindowFacts{SIZE{size.width(), size.height()},
                                                 kDialogStyle, 0, false,
                                                 m_skin.imagesLoaded != 0, false},
                              frame::StandardMetrics());
}

frame::FrameLayout SkinnedFrame::Layout() const
{
    return LayoutFor(m_window.size());
}

QMargins SkinnedFrame::Margins() const
{
    // The frame is the same for any size large enough to hold it.
    const QSize probe(400, 300);
    const RECT client = LayoutFor(probe).client;
    return QMargins(client.left, client.top, probe.width() - client.right,
                    probe.height() - client.bottom);
}

bool SkinnedFrame::DrawsActive() const
{
    if (m_window.isActiveWindow()) {
        return true;
    }
    // A dialog is drawn active while its owner, the main window, has the focus.
    const QWidget* active = QApplication::activeWindow();
    return active && m_window.parentWidget() && active == m_window.parentWidget()->window();
}

void SkinnedFrame::Paint()
{
    if (!m_framed) {
        return;
    }
    QPainter painter(&m_window);
    m_skin.Paint(&painter,
                 FrameSkin::Target{SIZE{m_window.width(), m_window.height()}, kDialogStyle, 0,
                                   false, DrawsActive(), m_window.windowTitle()},
                 false, CaptionFont());
}

void SkinnedFrame::Changed(const QEvent& event)
{
    if (m_framed &&
        (event.type() == QEvent::ActivationChange || event.type() == QEvent::WindowTitleChange)) {
        m_window.update(QRect(QPoint(0, 0), QSize(m_window.width(), Margins().top())));
    }
}

QRect SkinnedFrame::CloseButtonRect() const
{
    for (const frame::ButtonPlace& place : Layout().buttons) {
        if (place.button == frame::CaptionButton::Close) {
            const RECT& r = place.rect;
            return QRect(QPoint(r.left, r.top), QPoint(r.right - 1, r.bottom - 1));
        }
    }
    return QRect();
}

bool SkinnedFrame::InCaption(QPoint at) const
{
    const frame::FrameLayout layout = Layout();
    const RECT& c = layout.caption;
    return layout.hasCaption && at.x() >= c.left && at.x() < c.right && at.y() >= c.top &&
           at.y() < c.bottom;
}

BOOL SkinnedFrame::MousePress(const QMouseEvent& event)
{
    const QPoint at = event.position().toPoint();
    if (!m_framed || event.button() != Qt::LeftButton || !InCaption(at)) {
        return FALSE;
    }
    if (CloseButtonRect().contains(at)) {
        m_closePressed = true;
        return TRUE;
    }
    // The window system moves the window where it can; else the window follows the
    // pointer itself.
    if (!m_window.windowHandle() || !m_window.windowHandle()->startSystemMove()) {
        m_dragging = true;
        m_dragOffset = event.globalPosition().toPoint() - m_window.pos();
    }
    return TRUE;
}

BOOL SkinnedFrame::MouseMove(const QMouseEvent& event)
{
    if (!m_dragging) {
        return FALSE;
    }
    m_window.move(event.globalPosition().toPoint() - m_dragOffset);
    return TRUE;
}

BOOL SkinnedFrame::MouseRelease(const QMouseEvent& event, bool& closeClicked)
{
    closeClicked = false;
    if (event.button() != Qt::LeftButton || (!m_dragging && !m_closePressed)) {
        return FALSE;
    }
    closeClicked = m_closePressed && CloseButtonRect().contains(event.position().toPoint());
    m_dragging = false;
    m_closePressed = false;
    return TRUE;
}
