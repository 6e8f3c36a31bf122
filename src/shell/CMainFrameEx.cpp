#include "shell/CMainFrameEx.h"

#include "platform/WindowRegistry.h"
#include "platform/framework/ControlId.h"
#include "platform/framework/Resources.h"

#include <QAbstractButton>
#include <QHelpEvent>
#include <QToolTip>

namespace {

constexpr int kNoId = 0xFFFF;

// The tooltip text of a command or control: its string after "\n".
QString TooltipTextOf(UINT id)
{
    std::string text;
    if (!LoadString(id, text)) {
        return {};
    }
    const std::size_t newline = text.find('\n');
    return newline == std::string::npos ? QString() : QString::fromUtf8(text.substr(newline + 1));
}

} // namespace

const CRuntimeClass CMainFrameEx::classCMainFrameEx{"CMainFrameEx", 0, nullptr};

const CRuntimeClass* CMainFrameEx::GetRuntimeClass() const
{
    return &classCMainFrameEx;
}

CMainFrameEx::CMainFrameEx()
{
    // The frame is ours; the window system draws none.
    m_frame.MakeFrameless();
}

std::intptr_t CMainFrameEx::OnToolHitTest(POINT point, TOOLINFO* info) const
{
    const QPoint at(point.x, point.y);
    // Children are kept bottom to top; the walk goes from the top.
    const QObjectList& children = this->children();
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
        auto* child = qobject_cast<QWidget*>(*it);
        if (!child || child->isWindow()) {
            continue;
        }
        const int id = vexol::platform::framework::ControlIdOf(child) & 0xFFFF;
        // A window without an ID has none to give a tooltip for.
        if (id == kNoId || id == 0 || !child->isVisible() || !child->geometry().contains(at)) {
            continue;
        }
        if (info && info->cbSize >= 40) {
            info->hwnd = HandleOfWindow(const_cast<CMainFrameEx*>(this));
            info->uId = reinterpret_cast<std::uintptr_t>(HandleOfWindow(child));
            info->uFlags |= TTF_IDISHWND;
            info->lpszText = LPSTR_TEXTCALLBACK;
            if (!qobject_cast<QAbstractButton*>(child)) {
                info->uFlags |= TTF_NOTBUTTON | TTF_CENTERTIP;
            }
        }
        return id;
    }
    return -1;
}

void CMainFrameEx::OnUpdateFrameTitle(BOOL addToTitle)
{
    CFrameWnd::OnUpdateFrameTitle(addToTitle);
    update(QRect(0, 0, width(), FrameMargins().top()));
}

bool CMainFrameEx::event(QEvent* event)
{
    // A tooltip over a child window with an ID shows the text of that ID.
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const std::intptr_t id = OnToolHitTest(POINT{help->pos().x(), help->pos().y()}, nullptr);
        const QString text = id < 0 ? QString() : TooltipTextOf(UINT(id));
        if (!text.isEmpty()) {
            QToolTip::showText(help->globalPos(), text, this);
            return true;
        }
        QToolTip::hideText();
    }
    return SkinnedWindow::event(event);
}

void CMainFrameEx::showEvent(QShowEvent* event)
{
    // The menu bar, the view and the status bar move inside the frame.
    if (m_frame.Frame()) {
        setContentsMargins(FrameMargins());
    }
    SkinnedWindow::showEvent(event);
}
