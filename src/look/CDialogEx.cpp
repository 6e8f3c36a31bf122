#include "look/CDialogEx.h"

#include <QApplication>
#include <QFontDatabase>
#include <QMouseEvent>
#include <QPainter>
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

CDialogEx::CDialogEx(UINT templateId, QWidget* parent) : CDialog(templateId, parent)
{
    m_skin.LoadStandard();
}

BOOL CDialogEx::OnInitDialog()
{
    const BOOL result = CDialog::OnInitDialog();
    // The frame is ours; the window system draws none.
    // (Qt drops the frameless hint when title-bar hints come with it.)
    if (isWindow()) {
        setWindowFlags((windowFlags() & Qt::WindowType_Mask) | Qt::FramelessWindowHint);
    }
    return result;
}

frame::FrameLayout CDialogEx::LayoutFor(QSize size) const
{
    return frame::LayOutFrame(frame::WindowFacts{SIZE{size.width(), size.height()},
                                                 kDialogStyle, 0, false,
                                                 m_skin.imagesLoaded != 0, false},
                              frame::StandardMetrics());
}

frame::FrameLayout CDialogEx::Layout() const
{
    return LayoutFor(size());
}

QMargins CDialogEx::FrameMargins() const
{
    // The frame is the same for any size large enough to hold it.
    const QSize probe(400, 300);
    const RECT client = LayoutFor(probe).client;
    return QMargins(client.left, client.top, probe.width() - client.right,
                    probe.height() - client.bottom);
}

void CDialogEx::ApplyFrame()
{
    if (m_framed || (windowFlags() & Qt::FramelessWindowHint) == 0) {
        return;
    }
    m_framed = true;
    const QMargins margins = FrameMargins();
    for (QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (!child->isWindow()) {
            child->move(child->pos() + QPoint(margins.left(), margins.top()));
        }
    }
    const QSize framed = size().grownBy(margins);
    setFixedSize(framed);
}

void CDialogEx::showEvent(QShowEvent* event)
{
    ApplyFrame();
    CDialog::showEvent(event);
}

FrameSkin::Target CDialogEx::Target() const
{
    return FrameSkin::Target{SIZE{width(), height()}, kDialogStyle, 0, false, DrawsActive(),
                             windowTitle()};
}

bool CDialogEx::DrawsActive() const
{
    if (isActiveWindow()) {
        return true;
    }
    // A dialog is drawn active while its owner, the main window, has the focus.
    const QWidget* active = QApplication::activeWindow();
    return active && parentWidget() && active == parentWidget()->window();
}

void CDialogEx::paintEvent(QPaintEvent* event)
{
    CDialog::paintEvent(event);
    if (!m_framed) {
        return;
    }
    QPainter painter(this);
    m_skin.Paint(&painter, Target(), false, CaptionFont());
}

void CDialogEx::changeEvent(QEvent* event)
{
    CDialog::changeEvent(event);
    if (event->type() == QEvent::ActivationChange || event->type() == QEvent::WindowTitleChange) {
        update(QRect(QPoint(0, 0), QSize(width(), FrameMargins().top())));
    }
}

QRect CDialogEx::CloseButtonRect() const
{
    for (const frame::ButtonPlace& place : Layout().buttons) {
        if (place.button == frame::CaptionButton::Close) {
            const RECT& r = place.rect;
            return QRect(QPoint(r.left, r.top), QPoint(r.right - 1, r.bottom - 1));
        }
    }
    return QRect();
}

bool CDialogEx::InCaption(QPoint at) const
{
    const frame::FrameLayout layout = Layout();
    const RECT& c = layout.caption;
    return layout.hasCaption && at.x() >= c.left && at.x() < c.right && at.y() >= c.top &&
           at.y() < c.bottom;
}

void CDialogEx::mousePressEvent(QMouseEvent* event)
{
    const QPoint at = event->position().toPoint();
    if (!m_framed || event->button() != Qt::LeftButton || !InCaption(at)) {
        CDialog::mousePressEvent(event);
        return;
    }
    if (CloseButtonRect().contains(at)) {
        m_closePressed = true;
        return;
    }
    // The window system moves the window where it can; else the dialog follows the
    // pointer itself.
    if (!windowHandle() || !windowHandle()->startSystemMove()) {
        m_dragging = true;
        m_dragOffset = event->globalPosition().toPoint() - pos();
    }
}

void CDialogEx::mouseMoveEvent(QMouseEvent* event)
{
    if (m_dragging) {
        move(event->globalPosition().toPoint() - m_dragOffset);
        return;
    }
    CDialog::mouseMoveEvent(event);
}

void CDialogEx::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && (m_dragging || m_closePressed)) {
        const bool close = m_closePressed && CloseButtonRect().contains(event->position().toPoint());
        m_dragging = false;
        m_closePressed = false;
        if (close) {
            reject(); // as the close button of any dialog: Cancel
        }
        return;
    }
    CDialog::mouseReleaseEvent(event);
}
