// The frame's status bar: a row of panes, each named by an indicator ID. The pane of
// ID 0 is the message pane and takes the spare width; every other pane shows its
// ID's string, sized to fit it, whenever its update rule enables it.
#pragma once

#include "platform/WinTypes.h"
#include "platform/framework/CommandIds.h"

#include <QLabel>
#include <QPointer>
#include <QStatusBar>
#include <string>
#include <vector>

class CCmdTarget;
class CFrameWnd;

class CStatusBar
{
public:
    // Child, visible, at the bottom with a border on its top edge.
    static constexpr DWORD kDefaultStyle = 0x50008200;

    CStatusBar() = default;
    ~CStatusBar();
    CStatusBar(const CStatusBar&) = delete;
    CStatusBar& operator=(const CStatusBar&) = delete;

    // Creates the bar at the bottom of `frame`; hidden unless the style has the
    // visible bit. The frame's message bar is the one with ID_VIEW_STATUS_BAR.
    BOOL Create(CFrameWnd* frame, DWORD style = kDefaultStyle, UINT id = ID_VIEW_STATUS_BAR);
    // Replaces the panes. False when a non-zero ID has no string (no pane is changed).
    BOOL SetIndicators(const UINT* ids, int count);

    int GetCount() const { return int(m_panes.size()); }
    UINT GetItemID(int index) const;
    // Index of the pane with `id`, or -1.
    int CommandToIndex(UINT id) const;
    // Sets a pane's text (null: empty); with `update`, the pane is repainted at once.
    BOOL SetPaneText(int index, const char* text, BOOL update = TRUE);
    std::string GetPaneText(int index) const;

    // Runs the update rules of the indicator panes along `target`'s route.
    void OnUpdateCmdUI(CCmdTarget* target);

    UINT GetDlgCtrlID() const { return m_id; }
    QStatusBar* GetSafeHwnd() const { return m_bar.data(); }
    bool IsVisible() const;
    void Show(bool visible);

private:
    struct Pane
    {
        UINT id;
        std::string indicatorText; // the ID's string; empty for the message pane
        QPointer<QLabel> label;
    };
    void RemovePanes();

    QPointer<QStatusBar> m_bar;
    QPointer<CFrameWnd> m_frame;
    UINT m_id = 0;
    std::vector<Pane> m_panes;
};
