// The still commands in the real main window: a JPEG still and three numbered stills
// from the test-pattern camera, the frozen picture, a failed save on a scripted driver,
// the shutter-switch command without a name, and the whole shutter-switch mode on the
// built-in shutter-switch camera pressed with F8.
#include "../shell/ShellTestSupport.h"
#include "platform/WindowRegistry.h"

#include "platform/capture/DriverRegistry.h"
#include "platform/capture/DriverWindow.h"
#include "platform/capture/ShutterSwitchDriver.h"
#include "platform/capture/TestPatternRenderer.h"
#include "platform/framework/Dialog.h"
#include "still/StillCommands.h"
#include "still/YuvToRgb.h"
#include "support/CaptureWindowFixture.h"
#include "support/FileDialogAnswers.h"
#include "support/ImageTestSupport.h"

#include <QAbstractButton>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QTemporaryDir>
#include <turbojpeg.h>

namespace vexol::test {
namespace {

namespace cap = platform::capture;

class StillCommandTest : public ShellTest
{
protected:
    ~StillCommandTest() override
    {
        CDialog::SetModalAnswer(IDD_SHUTTER_WAIT, {});
        app.reset();
        QCoreApplication::sendPostedEvents();
        cap::SetInstalledDriversForTesting(std::nullopt);
    }

    // The application on the built-in cameras.
    void StartOnBuiltInCameras()
    {
        cap::SetInstalledDriversForTesting(cap::BuiltInDrivers());
        app = std::make_unique<CVexolApp>();
        ASSERT_TRUE(app->InitInstance());
        frame = app->GetMainFrame();
        QCoreApplication::sendPostedEvents();
    }
    cap::SyntheticCameraDriver* Camera()
    {
        return dynamic_cast<cap::SyntheticCameraDriver*>(
            static_cast<cap::DriverWindow*>(WindowOfHandle(Capture().GetDriverWindow()))->Driver());
    }
    std::string InTemp(const std::string& name) const
    {
        return QDir(temp.path()).canonicalPath().toStdString() + "/" + name;
    }
    bool Exists(const std::string& name) const
    {
        return QFileInfo::exists(QString::fromStdString(InTemp(name)));
    }
    std::vector<std::string> BoxCodes() const { return boxes.FirstLines(); }

    QTemporaryDir temp;
    ScopedFileDialogAnswers dialogs;
    ScopedMessageBoxAnswers boxes;
};

TEST_F(StillCommandTest, AJpegStillThenThreeNumberedStills)
{
    StartOnBuiltInCameras();
    const std::string still = InTemp("cat.jpg");
    dialogs.onShown = [](CFileDialog& dialog) {
        qobject_cast<QAbstractButton*>(dialog.GetDlgItem(IDC_JPEG_LOW))->click();
    };
    dialogs.Choose(still);
    ASSERT_TRUE(frame->SendCommand(ID_SAVE_STILL));
    dialogs.onShown = nullptr;
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].runtimeClass, "CJpegFileDialog");
    EXPECT_EQ(dialogs.shown[0].flags & ~OFN_EXPLORER, 0x8846u);
    EXPECT_EQ(dialogs.shown[0].title, "Save Captured Still Image");
    EXPECT_EQ(dialogs.shown[0].defaultExtension, "jpg");
    EXPECT_EQ(dialogs.shown[0].maxFile, 261u);
    EXPECT_TRUE(boxes.requests.empty());
    EXPECT_EQ(Store().m_nJpegMode, 2);
    EXPECT_EQ(Store().m_strSaveFolder, InTemp(""));
    EXPECT_EQ(Store().m_strContinuousBase, still);

    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(frame->SendCommand(ID_CONTINUOUS_SAVE));
    }
    for (const char* name : {"cat.jpg", "cat_0001.jpg", "cat_0002.jpg", "cat_0003.jpg"}) {
        const DecodedJpeg decoded = DecodeJpegFile(InTemp(name));
        EXPECT_TRUE(decoded.ok && decoded.width == 320 && decoded.height == 240) << name;
        EXPECT_EQ(decoded.subsampling, TJSAMP_420) << name;
    }
    EXPECT_EQ(Store().m_nContinuousCounter, 3);

    dialogs.Cancel(); // a cancelled dialog changes nothing
    ASSERT_TRUE(frame->SendCommand(ID_SAVE_STILL));
    EXPECT_EQ(Store().m_strContinuousBase, still);
    EXPECT_EQ(Store().m_nContinuousCounter, 3);
    EXPECT_EQ(dialogs.shown.back().initialFolder, InTemp(""));
}

