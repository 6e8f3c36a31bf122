// Routing and timing: the two commands posted by start-up, the commands the frame
// swallows, the version dialog reached through the application, and the idle hand-over
// of status texts.
#include "ShellTestSupport.h"

#include "platform/framework/CommandIds.h"
#include "platform/framework/Dialog.h"

#include <QEvent>
#include <thread>

namespace vexol::test {
namespace {

// Watches the program's own events delivered to the main window (posted commands):
// records the caption each one finds, and moves the capture window out of place so
// that the command that places it shows.
class PostedCommandWatcher : public QObject
{
public:
    PostedCommandWatcher(QWidget& frame, QWidget& captureWindow)
        : m_frame(frame), m_captureWindow(captureWindow)
    {
        frame.installEventFilter(this);
    }
    std::vector<QString> captions;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == &m_frame && event->type() >= QEvent::User) {
            captions.push_back(m_frame.windowTitle());
            m_captureWindow.move(-7, -7);
        }
        return false;
    }

private:
    QWidget& m_frame;
    QWidget& m_captureWindow;
};

void StoreCaptureFile(const char* name)
{
    RegistryStore store;
    store.WriteString("Settings Info", "CaptureFile", name);
}

// 32790 and 32792 run after start-up has returned, the caption first.
TEST_F(ShellTest, PostedCommandsRunAfterStartUpInOrder)
{
    StoreCaptureFile("/tmp/cap/capture.avi");
    InstallDrivers({0});
    ASSERT_TRUE(StartUp());
    // Start-up has returned: neither command has run yet.
    EXPECT_EQ(frame->windowTitle(), QString("Video capture software - 無題"));
    PostedCommandWatcher watcher(*frame, Capture());

    QCoreApplication::sendPostedEvents();
    // The first command found the untitled caption, the second the capture file's name
    // (32790 ran first); the second left the capture window centred (32792).
    ASSERT_EQ(watcher.captions.size(), 2u);
    EXPECT_EQ(watcher.captions[0], QString("Video capture software - 無題"));
    EXPECT_EQ(watcher.captions[1], QString("Video capture software - capture.avi"));
    EXPECT_EQ(frame->windowTitle(), QString("Video capture software - capture.avi"));
    RECT client;
    view->GetClientRect(&client);
    EXPECT_EQ(Capture().pos(), QPoint((client.right - 320) / 2, (client.bottom - 240) / 2));
}

TEST_F(ShellTest, CaptionNamesAWindowsStyleCaptureFile)
{
    InstallDrivers({0});
    StartUpAndSettle();
    // No capture file stored: the untitled name stays.
    ASSERT_TRUE(frame->SendCommand(ID_SHOW_CAPTURE_FILE_NAME));
    EXPECT_EQ(frame->windowTitle(), QString("Video capture software - 無題"));
    ASSERT_TRUE(Capture().SetCaptureFile("C:\\cap\\capture.avi"));
    ASSERT_TRUE(frame->SendCommand(ID_SHOW_CAPTURE_FILE_NAME));
    EXPECT_EQ(frame->windowTitle(), QString("Video capture software - capture.avi"));
    EXPECT_EQ(document->GetPathName(), "C:\\cap\\capture.avi");
}

// The frame takes 57600, 57601, 57603 and 57607 and does nothing; the application's
// new-document operation would have reset the caption.
TEST_F(ShellTest, FrameSwallowsDocumentCommands)
{
    InstallDrivers({0});
    StartUpAndSettle();
    ASSERT_TRUE(Capture().SetCaptureFile("/tmp/capture.avi"));
    ASSERT_TRUE(frame->SendCommand(ID_SHOW_CAPTURE_FILE_NAME));
    for (UINT id : {ID_FILE_NEW, ID_FILE_OPEN, ID_FILE_SAVE, ID_FILE_PRINT}) {
        // The frame's own map takes it; the view and document have no entry.
        EXPECT_TRUE(frame->CCmdTarget::OnCmdMsg(id, nullptr)) << id;
        EXPECT_FALSE(view->OnCmdMsg(id, nullptr)) << id;
    }
    for (UINT id : {ID_FILE_NEW, ID_FILE_SAVE, ID_FILE_PRINT}) {
        EXPECT_TRUE(frame->SendCommand(id)) << id;
    }
    EXPECT_EQ(frame->windowTitle(), QString("Video capture software - capture.avi"));
}

// Each command is handled by its own target along view, document, frame, application.
TEST_F(ShellTest, CommandsReachTheirOwnTargets)
{
    InstallDrivers({0});
    StartUpAndSettle();
    EXPECT_TRUE(view->CCmdTarget::OnCmdMsg(ID_PLACE_CAPTURE_WINDOW, nullptr));
    EXPECT_TRUE(document->CCmdTarget::OnCmdMsg(ID_SHOW_CAPTURE_FILE_NAME, nullptr));
    EXPECT_FALSE(frame->CCmdTarget::OnCmdMsg(ID_SHOW_CAPTURE_FILE_NAME, nullptr));
    EXPECT_FALSE(frame->CCmdTarget::OnCmdMsg(ID_APP_ABOUT, nullptr));

    int shown = 0;
    CDialog::SetModalAnswer(IDD_ABOUTBOX, [&shown](CDialog&) {
        ++shown;
        return IDOK;
    });
    EXPECT_TRUE(frame->SendCommand(ID_APP_ABOUT));
    CDialog::SetModalAnswer(IDD_ABOUTBOX, {});
    EXPECT_EQ(shown, 1);
}

TEST_F(ShellTest, SecondStatusTextWinsAtTheNextIdleCall)
{
    InstallDrivers({0});
    StartUpAndSettle();
    frame->SetStatusText("before");
    app->SetPendingStatusText("first");
    app->SetPendingStatusText("second");
    app->OnIdle(1); // not a multiple of 1000: nothing moves
    EXPECT_EQ(PaneText(), "before");
    app->OnIdle(0);
    EXPECT_EQ(PaneText(), "second");
    // The mailbox is empty now: a later idle call leaves the pane alone.
    frame->SetStatusText("later");
    app->OnIdle(1000);
    EXPECT_EQ(PaneText(), "later");
}

TEST_F(ShellTest, NullStatusTextShowsNothing)
{
    InstallDrivers({0});
    StartUpAndSettle();
    frame->SetStatusText("kept");
    app->SetPendingStatusText("overwritten");
    app->SetPendingStatusText(nullptr);
    app->OnIdle(0);
    EXPECT_EQ(PaneText(), "kept");
}

TEST_F(ShellTest, StatusTextFromAnotherThreadReachesTheBar)
{
    InstallDrivers({0});
    StartUpAndSettle();
    std::thread([this] { app->SetPendingStatusText("from the capture thread"); }).join();
    app->OnIdle(2000);
    EXPECT_EQ(PaneText(), "from the capture thread");
}

TEST_F(ShellTest, IdleAsksForMoreOnlyAtCountZeroOrWhileRecording)
{
    InstallDrivers({0});
    StartUpAndSettle();
    EXPECT_TRUE(app->OnIdle(0));
    EXPECT_FALSE(app->OnIdle(1));
    EXPECT_FALSE(app->OnIdle(1000));
    service.capturing = true;
    EXPECT_TRUE(app->OnIdle(1000));
    EXPECT_FALSE(app->OnIdle(1001));
}

} // namespace
} // namespace vexol::test
