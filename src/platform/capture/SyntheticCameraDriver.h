// The common part of the built-in cameras, whose pictures are drawn rather than
// captured: the format list with nearest-format choice, the frame clock thread that
// delivers frames at the requested period, single-frame capture and the frame numbers.
#pragma once

#include "platform/capture/CaptureDriver.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace vexol::platform::capture {

struct FrameSize
{
    int width;
    int height;
};

class SyntheticCameraDriver : public CaptureDriver
{
public:
    ~SyntheticCameraDriver() override;

    bool Open() override;
    void Close() override;
    FormatPtr CurrentFormat() const override;
    bool SetFormat(const FormatRequest& request) override;
    bool StartStream(std::uint32_t microSecPerFrame, FrameSink& sink) override;
    void SetFramePeriod(std::uint32_t microSecPerFrame) override;
    void StopStream() override;
    bool IsStreaming() const override;
    FramePtr CaptureFrame() override;

    // The sizes and depths this camera delivers, in ascending order.
    const std::vector<FrameSize>& Sizes() const { return m_sizes; }
    const std::vector<int>& BitCounts() const { return m_bitCounts; }
    // The supported format nearest to a request: the size with the smallest distance,
    // the nearest depth (ties go to the larger one).
    FormatRequest NearestFormat(const FormatRequest& request) const;

    // Frame N in the current format and settings, exactly as a stream would deliver it.
    FramePtr RenderFrameNumber(std::uint64_t number);
    // The number the next captured or streamed frame carries.
    void SetNextFrameNumber(std::uint64_t number);
    std::uint64_t NextFrameNumber() const { return m_nextNumber.load(); }

protected:
    SyntheticCameraDriver(std::vector<FrameSize> sizes, std::vector<int> bitCounts,
                          DWORD compression, FormatRequest initial);

    // Draws frame `number` into `frame` (its format and buffer are set). Called on the
    // frame clock thread and on the UI thread, so it reads settings under a lock.
    virtual void Render(VideoFrame& frame, std::uint64_t number) = 0;
    // The format for a supported size and depth.
    virtual VideoFormat MakeFormat(const FormatRequest& supported) const = 0;

private:
    FramePtr ProduceFrame(std::uint64_t number);
    void RunFrameClock();

    const std::vector<FrameSize> m_sizes;
    const std::vector<int> m_bitCounts;
    const DWORD m_compression;
    const FormatRequest m_initialFormat;
    std::shared_ptr<FrameBufferPool> m_pool = FrameBufferPool::Create();
    std::atomic<std::uint64_t> m_nextNumber{0};

    mutable std::mutex m_formatMutex; // guards m_format and m_open
    FormatPtr m_format;
    bool m_open = false;

    std::mutex m_clockMutex; // guards m_stopClock, m_period, m_periodChanged, m_sink
    std::condition_variable m_clockWake;
    bool m_stopClock = false;
    bool m_periodChanged = false;
    std::uint32_t m_period = 33333;
    FrameSink* m_sink = nullptr;
    std::thread m_clockThread; // touched on the controlling (UI) thread only
};

} // namespace vexol::platform::capture
