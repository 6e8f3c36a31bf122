// Status bar panes over a QStatusBar: the message pane stretches, indicator panes keep
// the width of their text even while blank.
#include "platform/framework/StatusBar.h"

#include "platform/framework/CmdTarget.h"
#include "platform/framework/FrameWnd.h"
#include "platform/framework/Resources.h"

#include <QLabel>
#include <QStatusBar>

namespace {

constexpr DWORD kVisibleStyle = 0x10000000;

// An indicator pane as its update rule sees it: enabled shows the indicator text,
// disabled leaves the pane blank.
class PaneCmdUI : public CCmdUI
{
public:
    PaneCmdUI(UINT id, CStatusBar& bar, int index, const std::string& indicatorText)
        : CCmdUI(id), m_bar(bar), m_index(index), m_indicatorText(indicatorText)
    {
    }
    void Enable(BOOL on) override
    {
        CCmdUI::Enable(on);
        const std::string text = on ? m_indicatorText : std::string();
        if (m_bar.GetPaneText(m_index) != text) {
            m_bar.SetPaneText(m_index, text.c_str());
        }
    }
    void SetText(const char* text) override { m_bar.SetPaneText(m_index, text); }

private:
    CStatusBar& m_bar;
    int m_index;
    const std::string& m_indicatorText;
};

} // namespace

CStatusBar::~CStatusBar()
{
    if (m_frame && m_frame->GetMessageBar() == this) {
        m_frame->SetMessageBar(nullptr);
    }
}

BOOL CStatusBar::Create(CFrameWnd* frame, DWORD style, UINT id)
{
    if (!frame || m_bar) {
        return FALSE;
    }
    auto* bar = new QStatusBar(frame);
    bar->setSizeGripEnabled(true);
    frame->setStatusBar(bar); // the frame owns the widget
    bar->setVisible((style & kVisibleStyle) != 0);
    m_bar = bar;
    m_frame = frame;
    m_id = id;
    if (id == ID_VIEW_STATUS_BAR) {
        frame->SetMessageBar(this);
    }
    return TRUE;
}

BOOL CStatusBar::SetIndicators(const UINT* ids, int count)
{
    if (!m_bar || (count > 0 && !ids) || count < 0) {
        return FALSE;
    }
    std::vector<Pane> panes;
    for (int i = 0; i < count; ++i) {
        Pane pane{ids[i], {}, nullptr};
        if (ids[i] != ID_SEPARATOR && !LoadString(ids[i], pane.indicatorText)) {
            return FALSE;
        }
        panes.push_back(std::move(pane));
    }
    RemovePanes();
    for (Pane& pane : panes) {
        auto* label = new QLabel(m_bar);
        label->setTextFormat(Qt::PlainText);
        if (pane.id == ID_SEPARATOR) {
            m_bar->addWidget(label, 1);
        } else {
            const QString text = QString::fromUtf8(pane.indicatorText);
            label->setAlignment(Qt::AlignCenter);
            label->setMinimumWidth(label->fontMetrics().horizontalAdvance(text) +
                                   2 * label->fontMetrics().averageCharWidth());
            label->setText(text);
            m_bar->addPermanentWidget(label);
        }
        pane.label = label;
    }
    m_panes = std::move(panes);
    return TRUE;
}

UINT CStatusBar::GetItemID(int index) const
{
    return index >= 0 && index < GetCount() ? m_panes[size_t(index)].id : 0;
}

int CStatusBar::CommandToIndex(UINT id) const
{
    for (int i = 0; i < GetCount(); ++i) {
        if (m_panes[size_t(i)].id == id) {
            return i;
        }
    }
    return -1;
}

BOOL CStatusBar::SetPaneText(int index, const char* text, BOOL update)
{
    if (index < 0 || index >= GetCount() || !m_panes[size_t(index)].label) {
        return FALSE;
    }
    QLabel* label = m_panes[size_t(index)].label;
    label->setText(QString::fromUtf8(text ? text : ""));
    if (update && label->isVisible()) {
        label->repaint();
    }
    return TRUE;
}

std::string CStatusBar::GetPaneText(int index) const
{
    if (index < 0 || index >= GetCount() || !m_panes[size_t(index)].label) {
        return {};
    }
    return m_panes[size_t(index)].label->text().toStdString();
}

void CStatusBar::OnUpdateCmdUI(CCmdTarget* target)
{
    for (int i = 0; i < GetCount(); ++i) {
        const Pane& pane = m_panes[size_t(i)];
        if (pane.id != ID_SEPARATOR) {
            PaneCmdUI ui(pane.id, *this, i, pane.indicatorText);
            ui.DoUpdate(target);
        }
    }
}

bool CStatusBar::IsVisible() const
{
    return m_bar && !m_bar->isHidden();
}

void CStatusBar::Show(bool visible)
{
    if (m_bar) {
        m_bar->setVisible(visible);
    }
}

void CStatusBar::RemovePanes()
{
    for (Pane& pane : m_panes) {
        delete pane.label.data();
    }
    m_panes.clear();
}
