#include "look/CImageButton.h"

#include "platform/framework/Dialog.h"

#include <QCursor>
#include <QEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QTimerEvent>

namespace {

constexpr int kHoverPollMs = 100;
constexpr COLORREF kTransparent = RGB(255, 0, 255);

// Cells by count (row 0 = 2 cells) and state, columns: disabled, hovered, focused,
// none; each not pressed, then pressed.
constexpr int kCells[7][8] = {
    {1, 1, 0, 0, 0, 0, 0, 0}, // 2
    {2, 2, 1, 1, 0, 1, 0, 1}, // 3
    {3, 3, 2, 1, 2, 1, 0, 1}, // 4
    {3, 4, 2, 1, 2, 1, 0, 1}, // 5
    {3, 4, 2, 5, 2, 5, 0, 1}, // 6
    {5, 6, 3, 4, 2, 1, 0, 1}, // 7
    {6, 7, 4, 5, 2, 3, 0, 1}, // 8
};

} // namespace

CImageButton::CImageButton() = default;

CImageButton::~CImageButton()
{
    if (m_button) {
        m_button->removeEventFilter(this);
    }
}

BOOL CImageButton::Attach(QPushButton* button)
{
    if (!button || m_button) {
        return FALSE;
    }
    m_button = button;
    button->setMouseTracking(hoverTracking != 0);
    button->installEventFilter(this);
    button->update();
    return TRUE;
}

BOOL CImageButton::SubclassDlgItem(int id, CDialog* dialog)
{
    return dialog ? Attach(qobject_cast<QPushButton*>(dialog->GetDlgItem(id))) : FALSE;
}

BOOL CImageButton::LoadImages(UINT id, int cells, const void* selector)
{
    cellCount = cells;
    useImageList = selector;
    SIZE cell{0, 0};
    if (!selector) {
        if (!strip.Load(WORD(id & 0xFFFF), cells)) {
            return FALSE;
        }
        cell = strip.GetCellSize();
    } else {
        imageList.DeleteImageList();
        DibCellStrip sizing;
        if (!sizing.Load(WORD(id & 0xFFFF), cells)) {
            return FALSE;
        }
        cell = sizing.GetCellSize();
        if (!imageList.Create(cell.cx, cell.cy, ILC_MASK | ILC_COLOR8, 0, 1)) {
            return FALSE;
        }
        imageList.AddMasked(sizing.source, kTransparent);
    }
    if (m_button) {
        // A strip cell covers the whole face; image-list cells may leave the
        // background showing through.
        m_button->setAttribute(Qt::WA_OpaquePaintEvent, selector == nullptr);
        m_button->resize(cell.cx, cell.cy);
        m_button->update();
    }
    return TRUE;
}

void CImageButton::EnableHoverTracking(BOOL flag)
{
    hoverTracking = flag ? 1 : 0;
    if (m_button) {
        m_button->setMouseTracking(hoverTracking != 0);
    }
    if (!hoverTracking && hovering) {
        StopHoverPoll();
        hovering = 0;
        Redraw();
    }
}

void CImageButton::SetCheckState(int state)
{
    if (state == checkState) {
        return;
    }
    checkState = state;
    Redraw();
}

int CImageButton::CellIndex(int cells, bool pressed, bool focused, bool hovered, bool disabled)
{
    if (cells < 2 || cells > 8) {
        return 0;
    }
    const int column = disabled ? 0 : hovered ? 2 : focused ? 4 : 6;
    return kCells[cells - 2][column + (pressed ? 1 : 0)];
}

LRESULT CImageButton::SendMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    static_cast<void>(lParam);
    if (message == BM_SETCHECK) {
        SetCheckState(int(wParam));
    }
    return 0;
}

UINT CImageButton::ItemState() const
{
    UINT state = 0;
    if (m_button) {
        state |= m_button->isDown() ? ODS_SELECTED : 0;
        state |= m_button->isChecked() ? ODS_CHECKED : 0;
        state |= m_button->hasFocus() ? ODS_FOCUS : 0;
        state |= m_button->isEnabled() ? 0 : ODS_DISABLED;
    }
    return state;
}

void CImageButton::DrawItem(QPainter* dc, const RECT& rect, UINT state)
{
    if (!dc || !dc->isActive()) {
        return;
    }
    const bool pressed = (state & (ODS_SELECTED | ODS_CHECKED)) != 0 || GetCheckState() == 1;
    const int cell = CellIndex(cellCount, pressed, (state & ODS_FOCUS) != 0, hovering != 0,
                               (state & ODS_DISABLED) != 0);
    if (useImageList) {
        imageList.Draw(dc, cell, POINT{rect.left, rect.top}, ILD_NORMAL);
    } else {
        strip.Draw(cell, dc, rect, nullptr);
    }
}

void CImageButton::OnPointerAt(POINT client)
{
    if (!hoverTracking || !m_button) {
        return;
    }
    if (hovering) {
        if (!m_button->rect().contains(client.x, client.y)) {
            StopHoverPoll();
            hovering = 0;
            Redraw();
        }
        return;
    }
    // Only a pointer over the button starts hovering (a drag started on it reports
    // moves from anywhere).
    if (!m_button->rect().contains(client.x, client.y)) {
        return;
    }
    hoverTimerId = startTimer(kHoverPollMs);
    if (hoverTimerId != 0) {
        hovering = 1;
        Redraw();
    }
}

void CImageButton::StopHoverPoll()
{
    if (hoverTimerId != 0) {
        killTimer(hoverTimerId);
        hoverTimerId = 0;
    }
}

void CImageButton::Redraw()
{
    ++m_redraws;
    if (m_button) {
        m_button->update();
    }
}

bool CImageButton::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_button) {
        return QObject::eventFilter(watched, event);
    }
    switch (event->type()) {
    case QEvent::Paint: {
        QPainter painter(m_button);
        DrawItem(&painter, RECT{0, 0, m_button->width(), m_button->height()}, ItemState());
        return true; // the button's own painting does not run
    }
    case QEvent::MouseMove: {
        const QPoint at = static_cast<QMouseEvent*>(event)->position().toPoint();
        OnPointerAt(POINT{at.x(), at.y()});
        break;
    }
    case QEvent::Enter: {
        const QPoint at = static_cast<QEnterEvent*>(event)->position().toPoint();
        OnPointerAt(POINT{at.x(), at.y()});
        break;
    }
    case QEvent::Hide:
        StopHoverPoll();
        if (hovering) {
            hovering = 0;
            Redraw();
        }
        break;
    default:
        break;
    }
    return false;
}

void CImageButton::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != hoverTimerId || hoverTimerId == 0) {
        QObject::timerEvent(event);
        return;
    }
    if (!m_button) {
        StopHoverPoll();
        return;
    }
    const QPoint at = m_button->mapFromGlobal(QCursor::pos());
    OnPointerAt(POINT{at.x(), at.y()});
}
