#include "platform/capture/SyntheticCameraDriver.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace vexol::platform::capture {

namespace {
constexpr int kMaxRequestDimension = 16384;
}

SyntheticCameraDriver::SyntheticCameraDriver(std::vector<FrameSize> sizes,
                                             std::vector<int> bitCounts, DWORD compression,
                                             FormatRequest initial)
    : m_sizes(std::move(sizes)), m_bitCounts(std::move(bitCounts)), m_compression(compression),
      m_initialFormat(initial)
{
}

SyntheticCameraDriver::~SyntheticCameraDriver()
{
    // Render belongs to the derived class, which stops the clock in its own destructor;
    // this is the last guard.
    StopStream();
}

bool SyntheticCameraDriver::Open()
{
    auto format = std::make_shared<const VideoFormat>(MakeFormat(NearestFormat(m_initialFormat)));
    std::lock_guard lock(m_formatMutex);
    m_format = std::move(format);
    m_open = true;
    return true;
}

void SyntheticCameraDriver::Close()
{
    StopStream();
    std::lock_guard lock(m_formatMutex);
    m_open = false;
}

FormatPtr SyntheticCameraDriver::CurrentFormat() const
{
    std::lock_guard lock(m_formatMutex);
    return m_open ? m_format : nullptr;
}

FormatRequest SyntheticCameraDriver::NearestFormat(const FormatRequest& request) const
{
    FormatRequest best{m_sizes.front().width, m_sizes.front().height, m_bitCounts.front(),
                       m_compression};
    long bestDistance = std::numeric_limits<long>::max();
    for (const FrameSize& s : m_sizes) {
        const long d = std::labs(long(s.width) - request.width) +
                       std::labs(long(s.height) - std::labs(long(request.height)));
        if (d < bestDistance) {
            bestDistance = d;
            best.width = s.width;
            best.height = s.height;
        }
    }
    int bestDepthDistance = std::numeric_limits<int>::max();
    for (int bits : m_bitCounts) {
        const int d = std::abs(bits - request.bitCount);
        if (d <= bestDepthDistance) { // ascending list: ties go to the larger depth
            bestDepthDistance = d;
            best.bitCount = bits;
        }
    }
    return best;
}

bool SyntheticCameraDriver::SetFormat(const FormatRequest& request)
{
    if (request.width <= 0 || request.height == 0 || request.width > kMaxRequestDimension ||
        std::abs(request.height) > kMaxRequestDimension || request.bitCount < 0 ||
        request.bitCount > 64) {
        return false;
    }
    if (IsStreaming()) {
        return false;
    }
    auto format = std::make_shared<const VideoFormat>(MakeFormat(NearestFormat(request)));
    std::lock_guard lock(m_formatMutex);
    if (!m_open) {
        return false;
    }
    m_format = std::move(format);
    return true;
}

bool SyntheticCameraDriver::StartStream(std::uint32_t microSecPerFrame, FrameSink& sink)
{
    if (!CurrentFormat() || m_clockThread.joinable()) {
        return false;
    }
    {
        std::lock_guard lock(m_clockMutex);
        m_stopClock = false;
        m_periodChanged = false;
        m_period = std::max<std::uint32_t>(1, microSecPerFrame);
        m_sink = &sink;
    }
    m_clockThread = std::thread([this] { RunFrameClock(); });
    return true;
}

void SyntheticCameraDriver::SetFramePeriod(std::uint32_t microSecPerFrame)
{
    std::lock_guard lock(m_clockMutex);
    const std::uint32_t period = std::max<std::uint32_t>(1, microSecPerFrame);
    if (period != m_period) {
        m_period = period;
        m_periodChanged = true;
        m_clockWake.notify_all();
    }
}

void SyntheticCameraDriver::StopStream()
{
    if (!m_clockThread.joinable()) {
        return;
    }
    {
        std::lock_guard lock(m_clockMutex);
        m_stopClock = true;
        m_clockWake.notify_all();
    }
    m_clockThread.join();
    std::lock_guard lock(m_clockMutex);
    m_sink = nullptr;
}

bool SyntheticCameraDriver::IsStreaming() const
{
    return m_clockThread.joinable();
}

FramePtr SyntheticCameraDriver::CaptureFrame()
{
    if (!CurrentFormat()) {
        return nullptr;
    }
    return ProduceFrame(m_nextNumber.fetch_add(1));
}

FramePtr SyntheticCameraDriver::RenderFrameNumber(std::uint64_t number)
{
    return CurrentFormat() ? ProduceFrame(number) : nullptr;
}

void SyntheticCameraDriver::SetNextFrameNumber(std::uint64_t number)
{
    m_nextNumber.store(number);
}

FramePtr SyntheticCameraDriver::ProduceFrame(std::uint64_t number)
{
    FormatPtr format = CurrentFormat();
    if (!format) {
        return nullptr;
    }
    std::shared_ptr<VideoFrame> frame = m_pool->Acquire(format->FrameBytes());
    frame->format = format;
    frame->number = number;
    Render(*frame, number);
    frame->bytesUsed = DWORD(frame->data.size());
    frame->captured = std::chrono::steady_clock::now();
    return frame;
}

void SyntheticCameraDriver::RunFrameClock()
{
    using Clock = std::chrono::steady_clock;
    Clock::time_point next = Clock::now();
    std::unique_lock lock(m_clockMutex);
    for (;;) {
        const bool woken =
            m_clockWake.wait_until(lock, next, [this] { return m_stopClock || m_periodChanged; });
        if (m_stopClock) {
            break;
        }
        if (woken) { // a new period: the next frame is due no later than one new period
            m_periodChanged = false;
            next = std::min(next, Clock::now() + std::chrono::microseconds(m_period));
            continue;
        }
        FrameSink* sink = m_sink;
        const std::uint32_t period = m_period;
        lock.unlock();
        FramePtr frame = ProduceFrame(m_nextNumber.fetch_add(1));
        if (frame) {
            sink->OnFrame(std::move(frame));
        }
        lock.lock();
        next += std::chrono::microseconds(period);
        // After a stall, carry on from now instead of delivering a burst of late frames.
        next = std::max(next, Clock::now());
    }
}

} // namespace vexol::platform::capture
