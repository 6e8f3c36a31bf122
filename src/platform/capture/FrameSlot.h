// The hand-over point for the newest frame of a driver: the driver's thread publishes,
// the window (UI thread), the still writer and the clipboard read. Readers get a shared
// reference to an immutable frame, so the lock is held only to swap a pointer.
#pragma once

#include "platform/capture/VideoFrame.h"

#include <cstdint>
#include <mutex>
#include <utility>

namespace vexol::platform::capture {

class FrameSlot
{
public:
    void Publish(FramePtr frame)
    {
        FramePtr previous;
        {
            std::lock_guard lock(m_mutex);
            previous = std::exchange(m_frame, std::move(frame));
            ++m_generation;
        }
        // `previous` is released here, outside the lock (it may return to a pool).
    }

    void Clear()
    {
        FramePtr previous;
        {
            std::lock_guard lock(m_mutex);
            previous = std::exchange(m_frame, nullptr);
            ++m_generation;
        }
    }

    FramePtr Latest() const
    {
        std::lock_guard lock(m_mutex);
        return m_frame;
    }

    // The frame and a number that changes with every Publish or Clear.
    std::pair<FramePtr, std::uint64_t> LatestWithGeneration() const
    {
        std::lock_guard lock(m_mutex);
        return {m_frame, m_generation};
    }

private:
    mutable std::mutex m_mutex; // guards m_frame and m_generation
    FramePtr m_frame;
    std::uint64_t m_generation = 0;
};

} // namespace vexol::platform::capture
