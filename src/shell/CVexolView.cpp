#include "shell/CVexolView.h"

#include "capture/CCaptureWindow.h"
#include "platform/framework/CommandIds.h"
#include "res/ResourceIds.h"

#include <algorithm>

namespace vexol::shell {

POINT CentredPosition(const RECT& client, const RECT& window)
{
    const LONG x = ((client.right - client.left) - (window.right - window.left)) / 2;
    const LONG y = ((client.bottom - client.top) - (window.bottom - window.top)) / 2;
    return {std::max<LONG>(x, 0), std::max<LONG>(y, 0)};
}

} // namespace vexol::shell

namespace {

RECT OuterRect(const QWidget& window)
{
    const QRect r = window.frameGeometry();
    return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}

} // namespace

const CRuntimeClass CVexolView::classCVexolView{"CVexolView", 0, nullptr};

const CRuntimeClass* CVexolView::GetRuntimeClass() const
{
    return &classCVexolView;
}

CVexolView::CVexolView()
{
    MapCommand(ID_PLACE_CAPTURE_WINDOW, &CVexolView::OnPlaceCaptureWindow);
    MapCommand(ID_EDIT_COPY, &CVexolView::OnEditCopy);
    MapUpdateRule(ID_EDIT_COPY, &CVexolView::OnUpdateEditCopy);
}

CVexolView::~CVexolView()
{
    // The capture window belongs to the application object, not to this widget: it is
    // destroyed as a window and taken out before the view deletes its children.
    DestroyCaptureWindow();
}

void CVexolView::DestroyCaptureWindow()
{
    if (CCaptureWindow* window = GetCaptureWindow()) {
        window->DestroyWindow();
    }
}

CCaptureWindow* CVexolView::GetCaptureWindow() const
{
    return dynamic_cast<CCaptureWindow*>(GetDlgItem(IDC_CAPTURE_WINDOW));
}

void CVexolView::OnInitialUpdate()
{
    CScrollView::OnInitialUpdate();
    SetScrollSizes(MM_TEXT, SIZE{kInitialScrollSize, kInitialScrollSize});
    CCaptureWindow* window = GetCaptureWindow();
    if (!window) {
        return;
    }
    window->FitToImage();
    FitScrollSizes(*window);
    CentreCaptureWindow(*window);
}

void CVexolView::OnSize(UINT type, int cx, int cy)
{
    CScrollView::OnSize(type, cx, cy);
    OnPlaceCaptureWindow();
}

void CVexolView::OnPlaceCaptureWindow()
{
    CCaptureWindow* window = GetCaptureWindow();
    if (!window) {
        return;
    }
    CentreCaptureWindow(*window);
    FitScrollSizes(*window);
}

void CVexolView::CentreCaptureWindow(CCaptureWindow& window)
{
    RECT client;
    GetClientRect(&client);
    const POINT position = vexol::shell::CentredPosition(client, OuterRect(window));
    // Positions are in the scrolled content, so a picture larger than the view starts
    // at the content's edge and the scroll bars reach all of it.
    window.move(position.x, position.y);
}

void CVexolView::FitScrollSizes(const CCaptureWindow& window)
{
    const RECT outer = OuterRect(window);
    SetScrollSizes(MM_TEXT, SIZE{outer.right - outer.left, outer.bottom - outer.top});
}

void CVexolView::OnEditCopy()
{
    if (CCaptureWindow* window = GetCaptureWindow()) {
        window->CopyFrameToClipboard();
    }
}

void CVexolView::OnUpdateEditCopy(CCmdUI* cmdUI)
{
    const CCaptureWindow* window = GetCaptureWindow();
    cmdUI->Enable(window && window->IsDriverConnected());
}