TEST_F(StillCommandTest, WhileFrozenTheFrozenPictureIsSaved)
{
    StartOnBuiltInCameras();
    auto saveTwice = [&](const std::string& first, const std::string& second) {
        EXPECT_TRUE(frame->SaveStillImage(InTemp(first).c_str(), nullptr));
        const std::uint64_t shown = Camera()->NextFrameNumber();
        PumpUntil([&] { return Camera()->NextFrameNumber() > shown + 1; }, 300);
        EXPECT_TRUE(frame->SaveStillImage(InTemp(second).c_str(), nullptr));
        return ReadWholeFile(InTemp(first)) == ReadWholeFile(InTemp(second));
    };
    ASSERT_TRUE(frame->SendCommand(ID_DISPLAY_STILL));
    ASSERT_TRUE(Capture().IsFrozen());
    EXPECT_TRUE(saveTwice("frozen1.bmp", "frozen2.bmp"));
    ASSERT_TRUE(frame->SendCommand(ID_DISPLAY_STILL));
    EXPECT_FALSE(saveTwice("live1.bmp", "live2.bmp")) << "the live picture moves on";
}

TEST_F(StillCommandTest, AFailedSaveIsReportedAndStillFixesTheNumberedName)
{
    InstallDrivers({0});
    StartUpAndSettle(); // the scripted driver writes no frame into the file
    EnableClickwand();
    Store().m_strSaveFolder = "/shots/";

    frame->OnShutterSave(); // no name yet: the user is asked to save one still first
    EXPECT_EQ(BoxCodes(), std::vector<std::string>{"ID-10007-0305"});
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].initialFolder, "/shots/");
    EXPECT_EQ(service.CountOf(WM_CAP_SEQUENCE_NOFILE), 0) << "no mode without a name";

    dialogs.Choose(InTemp("x.bmp"));
    ASSERT_TRUE(frame->SendCommand(ID_SAVE_STILL));
    EXPECT_EQ(BoxCodes().back(), "ID-10006-0303");
    EXPECT_FALSE(Exists("x.bmp"));
    EXPECT_EQ(Store().m_strContinuousBase, InTemp("x.bmp"));
    EXPECT_EQ(Store().m_strSaveFolder, InTemp(""));
    EXPECT_EQ(Store().m_nContinuousCounter, 0);
    EXPECT_TRUE(StateOf(ID_CONTINUOUS_SAVE).enabled);
    ASSERT_TRUE(frame->SendCommand(ID_CONTINUOUS_SAVE));
    EXPECT_EQ(Store().m_nContinuousCounter, 0) << "the number is tried again next time";
    EXPECT_EQ(boxes.requests.size(), 2u) << "numbered saves report nothing";
}

// The pixel rows of a BMP file holding PL41 frame `number` of the shutter-switch camera,
// with the switch pressed, pixel by pixel through YuvToRgb: bottom row first.
std::vector<std::uint8_t> MarkedFrameRows(std::uint64_t number)
{
    constexpr int w = 320, h = 240;
    cap::PatternSettings settings;
    settings.markerOn = true;
    std::vector<BYTE> frame(w * h * 3 / 2);
    cap::TestPatternRenderer(settings, w, h, number).RenderPlanarYuv(frame.data());
    std::vector<std::uint8_t> rows;
    for (int row = h - 1; row >= 0; --row) {
        for (int x = 0; x < w; ++x) {
            const int sample = (w / 2) * (row / 2) + x / 2;
            const COLORREF c = YuvToRgb(frame[row * w + x], frame[w * h + sample],
                                        frame[w * h + w * h / 4 + sample]);
            rows.insert(rows.end(), {GetBValue(c), GetGValue(c), GetRValue(c)});
        }
    }
    return rows;
}

