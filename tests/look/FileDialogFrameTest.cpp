// The skinned frame of the application's file dialogs: put round the file dialog's
// controls when shown, painted, moved by its caption and closed by its close button;
// a dialog answered by a test is neither shown nor framed.
#include "look/CFileDialogEx.h"
#include "res/ResourceIds.h"
#include "still/CJpegFileDialog.h"

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace {

void SendMouse(QWidget* to, QEvent::Type type, QPoint at)
{
    const Qt::MouseButtons held =
        type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, QPointF(at), QPointF(to->mapToGlobal(at)), Qt::LeftButton, held,
                      Qt::NoModifier);
    QApplication::sendEvent(to, &event);
}

COLORREF Rgb(QRgb p)
{
    return RGB(BYTE(qRed(p)), BYTE(qGreen(p)), BYTE(qBlue(p)));
}

QPoint CloseButtonCentre(const CFileDialogEx& dialog)
{
    for (const frame::ButtonPlace& place : dialog.Layout().buttons) {
        if (place.button == frame::CaptionButton::Close) {
            return QPoint((place.rect.left + place.rect.right) / 2,
                          (place.rect.top + place.rect.bottom) / 2);
        }
    }
    return QPoint(-1, -1);
}

// The save dialogs of the capture file, the movie and the still image.
struct DialogKind
{
    const char* name;
    std::function<std::unique_ptr<CFileDialogEx>()> make;
};

const DialogKind kKinds[] = {
    {"FileDialog",
     [] {
         return std::make_unique<CFileDialogEx>(FALSE, "avi", nullptr,
                                                OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT,
                                                "AVI file(*avi)|*.avi||");
     }},
    {"JpegDialog",
     [] {
         auto dialog = std::make_unique<CJpegFileDialog>(
             FALSE, "jpg", nullptr, OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_ENABLETEMPLATE,
             "JPEG file(*.jpg)|*.jpg||");
         dialog->m_ofn.lpTemplateName = IDD_JPEG_QUALITY;
         return dialog;
     }},
};

TEST(FileDialogFrame, FramedWhenShownAndClosedByTheCloseButton)
{
    CFileDialog::SetModalAnswer({}); // the real dialog
    FrameSkin skin;
    ASSERT_TRUE(skin.LoadStandard());
    for (const DialogKind& kind : kKinds) {
        std::unique_ptr<CFileDialogEx> dialog = kind.make();
        dialog->m_ofn.lpstrTitle = "Save";
        EXPECT_FALSE(dialog->IsFramed()) << kind.name;
        bool framed = false;
        bool controlsInside = false;
        COLORREF highlight = 0;
        COLORREF tabEdge = 0;
        COLORREF expectedTabEdge = 0;
        QTimer::singleShot(0, dialog.get(), [&] {
            framed = dialog->IsFramed();
            const QMargins m = dialog->FrameMargins();
            const QRect client = QRect(QPoint(0, 0), dialog->size()).marginsRemoved(m);
            // The controls and the size grip lie inside the frame.
            controlsInside = !dialog->findChildren<QWidget*>().isEmpty();
            for (QWidget* child : dialog->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
                if (!child->isWindow() && child->isVisible() &&
                    !client.contains(child->geometry())) {
                    controlsInside = false;
                }
            }
            const QImage shot = dialog->grab().toImage();
            const CDib& tab = dialog->DrawsActive() ? skin.activeTab : skin.inactiveTab;
            highlight = Rgb(shot.pixel(0, 30));
            tabEdge = Rgb(shot.pixel(3, 12));
            expectedTabEdge = tab.GetPixel(0, tab.GetSize().cy - 1 - 9);
            const QPoint close = CloseButtonCentre(*dialog);
            SendMouse(dialog.get(), QEvent::MouseButtonPress, close);
            SendMouse(dialog.get(), QEvent::MouseButtonRelease, close);
        });
        EXPECT_EQ(dialog->DoModal(), IDCANCEL) << kind.name;
        EXPECT_TRUE(framed) << kind.name;
        EXPECT_TRUE(controlsInside) << kind.name;
        EXPECT_EQ(dialog->FrameMargins(), QMargins(3, 22, 3, 3)) << kind.name;
        EXPECT_EQ(highlight, RGB(255, 255, 255)) << kind.name;
        EXPECT_EQ(tabEdge, expectedTabEdge) << kind.name;
    }
}

TEST(FileDialogFrame, CaptionDragMovesAndTheDialogStaysOpen)
{
    CFileDialog::SetModalAnswer({});
    std::unique_ptr<CFileDialogEx> dialog = kKinds[0].make();
    QPoint moved;
    bool openAfterDrag = false;
    QTimer::singleShot(0, dialog.get(), [&] {
        dialog->move(100, 100);
        SendMouse(dialog.get(), QEvent::MouseButtonPress, QPoint(40, 10));
        SendMouse(dialog.get(), QEvent::MouseMove, QPoint(70, 30));
        SendMouse(dialog.get(), QEvent::MouseButtonRelease, QPoint(70, 30));
        moved = dialog->pos();
        openAfterDrag = dialog->isVisible();
        dialog->reject();
    });
    EXPECT_EQ(dialog->DoModal(), IDCANCEL);
    EXPECT_EQ(moved, QPoint(130, 120));
    EXPECT_TRUE(openAfterDrag);
}

TEST(FileDialogFrame, AnsweredDialogIsNeitherShownNorFramed)
{
    for (const DialogKind& kind : kKinds) {
        std::unique_ptr<CFileDialogEx> dialog = kind.make();
        bool shown = true;
        bool framed = true;
        CFileDialog::SetModalAnswer([&](CFileDialog& asked) {
            shown = asked.isVisible();
            framed = dialog->IsFramed();
            return FileDialogAnswer::Choose("/tmp/answered-frame-test");
        });
        EXPECT_EQ(dialog->DoModal(), IDOK) << kind.name;
        CFileDialog::SetModalAnswer({});
        EXPECT_FALSE(shown) << kind.name;
        EXPECT_FALSE(framed) << kind.name;
        EXPECT_FALSE(dialog->isVisible()) << kind.name;
    }
}

} // namespace
