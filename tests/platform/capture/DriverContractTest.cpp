// The driver contract, run against every built-in driver and a scripted webcam through
// the service: connect, formats, the frame stream's start and stop, an unbalanced stop,
// and a format switch while previewing.
#include "CaptureTestHelpers.h"

#include "platform/capture/v4l2/V4l2Driver.h"
#include "scripted/ScriptedCamera.h"
#include "support/TempRegistry.h"

#include <QImage>
#include <QTemporaryDir>
#include <algorithm>
#include <set>

namespace capture_test {
namespace {

// The scripted webcam's place in the parameter list; it is driver 0 while plugged in.
constexpr UINT kScriptedCamera = 100;

class DriverContractTest : public ::testing::TestWithParam<UINT>
{
protected:
    DriverContractTest()
    {
        if (GetParam() == kScriptedCamera) {
            camera.emplace();
            camera->Io().Plug("/dev/video0", scripted::ScriptedCamera::TypicalWebcam());
        } else {
            builtIns.emplace();
        }
        f = std::make_unique<DriverWindowFixture>();
    }
    void SetUp() override
    {
        CallbackRecorder::Instance().Reset();
        ASSERT_TRUE(IsWindow(f->hwnd));
        ASSERT_TRUE(f->Connect(Index()));
    }
    void TearDown() override { f.reset(); }

    UINT Index() const { return GetParam() == kScriptedCamera ? 0 : GetParam(); }
    // Another driver to connect.
    UINT OtherIndex() const { return Index() == 0 ? 1 : 0; }

    // The sizes of the current format, smallest first.
    std::vector<FrameSize> Sizes()
    {
        if (auto* synthetic = dynamic_cast<SyntheticCameraDriver*>(f->Window()->Driver())) {
            return synthetic->Sizes();
        }
        std::vector<FrameSize> sizes;
        auto* camera =
            dynamic_cast<vexol::platform::capture::v4l2::V4l2Driver*>(f->Window()->Driver());
        const BITMAPINFOHEADER h = f->Format();
        for (const auto& choice : camera->Choices()) {
            if (choice.compression == h.biCompression) {
                for (const auto& size : choice.sizes) {
                    sizes.push_back({int(size.width), int(size.height)});
                }
            }
        }
        return sizes;
    }
    // Asks for a size in the current format.
    LRESULT SetSize(int width, int height)
    {
        const BITMAPINFOHEADER h = f->Format();
        return f->SetFormat(width, height, h.biBitCount, h.biCompression);
    }

