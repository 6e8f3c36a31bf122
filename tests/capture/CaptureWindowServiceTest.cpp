// The capture window on the real capture service with its built-in cameras: creation on
// the test-pattern camera, a frame stream from the shutter-switch camera, destruction
// while a stream runs, and recordings that end while their error box is pending.
#include "platform/WindowRegistry.h"
#include "platform/capture/CaptureService.h"
#include "platform/capture/DriverRegistry.h"
#include "platform/capture/DriverWindow.h"
#include "platform/capture/ShutterSwitchDriver.h"
#include "settings/RegistryStore.h"
#include "support/CaptureWindowFixture.h"
#include "support/FfprobeRunner.h"
#include "support/MessageBoxAnswers.h"
#include "support/TempRegistry.h"

#include <QTemporaryDir>
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

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

    CAPSTATUS ServiceStatus() const
    {
        CAPSTATUS status{};
        SendMessageA(window->GetDriverWindow(), WM_CAP_GET_STATUS, sizeof status, LPARAM(&status));
        return status;
    }

    QWidget parent;
    RecordingOwner owner;
    std::unique_ptr<CCaptureWindow> window;
};

// Ends the process when the user-interface thread does not come back: a deadlock would
// otherwise hold the suite until its time-out. Not a measurement: a correct run never
// comes near the limit.
class DeadlockGuard
{
public:
    explicit DeadlockGuard(const char* what)
        : m_thread([this, what] {
              std::unique_lock lock(m_mutex);
              if (!m_released.wait_for(lock, std::chrono::seconds(60), [this] { return m_done; })) {
                  std::fprintf(stderr, "deadlock: %s never returned\n", what);
                  std::abort();
              }
          })
    {
    }
    ~DeadlockGuard()
    {
        {
            std::lock_guard lock(m_mutex);
            m_done = true;
        }
        m_released.notify_all();
        m_thread.join();
    }

private:
    std::mutex m_mutex; // guards m_done
    std::condition_variable m_released;
    bool m_done = false;
    std::thread m_thread;
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
    EXPECT_EQ(WindowOfHandle(window->GetDriverWindow())->size(), QSize(320, 240));
    EXPECT_EQ(WindowOfHandle(window->GetDriverWindow())->parentWidget(), window.get());
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
        static_cast<DriverWindow*>(WindowOfHandle(window->GetDriverWindow()))->Driver());
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

// A stored frame period of 0 reaches the service as 0. The service records at its own
// default rate and keeps the rest of the recording setup: the stop prompt, the Esc key
// and the right button, and the stored time limit, which ends the recording.
TEST_F(ServiceTest, AStoredFramePeriodOfZeroRecordsAtTheDefaultRateWithTheWholeSetup)
{
    TempRegistry registry;
    QTemporaryDir folder;
    const std::string path = folder.filePath("zero.avi").toStdString();
    RegistryStore store;
    store.WriteDword("Settings Info", "MicroSecPerFrame", 0, 66666);
    store.WriteBool("Settings Info", "LimitEnabled", TRUE, FALSE);
    store.WriteDword("Settings Info", "TimeLimit", 1, 30);
    store.WriteString("Settings Info", "CaptureFile", path.c_str());
    ASSERT_TRUE(Create());
    store.LoadCaptureSettings(*window);
    ASSERT_EQ(window->GetCaptureFile(FALSE), path);
    ASSERT_EQ(window->GetSequenceSetup().dwRequestMicroSecPerFrame, 0u);

    ASSERT_TRUE(window->StartRecording());
    CAPTUREPARMS held{};
    SendMessageA(window->GetDriverWindow(), WM_CAP_GET_SEQUENCE_SETUP, sizeof held, LPARAM(&held));
    EXPECT_EQ(held.dwRequestMicroSecPerFrame, 66667u) << "the service's default rate";
    EXPECT_EQ(held.vKeyAbort, 27u);
    EXPECT_TRUE(held.fAbortRightMouse);
    EXPECT_TRUE(held.fLimitEnabled);
    EXPECT_EQ(held.wTimeLimit, 1u);
    EXPECT_TRUE(PumpUntil([&] { return !window->IsCapturing(); }, 15000))
        << "the stored time limit ends the recording";
    const std::vector<std::string> texts = owner.Texts();
    EXPECT_TRUE(std::any_of(texts.begin(), texts.end(), [](const std::string& t) {
        return t.find("Esc") != std::string::npos;
    })) << "the stop prompt was shown";

    const FfprobeResult probe = RunFfprobe(QString::fromStdString(path));
    ASSERT_TRUE(probe.ran) << probe.errors.toStdString();
    const FfprobeStream* video = probe.Stream("video");
    ASSERT_NE(video, nullptr);
    EXPECT_NEAR(video->frameRate, 15.0, 0.01);
    EXPECT_GE(video->nbFrames, 5) << "about one second at 15 frames per second";
    EXPECT_LE(video->nbFrames, 25);
}

// A recording that drops most of its frames raises error 513 as it ends, from the capture
// thread. The user-interface thread ends it by joining that thread; the join must never
// wait for the box, which appears once the user-interface thread is free again.
TEST_F(ServiceTest, EndingARecordingWithAPendingErrorBoxNeverWaitsForTheBox)
{
    struct Case
    {
        const char* what;
        std::function<void(std::unique_ptr<CCaptureWindow>&)> end;
        std::size_t boxes; // 513 boxes shown afterwards
    };
    const Case cases[] = {
        {"choosing another driver", [](auto& w) { w->ConnectDriver(1); }, 1},
        {"recording again after a stop",
         [](auto& w) {
             w->StopRecording();
             w->StartRecording();
         },
         1},
        {"destroying the window", [](auto& w) { w.reset(); }, 0},
    };
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(Create());
        // Full-size frames requested every 100 µs: drawing one takes longer than that on
        // any machine, so most slots are skipped whatever the disk and the load.
        BITMAPINFOHEADER h{};
        h.biSize = sizeof h;
        h.biWidth = 1920;
        h.biHeight = 1080;
        h.biPlanes = 1;
        h.biBitCount = 24;
        SendMessageA(window->GetDriverWindow(), WM_CAP_SET_VIDEOFORMAT, sizeof h, LPARAM(&h));
        ASSERT_TRUE(window->SetCaptureFile(folder.filePath("capture.avi").toUtf8().constData()));
        CAPTUREPARMS p = window->GetSequenceSetup();
        p.dwRequestMicroSecPerFrame = 100;
        window->SetSequenceSetup(p);

        ScopedMessageBoxAnswers boxes;
        ASSERT_TRUE(window->StartRecording());
        ASSERT_TRUE(PumpUntil([&] {
            const CAPSTATUS s = ServiceStatus();
            const DWORD total = s.dwCurrentVideoFrame + s.dwCurrentVideoFramesDropped;
            return total >= 200 && s.dwCurrentVideoFramesDropped * 100 > 20 * total;
        })) << "the recording should drop more than the allowed share";
        {
            DeadlockGuard guard(c.what);
            c.end(window);
        }
        PumpUntil([&] { return boxes.requests.size() >= c.boxes; }, c.boxes ? 5000 : 200);
        std::size_t dropBoxes = 0;
        for (const auto& request : boxes.requests) {
            dropBoxes += request.text.find("dropped") != std::string::npos;
        }
        EXPECT_EQ(dropBoxes, c.boxes);
        window.reset();
    }
}

} // namespace
} // namespace vexol::test
