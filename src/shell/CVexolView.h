// The view: a scrolling window whose only content is the capture window (control ID
// 12345). It keeps the capture window centred and its scroll range at the capture
// window's size.
#pragma once

#include "platform/framework/View.h"

class CCaptureWindow;

class CVexolView : public CScrollView
{
public:
    // Scroll range before the capture window exists.
    static constexpr LONG kInitialScrollSize = 100;

    CVexolView();
    ~CVexolView() override;

    const CRuntimeClass* GetRuntimeClass() const override;
    static const CRuntimeClass classCVexolView;

    void OnInitialUpdate() override;
    void OnSize(UINT type, int cx, int cy) override;

    // Command 32792: centre the capture window and fit the scroll range to it.
    void OnPlaceCaptureWindow();
    // Command 57634 and its rule (enabled while a driver is connected).
    void OnEditCopy();
    void OnUpdateEditCopy(CCmdUI* cmdUI);

    // The capture window inside this view, or null when it does not exist.
    CCaptureWindow* GetCaptureWindow() const;
    // Destroys the capture window inside this view (see CCaptureWindowBase::DestroyWindow);
    // the object belongs to the application and stays.
    void DestroyCaptureWindow();

private:
    void CentreCaptureWindow(CCaptureWindow& window);
    void FitScrollSizes(const CCaptureWindow& window);
};

namespace vexol::shell {

// Where a window of outer rectangle `window` goes in a client area `client`: centred,
// halves truncated toward zero, negative coordinates raised to 0.
POINT CentredPosition(const RECT& client, const RECT& window);

} // namespace vexol::shell