    vexol::test::TempRegistry registry;
    std::optional<BuiltInDriversOnly> builtIns;
    std::optional<scripted::ScriptedCameraScope> camera;
    std::unique_ptr<DriverWindowFixture> f;
};

TEST_P(DriverContractTest, ConnectAnswersNameCapsAndStatus)
{
    char name[100] = {}, version[100] = {};
    ASSERT_TRUE(capGetDriverDescriptionA(Index(), name, sizeof name, version, sizeof version));
    char connectedName[100] = {};
    ASSERT_EQ(f->Send(WM_CAP_DRIVER_GET_NAME, sizeof connectedName, connectedName), TRUE);
    EXPECT_STREQ(connectedName, name);

    CAPDRIVERCAPS caps{};
    ASSERT_EQ(f->Send(WM_CAP_DRIVER_GET_CAPS, sizeof caps, &caps), TRUE);
    EXPECT_EQ(caps.wDeviceIndex, Index());
    EXPECT_TRUE(caps.fCaptureInitialized);
    EXPECT_TRUE(caps.fHasDlgVideoFormat);
    EXPECT_TRUE(caps.fHasDlgVideoSource);
    // Overlay and the display dialog come together.
    EXPECT_EQ(caps.fHasOverlay, caps.fHasDlgVideoDisplay);

    const CAPSTATUS s = f->Status();
    const BITMAPINFOHEADER h = f->Format();
    EXPECT_EQ(s.uiImageWidth, UINT(h.biWidth));
    EXPECT_EQ(s.uiImageHeight, UINT(std::abs(h.biHeight)));
    EXPECT_FALSE(s.fCapturingNow);
}

TEST_P(DriverContractTest, ReconnectingReplacesTheConnection)
{
    const UINT other = OtherIndex();
    ASSERT_TRUE(f->Connect(other));
    CAPDRIVERCAPS caps{};
    f->Send(WM_CAP_DRIVER_GET_CAPS, sizeof caps, &caps);
    EXPECT_EQ(caps.wDeviceIndex, other);
    ASSERT_TRUE(f->Connect(Index()));
    f->Send(WM_CAP_DRIVER_GET_CAPS, sizeof caps, &caps);
    EXPECT_EQ(caps.wDeviceIndex, Index());
}

TEST_P(DriverContractTest, EverySupportedSizeIsDeliveredExactly)
{
    for (const FrameSize& size : Sizes()) {
        SCOPED_TRACE(testing::Message() << size.width << "x" << size.height);
        ASSERT_EQ(SetSize(size.width, size.height), TRUE);
        const BITMAPINFOHEADER h = f->Format();
        EXPECT_EQ(h.biWidth, size.width);
        EXPECT_EQ(std::abs(h.biHeight), size.height);
        EXPECT_GE(h.biSizeImage, DWORD(size.width * size.height));
        const CAPSTATUS s = f->Status();
        EXPECT_EQ(s.uiImageWidth, UINT(size.width));
        EXPECT_EQ(s.uiImageHeight, UINT(size.height));
    }
}

TEST_P(DriverContractTest, UndeliverableRequestGetsTheNearestFormat)
{
    ASSERT_EQ(SetSize(650, 470), TRUE);
    BITMAPINFOHEADER h = f->Format();
    EXPECT_EQ(h.biWidth, 640);
    EXPECT_EQ(h.biHeight, 480);
    ASSERT_EQ(SetSize(100000, 100000), FALSE) << "nonsense sizes are refused";
    EXPECT_EQ(f->Format().biWidth, 640) << "a refused request changes nothing";
    ASSERT_EQ(SetSize(0, 0), FALSE);
    ASSERT_EQ(SetSize(2000, 1200), TRUE);
    h = f->Format();
    EXPECT_EQ(h.biWidth, Sizes().back().width);
}

TEST_P(DriverContractTest, FormatSizeQueryMatchesTheCopiedFormat)
{
    const LRESULT size = f->Send(WM_CAP_GET_VIDEOFORMAT, 0, LPARAM(0));
    ASSERT_GE(size, LRESULT(sizeof(BITMAPINFOHEADER)));
    std::vector<BYTE> buffer(std::size_t(size) + 16, 0xCD);
    EXPECT_EQ(f->Send(WM_CAP_GET_VIDEOFORMAT, WPARAM(size), buffer.data()), size);
    EXPECT_EQ(buffer[std::size_t(size)], 0xCD) << "nothing is written past the given size";
    BITMAPINFOHEADER h;
    std::memcpy(&h, buffer.data(), sizeof h);
    EXPECT_EQ(h.biSize, sizeof(BITMAPINFOHEADER));
    EXPECT_EQ(LRESULT(sizeof h + h.biClrUsed * sizeof(RGBQUAD)), size);
}

TEST_P(DriverContractTest, FrameStreamDeliversFramesOnTheCaptureThreadUntilStopped)
{
    f->SetStreamSetup(10000);
    f->RegisterRecorder();
    auto& r = CallbackRecorder::Instance();
    ASSERT_EQ(f->Send(WM_CAP_SEQUENCE_NOFILE), TRUE);
    EXPECT_TRUE(f->Status().fCapturingNow);
    EXPECT_EQ(f->Send(WM_CAP_SEQUENCE_NOFILE), FALSE) << "one capture at a time";
    ASSERT_TRUE(WaitUntil([&] { return r.FrameCount() >= 8; }));
    EXPECT_EQ(f->Send(WM_CAP_STOP), TRUE);
    ASSERT_TRUE(f->WaitForCaptureEnd());

    const BITMAPINFOHEADER h = f->Format();
    const std::vector<RecordedFrame> frames = r.Frames();
    DWORD previousTime = 0;
    for (const RecordedFrame& frame : frames) {
        EXPECT_TRUE(frame.onCaptureThread);
        EXPECT_EQ(frame.bytesUsed, h.biSizeImage);
        EXPECT_GE(frame.bufferLength, frame.bytesUsed);
        EXPECT_TRUE(frame.flags & VHDR_DONE);
        EXPECT_GE(frame.timeCaptured, previousTime);
        previousTime = frame.timeCaptured;
    }
    // Start and end are reported, the final summary before the end notice.
    const std::vector<int> ids = r.StatusIds();
    auto position = [&](int id) { return std::find(ids.begin(), ids.end(), id) - ids.begin(); };
    ASSERT_TRUE(r.SawStatus(IDS_CAP_BEGIN));
    ASSERT_TRUE(r.SawStatus(IDS_CAP_END));
    EXPECT_LT(position(IDS_CAP_STAT_CAP_INIT), position(IDS_CAP_BEGIN));
    EXPECT_LT(position(IDS_CAP_STAT_VIDEOONLY), position(IDS_CAP_END));
    EXPECT_EQ(ids.back(), IDS_CAP_END);
    EXPECT_TRUE(r.ErrorIds().empty());

    // Nothing arrives after the end, and the status keeps the count.
    const std::size_t count = r.FrameCount();
    PumpFor(100);
    EXPECT_EQ(r.FrameCount(), count);
    EXPECT_EQ(f->Status().dwCurrentVideoFrame, DWORD(count));
}

TEST_P(DriverContractTest, AbortEndsTheFrameStream)
{
    f->SetStreamSetup(10000);
    f->RegisterRecorder();
    ASSERT_EQ(f->Send(WM_CAP_SEQUENCE_NOFILE), TRUE);
    ASSERT_TRUE(WaitUntil([] { return CallbackRecorder::Instance().FrameCount() >= 2; }));
    EXPECT_EQ(f->Send(WM_CAP_ABORT), TRUE);
    EXPECT_TRUE(f->WaitForCaptureEnd());
    EXPECT_TRUE(CallbackRecorder::Instance().SawStatus(IDS_CAP_END));
}

TEST_P(DriverContractTest, UnbalancedStopIsHarmless)
{
    f->RegisterRecorder();
    EXPECT_EQ(f->Send(WM_CAP_STOP), TRUE);
    EXPECT_EQ(f->Send(WM_CAP_ABORT), TRUE);
    EXPECT_FALSE(f->Status().fCapturingNow);
    EXPECT_TRUE(CallbackRecorder::Instance().StatusIds().empty());
    // A stream still starts and stops normally afterwards, and stopping twice is fine.
    f->SetStreamSetup(10000);
    ASSERT_EQ(f->Send(WM_CAP_SEQUENCE_NOFILE), TRUE);
    EXPECT_EQ(f->Send(WM_CAP_STOP), TRUE);
    EXPECT_EQ(f->Send(WM_CAP_STOP), TRUE);
    EXPECT_TRUE(f->WaitForCaptureEnd());
    EXPECT_EQ(f->Send(WM_CAP_ABORT), TRUE);
}

TEST_P(DriverContractTest, FormatSwitchWhilePreviewingShowsTheNewFormat)
{
    ASSERT_EQ(f->Send(WM_CAP_SET_PREVIEWRATE, 15), TRUE);
    ASSERT_EQ(f->Send(WM_CAP_SET_PREVIEW, TRUE), TRUE);
    ASSERT_TRUE(WaitUntil([&] { return f->Window()->ShownFrameNumber() >= 0; }));
    const FrameSize smallest = Sizes().front();
    ASSERT_EQ(SetSize(smallest.width, smallest.height), TRUE);
    EXPECT_TRUE(f->Status().fLiveWindow);
    EXPECT_EQ(f->Status().uiImageWidth, UINT(smallest.width));
    const auto frameWidth = [&] {
        const FramePtr frame = f->Window()->State()->Slot().Latest();
        return frame ? frame->format->Width() : 0;
    };
    ASSERT_TRUE(WaitUntil([&] { return frameWidth() == smallest.width; }));
    const long long shown = f->Window()->ShownFrameNumber();
    EXPECT_TRUE(WaitUntil([&] { return f->Window()->ShownFrameNumber() > shown; }))
        << "the preview goes on after the switch";
}

TEST_P(DriverContractTest, FormatCannotChangeDuringACapture)
{
    f->SetStreamSetup(20000);
    ASSERT_EQ(f->Send(WM_CAP_SEQUENCE_NOFILE), TRUE);
    const BITMAPINFOHEADER before = f->Format();
    EXPECT_EQ(SetSize(Sizes().front().width, Sizes().front().height), FALSE);
    EXPECT_EQ(f->Format().biWidth, before.biWidth);
    EXPECT_EQ(f->Send(WM_CAP_DLG_VIDEOFORMAT), FALSE);
    EXPECT_EQ(f->Send(WM_CAP_GRAB_FRAME), FALSE);
    f->Send(WM_CAP_ABORT);
    EXPECT_TRUE(f->WaitForCaptureEnd());
}

TEST_P(DriverContractTest, ThePictureMovesAndAGrabbedStillStays)
{
    ASSERT_EQ(f->Send(WM_CAP_GRAB_FRAME), TRUE);
    const long long first = f->Window()->ShownFrameNumber();
    const FramePtr firstFrame = f->Window()->State()->Slot().Latest();
    ASSERT_EQ(f->Send(WM_CAP_GRAB_FRAME), TRUE);
    const FramePtr secondFrame = f->Window()->State()->Slot().Latest();
    EXPECT_GT(f->Window()->ShownFrameNumber(), first);
    EXPECT_NE(firstFrame->data, secondFrame->data) << "consecutive frames differ";

    // Preview on, then a grab: the grabbed frame stays while time passes.
    ASSERT_EQ(f->Send(WM_CAP_SET_PREVIEWRATE, 10), TRUE);
    ASSERT_EQ(f->Send(WM_CAP_SET_PREVIEW, TRUE), TRUE);
    ASSERT_EQ(f->Send(WM_CAP_GRAB_FRAME), TRUE);
    EXPECT_FALSE(f->Status().fLiveWindow) << "grabbing ends the preview";
    const long long still = f->Window()->ShownFrameNumber();
    PumpFor(150);
    EXPECT_EQ(f->Window()->ShownFrameNumber(), still);
    ASSERT_EQ(f->Send(WM_CAP_SET_PREVIEW, TRUE), TRUE);
    EXPECT_TRUE(WaitUntil([&] { return f->Window()->ShownFrameNumber() > still; }));
}

TEST_P(DriverContractTest, SavedStillHasTheCurrentSize)
{
    QTemporaryDir dir;
    const std::string path = dir.filePath("still.bmp").toStdString();
    ASSERT_EQ(SetSize(320, 240), TRUE);
    ASSERT_EQ(f->Send(WM_CAP_GRAB_FRAME), TRUE);
    ASSERT_EQ(f->Send(WM_CAP_FILE_SAVEDIB, 0, path.c_str()), TRUE);
    const QImage image(QString::fromStdString(path));
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), QSize(320, 240));
}

INSTANTIATE_TEST_SUITE_P(BuiltInDrivers, DriverContractTest,
                         ::testing::Values(kTestPatternIndex, kShutterSwitchIndex, kScriptedCamera),
                         [](const ::testing::TestParamInfo<UINT>& info) {
                             return info.param == kTestPatternIndex ? std::string("TestPattern")
                                    : info.param == kShutterSwitchIndex
                                        ? std::string("ShutterSwitch")
                                        : std::string("ScriptedWebcam");
                         });

} // namespace
} // namespace capture_test