TEST_F(StillCommandTest, ShutterModeSavesOneNumberedStillPerPressOfTheSwitch)
{
    EnableClickwand();
    StartOnBuiltInCameras();
    ASSERT_TRUE(frame->SendCommand(ID_SELECT_DRIVER_FIRST + 1));
    QCoreApplication::sendPostedEvents();
    ASSERT_EQ(Capture().GetDriverName(), cap::ShutterSwitchDriver::kName);
    dialogs.Choose(InTemp("shot.bmp"));
    ASSERT_TRUE(frame->SendCommand(ID_SAVE_STILL));
    const std::uint64_t first = 1000000;
    Camera()->SetNextFrameNumber(first);

    auto pressF8 = [](QWidget& target) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_F8, Qt::NoModifier);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_F8, Qt::NoModifier);
        QCoreApplication::sendEvent(&target, &press);
        QCoreApplication::sendEvent(&target, &release);
    };
    int waits = 0;
    CDialog::SetModalAnswer(IDD_SHUTTER_WAIT, [&](CDialog& dialog) {
        ++waits;
        EXPECT_EQ(dialog.windowTitle(), "Clickwand連続静止画保存");
        EXPECT_EQ(dialog.findChild<QLabel*>()->text(),
                  "ｼｬｯﾀｰｽｲｯﾁを押してください。静止画を保存します。");
        const QWidget* ok = dialog.GetDlgItem(IDOK);
        EXPECT_EQ(ok->pos(),
                  QPoint((dialog.width() - ok->width()) / 2, dialog.height() - ok->height() - 5));
        EXPECT_EQ(dialog.pos(), frame->centralWidget()->mapToGlobal(QPoint(0, 0)));
        EXPECT_TRUE(Capture().IsCapturing()) << "the stream runs while the dialog is open";
        for (const char* name : {"shot_0001.bmp", "shot_0002.bmp", "shot_0003.bmp"}) {
            pressF8(dialog);
            EXPECT_TRUE(PumpUntil([&] { return Exists(name); })) << name;
        }
        PumpUntil([] { return false; }, 200);
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QCoreApplication::sendEvent(&dialog, &escape);
        EXPECT_EQ(dialog.GetEndResult(), IDCANCEL) << "Esc closes the dialog";
        return dialog.GetEndResult();
    });
    ASSERT_TRUE(frame->SendCommand(ID_SHUTTER_SAVE));
    EXPECT_EQ(waits, 1);
    EXPECT_TRUE(PumpUntil([&] { return !Capture().IsCapturing(); }))
        << "closing the dialog stops the stream";
    pressF8(*frame);
    PumpUntil([] { return false; }, 200);
    EXPECT_EQ(QDir(temp.path()).entryList(QDir::Files).size(), 4) << "shot.bmp and three numbered";
    EXPECT_EQ(Store().m_nContinuousCounter, 3);

    // Each still is the picture of one marked frame, the frames in the order pressed.
    std::uint64_t previous = first;
    for (const char* name : {"shot_0001.bmp", "shot_0002.bmp", "shot_0003.bmp"}) {
        const std::vector<std::uint8_t> file = ReadWholeFile(InTemp(name));
        ASSERT_EQ(file.size(), 14u + 40 + 320 * 240 * 3) << name;
        std::uint64_t number = previous;
        while (number < Camera()->NextFrameNumber() &&
               !std::equal(file.begin() + 54, file.end(), MarkedFrameRows(number).begin())) {
            ++number;
        }
        EXPECT_LT(number, Camera()->NextFrameNumber()) << name << " is no marked frame's picture";
        previous = number + 1;
    }
}

} // namespace
} // namespace vexol::test
