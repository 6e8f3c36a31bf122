// CMainFrameEx: the base of the main frame, drawn in the skinned frame. The frame is a
// frameless top-level window; the border and the caption (icon, minimise,
// maximise/restore and close buttons, title) are painted after the window's own
// painting, and the menu bar, the view and the status bar sit inside the frame. The
// caption drags and double clicks, the border sizes the window, the caption buttons
// minimise, maximise or restore and close it (closing as File > Exit does), and the
// system menu opens on Alt+Space and a right click on the caption.
#pragma once

#include "look/SkinnedWindow.h"
#include "platform/framework/FrameWnd.h"

#include <cstdint>

// A tool for a tooltip, as the tooltip hit test fills it in.
struct TOOLINFO
{
    UINT cbSize = sizeof(TOOLINFO);
    UINT uFlags = 0;
    HWND hwnd = nullptr;    // the window the tool belongs to
    std::uintptr_t uId = 0; // with TTF_IDISHWND: the tool's own window
    RECT rect{};
    const char* lpszText = nullptr;
};
inline constexpr UINT TTF_IDISHWND = 0x0001;
inline constexpr UINT TTF_CENTERTIP = 0x0002;
inline constexpr UINT TTF_NOTBUTTON = 0x80000000; // the tool is no button
// The text marker: the tool's text is asked for when the tooltip shows.
inline const char* const LPSTR_TEXTCALLBACK = reinterpret_cast<const char*>(std::intptr_t(-1));

class CMainFrameEx : public SkinnedWindow<CFrameWnd>
{
public:
    CMainFrameEx();

    const CRuntimeClass* GetRuntimeClass() const override;
    static const CRuntimeClass classCMainFrameEx;

    // The child window under `point` (frame coordinates) that has a control ID: the
    // topmost visible direct child with an ID whose rectangle holds the point. Returns
    // its ID and describes it in `info` (when given and at least 40 bytes large), or
    // -1 when there is none.
    virtual std::intptr_t OnToolHitTest(POINT point, TOOLINFO* info) const;
    // The title update, then the caption is painted again.
    void OnUpdateFrameTitle(BOOL addToTitle) override;

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
};
