// Static text controls through a handle.
#include "platform/framework/Static.h"

#include <QLabel>

BOOL CStatic::Attach(QWidget* control)
{
    auto* label = qobject_cast<QLabel*>(control);
    m_label = label;
    return label ? TRUE : FALSE;
}

QWidget* CStatic::GetSafeHwnd() const
{
    return m_label.data();
}

void CStatic::SetWindowText(const char* text)
{
    if (m_label) {
        m_label->setText(QString::fromUtf8(text ? text : ""));
    }
}

RECT CStatic::GetRectInParent() const
{
    if (!m_label) {
        return {0, 0, 0, 0};
    }
    const QRect r = m_label->geometry();
    return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}

void CStatic::MoveWindow(int x, int y, int width, int height)
{
    if (m_label) {
        m_label->setGeometry(x, y, width, height);
    }
}
