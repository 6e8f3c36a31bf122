#include "look/SkinnedFrame.h"

#include "platform/framework/Resources.h"

#include <QApplication>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QShortcut>
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
    if (m_menu) {
        return;
    }
    const bool japanese = vexol::res::UserLanguage() == vexol::res::Language::Japanese;
    m_menu = new QMenu(&m_window);
    QObject::connect(
        m_menu->addAction(japanese ? QStringLiteral("移動(&M)") : QStringLiteral("&Move")),
        &QAction::triggered, m_menu, [this] { StartKeyMove(); });
    m_menu->addSeparator();
    QObject::connect(
        m_menu->addAction(japanese ? QStringLiteral("閉じる(&C)") : QStringLiteral("&Close")),
        &QAction::triggered, m_menu, [this] { m_window.close(); }); // a dialog cancels
    // Alt+Space opens the menu below the caption's left end, wherever the focus is.
    auto* key = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_Space), &m_window);
    key->setContext(Qt::WindowShortcut);
    QObject::connect(key, &QShortcut::activated, m_menu, [this] {
        const frame::FrameLayout layout = Layout();
        OpenSystemMenu(m_window.mapToGlobal(QPoint(layout.caption.left, layout.caption.bottom)));
    });
}

void SkinnedFrame::Hidden()
{
    EndKeyMove(true);
}

void SkinnedFrame::OpenSystemMenu(QPoint globalAt)
{
    if (m_menu && !m_keyMoving) {
        m_menu->popup(globalAt);
    }
}

void SkinnedFrame::StartKeyMove()
{
    m_keyMoving = true;
    m_keyMoveStart = m_window.pos();
    m_window.grabKeyboard(); // the arrow keys go to the window, not its focused control
}

void SkinnedFrame::EndKeyMove(bool keep)
{
    if (!m_keyMoving) {
        return;
    }
    m_keyMoving = false;
    m_window.releaseKeyboard();
    if (!keep) {
        m_window.move(m_keyMoveStart);
    }
}

BOOL SkinnedFrame::KeyPress(const QKeyEvent& event)
{
    if (!m_keyMoving) {
        return FALSE;
    }
    const int step = (event.modifiers() & Qt::ControlModifier) ? 1 : kKeyMoveStep;
    switch (event.key()) {
    case Qt::Key_Left:
        m_window.move(m_window.pos() + QPoint(-step, 0));
        break;
    case Qt::Key_Right:
        m_window.move(m_window.pos() + QPoint(step, 0));
        break;
    case Qt::Key_Up:
        m_window.move(m_window.pos() + QPoint(0, -step));
        break;
    case Qt::Key_Down:
        m_window.move(m_window.pos() + QPoint(0, step));
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        EndKeyMove(true);
        break;
    case Qt::Key_Escape:
        EndKeyMove(false);
        break;
    default:
        break; // other keys do nothing while moving
    }
    return TRUE;
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
    return frame::LayOutFrame(frame::WindowFacts{SIZE{size.width(), size.height()}, kDialogStyle, 0,
                                                 false, m_skin.imagesLoaded != 0, false},
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
    EndKeyMove(true); // a click ends a keyboard move where the window is
    const QPoint at = event.position().toPoint();
    if (!m_framed || !InCaption(at)) {
        return FALSE;
    }
    if (event.button() == Qt::RightButton) {
        OpenSystemMenu(event.globalPosition().toPoint());
        return TRUE;
    }
    if (event.button() != Qt::LeftButton) {
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
