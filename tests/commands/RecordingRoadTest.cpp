// The whole road of one recording in the real main window on the real capture service
// with its test-pattern camera: a new capture file in a folder of the test, 8 MB
// allocated, 10 frames per second with a 2-second limit, Record!, the end of the
// recording, Save Captured Movie under a second name, the saved file read by ffprobe,
// and the settings found in the registry after shutdown.
#include "CommandTestSupport.h"

#include "platform/capture/DriverRegistry.h"
#include "platform/capture/TestPatternDriver.h"
#include "support/AviTestSupport.h"
#include "support/FfprobeRunner.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <set>

namespace vexol::test {
namespace {

namespace cap = platform::capture;

class RecordingRoadTest : public ShellTest
{
protected:
    RecordingRoadTest() { cap::SetInstalledDriversForTesting(cap::BuiltInDrivers()); }
    ~RecordingRoadTest() override
    {
        CDialog::SetModalAnswer(IDD_FILE_SIZE, {});
        CDialog::SetModalAnswer(IDD_PARAMETERS, {});
        app.reset();
        QCoreApplication::sendPostedEvents();
        cap::SetInstalledDriversForTesting(std::nullopt);
    }

    // Runs events (and the idle routine, which shows the status texts) until `done`;
    // every text of the message pane is kept.
    bool RunUntil(const std::function<bool()>& done, int limitMs)
    {
        QElapsedTimer running;
        running.start();
        while (!done() && running.elapsed() < limitMs) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            app->OnIdle(0);
            paneTexts.insert(PaneText());
        }
        return done();
    }

    std::string Folder() const { return QDir(temp.path()).canonicalPath().toStdString() + "/"; }

    QTemporaryDir temp;
    ScopedFileDialogAnswers dialogs;
    ScopedMessageBoxAnswers boxes;
    std::set<std::string> paneTexts;
};

TEST_F(RecordingRoadTest, RecordsTenFramesASecondForTwoSecondsAndKeepsTheMovie)
{
    app = std::make_unique<CVexolApp>();
    ASSERT_TRUE(app->InitInstance());
    frame = app->GetMainFrame();
    ASSERT_NE(frame, nullptr);
    QCoreApplication::sendPostedEvents();
    ASSERT_EQ(Capture().GetDriverName(), cap::TestPatternDriver::kName);

    // File > Capture file setting: a new file, which goes on to the size dialog.
    const std::string captureFile = Folder() + "capture.avi";
    dialogs.Choose(captureFile);
    CDialog::SetModalAnswer(
        IDD_FILE_SIZE, [](CDialog& dialog) { return EnterAndConfirm(dialog, IDC_FILE_SIZE, "8"); });
    ASSERT_TRUE(frame->SendCommand(ID_CAPTURE_FILE_SETTING));
    EXPECT_EQ(Capture().GetCaptureFile(FALSE), captureFile);
    EXPECT_EQ(FileSize(captureFile), 8ll << 20);

    // Option > Various Parameter Settings: 10 fps, a limit of 2 seconds.
    CDialog::SetModalAnswer(IDD_PARAMETERS, [](CDialog& dialog) {
        qobject_cast<QCheckBox*>(dialog.GetDlgItem(IDC_LIMIT_ENABLED))->click();
        qobject_cast<QLineEdit*>(dialog.GetDlgItem(IDC_TIME_LIMIT))->setText("2");
        return EnterAndConfirm(dialog, IDC_FRAMES_PER_SECOND, "10");
    });
    ASSERT_TRUE(frame->SendCommand(ID_PARAMETER_SETTINGS));

    // Record! runs until the time limit ends it.
    ASSERT_TRUE(frame->SendCommand(ID_RECORD));
    ASSERT_TRUE(Capture().IsCapturing());
    EXPECT_TRUE(StateOf(ID_STOP_RECORDING).enabled);
    for (UINT id : {ID_RECORD, ID_CAPTURE_FILE_SETTING, ID_CAPTURE_FILE_SIZE, ID_SAVE_MOVIE,
                    ID_PARAMETER_SETTINGS}) {
        EXPECT_FALSE(StateOf(id).enabled) << id;
    }
    EXPECT_TRUE(StateOf(ID_PREVIEW).enabled);
    ASSERT_TRUE(RunUntil([&] { return !Capture().IsCapturing(); }, 30000));
    RunUntil([&] { return PaneText().starts_with("Captured "); }, 5000);
    EXPECT_TRUE(PaneText().starts_with("Captured ")) << PaneText();
    EXPECT_GE(paneTexts.size(), 3u) << "the service's texts while it ran";
    EXPECT_TRUE(StateOf(ID_RECORD).enabled);
    EXPECT_FALSE(StateOf(ID_STOP_RECORDING).enabled);
    EXPECT_TRUE(StateOf(ID_CAPTURE_FILE_SIZE).enabled);

    // File > Save Captured Movie under a second name, typed without extension.
    dialogs.Choose(Folder() + "take1");
    ASSERT_TRUE(frame->SendCommand(ID_SAVE_MOVIE));
    ASSERT_EQ(dialogs.shown.size(), 2u);
    EXPECT_EQ(dialogs.shown[1].initialFolder, Folder());
    const std::string saved = Folder() + "take1.avi";
    const FfprobeResult probe = RunFfprobe(QString::fromStdString(saved));
    ASSERT_TRUE(probe.ran);
    EXPECT_EQ(probe.exitCode, 0) << probe.errors.toStdString();
    const FfprobeStream* video = probe.Stream("video");
    ASSERT_NE(video, nullptr);
    EXPECT_EQ(video->width, 320);
    EXPECT_EQ(video->height, 240);
    EXPECT_DOUBLE_EQ(video->frameRate, 10.0);
    EXPECT_GE(video->nbReadFrames, 18);
    EXPECT_LE(video->nbReadFrames, 22);
    EXPECT_LT(FileSize(saved), FileSize(captureFile)) << "the movie, not the allocation";
    EXPECT_TRUE(boxes.requests.empty());

    // Shutdown writes the settings; the next start finds them.
    app->ExitInstance();
    app.reset();
    RegistryStore store;
    store.LoadAppSettings();
    EXPECT_EQ(store.m_strSaveFolder, Folder());
    char name[kMaxPathBuffer] = {};
    store.ReadString("Settings Info", "CaptureFile", "", name, sizeof name);
    EXPECT_EQ(std::string(name), captureFile);
    EXPECT_EQ(store.ReadDword("Settings Info", "MicroSecPerFrame", 0), 100000u);
    EXPECT_EQ(store.ReadDword("Settings Info", "TimeLimit", 0), 2u);
    EXPECT_EQ(store.ReadBool("Settings Info", "LimitEnabled", FALSE), TRUE);
}

} // namespace
} // namespace vexol::test
