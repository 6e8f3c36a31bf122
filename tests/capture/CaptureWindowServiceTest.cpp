// The capture window on the real capture service with its built-in cameras: creation on
// the test-pattern camera, a frame stream from the shutter-switch camera, and
// destruction while a stream runs.
#include "platform/capture/DriverRegistry.h"
#include "platform/capture/DriverWindow.h"
#include "platform/capture/ShutterSwitchDriver.h"
#include "support/CaptureWindowFixture.h"

#include <atomic>
#include <cstring>

namespace vexol::test {
namespace {

using namespace vexol::platform::capture;

constexpr int kTestPatternIndex = 0;
constexpr int kShutterSwitchIndex = 1;

class ServiceTest : public ::testing::Test
{
protected:
    ServiceTest() { SetInstalledDriversForTesting(BuiltInDrivers()); }
    ~ServiceTest() override
    {
        window.reset();
        SetInstalledDriversForTesting(std::nullopt);
    }

    BOOL Create()
    {
        window = std::make_unique<CCaptureWindow>();
        window->SetOwner(&owner);
        return window->Create(nullptr, "Capture Window", WS_CHILD | WS_VISIBLE, {0, 0, 640, 480},
                              &parent, 12345);
    }

    QWidget parent;
    RecordingOwner owner;
    std::unique_ptr<CCaptureWindow> window;
};

TEST_F(ServiceTest, CreateOnTheTestPatternCameraGivesA320By240Picture)
{
    ASSERT_TRUE(Create());
    EXPECT_TRUE(window->IsDriverConnected());
    EXPECT_EQ(window->GetDriverIndex(), kTestPatternIndex);
    EXPECT_FALSE(window->GetDriverName().empty());
    const RECT picture = window->GetPictureRect();
    EXPECT_EQ(picture.right, 320);
    EXPECT_EQ(picture.bottom, 240);
    EXPECT_EQ(window->size(), QSize(320, 240));
    ASSERT_NE(window->GetDriverWindow(), nullptr);
    EXPECT_EQ(window->GetDriverWindow()->size(), QSize(320, 240));
    EXPECT_EQ(window->GetDriverWindow()->parentWidget(), window.get());
    EXPECT_EQ(window->GetVideoFormatHeader().biWidth, 320);
    EXPECT_EQ(window->GetVideoFormatHeader().biHeight, 240);
    EXPECT_TRUE(window->IsPreviewActive());
    EXPECT_FALSE(window->IsCapturing());

    std::vector<std::string> names, versions;
    ASSERT_TRUE(window->EnumerateDrivers(names, versions));
    EXPECT_EQ(names.size(), 2u);
    EXPECT_EQ(names[0], window->GetDriverName());
}

TEST_F(ServiceTest, FrameStreamFromTheShutterSwitchCameraSavesOneStillPerPress)
{
    ASSERT_TRUE(Create());
    ASSERT_TRUE(window->ConnectDriver(kShutterSwitchIndex));
    EXPECT_EQ(window->GetVideoFormatHeader().biCompression, FOURCC_PL41);
    auto* camera = dynamic_cast<ShutterSwitchDriver*>(
        static_cast<DriverWindow*>(window->GetDriverWindow())->Driver());
    ASSERT_NE(camera, nullptr);
    owner.shutterSwitch = true;
    std::atomic<int> saved{0};
    owner.onStill = [&](CDib& picture) {
        EXPECT_EQ(picture.GetBitCount(), 24);
        EXPECT_EQ(picture.GetSize().cx, window->GetVideoFormatHeader().biWidth);
        ++saved;
    };

    ASSERT_TRUE(window->StartFrameStream());
    camera->PressSwitchForFrames(3);
    std::vector<BYTE> snapshot;
    EXPECT_TRUE(PumpUntil([&] { return saved.load() >= 3; }));
    EXPECT_TRUE(window->IsCapturing());
    ASSERT_TRUE(window->CopyFrameSnapshot(snapshot));
    BITMAPINFOHEADER h{};
    std::memcpy(&h, snapshot.data(), sizeof h);
    EXPECT_EQ(h.biCompression, FOURCC_PL41);
    EXPECT_GT(snapshot.size(), 40u + std::size_t(h.biWidth) * std::size_t(h.biHeight));

    window->StopRecording();
    EXPECT_TRUE(PumpUntil([&] { return !window->IsCapturing(); }));
    EXPECT_FALSE(window->CopyFrameSnapshot(snapshot));
    EXPECT_EQ(saved.load(), 3) << "one still per marked frame";
    camera->PressSwitchForFrames(1);
    PumpUntil([] { return false; }, 100);
    EXPECT_EQ(saved.load(), 3) << "nothing after the stop";
}

TEST_F(ServiceTest, StatusTextsOfAStreamReachTheOwner)
{
    ASSERT_TRUE(Create());
    ASSERT_TRUE(window->StartFrameStream());
    EXPECT_TRUE(PumpUntil([&] { return !owner.pending.IsEmpty(); }));
    window->StopRecording();
    EXPECT_TRUE(PumpUntil([&] { return !window->IsCapturing(); }));
    std::string text;
    EXPECT_TRUE(owner.pending.Take(text));
    EXPECT_FALSE(text.empty());
}

TEST_F(ServiceTest, DestroyingTheWindowWhileAStreamRunsEndsIt)
{
    ASSERT_TRUE(Create());
    ASSERT_TRUE(window->StartFrameStream());
    ASSERT_TRUE(PumpUntil([&] {
        std::vector<BYTE> snapshot;
        return window->CopyFrameSnapshot(snapshot) == TRUE;
    }));
    window.reset(); // stops, unregisters and waits for the capture to end
    EXPECT_EQ(parent.findChildren<QWidget*>().size(), 0);
}

} // namespace
} // namespace vexol::test
