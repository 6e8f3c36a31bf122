#include "still/CShutterWaitDlg.h"

#include "look/DialogButtons.h"
#include "res/ResourceIds.h"

#include <QMainWindow>
#include <QMenuBar>

namespace {

// The top-left corner of `window`'s client area on the screen: inside its frame, below
// the menu bar of a main window.
QPoint ClientOriginOnScreen(const QWidget* window)
{
    QPoint origin = window->contentsRect().topLeft();
    if (const auto* main = qobject_cast<const QMainWindow*>(window)) {
        const QWidget* menu = main->menuWidget();
        if (menu && menu->isVisible()) {
            origin.setY(menu->geometry().bottom() + 1);
        }
    }
    return window->mapToGlobal(origin);
}

} // namespace

CShutterWaitDlg::CShutterWaitDlg(QWidget* parent) : CDialogEx(IDD_SHUTTER_WAIT, parent) {}

BOOL CShutterWaitDlg::OnInitDialog()
{
    CDialogEx::OnInitDialog();
    AttachImageButtons(*this, &m_okButton, nullptr);
    MoveOkCancel(*this, PlaceOkCentredAtBottom);
    if (const QWidget* owner = parentWidget()) {
        move(ClientOriginOnScreen(owner));
    }
    return TRUE;
}
