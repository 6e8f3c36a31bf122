// The status bar's pane of recording figures: only while a recording into a file runs,
// after the five panes, in the user's language, and a warning with under a minute left.
#include "shell/RecordingFiguresPane.h"
#include "ShellTestSupport.h"

#include <QLayout>
#include <QStatusBar>

namespace vexol::test {
namespace {

using platform::capture::RecordingSample;
using vexol::shell::RecordingFiguresPane;

TEST(RecordingFiguresPane, ShowsWhileRecordingAndWarnsUnderAMinute)
{
    std::optional<RecordingSample> running; // what the capture window reports
    RecordingFiguresPane pane([&](RecordingSample& sample) {
        if (running) {
            sample = *running;
        }
        return running.has_value();
    });
    res::SetLanguage(res::Language::English);
    pane.Refresh();
    EXPECT_TRUE(pane.isHidden()) << "nothing recording";

    RecordingSample sample;
    sample.elapsedMs = 2000;
    sample.frames = 60;
    sample.bytesWritten = 20000000; // 10 MB/s
    sample.roomKnown = true;
    sample.roomBytes = 6000000000; // ten minutes at that rate
    running = sample;
    pane.Refresh();
    EXPECT_FALSE(pane.isHidden());
    EXPECT_EQ(pane.text().toStdString(),
              "REC 0:00:02 | 60 frames (0 dropped) | 30.0 fps | 10.0 MB/s | 6.0 GB free: 10 min "
              "left");
    EXPECT_FALSE(pane.IsWarning());
    EXPECT_TRUE(pane.styleSheet().isEmpty());

    // A second later 590 MB are left: under a minute at 10 MB/s.
    sample.elapsedMs = 3000;
    sample.frames = 90;
    sample.bytesWritten = 30000000;
    sample.roomBytes = 590000000;
    running = sample;
    res::SetLanguage(res::Language::Japanese);
    pane.Refresh();
    EXPECT_TRUE(pane.IsWarning());
    EXPECT_FALSE(pane.styleSheet().isEmpty());
    EXPECT_EQ(pane.text().toStdString(),
              "あと 59 秒でディスクがいっぱいです (空き 590 MB) | 録画 0:00:03 | 90 フレーム "
              "(欠落 0) | 30.0 fps | 10.0 MB/s");

    // The recording ends: the pane goes, and the next recording starts plain.
    running.reset();
    pane.Refresh();
    EXPECT_TRUE(pane.isHidden());
    EXPECT_FALSE(pane.IsWarning());
    EXPECT_TRUE(pane.styleSheet().isEmpty());
    res::ResetLanguage();
}

TEST_F(ShellTest, FiguresPaneFollowsTheFivePanesOnlyWhileRecording)
{
    InstallDrivers({0});
    StartUpAndSettle();
    frame->show();
    RecordingFiguresPane* pane = frame->GetFiguresPane();
    ASSERT_NE(pane, nullptr);
    QStatusBar* bar = frame->GetStatusBar().GetSafeHwnd();
    EXPECT_EQ(pane->parentWidget(), bar);
    EXPECT_EQ(frame->GetStatusBar().GetCount(), 5) << "the five panes stay as they are";
    pane->Refresh();
    EXPECT_TRUE(pane->isHidden());
    const int minimumWidth = frame->minimumSizeHint().width();

    ASSERT_TRUE(app->GetCaptureWindow().SetCaptureFile("/tmp/capture.avi"));
    ASSERT_TRUE(frame->SendCommand(ID_RECORD));
    ASSERT_TRUE(service.capturing);
    pane->Refresh();
    ASSERT_FALSE(pane->isHidden());
    EXPECT_TRUE(pane->text().startsWith("REC 0:00:00 | 0 frames")) << pane->text().toStdString();
    // The line may be cut, but it never makes the main window wider.
    EXPECT_LT(frame->minimumSizeHint().width(), minimumWidth + pane->sizeHint().width() / 2)
        << minimumWidth << " " << pane->sizeHint().width();
    bar->layout()->activate();
    for (const QLabel* label : bar->findChildren<QLabel*>()) {
        if (label != pane && label->isVisible()) {
            EXPECT_LT(label->geometry().x(), pane->geometry().x()) << "the pane comes last";
        }
    }

    frame->SendCommand(ID_STOP_RECORDING);
    pane->Refresh();
    EXPECT_TRUE(pane->isHidden());
}

} // namespace
} // namespace vexol::test
