// The session ends the program in the middle of a recording (a logout sends SIGTERM,
// a closed terminal SIGHUP): the program ends as after Exit, the capture file is a
// finished movie and the settings are written.
#include "platform/capture/AviScanner.h"
#include "platform/framework/CommandIds.h"
#include "platform/registry/Registry.h"
#include "res/ResourceIds.h"
#include "settings/RegistryStore.h"
#include "shell/CMainFrame.h"
#include "shell/CVexolApp.h"
#include "support/FfprobeRunner.h"
#include "support/MessageBoxAnswers.h"
#include "support/TempRegistry.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTimer>
#include <csignal>
#include <gtest/gtest.h>
#include <unistd.h>

namespace vexol::test {
namespace {

TEST(SessionEnd, ASignalDuringARecordingFinishesTheMovieAndSavesTheSettings)
{
    for (const int signal : {SIGTERM, SIGHUP}) {
        SCOPED_TRACE(strsignal(signal));
        ScopedLanguage english(res::Language::English);
        ScopedMessageBoxAnswers boxes;
        TempRegistry registry;
        QTemporaryDir dir;
        const std::string capture = dir.filePath("capture.avi").toStdString();
        RegistryStore().WriteString("Settings Info", "CaptureFile", capture.c_str());

        CVexolApp app;
        bool recorded = false;
        bool handled = false;
        QTimer::singleShot(300, [&] { app.GetMainFrame()->PostCommand(ID_RECORD); });
        QTimer::singleShot(1800, [&] {
            recorded = app.GetCaptureWindow().IsCapturing() != FALSE;
            struct sigaction current
            {
            };
            ::sigaction(signal, nullptr, &current);
            handled = current.sa_handler != SIG_DFL && current.sa_handler != SIG_IGN;
            if (handled) {
                ::kill(::getpid(), signal);
            } else {
                QCoreApplication::exit(98); // raising it would end the test program
            }
        });
        EXPECT_EQ(app.Run(), 0);
        EXPECT_TRUE(recorded);
        EXPECT_TRUE(handled);
        EXPECT_TRUE(boxes.requests.empty());

        // Every frame written is indexed: what the headers say is what a reader finds,
        // beside the empty chunks of frames dropped on a loaded machine, which keep the
        // time but hold no picture.
        platform::capture::AviFileInfo info;
        ASSERT_TRUE(platform::capture::ScanAviFile(capture, info).Ok());
        ASSERT_FALSE(info.streams.empty());
        const FfprobeResult probe = RunFfprobe(QString::fromStdString(capture));
        ASSERT_TRUE(probe.ran && probe.exitCode == 0) << probe.errors.toStdString();
        const FfprobeStream* video = probe.Stream("video");
        ASSERT_NE(video, nullptr);
        EXPECT_GT(video->nbReadFrames, 5);
        EXPECT_EQ(video->nbReadFrames + (long long)info.streams[0].emptyChunks, video->nbFrames);
        // Shutdown ran: the application settings were written.
        RegistryStore store;
        char folder[261] = {};
        store.ReadString("Window Info", "Save Folder", "unset", folder, sizeof folder);
        EXPECT_STRNE(folder, "unset");
    }
}

} // namespace
} // namespace vexol::test
