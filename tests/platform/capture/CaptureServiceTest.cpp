// The service's entry points and the messages' behaviour: driver descriptions, window
// lifetime and handles, records, settings kept by the service, the display modes,
// clipboard, dialogs and messages from other threads.
#include "CaptureTestHelpers.h"
#include "platform/WindowRegistry.h"

#include "platform/capture/DriverDialogRunner.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDialog>
#include <QImage>
#include <QPushButton>
#include <QSlider>
#include <cstring>
#include <functional>
#include <future>
#include <set>
#include <tuple>

namespace capture_test {
namespace {

// ---- Driver descriptions --------------------------------------------------------------

TEST(DriverDescriptions, BuiltInCamerasInOrderThenFalse)
{
    BuiltInDriversOnly builtIns;
    char name[100], version[100];
    ASSERT_TRUE(capGetDriverDescriptionA(0, name, sizeof name, version, sizeof version));
    EXPECT_STREQ(name, TestPatternDriver::kName);
    EXPECT_STREQ(version, TestPatternDriver::kVersion);
    ASSERT_TRUE(capGetDriverDescriptionA(1, name, sizeof name, version, sizeof version));
    EXPECT_STREQ(name, ShutterSwitchDriver::kName);
    EXPECT_FALSE(capGetDriverDescriptionA(2, name, sizeof name, version, sizeof version));
    EXPECT_LT(std::strlen(TestPatternDriver::kName), 100u);
    EXPECT_LT(std::strlen(ShutterSwitchDriver::kVersion), 100u);
}

TEST(DriverDescriptions, SmallAndMissingBuffersAreRespected)
{
    BuiltInDriversOnly builtIns;
    char name[6];
    std::memset(name, 'x', sizeof name);
    ASSERT_TRUE(capGetDriverDescriptionA(0, name, 5, nullptr, 100));
    EXPECT_STREQ(name, "Vexo");
    EXPECT_EQ(name[5], 'x') << "nothing past the given size";
    EXPECT_TRUE(capGetDriverDescriptionA(0, nullptr, 0, nullptr, 0));
}

TEST(DriverDescriptions, AtMostTenAreListedAndMultiByteNamesAreNotCut)
{
    std::vector<InstalledDriver> twelve;
    for (int i = 0; i < 12; ++i) {
        twelve.push_back({"カメラ" + std::to_string(i), "v", nullptr});
    }
    SetInstalledDriversForTesting(twelve);
    char name[100], version[100];
    EXPECT_TRUE(capGetDriverDescriptionA(9, name, sizeof name, version, sizeof version));
    EXPECT_FALSE(capGetDriverDescriptionA(10, name, sizeof name, version, sizeof version));
    // "カメラ" is 9 bytes; 8 bytes of room must not end in half a character.
    ASSERT_TRUE(capGetDriverDescriptionA(0, name, 9, version, sizeof version));
    EXPECT_STREQ(name, "カメ");
    SetInstalledDriversForTesting(std::vector<InstalledDriver>{});
    EXPECT_FALSE(capGetDriverDescriptionA(0, name, sizeof name, version, sizeof version));
    SetInstalledDriversForTesting(std::nullopt);
}

// ---- Window lifetime ------------------------------------------------------------------

TEST(DriverWindowLifetime, ChildOfItsParentWithGeometryAndUserData)
{
    QWidget parent;
    HWND hwnd = capCreateCaptureWindowA("Capture", WS_CHILD | WS_VISIBLE, 3, 4, 160, 120,
                                        HandleOfWindow(&parent), 7);
    ASSERT_NE(hwnd, nullptr);
    EXPECT_TRUE(IsWindow(hwnd));
    EXPECT_EQ(WindowOfHandle(hwnd)->parentWidget(), &parent);
    EXPECT_EQ(WindowOfHandle(hwnd)->geometry(), QRect(3, 4, 160, 120));
    EXPECT_EQ(WindowOfHandle(hwnd)->windowTitle(), QStringLiteral("Capture"));
    EXPECT_FALSE(WindowOfHandle(hwnd)->isHidden());

    EXPECT_EQ(GetWindowLongPtrA(hwnd, GWLP_USERDATA), 0);
    int object = 0;
    EXPECT_EQ(SetWindowLongPtrA(hwnd, GWLP_USERDATA, LONG_PTR(&object)), 0);
    EXPECT_EQ(GetWindowLongPtrA(hwnd, GWL_USERDATA), LONG_PTR(&object));
    EXPECT_EQ(GetWindowLongPtrA(hwnd, 0), 0) << "only the user-data slot exists";
}

TEST(DriverWindowLifetime, HiddenWithoutTheVisibleStyle)
{
    QWidget parent;
    HWND hwnd = capCreateCaptureWindowA("", WS_CHILD, 0, 0, 10, 10, HandleOfWindow(&parent), 0);
    ASSERT_NE(hwnd, nullptr);
    EXPECT_TRUE(WindowOfHandle(hwnd)->isHidden());
}

// Every message of the table, with arguments that would be unsafe if they were used.
const UINT kAllMessages[] = {
    WM_CAP_SET_CALLBACK_ERROR,
    WM_CAP_SET_CALLBACK_STATUS,
    WM_CAP_SET_CALLBACK_YIELD,
    WM_CAP_SET_CALLBACK_VIDEOSTREAM,
    WM_CAP_DRIVER_CONNECT,
    WM_CAP_DRIVER_GET_CAPS,
    WM_CAP_FILE_SET_CAPTURE_FILE,
    WM_CAP_FILE_GET_CAPTURE_FILE,
    WM_CAP_FILE_ALLOCATE,
    WM_CAP_FILE_SAVEAS,
    WM_CAP_FILE_SAVEDIB,
    WM_CAP_EDIT_COPY,
    WM_CAP_SET_AUDIOFORMAT,
    WM_CAP_GET_AUDIOFORMAT,
    WM_CAP_DLG_VIDEOFORMAT,
    WM_CAP_DLG_VIDEOSOURCE,
    WM_CAP_DLG_VIDEODISPLAY,
    WM_CAP_GET_VIDEOFORMAT,
    WM_CAP_SET_VIDEOFORMAT,
    WM_CAP_SET_PREVIEW,
    WM_CAP_SET_OVERLAY,
    WM_CAP_SET_PREVIEWRATE,
    WM_CAP_SET_SCALE,
    WM_CAP_GET_STATUS,
    WM_CAP_GRAB_FRAME,
    WM_CAP_SEQUENCE,
    WM_CAP_SEQUENCE_NOFILE,
    WM_CAP_SET_SEQUENCE_SETUP,
    WM_CAP_GET_SEQUENCE_SETUP,
    WM_CAP_STOP,
    WM_CAP_ABORT,
};

TEST(DriverWindowLifetime, MessagesToADestroyedWindowAreNotDelivered)
{
    BuiltInDriversOnly builtIns;
    auto parent = std::make_unique<QWidget>();
    HWND hwnd =
        capCreateCaptureWindowA("", WS_CHILD, 0, 0, 320, 240, HandleOfWindow(parent.get()), 0);
    ASSERT_EQ(SendMessageA(hwnd, WM_CAP_DRIVER_CONNECT, 0, 0), TRUE);
    ASSERT_EQ(SendMessageA(hwnd, WM_CAP_SET_PREVIEW, 1, 0), TRUE);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, 1234);
    parent.reset(); // destroys the driver window with its parent

    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(GetWindowLongPtrA(hwnd, GWLP_USERDATA), 0);
    EXPECT_EQ(SetWindowLongPtrA(hwnd, GWLP_USERDATA, 5), 0);
    const LPARAM garbage = LPARAM(0x10); // never a valid buffer
    for (UINT message : kAllMessages) {
        EXPECT_EQ(SendMessageA(hwnd, message, 96, garbage), 0) << std::hex << message;
    }
    EXPECT_FALSE(IsWindow(nullptr));
    EXPECT_EQ(SendMessageA(nullptr, WM_CAP_GET_STATUS, 0, 0), 0);
}

TEST(DriverWindowLifetime, OtherWidgetsAreNoDriverWindows)
{
    QWidget plain;
    EXPECT_FALSE(IsWindow(HandleOfWindow(&plain)));
    EXPECT_EQ(SendMessageA(HandleOfWindow(&plain), WM_CAP_DRIVER_CONNECT, 0, 0), 0);
}

TEST(DriverWindowLifetime, ANewWindowDoesNotReuseARecentlyFreedHandle)
{
    std::set<HWND> seen;
    QWidget parent;
    for (int i = 0; i < 16; ++i) {
        HWND hwnd = capCreateCaptureWindowA("", WS_CHILD, 0, 0, 1, 1, HandleOfWindow(&parent), 0);
        EXPECT_TRUE(seen.insert(hwnd).second) << "handle " << i << " was handed out before";
        delete WindowOfHandle(hwnd);
        EXPECT_FALSE(IsWindow(hwnd));
    }
}

// ---- Connection -----------------------------------------------------------------------

class FailingDriver : public TestPatternDriver
{
public:
    bool Open() override { return false; }
};

TEST(DriverConnection, AFailedConnectLeavesNoDriver)
{
    SetInstalledDriversForTesting(std::vector<InstalledDriver>{
        {TestPatternDriver::kName, "1", [] { return std::make_unique<TestPatternDriver>(); }},
        {"Absent camera", "1", [] { return std::make_unique<FailingDriver>(); }}});
    DriverWindowFixture f;
    ASSERT_TRUE(f.Connect(0));
    EXPECT_FALSE(f.Connect(1));
    CAPSTATUS s{};
    EXPECT_EQ(f.Send(WM_CAP_GET_STATUS, sizeof s, &s), FALSE);
    EXPECT_EQ(s.uiImageWidth, 0u);
    EXPECT_EQ(f.Send(WM_CAP_GET_VIDEOFORMAT, 0, LPARAM(0)), 0);
    EXPECT_EQ(f.Send(WM_CAP_SET_PREVIEW, 1), FALSE);
    EXPECT_EQ(f.Send(WM_CAP_GRAB_FRAME), FALSE);
    EXPECT_FALSE(f.Connect(7)) << "an index past the list";
    EXPECT_TRUE(f.Connect(0));
    SetInstalledDriversForTesting(std::nullopt);
}

TEST(DriverConnection, RecordingNeedsACaptureFile)
{
    BuiltInDriversOnly builtIns;
    DriverWindowFixture f;
    EXPECT_EQ(f.Send(WM_CAP_SEQUENCE), FALSE) << "no driver";
    ASSERT_TRUE(f.Connect(kTestPatternIndex));
    EXPECT_EQ(f.Send(WM_CAP_SEQUENCE), FALSE);
    EXPECT_EQ(f.Send(WM_CAP_FILE_ALLOCATE, 0, LPARAM(1 << 20)), FALSE);
    EXPECT_EQ(f.Send(WM_CAP_FILE_SAVEAS, 0, "/tmp/x.avi"), FALSE);
    EXPECT_FALSE(f.Status().fCapturingNow);
}

// ---- Settings the service keeps -------------------------------------------------------

class ServiceSettingsTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(f.Connect(kTestPatternIndex)); }
    BuiltInDriversOnly builtIns;
    DriverWindowFixture f;
};

