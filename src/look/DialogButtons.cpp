#include "look/DialogButtons.h"

#include "look/CImageButton.h"
#include "platform/framework/Dialog.h"

#include <algorithm>

namespace {

constexpr LONG kGap = 5;

POINT AtLeastZero(LONG x, LONG y)
{
    return {std::max<LONG>(x, 0), std::max<LONG>(y, 0)};
}

SIZE SizeOf(const QWidget* widget)
{
    return widget ? SIZE{widget->width(), widget->height()} : SIZE{0, 0};
}

} // namespace

OkCancelPlacement PlaceOkCancelSideBySide(SIZE client, SIZE ok, SIZE cancel)
{
    const LONG x = (client.cx - ok.cx - kGap - cancel.cx) / 2;
    const LONG y = client.cy - std::max(ok.cy, cancel.cy) - kGap;
    return {AtLeastZero(x, y), AtLeastZero(x + ok.cx + kGap, y)};
}

OkCancelPlacement PlaceOkCancelAtRightEdge(SIZE client, SIZE ok, SIZE cancel)
{
    const LONG cancelY = client.cy - cancel.cy - kGap;
    return {AtLeastZero(client.cx - ok.cx - kGap, cancelY - ok.cy - kGap),
            AtLeastZero(client.cx - cancel.cx - kGap, cancelY)};
}

OkCancelPlacement PlaceOkAtBottomRight(SIZE client, SIZE ok, SIZE cancel)
{
    static_cast<void>(cancel);
    return {AtLeastZero(client.cx - ok.cx - kGap, client.cy - ok.cy - kGap), POINT{0, 0}, false};
}

OkCancelPlacement PlaceOkCentredAtBottom(SIZE client, SIZE ok, SIZE cancel)
{
    static_cast<void>(cancel);
    return {AtLeastZero((client.cx - ok.cx) / 2, client.cy - ok.cy - kGap), POINT{0, 0}, false};
}

BOOL AttachImageButtons(CDialog& dialog, CImageButton* ok, CImageButton* cancel)
{
    BOOL all = TRUE;
    const struct
    {
        CImageButton* button;
        int id;
        UINT strip;
    } buttons[] = {{ok, IDOK, IDB_OK_BUTTON}, {cancel, IDCANCEL, IDB_CANCEL_BUTTON}};
    for (const auto& b : buttons) {
        if (!b.button) {
            continue;
        }
        if (!b.button->SubclassDlgItem(b.id, &dialog) ||
            !b.button->LoadImages(b.strip, 4, nullptr)) {
            all = FALSE;
        }
        b.button->EnableHoverTracking(FALSE);
    }
    return all;
}

void MoveOkCancel(CDialog& dialog, OkCancelPlacement (*place)(SIZE client, SIZE ok, SIZE cancel))
{
    QWidget* ok = dialog.GetDlgItem(IDOK);
    QWidget* cancel = dialog.GetDlgItem(IDCANCEL);
    const OkCancelPlacement at =
        place(SIZE{dialog.width(), dialog.height()}, SizeOf(ok), SizeOf(cancel));
    if (ok) {
        ok->move(at.ok.x, at.ok.y);
    }
    if (cancel && at.placesCancel) {
        cancel->move(at.cancel.x, at.cancel.y);
    }
}
