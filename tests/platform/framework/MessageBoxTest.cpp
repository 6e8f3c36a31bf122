// MessageBoxA: the real QMessageBox per button set, the test seam, the owner helper.
#include "platform/framework/MessageBox.h"
#include "platform/WindowRegistry.h"
#include "platform/framework/FrameWnd.h"
#include "platform/framework/WinApp.h"
#include "support/MessageBoxAnswers.h"

#include <QApplication>
#include <QDialog>
#include <QEventLoop>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>
#include <QTimer>

#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <thread>

namespace {

using vexol::platform::framework::MessageBoxRequest;
using vexol::test::ScopedMessageBoxAnswers;

QMessageBox* OpenMessageBox()
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(widget);
        if (box && box->isVisible()) {
            return box;
        }
    }
    return nullptr;
}

// Runs `act` on the box as soon as it is open, from the box's own event loop.
void WhenBoxOpens(std::function<void(QMessageBox*)> act, int passesLeft = 1000)
{
    QTimer::singleShot(0, [act, passesLeft] {
        if (QMessageBox* box = OpenMessageBox()) {
            act(box);
        } else if (passesLeft > 0) {
            WhenBoxOpens(act, passesLeft - 1);
        }
    });
}

void PressEscape(QMessageBox* box)
{
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(box, &escape);
}

struct Seen
{
    bool opened = false;
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString text;
    QString caption;
    QWidget* parent = nullptr;
    bool modal = false;
    bool survivedEscapeAndClose = false;
};

enum class Ending { Click, Escape, Close };

struct BoxCase
{
    UINT style;
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton defaultButton;
    QMessageBox::Icon icon;
    Ending ending;
    QMessageBox::StandardButton click; // for Ending::Click
    int expectedAnswer;
    bool answerRequired; // Esc and close do nothing
};

const BoxCase kBoxCases[] = {
    {MB_OK | MB_ICONHAND, QMessageBox::Ok, QMessageBox::Ok, QMessageBox::Critical, Ending::Click,
     QMessageBox::Ok, IDOK, false},
    {MB_OK | MB_ICONEXCLAMATION,
     QMessageBox::Ok,
     QMessageBox::Ok,
     QMessageBox::Warning,
     Ending::Escape,
     {},
     IDOK,
     false},
    {MB_OKCANCEL | MB_ICONQUESTION, QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok,
     QMessageBox::Question, Ending::Click, QMessageBox::Cancel, IDCANCEL, false},
    {MB_OKCANCEL,
     QMessageBox::Ok | QMessageBox::Cancel,
     QMessageBox::Ok,
     QMessageBox::NoIcon,
     Ending::Escape,
     {},
     IDCANCEL,
     false},
    {MB_ABORTRETRYIGNORE | MB_ICONHAND,
     QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore, QMessageBox::Abort,
     QMessageBox::Critical, Ending::Click, QMessageBox::Ignore, IDIGNORE, true},
    {MB_YESNOCANCEL | MB_ICONASTERISK,
     QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
     QMessageBox::Yes,
     QMessageBox::Information,
     Ending::Close,
     {},
     IDCANCEL,
     false},
    {MB_YESNO | MB_ICONEXCLAMATION, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes,
     QMessageBox::Warning, Ending::Click, QMessageBox::No, IDNO, true},
    {MB_YESNO | MB_ICONQUESTION, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes,
     QMessageBox::Question, Ending::Click, QMessageBox::Yes, IDYES, true},
    {MB_RETRYCANCEL | MB_ICONHAND, QMessageBox::Retry | QMessageBox::Cancel, QMessageBox::Retry,
     QMessageBox::Critical, Ending::Click, QMessageBox::Retry, IDRETRY, false},
    {MB_RETRYCANCEL | MB_ICONHAND,
     QMessageBox::Retry | QMessageBox::Cancel,
     QMessageBox::Retry,
     QMessageBox::Critical,
     Ending::Escape,
     {},
     IDCANCEL,
     false},
};

TEST(MessageBoxA, RealBoxShowsButtonsIconTextAndCaptionAndReturnsTheAnswer)
{
    QWidget owner;
    owner.show();
    for (const BoxCase& c : kBoxCases) {
        SCOPED_TRACE(testing::Message() << "style 0x" << std::hex << c.style);
        Seen seen;
        WhenBoxOpens([&seen, &c](QMessageBox* box) {
            seen.opened = true;
            seen.buttons = box->standardButtons();
            seen.defaultButton = box->defaultButton() ? box->standardButton(box->defaultButton())
                                                      : QMessageBox::NoButton;
            seen.icon = box->icon();
            seen.text = box->text();
            seen.caption = box->windowTitle();
            seen.parent = box->parentWidget();
            seen.modal = box->isModal();
            if (c.answerRequired) {
                PressEscape(box);
                box->close();
                seen.survivedEscapeAndClose = box->isVisible();
            }
            switch (c.ending) {
            case Ending::Click:
                box->button(c.click)->click();
                break;
            case Ending::Escape:
                PressEscape(box);
                break;
            case Ending::Close:
                box->close();
                break;
            }
        });
        const int answer =
            MessageBoxA(HandleOfWindow(&owner), "ID-10002-0101\n<b>Capture</b> 接続\n",
                        "ﾋﾞﾃﾞｵｷｬﾌﾟﾁｬｿﾌﾄ", c.style);
        ASSERT_TRUE(seen.opened);
        EXPECT_EQ(answer, c.expectedAnswer);
        EXPECT_EQ(seen.buttons, c.buttons);
        EXPECT_EQ(seen.defaultButton, c.defaultButton);
        EXPECT_EQ(seen.icon, c.icon);
        // Plain text: markup-like driver texts are shown as written.
        EXPECT_EQ(seen.text, QString::fromUtf8("ID-10002-0101\n<b>Capture</b> 接続\n"));
        EXPECT_EQ(seen.caption, QString::fromUtf8("ﾋﾞﾃﾞｵｷｬﾌﾟﾁｬｿﾌﾄ"));
        EXPECT_EQ(seen.parent, &owner);
        EXPECT_TRUE(seen.modal);
        EXPECT_EQ(seen.survivedEscapeAndClose, c.answerRequired);
        EXPECT_EQ(OpenMessageBox(), nullptr);
    }
}

