// The V4L2 camera driver through the capture service, against a scripted webcam: the
// list of drivers, connecting and its failures, published formats, remembered settings,
// recording the camera's own bytes, the frame period, faulty frames, unplugging, the
// snapshot button as PL41, the dialogs and the probe text.
#include "platform/capture/AviScanner.h"
#include "platform/capture/CaptureTestHelpers.h"
#include "platform/capture/DriverDialogRunner.h"
#include "platform/capture/v4l2/CameraFrames.h"
#include "platform/capture/v4l2/CameraList.h"
#include "platform/capture/v4l2/CameraTexts.h"
#include "platform/capture/v4l2/V4l2Driver.h"
#include "platform/framework/Resources.h"
#include "scripted/ScriptedCamera.h"
#include "support/FfprobeRunner.h"
#include "support/TempRegistry.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <linux/videodev2.h>

namespace capture_test {
namespace {

using namespace scripted;
using namespace vexol::platform::capture::v4l2;

constexpr const char* kNode = "/dev/video0";
constexpr std::uint32_t kBrightness = 0x00980900;
constexpr std::uint32_t kWhiteBalanceAuto = 0x0098090c;
constexpr std::uint32_t kWhiteBalanceTemperature = 0x0098091a;
constexpr std::uint32_t kPowerLine = 0x00980918;

class CameraTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        vexol::res::SetLanguage(vexol::res::Language::English);
        Recorder().Reset();
        camera = ScriptedCamera::TypicalWebcam();
        scope.Io().Plug(kNode, camera);
    }
    void TearDown() override
    {
        f.Send(WM_CAP_ABORT);
        f.WaitForCaptureEnd();
        SetDriverDialogRunner(nullptr);
        Recorder().Reset();
        vexol::res::ResetLanguage();
    }
    CallbackRecorder& Recorder() { return CallbackRecorder::Instance(); }
    V4l2Driver* Driver() { return dynamic_cast<V4l2Driver*>(f.Window()->Driver()); }
    void ConnectCamera()
    {
        f.RegisterRecorder(false);
        ASSERT_TRUE(f.Connect(0));
        ASSERT_NE(Driver(), nullptr);
    }
    template <typename F> void Change(F change) { scope.Io().Change(kNode, change); }
    void SetStream(DWORD period, UINT buffers = 64) { f.SetStreamSetup(period, buffers); }
    // A recording into `name` until `frames` were taken (or the camera ends it).
    vexol::test::FfprobeResult Record(const std::string& name, DWORD period, DWORD frames)
    {
        path = dir.filePath(QString::fromStdString(name)).toStdString();
        EXPECT_EQ(f.Send(WM_CAP_FILE_SET_CAPTURE_FILE, 0, path.c_str()), TRUE);
        SetStream(period, 32);
        // A loaded machine may lose frames; only the camera's own faults are reported here.
        CAPTUREPARMS p = f.Setup();
        p.wPercentDropForError = 100;
        EXPECT_EQ(f.Send(WM_CAP_SET_SEQUENCE_SETUP, sizeof p, &p), TRUE);
        EXPECT_EQ(f.Send(WM_CAP_SEQUENCE), TRUE);
        WaitUntil(
            [&] { return f.Status().dwCurrentVideoFrame >= frames || !f.Status().fCapturingNow; },
            10000);
        f.Send(WM_CAP_STOP);
        EXPECT_TRUE(f.WaitForCaptureEnd(10000));
        EXPECT_TRUE(WaitUntil([&] { return Recorder().SawStatus(IDS_CAP_END); }));
        return vexol::test::RunFfprobe(QString::fromStdString(path), true);
    }

    vexol::test::TempRegistry registry;
    ScriptedCameraScope scope;
    std::shared_ptr<ScriptedCamera> camera;
    QTemporaryDir dir;
    std::string path;
    DriverWindowFixture f;
};

