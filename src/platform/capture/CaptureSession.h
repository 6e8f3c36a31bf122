// One capture sequence and its capture thread. The driver's thread offers frames; a
// bounded queue carries them to the capture thread, which hands each to a FrameConsumer,
// calls the yield callback, watches the time limit and reports status. A full queue drops
// the frame (counted). States: Running → Stopping (drain the queue) or Aborting (discard
// it) → Ended; a consumer or device failure ends it as well.
//
//   driver thread ──OfferFrame──▶ queue ──▶ capture thread ──▶ FrameConsumer
//
// The consumer is what makes the sequence: the file-less capture hands frames to the
// video-stream callback; a capture into a file writes them.
#pragma once

#include "platform/ThreadAnnotations.h"
#include "platform/capture/CallbackTable.h"
#include "platform/capture/CaptureTexts.h"
#include "platform/capture/VideoFrame.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace vexol::platform::capture {

class CaptureSession;

// What a capture does with its frames; all calls on the capture thread.
class FrameConsumer
{
public:
    virtual ~FrameConsumer() = default;
    // Before the first frame; false ends the capture at once (after reporting an error).
    virtual bool Begin(CaptureSession&) { return true; }
    // One frame; `slot` counts frame periods from the first frame, so a gap means frames
    // were dropped. False ends the capture (after reporting an error).
    virtual bool Consume(CaptureSession& session, const VideoFrame& frame, DWORD timeCapturedMs,
                         std::uint64_t slot) = 0;
    // On every pass of the capture loop, frame or not (at least every 50 ms). False
    // ends the capture (after reporting an error).
    virtual bool Idle(CaptureSession&) { return true; }
    // After the last frame; `aborted` when the capture was aborted.
    virtual void End(CaptureSession&, bool /*aborted*/) {}
    // Adds what the consumer knows to the final summary (audio, after End).
    virtual void Describe(CaptureSummaryInfo&) const {}
    // Any thread: a capture into a file tells how much it has written and how much room
    // its file has left; false for a capture without a file.
    virtual bool MeasureFile(std::uint64_t& /*bytesWritten*/, std::uint64_t& /*roomInFile*/) const
    {
        return false;
    }
};

// Hands every frame to the video-stream callback, as a VIDEOHDR over a private copy of
// the frame, so the procedure may read and even change the bytes.
class StreamCallbackConsumer : public FrameConsumer
{
public:
    bool Consume(CaptureSession& session, const VideoFrame& frame, DWORD timeCapturedMs,
                 std::uint64_t slot) override;

private:
    std::vector<BYTE> m_copy;
};

struct CaptureSessionConfig
{
    HWND hwnd = nullptr; // passed to the callbacks
    CAPTUREPARMS parms{};
    FormatPtr format;
    std::shared_ptr<CallbackTable> callbacks;
    std::size_t queueCapacity = 8;
    bool writesFile = false; // a capture into a file reports dropped frames as an error
    // False when the caller waits for the end and calls the yield procedure itself.
    bool yieldOnCaptureThread = true;
};

struct CaptureProgress
{
    bool capturing = false;
    DWORD frames = 0;  // frames the consumer took
    DWORD dropped = 0; // frames lost: queue full or missed by the device
    DWORD elapsedMs = 0;
    UINT buffers = 0;
};

class CaptureSession
{
public:
    CaptureSession(CaptureSessionConfig config, std::unique_ptr<FrameConsumer> consumer);
    ~CaptureSession(); // aborts and joins
    CaptureSession(const CaptureSession&) = delete;
    CaptureSession& operator=(const CaptureSession&) = delete;

    // Starts the capture thread. `onEnded` runs on the capture thread after the last
    // status report.
    void Start(std::function<void()> onEnded);

    // From the driver's thread: queue the frame, or count it dropped.
    void OfferFrame(const FramePtr& frame);
    // From the driver's thread: the device failed; the capture ends with an error report.
    void OnDeviceFailure(const std::string& reason);

    // From any thread, never blocking on the capture thread.
    void RequestStop();
    void RequestAbort();

    CaptureProgress Progress() const;
    bool IsCapturing() const { return Progress().capturing; }
    // True once the capture thread has made its last report (joining then cannot wait
    // for a callback).
    bool IsFinished() const;
    // Waits for the capture thread to finish (not from the capture thread itself).
    void Join();

    const CaptureSessionConfig& Config() const { return m_config; }
    const FrameConsumer& Consumer() const { return *m_consumer; }
    // Reports to the registered callbacks (capture thread).
    void ReportStatus(int id, const std::string& text);
    void ReportError(int id, const std::string& text);

private:
    enum class State {
        Running,
        Stopping,
        Aborting,
        Ended,
    };

    struct QueuedFrame
    {
        FramePtr frame;
        DWORD timeCapturedMs;
        std::uint64_t slot;
    };

    void Run();
    void ReportSummary();

    const CaptureSessionConfig m_config;
    const std::unique_ptr<FrameConsumer> m_consumer;
    std::function<void()> m_onEnded;
    std::thread m_thread;

    // m_mutex guards everything below: the queue, the state, the counters and the times.
    mutable Mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<QueuedFrame> m_queue GUARDED_BY(m_mutex);
    State m_state GUARDED_BY(m_mutex) = State::Running;
    bool m_capturing GUARDED_BY(m_mutex) = false;
    bool m_finished GUARDED_BY(m_mutex) = false;
    std::string m_deviceFailure GUARDED_BY(m_mutex);
    DWORD m_frames GUARDED_BY(m_mutex) = 0;
    DWORD m_dropped GUARDED_BY(m_mutex) = 0;
    std::chrono::steady_clock::time_point m_startTime GUARDED_BY(m_mutex);
    std::chrono::steady_clock::time_point m_endTime GUARDED_BY(m_mutex);
    bool m_haveFirstFrame GUARDED_BY(m_mutex) = false;
    std::chrono::steady_clock::time_point m_firstFrameTime GUARDED_BY(m_mutex);
    std::uint64_t m_lastSlot GUARDED_BY(m_mutex) = 0;
};

} // namespace vexol::platform::capture