TEST_F(ServiceSettingsTest, SequenceSetupIsTakenWholeWithWhatTheServiceCannotDoReplaced)
{
    CAPTUREPARMS p = f.Setup();
    EXPECT_GT(p.dwRequestMicroSecPerFrame, 0u);
    p.dwRequestMicroSecPerFrame = 33333;
    p.wNumVideoRequested = 1000;
    p.vKeyAbort = 27;
    ASSERT_EQ(f.Send(WM_CAP_SET_SEQUENCE_SETUP, sizeof p, &p), TRUE);
    CAPTUREPARMS back = f.Setup();
    EXPECT_EQ(std::memcmp(&back, &p, sizeof p), 0);
    EXPECT_EQ(f.Send(WM_CAP_SET_SEQUENCE_SETUP, sizeof p, LPARAM(0)), FALSE);

    // Each row changes one field of an otherwise ordinary record; the record is accepted
    // and reads back with only that field replaced.
    struct Case
    {
        const char* what;
        std::function<void(CAPTUREPARMS&)> change;
        std::function<void(CAPTUREPARMS&)> expected; // what reads back
    };
    const Case cases[] = {
        {"period 0: the default rate", [](CAPTUREPARMS& r) { r.dwRequestMicroSecPerFrame = 0; },
         [](CAPTUREPARMS& r) { r.dwRequestMicroSecPerFrame = 66667; }},
        {"a key the service does not watch", [](CAPTUREPARMS& r) { r.vKeyAbort = 0x90; },
         [](CAPTUREPARMS& r) { r.vKeyAbort = 0; }},
        {"MCI control: there is no MCI device",
         [](CAPTUREPARMS& r) {
             r.fMCIControl = TRUE;
             r.fStepMCIDevice = TRUE;
         },
         [](CAPTUREPARMS& r) {
             r.fMCIControl = FALSE;
             r.fStepMCIDevice = FALSE;
         }},
        {"a watched key, a time limit and audio are kept",
         [](CAPTUREPARMS& r) {
             r.vKeyAbort = 'Q';
             r.fLimitEnabled = TRUE;
             r.wTimeLimit = 7;
             r.fCaptureAudio = TRUE;
         },
         [](CAPTUREPARMS&) {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CAPTUREPARMS sent = p;
        sent.wPercentDropForError = 25;
        c.change(sent);
        ASSERT_EQ(f.Send(WM_CAP_SET_SEQUENCE_SETUP, sizeof sent, &sent), TRUE);
        CAPTUREPARMS expected = sent;
        c.expected(expected);
        back = f.Setup();
        EXPECT_EQ(std::memcmp(&back, &expected, sizeof back), 0);
        EXPECT_EQ(back.wPercentDropForError, 25u);
    }
}

TEST_F(ServiceSettingsTest, AudioFormatKeptAndSanitised)
{
    const LRESULT size = f.Send(WM_CAP_GET_AUDIOFORMAT, 0, LPARAM(0));
    ASSERT_EQ(size, LRESULT(sizeof(WAVEFORMATEX)));
    WAVEFORMATEX w{};
    w.wFormatTag = WAVE_FORMAT_PCM;
    w.nChannels = 2;
    w.nSamplesPerSec = 44100;
    w.wBitsPerSample = 16;
    w.nBlockAlign = 3;      // inconsistent: recomputed
    w.nAvgBytesPerSec = 12; // inconsistent: recomputed
    ASSERT_EQ(f.Send(WM_CAP_SET_AUDIOFORMAT, sizeof w, &w), TRUE);
    WAVEFORMATEX back{};
    ASSERT_EQ(f.Send(WM_CAP_GET_AUDIOFORMAT, sizeof back, &back), LRESULT(sizeof back));
    // WAVEFORMATEX is packed: fields are compared as copies.
    EXPECT_EQ(DWORD(back.nSamplesPerSec), 44100u);
    EXPECT_EQ(WORD(back.nBlockAlign), 4);
    EXPECT_EQ(DWORD(back.nAvgBytesPerSec), 176400u);

    struct
    {
        const char* what;
        WAVEFORMATEX format;
        WPARAM size;
    } const refused[] = {
        {"not PCM", {2, 1, 8000, 8000, 1, 8, 0}, sizeof(WAVEFORMATEX)},
        {"no channels", {1, 0, 8000, 8000, 1, 8, 0}, sizeof(WAVEFORMATEX)},
        {"odd sample size", {1, 1, 8000, 8000, 1, 12, 0}, sizeof(WAVEFORMATEX)},
        {"extra bytes missing", {1, 1, 8000, 8000, 1, 8, 10}, sizeof(WAVEFORMATEX)},
        {"too short", {1, 1, 8000, 8000, 1, 8, 0}, 12},
    };
    for (const auto& r : refused) {
        EXPECT_EQ(f.Send(WM_CAP_SET_AUDIOFORMAT, r.size, &r.format), FALSE) << r.what;
    }
    ASSERT_EQ(f.Send(WM_CAP_GET_AUDIOFORMAT, sizeof back, &back), LRESULT(sizeof back));
    EXPECT_EQ(DWORD(back.nSamplesPerSec), 44100u) << "refused formats change nothing";
}

TEST_F(ServiceSettingsTest, CaptureFileNameFitsThePlatformBuffer)
{
    EXPECT_EQ(f.Send(WM_CAP_FILE_SET_CAPTURE_FILE, 0, ""), FALSE);
    EXPECT_EQ(f.Send(WM_CAP_FILE_SET_CAPTURE_FILE, 0, LPARAM(0)), FALSE);
    ASSERT_EQ(f.Send(WM_CAP_FILE_SET_CAPTURE_FILE, 0, "/tmp/capture.avi"), TRUE);
    char name[261] = {};
    ASSERT_EQ(f.Send(WM_CAP_FILE_GET_CAPTURE_FILE, sizeof name, name), TRUE);
    EXPECT_STREQ(name, "/tmp/capture.avi");
    const std::string tooLong(261, 'a');
    EXPECT_EQ(f.Send(WM_CAP_FILE_SET_CAPTURE_FILE, 0, tooLong.c_str()), FALSE);
    const std::string longest(260, 'b');
    EXPECT_EQ(f.Send(WM_CAP_FILE_SET_CAPTURE_FILE, 0, longest.c_str()), TRUE);
    ASSERT_EQ(f.Send(WM_CAP_FILE_GET_CAPTURE_FILE, sizeof name, name), TRUE);
    EXPECT_EQ(std::string(name), longest);
    char small[5];
    ASSERT_EQ(f.Send(WM_CAP_FILE_GET_CAPTURE_FILE, sizeof small, small), TRUE);
    EXPECT_STREQ(small, "bbbb");
}

TEST_F(ServiceSettingsTest, ShortRecordBuffersGetOnlyWhatFits)
{
    // Callers that pass the 32-bit record sizes still get the fields they read.
    std::vector<BYTE> status(76 + 8, 0xEE);
    ASSERT_EQ(f.Send(WM_CAP_GET_STATUS, 76, status.data()), TRUE);
    EXPECT_EQ(status[76], 0xEE);
    CAPSTATUS s;
    std::memcpy(&s, status.data(), 76);
    EXPECT_EQ(s.uiImageWidth, 320u);
    std::vector<BYTE> caps(44 + 4, 0xEE);
    ASSERT_EQ(f.Send(WM_CAP_DRIVER_GET_CAPS, 44, caps.data()), TRUE);
    EXPECT_EQ(caps[44], 0xEE);
    EXPECT_EQ(f.Send(WM_CAP_GET_STATUS, 0, status.data()), FALSE);
}

// ---- Formats --------------------------------------------------------------------------

TEST_F(ServiceSettingsTest, EightBitFormatCarriesItsColourTable)
{
    ASSERT_EQ(f.SetFormat(320, 240, 8), TRUE);
    const LRESULT size = f.Send(WM_CAP_GET_VIDEOFORMAT, 0, LPARAM(0));
    ASSERT_EQ(size, LRESULT(40 + 256 * 4));
    std::vector<BYTE> format(static_cast<std::size_t>(size));
    ASSERT_EQ(f.Send(WM_CAP_GET_VIDEOFORMAT, format.size(), format.data()), size);
    BITMAPINFOHEADER h;
    std::memcpy(&h, format.data(), sizeof h);
    EXPECT_EQ(h.biClrUsed, 256u);
    const RGBQUAD* colours = reinterpret_cast<const RGBQUAD*>(format.data() + 40);
    EXPECT_EQ(colours[255].rgbRed, 255);
    EXPECT_EQ(colours[255].rgbBlue, 255);
    EXPECT_EQ(colours[0].rgbGreen, 0);

    // Requesting with the whole format size in biSize, as the application does, works.
    h.biSize = DWORD(size);
    h.biBitCount = 16;
    std::memcpy(format.data(), &h, sizeof h);
    ASSERT_EQ(f.Send(WM_CAP_SET_VIDEOFORMAT, format.size(), format.data()), TRUE);
    EXPECT_EQ(f.Format().biBitCount, 16);
    EXPECT_EQ(f.Send(WM_CAP_GET_VIDEOFORMAT, 0, LPARAM(0)), 40);
}

TEST_F(ServiceSettingsTest, DepthRequestsGoToTheNearestDepth)
{
    const std::pair<int, int> cases[] = {{1, 8},   {8, 8},   {12, 16}, {15, 16},
                                         {20, 24}, {28, 32}, {48, 32}};
    for (const auto& [asked, delivered] : cases) {
        ASSERT_EQ(f.SetFormat(320, 240, asked), TRUE) << asked;
        EXPECT_EQ(f.Format().biBitCount, delivered) << asked;
    }
    ASSERT_EQ(f.SetFormat(320, -240, 24), TRUE) << "a top-down request";
    EXPECT_EQ(f.Format().biHeight, 240);
    EXPECT_EQ(f.Send(WM_CAP_SET_VIDEOFORMAT, 20, LPARAM(&cases)), FALSE) << "short format";
}

// ---- Display --------------------------------------------------------------------------

TEST_F(ServiceSettingsTest, PreviewAndOverlayAreExclusive)
{
    CallbackRecorder::Instance().Reset();
    f.RegisterRecorder(false);
    ASSERT_EQ(f.Send(WM_CAP_SET_PREVIEW, TRUE), TRUE);
    EXPECT_TRUE(f.Status().fLiveWindow);
    EXPECT_TRUE(CallbackRecorder::Instance().SawStatus(IDS_CAP_STAT_LIVE_MODE));
    ASSERT_EQ(f.Send(WM_CAP_SET_OVERLAY, TRUE), TRUE);
    EXPECT_TRUE(f.Status().fOverlayWindow);
    EXPECT_FALSE(f.Status().fLiveWindow);
    EXPECT_TRUE(CallbackRecorder::Instance().SawStatus(IDS_CAP_STAT_OVERLAY_MODE));
    ASSERT_EQ(f.Send(WM_CAP_SET_OVERLAY, FALSE), TRUE);
    EXPECT_FALSE(f.Status().fOverlayWindow);
    EXPECT_EQ(f.Send(WM_CAP_SET_PREVIEWRATE, 0), FALSE);
    EXPECT_EQ(f.Send(WM_CAP_SET_PREVIEWRATE, 66), TRUE);
}

TEST(DisplayModes, TheShutterSwitchCameraHasNoOverlay)
{
    BuiltInDriversOnly builtIns;
    DriverWindowFixture f;
    ASSERT_TRUE(f.Connect(kShutterSwitchIndex));
    EXPECT_EQ(f.Send(WM_CAP_SET_OVERLAY, TRUE), FALSE);
    EXPECT_FALSE(f.Status().fOverlayWindow);
    EXPECT_EQ(f.Send(WM_CAP_DLG_VIDEODISPLAY), FALSE);
}

QImage Rendered(HWND hwnd)
{
    QImage image(WindowOfHandle(hwnd)->size(), QImage::Format_RGB32);
    image.fill(Qt::magenta);
    WindowOfHandle(hwnd)->render(&image);
    return image;
}

TEST_F(ServiceSettingsTest, ScalingStretchesOtherwiseOwnSizeAtTopLeft)
{
    ASSERT_EQ(f.SetFormat(160, 120, 24), TRUE);
    WindowOfHandle(f.hwnd)->resize(320, 240);
    f.TestPattern()->SetNextFrameNumber(40); // the moving bar at columns 80 to 83
    ASSERT_EQ(f.Send(WM_CAP_GRAB_FRAME), TRUE);
    QImage image = Rendered(f.hwnd);
    // The first colour bar is white; outside the 160 × 120 picture the window is black.
    EXPECT_EQ(image.pixel(2, 2), qRgb(255, 255, 255));
    EXPECT_EQ(image.pixel(300, 2), qRgb(0, 0, 0));
    EXPECT_EQ(image.pixel(2, 230), qRgb(0, 0, 0));
    ASSERT_EQ(f.Send(WM_CAP_SET_SCALE, TRUE), TRUE);
    EXPECT_TRUE(f.Status().fScale);
    image = Rendered(f.hwnd);
    // Stretched: the seventh bar (blue) at 120 to 139 of the frame lands at 240 to 279.
    EXPECT_EQ(image.pixel(2, 2), qRgb(255, 255, 255));
    EXPECT_EQ(image.pixel(260, 20), qRgb(0, 0, 255));
    EXPECT_EQ(image.pixel(230, 20), qRgb(255, 0, 0)) << "the red bar before it";
}

TEST_F(ServiceSettingsTest, OverlayPaintsTheDriversPictureOverTheWholeWindow)
{
    ASSERT_EQ(f.SetFormat(160, 120, 24), TRUE);
    WindowOfHandle(f.hwnd)->resize(320, 240);
    ASSERT_EQ(f.Send(WM_CAP_SET_OVERLAY, TRUE), TRUE);
    ASSERT_TRUE(WaitUntil([&] { return f.Window()->ShownFrameNumber() >= 0; }));
    const std::uint64_t number = std::uint64_t(f.Window()->ShownFrameNumber());
    const QImage image = Rendered(f.hwnd);
    // The frame's column x appears at 2x; the moving bar shows inverted colours.
    const PatternLayout layout = PatternLayout::For(160, 120, number);
    auto expected = [&](int x, QRgb colour) {
        const bool inBar = x >= layout.movingBarX && x < layout.movingBarX + layout.movingBarWidth;
        return inBar ? (colour ^ 0x00FFFFFF) : colour;
    };
    EXPECT_EQ(image.pixel(310, 20), expected(155, qRgb(0, 0, 0))) << "the black bar at the right";
    EXPECT_EQ(image.pixel(150, 20), expected(75, qRgb(0, 255, 0))) << "the green bar, stretched";
}

// ---- Clipboard ------------------------------------------------------------------------

TEST_F(ServiceSettingsTest, EditCopyPutsTheCurrentFrameOnTheClipboard)
{
    ASSERT_EQ(f.SetFormat(320, 240, 16), TRUE);
    f.TestPattern()->SetNextFrameNumber(0);
    ASSERT_EQ(f.Send(WM_CAP_GRAB_FRAME), TRUE);
    ASSERT_EQ(f.Send(WM_CAP_EDIT_COPY), TRUE);
    const QImage image = QGuiApplication::clipboard()->image();
    ASSERT_EQ(image.size(), QSize(320, 240));
    EXPECT_EQ(image.pixel(60, 40), qRgb(255, 255, 0)) << "the yellow bar";
}

// ---- Dialogs --------------------------------------------------------------------------

// Answers driver dialogs: `answer` sets the controls and returns the dialog's result.
class ScriptedDialogs
{
public:
    explicit ScriptedDialogs(std::function<int(QDialog&)> answer)
    {
        SetDriverDialogRunner([this, answer](QDialog& d) {
            ++shown;
            return answer(d);
        });
    }
    ~ScriptedDialogs() { SetDriverDialogRunner(nullptr); }
    int shown = 0;
};

TEST_F(ServiceSettingsTest, FormatDialogAppliesTheChosenFormat)
{
    ScriptedDialogs dialogs([](QDialog& d) {
        d.findChild<QComboBox*>("sizeBox")->setCurrentIndex(0); // 160 × 120
        QComboBox* depth = d.findChild<QComboBox*>("depthBox");
        depth->setCurrentIndex(depth->findData(32));
        return int(QDialog::Accepted);
    });
    ASSERT_EQ(f.Send(WM_CAP_DLG_VIDEOFORMAT), TRUE);
    EXPECT_EQ(dialogs.shown, 1);
    const BITMAPINFOHEADER h = f.Format();
    EXPECT_EQ(h.biWidth, 160);
    EXPECT_EQ(h.biBitCount, 32);
}

TEST_F(ServiceSettingsTest, CancelledDialogsChangeNothing)
{
    ScriptedDialogs dialogs([](QDialog& d) {
        if (auto* size = d.findChild<QComboBox*>("sizeBox")) {
            size->setCurrentIndex(0);
        }
        if (auto* slider = d.findChild<QSlider*>("brightnessSlider")) {
            slider->setValue(0);
        }
        return int(QDialog::Rejected);
    });
    EXPECT_EQ(f.Send(WM_CAP_DLG_VIDEOFORMAT), FALSE);
    EXPECT_EQ(f.Send(WM_CAP_DLG_VIDEOSOURCE), FALSE);
    EXPECT_EQ(f.Send(WM_CAP_DLG_VIDEODISPLAY), FALSE);
    EXPECT_EQ(dialogs.shown, 3);
    EXPECT_EQ(f.Format().biWidth, 320);
    EXPECT_EQ(f.TestPattern()->Pattern().brightnessPercent, 100);
}

TEST_F(ServiceSettingsTest, SourceDialogChangesThePicture)
{
    ScriptedDialogs dialogs([](QDialog& d) {
        d.findChild<QSlider*>("brightnessSlider")->setValue(50);
        QComboBox* pattern = d.findChild<QComboBox*>("patternBox");
        pattern->setCurrentIndex(pattern->findData(int(TestPattern::ColourBars)));
        return int(QDialog::Accepted);
    });
    ASSERT_EQ(f.Send(WM_CAP_DLG_VIDEOSOURCE), TRUE);
    ASSERT_EQ(f.SetFormat(320, 240, 24), TRUE);
    f.TestPattern()->SetNextFrameNumber(0);
    ASSERT_EQ(f.Send(WM_CAP_GRAB_FRAME), TRUE);
    ASSERT_EQ(f.Send(WM_CAP_EDIT_COPY), TRUE);
    EXPECT_EQ(QGuiApplication::clipboard()->image().pixel(60, 40), qRgb(127, 127, 0))
        << "yellow at half brightness";
}

TEST_F(ServiceSettingsTest, DisplayDialogChoosesWhatTheOverlayShows)
{
    ScriptedDialogs dialogs([](QDialog& d) {
        QComboBox* overlay = d.findChild<QComboBox*>("overlayBox");
        overlay->setCurrentIndex(overlay->findData(int(OverlayContent::LivePictureWithGrid)));
        return int(QDialog::Accepted);
    });
    ASSERT_EQ(f.Send(WM_CAP_DLG_VIDEODISPLAY), TRUE);
    EXPECT_EQ(f.TestPattern()->Overlay(), OverlayContent::LivePictureWithGrid);
}

TEST(DriverDialogs, WindowDestroyedWhileItsDialogRunsIsSurvived)
{
    BuiltInDriversOnly builtIns;
    auto f = std::make_unique<DriverWindowFixture>();
    ASSERT_TRUE(f->Connect(kTestPatternIndex));
    HWND hwnd = f->hwnd;
    ScriptedDialogs dialogs([&](QDialog& d) {
        f.reset(); // the application closes while the dialog is open
        d.findChild<QComboBox*>("sizeBox")->setCurrentIndex(0);
        return int(QDialog::Accepted);
    });
    EXPECT_EQ(SendMessageA(hwnd, WM_CAP_DLG_VIDEOFORMAT, 0, 0), FALSE);
    EXPECT_FALSE(IsWindow(hwnd));
}

TEST(DriverDialogs, ShutterSwitchSourceDialogButtonMarksFrames)
{
    BuiltInDriversOnly builtIns;
    DriverWindowFixture f;
    ASSERT_TRUE(f.Connect(kShutterSwitchIndex));
    ScriptedDialogs dialogs([](QDialog& d) {
        d.findChild<QPushButton*>("switchButton")->click(); // press and release
        return int(QDialog::Accepted);
    });
    ASSERT_EQ(f.Send(WM_CAP_DLG_VIDEOSOURCE), TRUE);
    EXPECT_FALSE(f.Shutter()->IsSwitchHeld());
    // The short press marks exactly the next frame.
    ASSERT_EQ(f.Send(WM_CAP_GRAB_FRAME), TRUE);
    EXPECT_EQ(f.Window()->State()->Slot().Latest()->data.back(), 1);
    ASSERT_EQ(f.Send(WM_CAP_GRAB_FRAME), TRUE);
    EXPECT_EQ(f.Window()->State()->Slot().Latest()->data.back(), 0);
}

// ---- Threads --------------------------------------------------------------------------

TEST_F(ServiceSettingsTest, QueriesWorkFromOtherThreadsButDriverActionsDoNot)
{
    HWND hwnd = f.hwnd;
    auto result = std::async(std::launch::async, [hwnd] {
        CAPSTATUS s{};
        const LRESULT status = SendMessageA(hwnd, WM_CAP_GET_STATUS, sizeof s, LPARAM(&s));
        const LRESULT connect = SendMessageA(hwnd, WM_CAP_DRIVER_CONNECT, 1, 0);
        const LRESULT preview = SendMessageA(hwnd, WM_CAP_SET_PREVIEW, 1, 0);
        return std::tuple(status, s.uiImageWidth, connect, preview, IsWindow(hwnd));
    });
    const auto [status, width, connect, preview, isWindow] = result.get();
    EXPECT_EQ(status, TRUE);
    EXPECT_EQ(width, 320u);
    EXPECT_EQ(connect, 0);
    EXPECT_EQ(preview, 0);
    EXPECT_TRUE(isWindow);
    EXPECT_FALSE(f.Status().fLiveWindow);
    EXPECT_EQ(f.Window()->Driver(), static_cast<CaptureDriver*>(f.TestPattern()));
}

TEST(CaptureWindowCreation, RefusedOffTheUiThread)
{
    auto handle = std::async(std::launch::async, [] {
                      return capCreateCaptureWindowA("", WS_CHILD, 0, 0, 1, 1, nullptr, 0);
                  }).get();
    EXPECT_EQ(handle, nullptr);
}

} // namespace
} // namespace capture_test