TEST_F(CameraTest, CamerasAreListedFirstAndTheListStopsAtTen)
{
    auto second = ScriptedCamera::TypicalWebcam("Scripted Webcam", "usb-0000:00:14.0-2");
    auto metadata = ScriptedCamera::TypicalWebcam();
    metadata->metadataOnly = true;
    auto forbidden = ScriptedCamera::TypicalWebcam("Locked Camera");
    forbidden->faults.openError = EACCES;
    scope.Io().Plug("/dev/video1", metadata);
    scope.Io().Plug("/dev/video2", second);
    scope.Io().Plug("/dev/video4", forbidden);

    std::vector<InstalledDriver> drivers = InstalledDrivers();
    ASSERT_EQ(drivers.size(), 5u);
    EXPECT_EQ(drivers[0].name, "Scripted Webcam (usb-0000:00:14.0-1)");
    EXPECT_EQ(drivers[0].version, "Version 6.1.0 (uvcvideo, V4L2)");
    EXPECT_EQ(drivers[0].devicePath, kNode);
    EXPECT_EQ(drivers[1].name, "Scripted Webcam (usb-0000:00:14.0-2)")
        << "the bus tells twins apart";
    EXPECT_EQ(drivers[2].name, "Locked Camera (/dev/video4)")
        << "listed, so connecting can say why not";
    EXPECT_EQ(drivers[3].name, TestPatternDriver::kName);
    EXPECT_EQ(drivers[4].name, ShutterSwitchDriver::kName);

    for (int i = 5; i < 16; ++i) {
        scope.Io().Plug("/dev/video" + std::to_string(10 + i),
                        ScriptedCamera::TypicalWebcam("Cam", "usb-" + std::to_string(i)));
    }
    drivers = InstalledDrivers();
    EXPECT_EQ(drivers.size(), std::size_t(MAXVIDDRIVERS));
    EXPECT_FALSE(drivers.back().devicePath.empty()) << "cameras come before the built-in ones";
}

struct ConnectFailure
{
    const char* name;
    int openError;
    int setFormatError;
    const char* english;
};

class CameraConnectFailureTest : public CameraTest,
                                 public ::testing::WithParamInterface<ConnectFailure>
{
};

TEST_P(CameraConnectFailureTest, ConnectingFailsWithAClearText)
{
    Change([&](ScriptedCamera& c) {
        c.faults.openError = GetParam().openError;
        c.faults.setFormatError = GetParam().setFormatError;
    });
    f.RegisterRecorder(false);
    EXPECT_FALSE(f.Connect(0));
    ASSERT_EQ(Recorder().ErrorIds(), std::vector<int>{IDS_CAP_DRIVER_FAILED});
    EXPECT_NE(Recorder().errorTexts[0].find(GetParam().english), std::string::npos)
        << Recorder().errorTexts[0];
    EXPECT_EQ(scope.Io().OpenCount(), 0) << "nothing stays open";
    EXPECT_TRUE(f.Connect(1)) << "the next driver connects as before";
}

