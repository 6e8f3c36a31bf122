// A V4L2 camera as a capture driver. Connecting opens the node, lists what the camera
// offers, restores the format and control values remembered for this camera and looks
// for its snapshot button. Frames stream with memory-mapped buffers on the driver's own
// thread, which waits in poll for the camera, the button and a stop request; each frame
// is copied out of the device buffer in its published layout (see CameraFrames.h) and the
// buffer goes back to the camera at once. Frames that are empty, short or not a whole
// JPEG picture are dropped and counted; a gap in the buffer sequence counts the frames
// the camera lost; a camera that goes away ends the stream with a report to the sink.
#pragma once

#include "platform/capture/CaptureDriver.h"
#include "platform/capture/SwitchState.h"
#include "platform/capture/v4l2/CameraSettings.h"
#include "platform/capture/v4l2/SnapshotButton.h"
#include "platform/capture/v4l2/V4l2Device.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace vexol::platform::capture::v4l2 {

// One entry of the format list: a camera pixel format, or PL41 made from the camera's.
struct FormatChoice
{
    DWORD compression = 0;
    WORD bitCount = 0;
    std::uint32_t fourcc = 0; // the camera's pixel format; 0 for PL41
    std::string label;
    std::vector<SizeEntry> sizes;
};

struct FrameCounters
{
    std::uint64_t delivered = 0;
    std::uint64_t missed = 0;  // lost by the camera: gaps in the buffer sequence
    std::uint64_t empty = 0;   // buffers without bytes
    std::uint64_t short_ = 0;  // buffers shorter than the format
    std::uint64_t corrupt = 0; // JPEG frames that are no whole picture
};

class V4l2Driver : public CaptureDriver
{
public:
    // `name` is the description the camera is listed with.
    V4l2Driver(std::string node, std::string name);
    ~V4l2Driver() override;

    bool Open() override;
    void Close() override;
    DriverCapabilities Capabilities() const override;
    FormatPtr CurrentFormat() const override;
    bool SetFormat(const FormatRequest& request) override;
    bool StartStream(std::uint32_t microSecPerFrame, FrameSink& sink) override;
    void SetFramePeriod(std::uint32_t microSecPerFrame) override;
    void StopStream() override;
    bool IsStreaming() const override;
    FramePtr CaptureFrame() override;
    std::optional<FormatRequest> RunFormatDialog(QWidget* parent) override;
    bool RunSourceDialog(QWidget* parent) override;
    bool RunDisplayDialog(QWidget* parent) override;
    void PaintOverlay(QPainter& painter, const QRect& area, const VideoFrame* latest) override;
    std::string ErrorText() const override;
    bool PacesItself() const override { return true; }
    std::uint32_t DeliveredFramePeriod() const override;

    const CameraIdentity& Identity() const { return m_device.Identity(); }
    // The formats offered (PL41 last, when the camera has a readable button).
    const std::vector<FormatChoice>& Choices() const { return m_choices; }
    // The camera's frame interval now, and the one chosen for the live picture.
    FrameInterval Interval() const;
    // The interval the next SetFormat takes (the format dialog's frame rate).
    void ChooseInterval(const FrameInterval& interval);

    // Controls (UI thread): flags and limits refreshed from the camera.
    std::vector<ControlInfo> Controls();
    std::optional<std::int64_t> ControlValue(std::uint32_t id);
    // Sets a control now; 0 or -errno. The value is remembered with the next save.
    int SetControlValue(std::uint32_t id, std::int64_t value);
    // Every writable control to the camera's default.
    void ResetControls();
    // Stores the format and control values for this camera.
    void RememberSettings();

    ButtonState Button() const { return m_buttonState; }
    const std::string& ButtonNode() const { return m_buttonNode; }
    FrameCounters Counters() const;

private:
    struct StreamSetup
    {
        ActiveFormat active;
        FormatPtr cameraFormat; // the format frames are copied in
        FormatPtr published;    // what the sink gets (PL41 or the camera format)
        std::uint32_t periodUs = 0;
    };

    int Apply(std::uint32_t fourcc, std::uint32_t width, std::uint32_t height,
              const FrameInterval& interval, bool pl41);
    void BuildChoices();
    const FormatChoice* ChoiceFor(const FormatRequest& request) const;
    const FormatChoice* CurrentChoice() const;
    // The camera format PL41 is made from at a size.
    std::uint32_t Pl41Source(std::uint32_t width, std::uint32_t height) const;
    const SizeEntry* SizeOf(std::uint32_t fourcc, std::uint32_t width, std::uint32_t height) const;
    FrameInterval NearestInterval(std::uint32_t microSeconds) const;
    void RestoreControls(const std::map<std::uint32_t, std::int32_t>& values);

    int StartThread(FrameSink* sink);
    void StopThread();
    void Run(StreamSetup setup, FrameSink* sink);
    void Deliver(const DequeuedBuffer& buffer, const StreamSetup& setup, FrameSink* sink,
                 std::optional<std::uint32_t>& lastSequence);
    void OnButton(bool pressed);

    const std::string m_node;
    const std::string m_name;
    V4l2Device m_device;
    std::vector<PixelFormatEntry> m_formats; // deliverable ones
    std::vector<FormatChoice> m_choices;
    std::vector<ControlInfo> m_controls; // UI thread
    std::string m_errorText;             // UI thread
    ButtonState m_buttonState = ButtonState::None;
    std::string m_buttonNode;
    std::unique_ptr<ButtonDevice> m_button; // read by the stream thread while it runs
    std::shared_ptr<FrameBufferPool> m_cameraPool = FrameBufferPool::Create();
    std::shared_ptr<FrameBufferPool> m_pl41Pool = FrameBufferPool::Create();

    // m_mutex guards the format state below, read by any thread.
    mutable std::mutex m_mutex;
    bool m_open = false;
    ActiveFormat m_active;
    bool m_pl41 = false;
    FormatPtr m_cameraFormat;
    FormatPtr m_published;
    FrameInterval m_interval;       // the camera's now
    FrameInterval m_chosenInterval; // for the live picture
    std::optional<FrameInterval> m_pendingInterval;
    CameraSettings m_settings;

    // The stream thread; started and stopped on the controlling (UI) thread.
    std::thread m_thread;
    int m_wakeFd = -1;
    FrameSink* m_sink = nullptr;
    // The stream thread's: the camera's time of the last frame, and the time of lost
    // frames its clock did not show.
    std::optional<std::chrono::steady_clock::time_point> m_lastStamp;
    std::chrono::microseconds m_timeOffset{0};

    // m_latestMutex guards m_latest, m_latestSerial and m_streamEnded.
    mutable std::mutex m_latestMutex;
    std::condition_variable m_latestChanged;
    FramePtr m_latest;
    std::uint64_t m_latestSerial = 0;
    bool m_streamEnded = false;

    std::atomic<bool> m_failed{false}; // the stream ended with a device failure
    SwitchState m_pressed;             // the snapshot button
    std::atomic<std::uint64_t> m_delivered{0}, m_missed{0}, m_empty{0}, m_short{0}, m_corrupt{0};
};

} // namespace vexol::platform::capture::v4l2
