// The capture window on the real capture service with its built-in cameras: creation on
// the test-pattern camera, a frame stream from the shutter-switch camera, and
// destruction while a stream runs.
#include "platform/capture/CaptureService.h"
#include "platform/capture/DriverRegistry.h"
#include "support/CaptureWindowFixture.h"

#include <QTemporaryDir>
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

TEST_F(ServiceTest, FrameStreamFromTheShutterSwitchCameraReachesOnVideoFrame)
{
    ASSERT_TRUE(Create());
    ASSERT_TRUE(window->ConnectDriver(kShutterSwitchIndex));
    EXPECT_EQ(window->GetVideoFormatHeader().biCompression, FOURCC_PL41);
    owner.shutterSwitch = true;
    std::atomic<int> checked{0};
    owner.onFrame = [&](const VIDEOHDR& header) {
        EXPECT_GT(header.dwBytesUsed, 0u);
        ++checked;
    };

    ASSERT_TRUE(window->StartFrameStream());
    std::vector<BYTE> snapshot;
    EXPECT_TRUE(PumpUntil([&] { return checked.load() >= 3; }));
    EXPECT_TRUE(window->IsCapturing());
    ASSERT_TRUE(window->CopyFrameSnapshot(snapshot));
    BITMAPINFOHEADER h{};
    std::memcpy(&h, snapshot.data(), sizeof h);
    EXPECT_EQ(h.biCompression, FOURCC_PL41);
    EXPECT_GT(snapshot.size(), 40u + std::size_t(h.biWidth) * std::size_t(h.biHeight));

    window->StopRecording();
    EXPECT_TRUE(PumpUntil([&] { return !window->IsCapturing(); }));
    EXPECT_FALSE(window->CopyFrameSnapshot(snapshot));
    const int afterStop = checked.load();
    PumpUntil([] { return false; }, 100);
    EXPECT_EQ(checked.load(), afterStop) << "no frames after the stop";
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

TEST_F(ServiceTest, ARecordingIntoAFileReportsItsFiguresAndAStreamDoesNot)
{
    ASSERT_TRUE(Create());
    RecordingSample sample;
    EXPECT_FALSE(window->GetRecordingSample(sample)) << "nothing runs";

    ASSERT_TRUE(window->StartFrameStream());
    ASSERT_TRUE(window->IsCapturing());
    EXPECT_FALSE(window->GetRecordingSample(sample)) << "a stream writes no file";
    window->StopRecording();
    ASSERT_TRUE(PumpUntil([&] { return !window->IsCapturing(); }));

    QTemporaryDir dir;
    const std::string path = dir.filePath("figures.avi").toStdString();
    constexpr DWORD kAllocated = 32u << 20;
    ASSERT_TRUE(window->SetCaptureFile(path.c_str()));
    ASSERT_TRUE(window->AllocateCaptureFile(kAllocated));
    ASSERT_TRUE(window->StartRecording());
    ASSERT_TRUE(
        PumpUntil([&] { return window->GetRecordingSample(sample) && sample.frames >= 3; }));
    const BITMAPINFOHEADER format = window->GetVideoFormatHeader();
    EXPECT_GE(sample.bytesWritten, 3u * format.biWidth * format.biHeight * format.biBitCount / 8);
    EXPECT_TRUE(sample.roomKnown);
    // The allocation not yet written counts as room, on top of the volume's free space.
    CAPFILEFIGURES file{};
    ASSERT_TRUE(SendMessageA(window->GetDriverWindow(), WM_CAP_GET_FILE_FIGURES, sizeof file,
                             LPARAM(&file)));
    ASSERT_LT(file.qwBytesWritten, kAllocated);
    EXPECT_EQ(file.qwBytesWritten + file.qwBytesRoomInFile, kAllocated);
    EXPECT_TRUE(file.fVolumeKnown);
    EXPECT_GT(file.qwBytesFreeOnVolume, 0u);

    window->StopRecording();
    ASSERT_TRUE(PumpUntil([&] { return !window->IsCapturing(); }));
    EXPECT_FALSE(window->GetRecordingSample(sample)) << "the recording has ended";
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