TEST(MessageBoxA, OwnerDestroyedWhileOpenEndsTheBoxSafely)
{
    auto* owner = new QWidget;
    owner->show();
    WhenBoxOpens([owner](QMessageBox*) { delete owner; });
    EXPECT_EQ(MessageBoxA(HandleOfWindow(owner), "text", "caption", MB_OKCANCEL), IDCANCEL);
    auto* second = new QWidget;
    second->show();
    WhenBoxOpens([second](QMessageBox*) { delete second; });
    // A box that needs an answer and lost its owner reports no answer.
    EXPECT_EQ(MessageBoxA(HandleOfWindow(second), "text", "caption", MB_YESNO), 0);
}

TEST(MessageBoxA, HandlerSeesTheRequestAndAnswersIt)
{
    QWidget owner;
    ScopedMessageBoxAnswers answers(IDRETRY);
    EXPECT_EQ(MessageBoxWithHelpId(HandleOfWindow(&owner), "body", "title",
                                   MB_RETRYCANCEL | MB_ICONHAND, 0x28101),
              IDRETRY);
    answers.SetAnswer(IDNO);
    EXPECT_EQ(MessageBoxA(nullptr, nullptr, nullptr, MB_YESNO), IDNO);
    ASSERT_EQ(answers.requests.size(), 2u);
    const MessageBoxRequest& first = answers.requests[0];
    EXPECT_EQ(WindowOfHandle(first.owner), &owner);
    EXPECT_EQ(first.text, "body");
    EXPECT_EQ(first.caption, "title");
    EXPECT_EQ(first.style, MB_RETRYCANCEL | MB_ICONHAND);
    EXPECT_EQ(first.helpId, 0x28101u);
    const MessageBoxRequest& second = answers.requests[1];
    EXPECT_EQ(second.owner, nullptr);
    EXPECT_EQ(second.text, "");
    EXPECT_EQ(second.caption, "");
    EXPECT_EQ(second.helpId, 0u);
    EXPECT_EQ(OpenMessageBox(), nullptr);
}

TEST(MessageBoxA, ResettingTheHandlerRestoresTheRealBox)
{
    {
        ScopedMessageBoxAnswers answers(IDYES);
        EXPECT_EQ(MessageBoxA(nullptr, "a", "b", MB_YESNO), IDYES);
    }
    bool realBoxOpened = false;
    WhenBoxOpens([&realBoxOpened](QMessageBox* box) {
        realBoxOpened = true;
        box->button(QMessageBox::No)->click();
    });
    EXPECT_EQ(MessageBoxA(nullptr, "a", "b", MB_YESNO), IDNO);
    EXPECT_TRUE(realBoxOpened);
}

// A box requested by another thread is shown by the UI thread; the caller gets the answer.
TEST(MessageBoxA, CallFromAnotherThreadRunsOnTheUiThread)
{
    QThread* handlerThread = nullptr;
    vexol::platform::framework::SetMessageBoxHandler(
        [&handlerThread](const MessageBoxRequest& request) {
            handlerThread = QThread::currentThread();
            return request.text == "driver error" ? IDOK : 0;
        });
    QEventLoop loop;
    int answer = -1;
    std::thread worker([&] {
        answer = MessageBoxA(nullptr, "driver error", "caption", MB_OK | MB_ICONEXCLAMATION);
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
    vexol::platform::framework::SetMessageBoxHandler({});
    EXPECT_EQ(answer, IDOK);
    EXPECT_EQ(handlerThread, QApplication::instance()->thread());
}

// The application's boxes belong to the main window's last active pop-up, else to the
// main window, whether or not the application is the active one.
TEST(ApplicationBoxOwner, IsTheMainWindowsPopupElseTheMainWindowActiveOrNot)
{
    EXPECT_EQ(vexol::platform::framework::ApplicationBoxOwner(), nullptr);
    QWidget stranger; // an active window that is not the main window owns nothing
    stranger.show();
    QApplication::setActiveWindow(&stranger);
    EXPECT_EQ(vexol::platform::framework::ApplicationBoxOwner(), nullptr);

    CWinApp app;
    auto* frame = new CFrameWnd;
    app.SetMainWnd(frame);
    frame->show();
    for (QWidget* active :
         {static_cast<QWidget*>(frame), &stranger, static_cast<QWidget*>(nullptr)}) {
        SCOPED_TRACE(active ? active->metaObject()->className() : "nothing active");
        QApplication::setActiveWindow(active);
        EXPECT_EQ(WindowOfHandle(vexol::platform::framework::ApplicationBoxOwner()), frame);
        {
            QDialog dialog(frame);
            dialog.setModal(true);
            dialog.show();
            QApplication::setActiveWindow(active);
            EXPECT_EQ(WindowOfHandle(vexol::platform::framework::ApplicationBoxOwner()), &dialog);
        }
        EXPECT_EQ(WindowOfHandle(vexol::platform::framework::ApplicationBoxOwner()), frame);
    }
    QApplication::setActiveWindow(nullptr);
    delete frame;
    EXPECT_EQ(vexol::platform::framework::ApplicationBoxOwner(), nullptr);
}

} // namespace
