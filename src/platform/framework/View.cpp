// Views and the scroll view's extent, client area and scroll position.
#include "platform/framework/View.h"

#include "platform/framework/ControlId.h"
#include "platform/framework/Document.h"
#include "platform/framework/FrameWnd.h"

#include <QEvent>
#include <QResizeEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <algorithm>

CView::CView() = default;

CView::~CView()
{
    if (m_pDocument) {
        m_pDocument->RemoveView(this);
    }
}

CFrameWnd* CView::GetParentFrame() const
{
    for (QWidget* widget = parentWidget(); widget; widget = widget->parentWidget()) {
        if (auto* frame = dynamic_cast<CFrameWnd*>(widget)) {
            return frame;
        }
    }
    return nullptr;
}

BOOL CView::OnCmdMsg(UINT id, CCmdUI* cmdUI)
{
    if (DispatchToOwnMap(id, cmdUI)) {
        return TRUE;
    }
    return m_pDocument ? m_pDocument->OnCmdMsg(id, cmdUI) : FALSE;
}

void CView::OnSize(UINT type, int cx, int cy)
{
    (void)type;
    (void)cx;
    (void)cy;
}

void CView::GetClientRect(RECT* rect) const
{
    if (rect) {
        const QSize client = ClientSize();
        *rect = {0, 0, client.width(), client.height()};
    }
}

QWidget* CView::GetDlgItem(int id) const
{
    return vexol::platform::framework::FindControl(this, id);
}

QWidget* CView::CreateHostWidget(QWidget* parent)
{
    setParent(parent);
    return this;
}

QSize CView::ClientSize() const
{
    return size();
}

void CView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    OnSize(SIZE_RESTORED, event->size().width(), event->size().height());
}

CScrollView::CScrollView() = default;

void CScrollView::SetScrollSizes(int mapMode, SIZE total)
{
    (void)mapMode; // pixels are the only unit
    m_total = {std::max<LONG>(total.cx, 0), std::max<LONG>(total.cy, 0)};
    UpdateExtent();
}

POINT CScrollView::GetScrollPosition() const
{
    if (!m_area) {
        return {0, 0};
    }
    return {m_area->horizontalScrollBar()->value(), m_area->verticalScrollBar()->value()};
}

void CScrollView::ScrollToPosition(POINT position)
{
    if (m_area) {
        m_area->horizontalScrollBar()->setValue(position.x);
        m_area->verticalScrollBar()->setValue(position.y);
    }
}

QWidget* CScrollView::CreateHostWidget(QWidget* parent)
{
    auto* area = new QScrollArea(parent);
    area->setWidgetResizable(false);
    area->setWidget(this);
    area->viewport()->installEventFilter(this);
    m_area = area;
    UpdateExtent();
    return area;
}

QSize CScrollView::ClientSize() const
{
    return m_area ? m_area->viewport()->size() : size();
}

void CScrollView::resizeEvent(QResizeEvent* event)
{
    if (m_area) {
        // The view itself grows with its extent; the client area is the viewport.
        QWidget::resizeEvent(event);
    } else {
        CView::resizeEvent(event);
    }
}

bool CScrollView::eventFilter(QObject* watched, QEvent* event)
{
    if (m_area && watched == m_area->viewport() && event->type() == QEvent::Resize) {
        UpdateExtent();
        const QSize client = ClientSize();
        OnSize(SIZE_RESTORED, client.width(), client.height());
    }
    return CView::eventFilter(watched, event);
}

// The view covers the viewport and at least the scroll extent, so the scroll bars
// reach exactly the extent.
void CScrollView::UpdateExtent()
{
    if (!m_area) {
        return;
    }
    const QSize client = ClientSize();
    resize(std::max<int>(m_total.cx, client.width()), std::max<int>(m_total.cy, client.height()));
}
