// The file-less frame stream (WM_CAP_SEQUENCE_NOFILE): its pace, the shutter-switch bit,
// the ways it ends, callbacks that use the window, and destruction while it runs.
#include "CaptureTestHelpers.h"

#include "platform/capture/DriverDialogRunner.h"

#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QMouseEvent>
#include <chrono>
#include <thread>

namespace capture_test {
namespace {

class FrameStreamTest : public ::testing::Test
{
protected:
    void SetUp() override { CallbackRecorder::Instance().Reset(); }
    void TearDown() override { CallbackRecorder::Instance().Reset(); }

    CallbackRecorder& Recorder() { return CallbackRecorder::Instance(); }
    bool WaitForFrames(std::size_t count, int timeoutMs = 5000)
    {
        return WaitUntil([&] { return Recorder().FrameCount() >= count; }, timeoutMs);
    }

    BuiltInDriversOnly builtIns;
    DriverWindowFixture f;
};

TEST_F(FrameStreamTest, CallbackCountFollowsTheRequestedPeriod)
{
    ASSERT_TRUE(f.Connect(kTestPatternIndex));
    f.SetStreamSetup(40000); // 25 frames per second
    f.RegisterRecorder();
    ASSERT_EQ(f.Send(WM_CAP_SEQUENCE_NOFILE), TRUE);
    PumpFor(1200);
    f.Send(WM_CAP_STOP);
    ASSERT_TRUE(f.WaitForCaptureEnd());
    const std::size_t frames = Recorder().FrameCount();
    EXPECT_GE(frames, 15u) << "about 30 expected";
    EXPECT_LE(frames, 45u) << "about 30 expected";
    EXPECT_EQ(f.Status().dwCurrentVideoFrame, DWORD(frames));
    EXPECT_TRUE(Recorder().SawStatus(IDS_CAP_STAT_VIDEOCURRENT)) << "progress after a second";
}

std::vector<std::size_t> FlaggedFrames(const std::vector<RecordedFrame>& frames)
{
    std::vector<std::size_t> flagged;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        if (frames[i].lastByte & 1) {
            flagged.push_back(i);
        }
    }
    return flagged;
}

TEST_F(FrameStreamTest, SwitchBitMarksExactlyThePressedFrames)
{
    ASSERT_TRUE(f.Connect(kShutterSwitchIndex));
    ASSERT_EQ(f.Format().biCompression, FOURCC_PL41);
    f.SetStreamSetup(10000);
    f.RegisterRecorder();
    f.Shutter()->PressSwitchForFrames(3);
    ASSERT_EQ(f.Send(WM_CAP_SEQUENCE_NOFILE), TRUE);
    ASSERT_TRUE(WaitForFrames(15));
    f.Shutter()->PressSwitchForFrames(2);
    const std::size_t pressedAfter = Recorder().FrameCount();
    ASSERT_TRUE(WaitForFrames(pressedAfter + 15));
    f.Send(WM_CAP_STOP);
    ASSERT_TRUE(f.WaitForCaptureEnd());

    const std::vector<RecordedFrame> frames = Recorder().Frames();
    const std::vector<std::size_t> flagged = FlaggedFrames(frames);
    ASSERT_EQ(flagged.size(), 5u);
    EXPECT_EQ(flagged[0], 0u);
    EXPECT_EQ(flagged[1], 1u);
    EXPECT_EQ(flagged[2], 2u);
    EXPECT_GE(flagged[3], pressedAfter);
    EXPECT_EQ(flagged[4], flagged[3] + 1);
    for (const RecordedFrame& frame : frames) {
        EXPECT_EQ(frame.lastByte & ~1, 0) << "only bit 0 carries the switch";
        EXPECT_EQ(frame.bytesUsed, DWORD(320 * 240 * 3 / 2 + 1));
    }
}

TEST_F(FrameStreamTest, SwitchKeyWorksWhileAModalDialogWaits)
{
    ASSERT_TRUE(f.Connect(kShutterSwitchIndex));
    f.SetStreamSetup(10000);
    f.RegisterRecorder();
    ASSERT_EQ(f.Send(WM_CAP_SEQUENCE_NOFILE), TRUE);
    ASSERT_TRUE(WaitForFrames(3));

    QDialog wait; // stands for the application's wait dialog
    wait.setModal(true);
    wait.show();
    QKeyEvent press(QEvent::KeyPress, ShutterSwitchDriver::kSwitchKey, Qt::NoModifier);
    QApplication::sendEvent(&wait, &press);
    EXPECT_TRUE(f.Shutter()->IsSwitchHeld());
    ASSERT_TRUE(WaitUntil([&] { return FlaggedFrames(Recorder().Frames()).size() >= 3; }));
    QKeyEvent release(QEvent::KeyRelease, ShutterSwitchDriver::kSwitchKey, Qt::NoModifier);
    QApplication::sendEvent(&wait, &release);
    EXPECT_FALSE(f.Shutter()->IsSwitchHeld());
    const std::size_t releasedAt = Recorder().FrameCount();
    ASSERT_TRUE(WaitForFrames(releasedAt + 5));
    f.Send(WM_CAP_ABORT);
    ASSERT_TRUE(f.WaitForCaptureEnd());

    // One unbroken run of marked frames, none after the release was seen.
    const std::vector<std::size_t> flagged = FlaggedFrames(Recorder().Frames());
    ASSERT_GE(flagged.size(), 3u);
    EXPECT_EQ(flagged.back() - flagged.front() + 1, flagged.size());
    EXPECT_LE(flagged.back(), releasedAt + 1);
}

TEST_F(FrameStreamTest, YieldAnsweringFalseEndsTheCapture)
{
    ASSERT_TRUE(f.Connect(kTestPatternIndex));
    f.SetStreamSetup(10000);
    f.RegisterRecorder();
    Recorder().yieldResult = 0;
    ASSERT_EQ(f.Send(WM_CAP_SEQUENCE_NOFILE), TRUE);
    EXPECT_TRUE(f.WaitForCaptureEnd());
    EXPECT_GE(Recorder().yieldCalls.load(), 1);
    EXPECT_TRUE(Recorder().SawStatus(IDS_CAP_END));
}

TEST_F(FrameStreamTest, TimeLimitEndsTheCapture)
{
    ASSERT_TRUE(f.Connect(kTestPatternIndex));
    f.SetStreamSetup(20000);
    CAPTUREPARMS p = f.Setup();
    p.fLimitEnabled = TRUE;
    p.wTimeLimit = 1;
    ASSERT_EQ(f.Send(WM_CAP_SET_SEQUENCE_SETUP, sizeof p, &p), TRUE);
    ASSERT_EQ(f.Send(WM_CAP_SEQUENCE_NOFILE), TRUE);
    ASSERT_TRUE(f.WaitForCaptureEnd(8000));
    EXPECT_GE(f.Status().dwCurrentTimeElapsedMS, 1000u);
}

TEST_F(FrameStreamTest, WithoutYieldTheCallReturnsWhenTheCaptureHasEnded)
{
    ASSERT_TRUE(f.Connect(kTestPatternIndex));
    f.SetStreamSetup(20000);
    CAPTUREPARMS p = f.Setup();
    p.fYield = FALSE;
    p.fLimitEnabled = TRUE;
    p.wTimeLimit = 1;
    ASSERT_EQ(f.Send(WM_CAP_SET_SEQUENCE_SETUP, sizeof p, &p), TRUE);
    ASSERT_EQ(f.Send(WM_CAP_SEQUENCE_NOFILE), TRUE);
    const CAPSTATUS s = f.Status();
    EXPECT_FALSE(s.fCapturingNow);
    EXPECT_GE(s.dwCurrentTimeElapsedMS, 1000u);
    EXPECT_GT(s.dwCurrentVideoFrame, 0u);
}

struct AbortInputCase
{
    const char* what;
    UINT vKeyAbort;
    BOOL leftMouse;
    BOOL rightMouse;
    std::function<void(QWidget*)> input;
    bool ends;
};

void PressKey(QWidget* target, int key)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
}

