// Hand-overs to the user-interface thread, and what the system says about its screen.
#include "platform/UiThread.h"
#include "platform/SystemMetrics.h"
#include "platform/WindowRegistry.h"

#include <QGuiApplication>
#include <QMainWindow>
#include <QMenuBar>
#include <QScreen>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>

namespace {

TEST(UiThread, WorkHandedOverRunsOnTheUiThreadWhenItsEventsAreHandled)
{
    ASSERT_TRUE(IsUiThread());
    const std::thread::id ui = std::this_thread::get_id();
    std::atomic<int> runs{0};
    std::thread::id ranOn;
    bool workerIsUi = true;
    bool queued = false;
    std::thread worker([&] {
        workerIsUi = IsUiThread();
        queued = RunOnUiThread([&] {
            ranOn = std::this_thread::get_id();
            ++runs;
        });
        ProcessPendingEvents(); // not the UI thread: runs nothing
    });
    worker.join();
    EXPECT_FALSE(workerIsUi);
    ASSERT_TRUE(queued);
    EXPECT_EQ(runs.load(), 0) << "ran before the UI thread handled its events";
    ProcessPendingEvents();
    EXPECT_EQ(runs.load(), 1);
    EXPECT_EQ(ranOn, ui);
    EXPECT_FALSE(RunOnUiThread(nullptr));
}

TEST(SystemMetrics, ScreenSizesAndUnknownIndexes)
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    ASSERT_NE(screen, nullptr);
    struct Row
    {
        const char* name;
        int index;
        int expected;
    };
    const Row rows[] = {
        {"screen width", SM_CXSCREEN, screen->geometry().width()},
        {"screen height", SM_CYSCREEN, screen->geometry().height()},
        {"maximised width", SM_CXMAXIMIZED, screen->availableGeometry().width()},
        {"maximised height", SM_CYMAXIMIZED, screen->availableGeometry().height()},
        {"unknown", 4711, 0},
        {"negative", -1, 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(GetSystemMetrics(r.index), r.expected);
    }
    EXPECT_GT(GetSystemMetrics(SM_CXMAXIMIZED), 0);
    EXPECT_LE(GetSystemMetrics(SM_CXMAXIMIZED), GetSystemMetrics(SM_CXSCREEN));
}

TEST(ClientToScreen, AFramesClientAreaStartsBelowItsMenuBar)
{
    QMainWindow frame;
    frame.setGeometry(40, 30, 300, 200);
    frame.menuBar()->addMenu(QStringLiteral("&File"));
    frame.setCentralWidget(new QWidget);
    frame.show();
    QWidget plain;
    plain.setGeometry(70, 50, 100, 100);
    plain.show();
    const int menuBottom = frame.menuBar()->geometry().bottom() + 1;
    ASSERT_GT(menuBottom, 0);

    struct Row
    {
        const char* name;
        QWidget* window;
        POINT in;
        QPoint expected;
    };
    const Row rows[] = {
        {"frame's corner", &frame, {0, 0}, frame.mapToGlobal(QPoint(0, menuBottom))},
        {"inside the frame", &frame, {5, 7}, frame.mapToGlobal(QPoint(5, 7 + menuBottom))},
        {"plain window", &plain, {3, 4}, plain.mapToGlobal(QPoint(3, 4))},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        POINT p = r.in;
        ASSERT_EQ(ClientToScreen(HandleOfWindow(r.window), &p), TRUE);
        EXPECT_EQ(p.x, r.expected.x());
        EXPECT_EQ(p.y, r.expected.y());
    }

    POINT p{1, 2};
    EXPECT_EQ(ClientToScreen(nullptr, &p), FALSE);
    EXPECT_EQ(ClientToScreen(HandleOfWindow(&plain), nullptr), FALSE);
    auto* gone = new QWidget;
    const HWND stale = HandleOfWindow(gone);
    delete gone;
    EXPECT_EQ(ClientToScreen(stale, &p), FALSE);
    EXPECT_EQ(p.x, 1) << "left as it was";
}

} // namespace
