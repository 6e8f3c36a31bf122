// The application's run: start-up, the idle routine's counts, the wake-up from another
// thread, shutdown after Exit, and a failed start-up.
#include "FrameworkTestSupport.h"

#include "platform/framework/CommandIds.h"

#include <QDialog>
#include <QTimer>
#include <atomic>
#include <csignal>
#include <cstring>
#include <functional>
#include <mutex>
#include <thread>
#include <unistd.h>

namespace vexol::test {
namespace {

// Ends a run that would otherwise hang because an expected event never came; the
// run then returns 99. Lives as long as the application object of one test.
class HangGuard
{
public:
    HangGuard()
    {
        m_timer.setSingleShot(true);
        QObject::connect(&m_timer, &QTimer::timeout, [] { QCoreApplication::exit(99); });
        m_timer.start(10000);
    }

private:
    QTimer m_timer;
};

// Delivers whatever earlier tests left queued, so that it cannot reset idle counts.
void DrainEvents()
{
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

// Idle counts: TRUE while the count is below `more`; at the call that returns FALSE it
// posts one event, and ends the run at the first count 0 after that.
class CountingApp : public CWinApp
{
public:
    std::vector<LONG> counts;
    LONG more = 3;
    bool posted = false;

    HangGuard guard;
    BOOL OnIdle(LONG count) override
    {
        counts.push_back(count);
        if (posted && count == 0) {
            QCoreApplication::exit(0);
            return FALSE;
        }
        if (count < more) {
            return TRUE;
        }
        posted = true;
        QCoreApplication::postEvent(qApp, new QEvent(QEvent::User));
        return FALSE;
    }
};

TEST(IdleTest, CountStartsAtZeroAfterEachEventAndRisesWhileAsked)
{
    DrainEvents();
    CountingApp app;
    EXPECT_EQ(app.Run(), 0);
    EXPECT_EQ(app.counts, (std::vector<LONG>{0, 1, 2, 3, 0}));
}

// The first idle call starts a thread that hands over a status text and wakes the UI
// thread; nothing else would wake it.
class WakingApp : public CWinApp
{
public:
    std::thread worker;
    std::mutex mutex;    // guards pending
    std::string pending; // written by the worker, read by the idle routine
    std::string shown;

    HangGuard guard;
    BOOL OnIdle(LONG count) override
    {
        if (!worker.joinable()) {
            worker = std::thread([this] {
                {
                    std::lock_guard<std::mutex> lock(mutex);
                    pending = "Now recording.";
                }
                WakeUp();
            });
            return FALSE;
        }
        std::lock_guard<std::mutex> lock(mutex);
        if (count == 0 && !pending.empty()) {
            shown = pending;
            QCoreApplication::exit(0);
        }
        return FALSE;
    }
};

TEST(IdleTest, WakeUpFromAnotherThreadRunsTheIdleRoutine)
{
    WakingApp app;
    EXPECT_EQ(app.Run(), 0);
    app.worker.join();
    EXPECT_EQ(app.shown, "Now recording.");
}

// Start-up that creates the main window and posts two commands.
class StartingApp : public CWinApp
{
public:
    BOOL initResult = TRUE;
    std::vector<std::string> log;
    QPointer<CFrameWnd> mainWindowAtExit;
    bool mainWindowExistedAtExit = true;
    std::function<void()> place; // replaces the Exit after command 32792

    StartingApp()
    {
        AddDocTemplate(
            CSingleDocTemplate::Create<TestDocument, TestFrame, TestView>(IDR_MAINFRAME));
        MapCommand(ID_SHOW_CAPTURE_FILE_NAME, [this] { log.push_back("32790"); });
        MapCommand(ID_PLACE_CAPTURE_WINDOW, [this] {
            log.push_back("32792");
            if (place) {
                place();
                return;
            }
            GetMainWnd()->PostCommand(ID_APP_EXIT);
        });
    }
    HangGuard guard;

    BOOL InitInstance() override
    {
        CCommandLineInfo info;
        if (!ProcessShellCommand(info)) {
            return FALSE;
        }
        GetMainWnd()->PostCommand(ID_SHOW_CAPTURE_FILE_NAME);
        GetMainWnd()->PostCommand(ID_PLACE_CAPTURE_WINDOW);
        log.push_back("started");
        return initResult;
    }
    int ExitInstance() override
    {
        log.push_back("exit");
        mainWindowExistedAtExit = GetMainWnd() != nullptr;
        return CWinApp::ExitInstance();
    }
};

TEST(RunTest, PostedStartupCommandsRunInOrderAndExitEndsTheRun)
{
    ScopedLanguage english(res::Language::English);
    StartingApp app;
    EXPECT_EQ(app.Run(), 0);
    EXPECT_EQ(app.log, (std::vector<std::string>{"started", "32790", "32792", "exit"}));
    EXPECT_FALSE(app.mainWindowExistedAtExit);
}

TEST(RunTest, FailedStartupDestroysTheMainWindowAndSkipsTheLoop)
{
    ScopedLanguage english(res::Language::English);
    StartingApp app;
    app.initResult = FALSE;
    EXPECT_EQ(app.Run(), 1);
    EXPECT_EQ(app.log, (std::vector<std::string>{"started", "exit"}));
    EXPECT_FALSE(app.mainWindowExistedAtExit);
    QCoreApplication::sendPostedEvents(); // the posts died with the window
    EXPECT_EQ(app.log.size(), 2u);
}

// The session ends the program (a logout sends SIGTERM, a closed terminal SIGHUP):
// the run ends through shutdown as after Exit, also while a modal dialog is open.
TEST(RunTest, TerminationSignalsEndTheRunThroughShutdown)
{
    ScopedLanguage english(res::Language::English);
    for (const int signal : {SIGTERM, SIGHUP, SIGINT}) {
        for (const bool modal : {false, true}) {
            SCOPED_TRACE(std::string(strsignal(signal)) + (modal ? ", modal dialog open" : ""));
            StartingApp app;
            bool handled = false;
            app.place = [&] {
                struct sigaction current
                {
                };
                ::sigaction(signal, nullptr, &current);
                handled = current.sa_handler != SIG_DFL && current.sa_handler != SIG_IGN;
                if (!handled) {
                    QCoreApplication::exit(98); // raising it would end the test program
                    return;
                }
                if (!modal) {
                    ::kill(::getpid(), signal);
                    return;
                }
                QDialog dialog(app.GetMainWnd());
                QTimer::singleShot(50, [signal] { ::kill(::getpid(), signal); });
                dialog.exec();
                app.log.push_back("dialog ended");
            };
            EXPECT_EQ(app.Run(), 0);
            EXPECT_TRUE(handled);
            EXPECT_EQ(app.log.back(), "exit");
            EXPECT_EQ(app.log.size(), modal ? 5u : 4u);
            EXPECT_FALSE(app.mainWindowExistedAtExit);
            struct sigaction after
            {
            };
            ::sigaction(signal, nullptr, &after);
            EXPECT_EQ(after.sa_handler, SIG_DFL) << "the earlier handler is put back";
        }
    }
}

TEST(RunTest, FrameworkIdleUpdatesTheMainFrameAtCountZeroOnly)
{
    ScopedLanguage english(res::Language::English);
    TestApp app;
    app.AddDocTemplate(
        CSingleDocTemplate::Create<TestDocument, TestFrame, TestView>(IDR_MAINFRAME));
    ASSERT_NE(app.GetDocTemplate()->OpenDocumentFile(nullptr, FALSE), nullptr);
    int updates = 0;
    static_cast<TestFrame*>(app.GetMainWnd())->MapUpdateRule(ID_RECORD, [&](CCmdUI*) {
        ++updates;
    });
    EXPECT_TRUE(app.OnIdle(0));
    EXPECT_EQ(updates, 1);
    EXPECT_FALSE(app.OnIdle(1));
    EXPECT_EQ(updates, 1);
}

TEST(CommandLineTest, FirstPlainArgumentNamesTheDocumentAndFlagsAreIgnored)
{
    CCommandLineInfo info;
    EXPECT_EQ(info.m_nShellCommand, CCommandLineInfo::FileNew);
    info.ParseParam("nologo", TRUE, FALSE);
    EXPECT_EQ(info.m_nShellCommand, CCommandLineInfo::FileNew);
    info.ParseParam("/tmp/first.avi", FALSE, FALSE);
    info.ParseParam("second.avi", FALSE, TRUE);
    EXPECT_EQ(info.m_nShellCommand, CCommandLineInfo::FileOpen);
    EXPECT_EQ(info.m_strFileName, "/tmp/first.avi");
}

} // namespace
} // namespace vexol::test
