// The state of a shutter switch or snapshot button as frames see it: held or not, and
// presses not yet shown in a frame, so that a press shorter than one frame period still
// marks one frame. Any thread may press; the frame thread asks once per frame.
#pragma once

#include <atomic>

namespace vexol::platform::capture {

class SwitchState
{
public:
    void SetHeld(bool held)
    {
        const bool was = m_held.exchange(held);
        if (held && !was) {
            unsigned pending = m_pending.load();
            while (pending == 0 && !m_pending.compare_exchange_weak(pending, 1)) {
            }
        }
    }
    bool IsHeld() const { return m_held.load(); }
    // The next `frames` frames are marked, in addition to any hold.
    void PressForFrames(unsigned frames) { m_pending.fetch_add(frames); }
    // Whether the next frame is marked.
    bool TakeFrame()
    {
        unsigned pending = m_pending.load();
        while (pending > 0) {
            if (m_pending.compare_exchange_weak(pending, pending - 1)) {
                return true;
            }
        }
        return m_held.load();
    }
    void Reset()
    {
        m_held = false;
        m_pending = 0;
    }

private:
    std::atomic<bool> m_held{false};
    std::atomic<unsigned> m_pending{0};
};

} // namespace vexol::platform::capture
