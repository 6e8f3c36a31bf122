#include "look/CDialogEx.h"

CDialogEx::CDialogEx(UINT templateId, QWidget* parent) : SkinnedWindow(templateId, parent) {}

BOOL CDialogEx::OnInitDialog()
{
    const BOOL result = CDialog::OnInitDialog();
    // The frame is ours; the window system draws none.
    m_frame.MakeFrameless();
    return result;
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
