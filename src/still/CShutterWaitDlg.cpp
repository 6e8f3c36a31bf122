#include "still/CShutterWaitDlg.h"

#include "look/DialogButtons.h"
#include "platform/WindowRegistry.h"
#include "res/ResourceIds.h"

CShutterWaitDlg::CShutterWaitDlg(QWidget* parent) : CDialogEx(IDD_SHUTTER_WAIT, parent) {}

BOOL CShutterWaitDlg::OnInitDialog()
{
    CDialogEx::OnInitDialog();
    AttachImageButtons(*this, &m_okButton, nullptr);
    MoveOkCancel(*this, PlaceOkCentredAtBottom);
    // At the top-left corner of the owner's client area.
    POINT origin{0, 0};
    if (ClientToScreen(HandleOfWindow(parentWidget()), &origin)) {
        move(origin.x, origin.y);
    }
    return TRUE;
}