void Click(QWidget* target, Qt::MouseButton button)
{
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), button, button,
                      Qt::NoModifier);
    QApplication::sendEvent(target, &press);
}

TEST_F(FrameStreamTest, AbortKeyAndMouseButtonsAsConfigured)
{
    ASSERT_TRUE(f.Connect(kTestPatternIndex));
    const AbortInputCase cases[] = {
        {"Esc", 27, FALSE, FALSE, [](QWidget* w) { PressKey(w, Qt::Key_Escape); }, true},
        {"another key", 27, FALSE, FALSE, [](QWidget* w) { PressKey(w, Qt::Key_A); }, false},
        {"F5", 0x74, FALSE, FALSE, [](QWidget* w) { PressKey(w, Qt::Key_F5); }, true},
        {"right button", 0, FALSE, TRUE, [](QWidget* w) { Click(w, Qt::RightButton); }, true},
        {"left button not enabled", 27, FALSE, TRUE, [](QWidget* w) { Click(w, Qt::LeftButton); },
         false},
        {"no abort input", 0, FALSE, FALSE, [](QWidget* w) { PressKey(w, Qt::Key_Escape); }, false},
    };
    for (const AbortInputCase& c : cases) {
        SCOPED_TRACE(c.what);
        f.SetStreamSetup(20000);
        CAPTUREPARMS p = f.Setup();
        p.vKeyAbort = c.vKeyAbort;
        p.fAbortLeftMouse = c.leftMouse;
        p.fAbortRightMouse = c.rightMouse;
        ASSERT_EQ(f.Send(WM_CAP_SET_SEQUENCE_SETUP, sizeof p, &p), TRUE);
        ASSERT_EQ(f.Send(WM_CAP_SEQUENCE_NOFILE), TRUE);
        c.input(f.parent.get());
        if (c.ends) {
            EXPECT_TRUE(f.WaitForCaptureEnd());
        } else {
            PumpFor(100);
            EXPECT_TRUE(f.Status().fCapturingNow);
            f.Send(WM_CAP_ABORT);
            ASSERT_TRUE(f.WaitForCaptureEnd());
        }
    }
}

