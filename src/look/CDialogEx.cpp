#include "look/CDialogEx.h"

#include <QKeyEvent>
#include <QMouseEvent>

CDialogEx::CDialogEx(UINT templateId, QWidget* parent) : CDialog(templateId, parent), m_frame(*this)
{
}

BOOL CDialogEx::OnInitDialog()
{
    const BOOL result = CDialog::OnInitDialog();
    // The frame is ours; the window system draws none.
    m_frame.MakeFrameless();
    return result;
}

frame::FrameLayout CDialogEx::Layout() const
{
    return m_frame.Layout();
}

QMargins CDialogEx::FrameMargins() const
{
    return m_frame.Margins();
}

bool CDialogEx::DrawsActive() const
{
    return m_frame.DrawsActive();
}

void CDialogEx::ApplyFrame()
{
    if (!m_frame.Frame()) {
        return;
    }
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

void CDialogEx::paintEvent(QPaintEvent* event)
{
    CDialog::paintEvent(event);
    m_frame.Paint();
}

void CDialogEx::changeEvent(QEvent* event)
{
    CDialog::changeEvent(event);
    m_frame.Changed(*event);
}

void CDialogEx::mousePressEvent(QMouseEvent* event)
{
    if (!m_frame.MousePress(*event)) {
        CDialog::mousePressEvent(event);
    }
}

void CDialogEx::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_frame.MouseMove(*event)) {
        CDialog::mouseMoveEvent(event);
    }
}

void CDialogEx::mouseReleaseEvent(QMouseEvent* event)
{
    bool closeClicked = false;
    if (!m_frame.MouseRelease(*event, closeClicked)) {
        CDialog::mouseReleaseEvent(event);
    } else if (closeClicked) {
        reject(); // as the close button of any dialog: Cancel
    }
}

void CDialogEx::keyPressEvent(QKeyEvent* event)
{
    if (!m_frame.KeyPress(*event)) {
        CDialog::keyPressEvent(event);
    }
}
