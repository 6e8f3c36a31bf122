// Exit while a recording runs, through the whole application on the real capture
// service: the capture ends and its callbacks are gone before the main window, the
// status mailbox and the application object go; the settings are still written and the
// capture file is left playable. Run it many times under the sanitizers by hand:
//   test_shell --gtest_filter='ShutdownTest.*' --gtest_repeat=50
#include "platform/capture/CaptureService.h"
#include "platform/capture/DriverRegistry.h"
#include "platform/framework/CommandIds.h"
#include "platform/framework/FrameWnd.h"
#include "res/ResourceIds.h"
#include "settings/RegistryStore.h"
#include "shell/CVexolApp.h"
#include "support/FfprobeRunner.h"
#include "support/MessageBoxAnswers.h"
#include "support/TempRegistry.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <atomic>
#include <gtest/gtest.h>

namespace vexol::test {
namespace {

using namespace vexol::platform::capture;

// The application, noting status texts that arrive once its main window is gone.
class WatchedApp : public CVexolApp
{
public:
    void SetPendingStatusText(const char* text) override
    {
        if (frameGone.load()) {
            ++late;
        }
        CVexolApp::SetPendingStatusText(text);
    }
    std::atomic<bool> frameGone{false};
    std::atomic<int> late{0};
};

class ShutdownTest : public ::testing::Test
{
protected:
    ShutdownTest() { SetInstalledDriversForTesting(BuiltInDrivers()); }
    ~ShutdownTest() override { SetInstalledDriversForTesting(std::nullopt); }

    ScopedLanguage english{res::Language::English};
    ScopedMessageBoxAnswers boxes;
};

TEST_F(ShutdownTest, ExitWhileRecordingEndsTheCaptureBeforeAnythingItReachesGoes)
{
    constexpr int kRounds = 3;
    for (int round = 0; round < kRounds; ++round) {
        SCOPED_TRACE(round);
        TempRegistry registry;
        QTemporaryDir folder;
        const std::string path = folder.filePath("exit.avi").toStdString();
        RegistryStore().WriteString("Settings Info", "CaptureFile", path.c_str());

        auto app = std::make_unique<WatchedApp>();
        DWORD framesAtExit = 0;
        QElapsedTimer waited;
        QTimer step;
        step.setInterval(5);
        QObject::connect(&step, &QTimer::timeout, [&] {
            CFrameWnd* frame = app->GetMainWnd();
            CCaptureWindow& capture = app->GetCaptureWindow();
            if (!frame || !capture.IsDriverConnected()) {
                return;
            }
            if (!waited.isValid()) {
                QObject::connect(frame, &QObject::destroyed, [&] { app->frameGone = true; });
                frame->SendCommand(ID_RECORD);
                waited.start();
                return;
            }
            CAPSTATUS status{};
            SendMessageA(capture.GetDriverWindow(), WM_CAP_GET_STATUS, sizeof status,
                         LPARAM(&status));
            if (status.dwCurrentVideoFrame >= 3 || waited.elapsed() > 10000) {
                framesAtExit = status.dwCurrentVideoFrame;
                step.stop();
                frame->SendCommand(ID_APP_EXIT);
            }
        });
        step.start();
        EXPECT_EQ(app->Run(), 0);
        EXPECT_GE(framesAtExit, 3u) << "the recording ran when the program was closed";
        EXPECT_TRUE(app->frameGone.load());
        EXPECT_EQ(app->late.load(), 0) << "a status text arrived after the main window went";
        EXPECT_FALSE(app->GetCaptureWindow().IsCapturing());

        // Written only by the save at exit.
        char stored[261] = {};
        app->GetRegistryStore().ReadString("Settings Info", "MCIDevice", "", stored,
                                           sizeof stored);
        EXPECT_EQ(std::string(stored), "VideoDisc") << "the capture settings were written at exit";
        app.reset();

        const FfprobeResult probe = RunFfprobe(QString::fromStdString(path));
        ASSERT_TRUE(probe.ran) << probe.errors.toStdString();
        EXPECT_EQ(probe.exitCode, 0) << probe.errors.toStdString();
        const FfprobeStream* video = probe.Stream("video");
        ASSERT_NE(video, nullptr);
        EXPECT_GE(video->nbReadFrames, 1);
    }
}

} // namespace
} // namespace vexol::test