TEST_F(FrameStreamTest, UnregisteringWaitsForARunningCallback)
{
    ASSERT_TRUE(f.Connect(kTestPatternIndex));
    f.SetStreamSetup(10000);
    f.RegisterRecorder();
    std::atomic<bool> inside{false};
    Recorder().frameHook = [&](HWND, VIDEOHDR*) {
        inside = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        inside = false;
    };
    ASSERT_EQ(f.Send(WM_CAP_SEQUENCE_NOFILE), TRUE);
    ASSERT_TRUE(WaitUntil([&] { return inside.load(); }));
    ASSERT_EQ(f.Send(WM_CAP_SET_CALLBACK_VIDEOSTREAM, 0, LPARAM(0)), TRUE);
    EXPECT_FALSE(inside.load()) << "the call in progress ended before the unregistration returned";
    const std::size_t count = Recorder().FrameCount();
    PumpFor(150);
    EXPECT_EQ(Recorder().FrameCount(), count);
    EXPECT_TRUE(f.Status().fCapturingNow) << "the capture itself goes on";
    f.Send(WM_CAP_ABORT);
    EXPECT_TRUE(f.WaitForCaptureEnd());
}

TEST_F(FrameStreamTest, CallbacksMayQueryAndStopTheCapture)
{
    ASSERT_TRUE(f.Connect(kTestPatternIndex));
    f.SetStreamSetup(10000);
    f.RegisterRecorder();
    std::atomic<LRESULT> statusResult{-1}, previewResult{-1};
    std::atomic<BOOL> capturingSeen{FALSE};
    Recorder().frameHook = [&](HWND hwnd, VIDEOHDR*) {
        if (Recorder().FrameCount() == 5) {
            CAPSTATUS s{};
            statusResult = SendMessageA(hwnd, WM_CAP_GET_STATUS, sizeof s, LPARAM(&s));
            capturingSeen = s.fCapturingNow;
            previewResult = SendMessageA(hwnd, WM_CAP_SET_PREVIEW, 1, 0);
            SendMessageA(hwnd, WM_CAP_STOP, 0, 0);
        }
    };
    ASSERT_EQ(f.Send(WM_CAP_SEQUENCE_NOFILE), TRUE);
    ASSERT_TRUE(f.WaitForCaptureEnd());
    EXPECT_EQ(statusResult.load(), TRUE);
    EXPECT_TRUE(capturingSeen.load());
    EXPECT_EQ(previewResult.load(), 0) << "driver actions belong to the window's thread";
    EXPECT_FALSE(f.Status().fLiveWindow);
}

