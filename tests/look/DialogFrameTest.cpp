// The skinned frame of the application's dialogs: put round the controls when shown,
// painted, moved by its caption and closed by its close button.
#include "look/CDialogEx.h"
#include "res/ResourceIds.h"
#include "shell/CAboutDlg.h"

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPushButton>
#include <gtest/gtest.h>

namespace {

void SendMouse(QWidget* to, QEvent::Type type, QPoint at)
{
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, QPointF(at), QPointF(to->mapToGlobal(at)), Qt::LeftButton, held,
                      Qt::NoModifier);
    QApplication::sendEvent(to, &event);
}

TEST(DialogFrame, GrowsRoundTheControlsWhenShown)
{
    CAboutDlg dialog;
    ASSERT_TRUE(dialog.Create());
    QWidget* ok = dialog.GetDlgItem(IDOK);
    ASSERT_NE(ok, nullptr);
    const QSize client = dialog.size();
    const QPoint okAt = ok->pos();
    EXPECT_FALSE(dialog.IsFramed());

    dialog.show();
    ASSERT_TRUE(dialog.IsFramed());
    const QMargins m = dialog.FrameMargins();
    EXPECT_EQ(m, QMargins(3, 22, 3, 3)); // dialog frame 3, caption 18 and its ring
    EXPECT_EQ(dialog.size(), client.grownBy(m));
    EXPECT_EQ(ok->pos(), okAt + QPoint(3, 22));
    const RECT inside = dialog.Layout().client;
    EXPECT_EQ(QRect(QPoint(inside.left, inside.top), QPoint(inside.right - 1, inside.bottom - 1)),
              QRect(QPoint(3, 22), client));

    // The painted frame: the outer highlight, the tab's left edge, the close button.
    const QImage shot = dialog.grab().toImage();
    FrameSkin skin;
    ASSERT_TRUE(skin.LoadStandard());
    const CDib& tab = dialog.DrawsActive() ? skin.activeTab : skin.inactiveTab;
    const auto rgb = [](QRgb p) { return RGB(BYTE(qRed(p)), BYTE(qGreen(p)), BYTE(qBlue(p))); };
    EXPECT_EQ(rgb(shot.pixel(0, 30)), RGB(255, 255, 255));
    EXPECT_EQ(rgb(shot.pixel(3, 12)), tab.GetPixel(0, tab.GetSize().cy - 1 - 9));
    dialog.hide();
}

TEST(DialogFrame, CloseButtonCancelsAndCaptionDragMoves)
{
    const struct
    {
        const char* name;
        bool onClose;
    } cases[] = {{"CloseButton", true}, {"Caption", false}};
    for (const auto& c : cases) {
        CAboutDlg dialog;
        ASSERT_TRUE(dialog.Create());
        dialog.show();
        dialog.move(100, 100);
        QPoint at(40, 10);
        for (const frame::ButtonPlace& place : dialog.Layout().buttons) {
            if (place.button == frame::CaptionButton::Close && c.onClose) {
                at = QPoint((place.rect.left + place.rect.right) / 2,
                            (place.rect.top + place.rect.bottom) / 2);
            }
        }
        SendMouse(&dialog, QEvent::MouseButtonPress, at);
        if (!c.onClose) {
            SendMouse(&dialog, QEvent::MouseMove, at + QPoint(30, 20));
        }
        SendMouse(&dialog, QEvent::MouseButtonRelease, c.onClose ? at : at + QPoint(30, 20));
        if (c.onClose) {
            EXPECT_EQ(dialog.GetEndResult(), IDCANCEL) << c.name;
        } else {
            EXPECT_EQ(dialog.GetEndResult(), -1) << c.name;
            EXPECT_EQ(dialog.pos(), QPoint(130, 120)) << c.name;
        }
        dialog.hide();
    }
}

} // namespace