INSTANTIATE_TEST_SUITE_P(
    Faults, CameraConnectFailureTest,
    ::testing::Values(ConnectFailure{"Busy", 0, EBUSY, "is in use by another program"},
                      ConnectFailure{"BusyAtOpen", EBUSY, 0, "is in use by another program"},
                      ConnectFailure{"Forbidden", EACCES, 0, "\"video\" group"},
                      ConnectFailure{"GoneSinceListed", 0, ENODEV, "was disconnected"},
                      ConnectFailure{"IoctlError", 0, EIO,
                                     "cannot be connected (Input/output error)"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CameraTexts, BothLanguagesNameTheCameraAndTheCause)
{
    using vexol::res::Language;
    struct Row
    {
        int error;
        const char* english;
        const char* japanese;
    };
    for (const Row& row : {Row{ENODEV, "was disconnected", "取り外されました"},
                           Row{EBUSY, "in use by another program", "他のプログラムが使用中"},
                           Row{EACCES, "\"video\" group", "「video」グループ"},
                           Row{EIO, "stopped delivering", "映像が届かなく"}}) {
        SCOPED_TRACE(row.error);
        const std::string en = v4l2::texts::StreamFailed(Language::English, "Cam", row.error);
        const std::string ja = v4l2::texts::StreamFailed(Language::Japanese, "Cam", row.error);
        EXPECT_NE(en.find(row.english), std::string::npos) << en;
        EXPECT_NE(ja.find(row.japanese), std::string::npos) << ja;
        EXPECT_NE(en.find("Cam"), std::string::npos);
        EXPECT_NE(ja.find("Cam"), std::string::npos);
    }
}

TEST_F(CameraTest, FormatsArePublishedAsTheCameraDeliversThem)
{
    ConnectCamera();
    BITMAPINFOHEADER h = f.Format();
    EXPECT_EQ(h.biCompression, FOURCC_YUY2) << "the camera's own format at first connect";
    EXPECT_EQ(h.biBitCount, 16);
    EXPECT_EQ(h.biWidth, 640);
    EXPECT_EQ(h.biSizeImage, 640u * 480 * 2);

    struct Row
    {
        int width, height, bits;
        DWORD compression;
        DWORD wantCompression;
        int wantWidth, wantHeight;
    };
    for (const Row& r : {Row{1920, 1080, 24, FOURCC_MJPG, FOURCC_MJPG, 1920, 1080},
                         Row{1000, 700, 24, FOURCC_MJPG, FOURCC_MJPG, 1280, 720},
                         Row{320, 240, 16, BI_RGB, FOURCC_MJPG, 1280, 720}, // 16-bit RGB: kept
                         Row{300, 200, 16, FOURCC_YUY2, FOURCC_YUY2, 320, 240}}) {
        SCOPED_TRACE(testing::Message() << r.width << "x" << r.height);
        ASSERT_EQ(f.SetFormat(r.width, r.height, r.bits, r.compression), TRUE);
        h = f.Format();
        EXPECT_EQ(h.biCompression, r.wantCompression);
        EXPECT_EQ(h.biWidth, r.wantWidth);
        EXPECT_EQ(h.biHeight, r.wantHeight);
        EXPECT_EQ(f.Status().uiImageWidth, UINT(r.wantWidth));
    }
    EXPECT_EQ(f.SetFormat(0, 0, 24, FOURCC_MJPG), FALSE);
}

TEST_F(CameraTest, FormatAndControlsAreRememberedPerCamera)
{
    ConnectCamera();
    ASSERT_EQ(f.SetFormat(1280, 720, 24, FOURCC_MJPG), TRUE);
    ASSERT_EQ(Driver()->SetControlValue(kBrightness, 17), 0);
    ASSERT_EQ(Driver()->SetControlValue(kPowerLine, 2), 0);
    Driver()->RememberSettings();
    ASSERT_TRUE(f.Connect(2)); // another driver; the camera forgets nothing of its own
    Change([](ScriptedCamera& c) {
        c.fourcc = V4L2_PIX_FMT_YUYV;
        for (ScriptedControl& control : c.controls) {
            control.value = control.defaultValue;
        }
    });
    ASSERT_TRUE(f.Connect(0));
    const BITMAPINFOHEADER h = f.Format();
    EXPECT_EQ(h.biCompression, FOURCC_MJPG);
    EXPECT_EQ(h.biWidth, 1280);
    EXPECT_EQ(scope.Io().ControlValue(kNode, kBrightness), 17);
    EXPECT_EQ(scope.Io().ControlValue(kNode, kPowerLine), 2);

    // The same camera in another socket is another camera.
    scope.Io().Unplug(kNode);
    scope.Io().Plug(kNode, ScriptedCamera::TypicalWebcam("Scripted Webcam", "usb-other"));
    ASSERT_TRUE(f.Connect(0));
    EXPECT_EQ(f.Format().biCompression, FOURCC_YUY2);
}

TEST_F(CameraTest, RecordingWritesTheCamerasJpegFramesAsTheyAre)
{
    ConnectCamera();
    ASSERT_EQ(f.SetFormat(640, 480, 24, FOURCC_MJPG), TRUE);
    const vexol::test::FfprobeResult probe = Record("mjpeg.avi", 33333, 12);
    ASSERT_EQ(probe.exitCode, 0) << probe.errors.toStdString();
    const auto* v = probe.Stream("video");
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->codecName, "mjpeg");
    EXPECT_EQ(v->width, 640);
    EXPECT_EQ(v->height, 480);
    EXPECT_NEAR(v->frameRate, 30.0, 0.01);
    const CAPSTATUS s = f.Status();
    EXPECT_GE(s.dwCurrentVideoFrame, 12u);
    EXPECT_EQ(v->nbReadPackets, s.dwCurrentVideoFrame);
    EXPECT_EQ(v->nbReadFrames, s.dwCurrentVideoFrame) << "every frame decodes";
    // No re-encoding: each packet is one of the camera's two pictures, byte for byte.
    const auto packets = vexol::test::RunFfprobePackets(QString::fromStdString(path), "v");
    ASSERT_FALSE(packets.empty());
    std::set<long long> sizes;
    for (const auto& p : packets) {
        if (p.size > 0) {
            sizes.insert(p.size);
        }
    }
    EXPECT_LE(sizes.size(), 2u);
}

TEST_F(CameraTest, TheCapturePeriodIsTheNearestTheCameraOffers)
{
    ConnectCamera();
    ASSERT_EQ(f.SetFormat(1280, 720, 16, FOURCC_YUY2), TRUE); // 10 frames per second only
    const vexol::test::FfprobeResult probe = Record("yuyv.avi", 33333, 3);
    const auto* v = probe.Stream("video");
    ASSERT_NE(v, nullptr) << probe.errors.toStdString();
    EXPECT_EQ(v->codecName, "rawvideo");
    EXPECT_EQ(v->pixFmt, "yuyv422");
    EXPECT_NEAR(v->frameRate, 10.0, 0.01) << "the file says what the camera delivered";
    EXPECT_EQ(f.Status().dwCurrentVideoFramesDropped, 0u);
}

TEST_F(CameraTest, FaultyFramesAreDroppedAndCountedAndTheStreamGoesOn)
{
    ConnectCamera();
    ASSERT_EQ(f.SetFormat(640, 480, 24, FOURCC_MJPG), TRUE);
    Change([](ScriptedCamera& c) {
        // Well after the capture's first frame, so that the capture sees each of them.
        c.faults.corruptFrames = {8, 14};
        c.faults.emptyFrames = {10};
        c.faults.sequenceGaps = {{12, 2}};
        c.faults.interruptedPolls = 2;
        c.faults.interruptedDequeues = 2;
    });
    SetStream(33333);
    f.RegisterRecorder(true);
    std::atomic<int> broken{0};
    Recorder().frameHook = [&](HWND, VIDEOHDR* h) {
        if (!LooksLikeWholeJpeg(h->lpData, h->dwBytesUsed, 640, 480)) {
            ++broken;
        }
    };
    ASSERT_EQ(f.Send(WM_CAP_SEQUENCE_NOFILE), TRUE);
    ASSERT_TRUE(WaitUntil([&] { return Recorder().FrameCount() >= 17; }));
    f.Send(WM_CAP_STOP);
    ASSERT_TRUE(f.WaitForCaptureEnd());
    EXPECT_EQ(broken.load(), 0) << "no broken frame reaches the callback";
    const FrameCounters c = Driver()->Counters();
    EXPECT_EQ(c.corrupt, 2u);
    EXPECT_EQ(c.empty, 1u);
    EXPECT_GE(c.missed, 2u); // more when a loaded machine was late for the camera
    // The capture counts each lost frame as dropped: time stays right.
    EXPECT_EQ(f.Status().dwCurrentVideoFramesDropped, c.corrupt + c.empty + c.missed);
    EXPECT_TRUE(Recorder().ErrorIds().empty());
}

TEST_F(CameraTest, UnpluggingDuringARecordingKeepsEveryWrittenFrame)
{
    ConnectCamera();
    ASSERT_EQ(f.SetFormat(320, 240, 16, FOURCC_YUY2), TRUE);
    Change([](ScriptedCamera& c) { c.faults.goneAfterFrames = 10; });
    const vexol::test::FfprobeResult probe = Record("unplugged.avi", 33333, 1000);
    ASSERT_EQ(probe.exitCode, 0) << probe.errors.toStdString();
    const auto* v = probe.Stream("video");
    ASSERT_NE(v, nullptr);
    const CAPSTATUS s = f.Status();
    EXPECT_FALSE(s.fCapturingNow);
    EXPECT_GE(s.dwCurrentVideoFrame, 1u);
    EXPECT_LE(s.dwCurrentVideoFrame, 11u); // the camera made 11 before it went
    EXPECT_EQ(v->nbReadPackets, s.dwCurrentVideoFrame);
    ASSERT_EQ(Recorder().ErrorIds(), std::vector<int>{IDS_CAP_DRIVER_FAILED});
    EXPECT_NE(Recorder().errorTexts[0].find("was disconnected"), std::string::npos);
    // The window lives on: the preview cannot restart and says nothing more.
    EXPECT_EQ(f.Send(WM_CAP_SET_PREVIEW, TRUE), TRUE);
    PumpFor(100);
    EXPECT_EQ(Recorder().ErrorIds().size(), 1u);
    EXPECT_EQ(f.Send(WM_CAP_GRAB_FRAME), FALSE);
}

TEST_F(CameraTest, UnpluggingDuringThePreviewIsReportedOnce)
{
    ConnectCamera();
    ASSERT_EQ(f.Send(WM_CAP_SET_PREVIEW, TRUE), TRUE);
    ASSERT_TRUE(WaitUntil([&] { return f.Window()->ShownFrameNumber() >= 0; }));
    scope.Io().Unplug(kNode);
    ASSERT_TRUE(WaitUntil([&] { return !Recorder().ErrorIds().empty(); }));
    PumpFor(50);
    ASSERT_EQ(Recorder().ErrorIds().size(), 1u);
    EXPECT_NE(Recorder().errorTexts[0].find("was disconnected"), std::string::npos);
    EXPECT_TRUE(f.Connect(1)) << "another driver connects; nothing hangs";
}

TEST_F(CameraTest, SnapshotButtonMarksPl41FramesWhileHeld)
{
    auto button = std::make_shared<ScriptedButton>();
    SetButtonFinderForTesting(std::make_shared<ScriptedButtonFinder>(ButtonState::Found, button));
    ConnectCamera();
    ASSERT_EQ(Driver()->Choices().back().compression, FOURCC_PL41);
    ASSERT_EQ(f.SetFormat(640, 480, 12, FOURCC_PL41), TRUE);
    const BITMAPINFOHEADER h = f.Format();
    EXPECT_EQ(h.biCompression, FOURCC_PL41);
    EXPECT_EQ(h.biSizeImage, 640u * 480 * 3 / 2 + 1);

    SetStream(33333);
    f.RegisterRecorder(true);
    ASSERT_EQ(f.Send(WM_CAP_SEQUENCE_NOFILE), TRUE);
    ASSERT_TRUE(WaitUntil([&] { return Recorder().FrameCount() >= 3; }));
    button->Press();
    button->Release(); // shorter than a frame: still one marked frame
    ASSERT_TRUE(WaitUntil([&] { return Recorder().FrameCount() >= 8; }));
    button->Press();
    const auto marked = [&] {
        std::size_t n = 0;
        for (const RecordedFrame& r : Recorder().Frames()) {
            n += r.lastByte & 1;
        }
        return n;
    };
    ASSERT_TRUE(WaitUntil([&] { return marked() >= 4; }));
    button->Release();
    const std::size_t afterRelease = Recorder().FrameCount();
    ASSERT_TRUE(WaitUntil([&] { return Recorder().FrameCount() >= afterRelease + 4; }));
    f.Send(WM_CAP_STOP);
    ASSERT_TRUE(f.WaitForCaptureEnd());
    const std::vector<RecordedFrame> frames = Recorder().Frames();
    for (std::size_t i = 0; i < frames.size(); ++i) {
        EXPECT_EQ(frames[i].bytesUsed, h.biSizeImage);
        if (i < 3 || i >= afterRelease + 1) {
            EXPECT_EQ(frames[i].lastByte, 0) << "frame " << i;
        }
    }
    EXPECT_GE(marked(), 4u);
}

TEST_F(CameraTest, AnUnreadableButtonOffersNoPl41AndSaysWhy)
{
    SetButtonFinderForTesting(std::make_shared<ScriptedButtonFinder>(ButtonState::NotPermitted));
    ConnectCamera();
    for (const FormatChoice& c : Driver()->Choices()) {
        EXPECT_NE(c.compression, FOURCC_PL41);
    }
    EXPECT_EQ(f.SetFormat(640, 480, 12, FOURCC_PL41), TRUE);
    EXPECT_NE(f.Format().biCompression, FOURCC_PL41);
    QString said;
    SetDriverDialogRunner([&](QDialog& d) {
        said = d.findChild<QLabel*>("snapshotButtonState")->text();
        return int(QDialog::Rejected);
    });
    f.Send(WM_CAP_DLG_VIDEOSOURCE);
    EXPECT_TRUE(said.contains("may not read it")) << said.toStdString();
    EXPECT_TRUE(said.contains("\"input\" group"));
}

TEST_F(CameraTest, SourceDialogActsAtOnceGreysInactiveControlsAndResets)
{
    ConnectCamera();
    SetDriverDialogRunner([&](QDialog& d) {
        auto* brightness = d.findChild<QSlider*>("control_00980900");
        auto* wbAuto = d.findChild<QCheckBox*>("control_0098090c");
        auto* wbTemperature = d.findChild<QSlider*>("control_0098091a");
        auto* powerLine = d.findChild<QComboBox*>("control_00980918");
        auto* exposureMode = d.findChild<QComboBox*>("control_009a0901");
        EXPECT_EQ(d.findChild<QWidget*>("control_00980001"), nullptr) << "no class header control";
        EXPECT_TRUE(brightness && wbAuto && wbTemperature && powerLine && exposureMode);
        if (!brightness || !wbAuto || !wbTemperature || !powerLine || !exposureMode) {
            return int(QDialog::Rejected);
        }
        EXPECT_EQ(exposureMode->count(), 2) << "menu gaps are skipped";
        brightness->setValue(20);
        EXPECT_EQ(scope.Io().ControlValue(kNode, kBrightness), 20) << "acts at once";
        EXPECT_FALSE(wbTemperature->isEnabled()) << "inactive while automatic";
        wbAuto->setChecked(false);
        EXPECT_TRUE(wbTemperature->isEnabled());
        wbTemperature->setValue(3000);
        EXPECT_EQ(scope.Io().ControlValue(kNode, kWhiteBalanceTemperature), 3000);
        powerLine->setCurrentIndex(2);
        EXPECT_EQ(scope.Io().ControlValue(kNode, kPowerLine), 2);
        d.findChild<QPushButton*>("resetButton")->click();
        EXPECT_EQ(scope.Io().ControlValue(kNode, kBrightness), 0);
        EXPECT_EQ(scope.Io().ControlValue(kNode, kWhiteBalanceAuto), 1);
        EXPECT_EQ(brightness->value(), 0) << "the widgets follow the camera";
        EXPECT_FALSE(wbTemperature->isEnabled());
        brightness->setValue(-5);
        return int(QDialog::Accepted);
    });
    EXPECT_EQ(f.Send(WM_CAP_DLG_VIDEOSOURCE), TRUE);
    EXPECT_EQ(scope.Io().ControlValue(kNode, kBrightness), -5);

    // Cancel puts back what was there before the dialog.
    SetDriverDialogRunner([&](QDialog& d) {
        d.findChild<QSlider*>("control_00980900")->setValue(40);
        EXPECT_EQ(scope.Io().ControlValue(kNode, kBrightness), 40);
        return int(QDialog::Rejected);
    });
    EXPECT_EQ(f.Send(WM_CAP_DLG_VIDEOSOURCE), FALSE);
    EXPECT_EQ(scope.Io().ControlValue(kNode, kBrightness), -5);
}

TEST_F(CameraTest, FormatDialogOffersFormatsSizesAndRates)
{
    ConnectCamera();
    SetDriverDialogRunner([&](QDialog& d) {
        auto* format = d.findChild<QComboBox*>("formatBox");
        auto* size = d.findChild<QComboBox*>("sizeBox");
        auto* rate = d.findChild<QComboBox*>("rateBox");
        EXPECT_EQ(format->count(), 2);
        EXPECT_EQ(size->count(), 3);
        format->setCurrentIndex(1); // MJPEG
        EXPECT_EQ(size->currentText(), QStringLiteral("640 × 480")) << "the size nearest to before";
        size->setCurrentIndex(2);
        EXPECT_EQ(rate->count(), 2);
        rate->setCurrentIndex(1);
        EXPECT_EQ(rate->currentText(), QStringLiteral("15 frames per second"));
        return int(QDialog::Accepted);
    });
    EXPECT_EQ(f.Send(WM_CAP_DLG_VIDEOFORMAT), TRUE);
    const BITMAPINFOHEADER h = f.Format();
    EXPECT_EQ(h.biCompression, FOURCC_MJPG);
    EXPECT_EQ(h.biWidth, 1920);
    EXPECT_EQ(Driver()->Interval(), (FrameInterval{1, 15}));
}

TEST_F(CameraTest, GrabbedFramesShowAndSaveAsRgb)
{
    ConnectCamera();
    for (DWORD compression : {FOURCC_YUY2, FOURCC_MJPG}) {
        SCOPED_TRACE(compression);
        ASSERT_EQ(f.SetFormat(640, 480, 16, compression), TRUE);
        ASSERT_EQ(f.Send(WM_CAP_GRAB_FRAME), TRUE);
        const std::string still = dir.filePath("still.bmp").toStdString();
        ASSERT_EQ(f.Send(WM_CAP_FILE_SAVEDIB, 0, still.c_str()), TRUE);
        const QImage image(QString::fromStdString(still));
        ASSERT_EQ(image.size(), QSize(640, 480));
        if (compression == FOURCC_MJPG) {
            // The scripted picture: colour bars, the first one white-ish, the last black.
            EXPECT_GT(qGray(image.pixel(10, 400)), 200);
            EXPECT_LT(qGray(image.pixel(630, 400)), 40);
        }
    }
}

TEST_F(CameraTest, ProbeDescribesFormatsRatesControlsAndButton)
{
    const std::string text = DescribeCamera(kNode);
    for (const char* expected :
         {"Camera:   Scripted Webcam", "Bus:      usb-0000:00:14.0-1", "YUY2 (YUYV 4:2:2)",
          "MJPG (Motion-JPEG)", "1920x1080: 30 15 frames per second", "1280x720: 10 frames",
          "Brightness (integer): -64 to 64, default 0, now 0", "Power Line Frequency (menu)",
          "      1: 50 Hz", "White Balance Temperature (integer): 2800 to 6500 step 10",
          "[inactive]", "Snapshot button: none"}) {
        EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;
    }
    EXPECT_EQ(text.find("User Controls"), std::string::npos);
    Change([](ScriptedCamera& c) { c.faults.openError = EBUSY; });
    EXPECT_NE(DescribeCamera(kNode).find("in use by another program"), std::string::npos);
}

} // namespace
} // namespace capture_test