TEST_F(FrameStreamTest, PreviewGoesOnDuringAndAfterTheStream)
{
    ASSERT_TRUE(f.Connect(kTestPatternIndex));
    ASSERT_EQ(f.Send(WM_CAP_SET_PREVIEWRATE, 20), TRUE);
    ASSERT_EQ(f.Send(WM_CAP_SET_PREVIEW, TRUE), TRUE);
    f.SetStreamSetup(10000);
    f.RegisterRecorder();
    ASSERT_EQ(f.Send(WM_CAP_SEQUENCE_NOFILE), TRUE);
    long long shown = f.Window()->ShownFrameNumber();
    EXPECT_TRUE(WaitUntil([&] { return f.Window()->ShownFrameNumber() > shown; }));
    f.Send(WM_CAP_STOP);
    ASSERT_TRUE(f.WaitForCaptureEnd());
    shown = f.Window()->ShownFrameNumber();
    EXPECT_TRUE(WaitUntil([&] { return f.Window()->ShownFrameNumber() > shown; }));
    EXPECT_TRUE(f.Status().fLiveWindow);
}

TEST_F(FrameStreamTest, ConfirmationRequestedByTheSetupIsAsked)
{
    ASSERT_TRUE(f.Connect(kTestPatternIndex));
    f.SetStreamSetup(10000);
    CAPTUREPARMS p = f.Setup();
    p.fMakeUserHitOKToCapture = TRUE;
    ASSERT_EQ(f.Send(WM_CAP_SET_SEQUENCE_SETUP, sizeof p, &p), TRUE);
    int answer = QDialog::Rejected;
    SetDriverDialogRunner([&](QDialog&) { return answer; });
    EXPECT_EQ(f.Send(WM_CAP_SEQUENCE_NOFILE), FALSE);
    EXPECT_FALSE(f.Status().fCapturingNow);
    answer = QDialog::Accepted;
    EXPECT_EQ(f.Send(WM_CAP_SEQUENCE_NOFILE), TRUE);
    EXPECT_TRUE(f.Status().fCapturingNow);
    SetDriverDialogRunner(nullptr);
    f.Send(WM_CAP_ABORT);
    EXPECT_TRUE(f.WaitForCaptureEnd());
}

TEST_F(FrameStreamTest, ConnectingAnotherDriverEndsTheCapture)
{
    ASSERT_TRUE(f.Connect(kTestPatternIndex));
    f.SetStreamSetup(10000);
    f.RegisterRecorder();
    ASSERT_EQ(f.Send(WM_CAP_SEQUENCE_NOFILE), TRUE);
    ASSERT_TRUE(WaitForFrames(2));
    ASSERT_TRUE(f.Connect(kShutterSwitchIndex));
    EXPECT_FALSE(f.Status().fCapturingNow);
    EXPECT_EQ(Recorder().StatusIds().back(), IDS_CAP_END);
}

TEST(FrameStreamLifetime, DestroyingTheWindowDuringAStreamEndsItCleanly)
{
    BuiltInDriversOnly builtIns;
    CallbackRecorder::Instance().Reset();
    auto f = std::make_unique<DriverWindowFixture>();
    ASSERT_TRUE(f->Connect(kTestPatternIndex));
    f->SetStreamSetup(5000);
    f->RegisterRecorder();
    ASSERT_EQ(f->Send(WM_CAP_SEQUENCE_NOFILE), TRUE);
    ASSERT_TRUE(WaitUntil([] { return CallbackRecorder::Instance().FrameCount() >= 3; }));
    HWND hwnd = f->hwnd;
    f->parent.reset(); // destroyed without stop or abort
    EXPECT_FALSE(IsWindow(hwnd));
    const std::size_t count = CallbackRecorder::Instance().FrameCount();
    PumpFor(100);
    EXPECT_EQ(CallbackRecorder::Instance().FrameCount(), count);
    EXPECT_TRUE(CallbackRecorder::Instance().SawStatus(IDS_CAP_END));
    CallbackRecorder::Instance().Reset();
}

} // namespace
} // namespace capture_test
