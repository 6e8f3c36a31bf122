// One open capture stream as WaveRecorder drives it. The implementation over ALSA is
// AlsaCaptureStream; the interface keeps the recorder's loop (blocks, positions, overrun
// recovery, the final read at stop) independent of where the frames come from.
#pragma once

namespace vexol::platform::audio {

class CaptureStream
{
public:
    virtual ~CaptureStream() = default;

    // Prepares the stream when needed and starts capturing: 0 or a negative errno.
    virtual int Start() = 0;
    // Reads up to `frames` interleaved frames without blocking. Returns the number read,
    // -EAGAIN when none are ready, -EPIPE after an overrun, -ESTRPIPE while suspended,
    // or another negative errno for a failure the stream cannot recover from.
    virtual long Read(void* buffer, unsigned long frames) = 0;
    // Waits at most `timeoutMs` for frames: > 0 ready, 0 timed out, or a negative errno.
    virtual int Wait(int timeoutMs) = 0;
    // Brings the stream back after -EPIPE or -ESTRPIPE and starts it again.
    virtual int Recover(int error) = 0;
    // Stops capturing; frames not yet read are discarded.
    virtual void Stop() = 0;

    virtual unsigned long PeriodFrames() const = 0; // frames handed over per block
    virtual unsigned long BufferFrames() const = 0; // the most frames that can be waiting
};

} // namespace vexol::platform::audio
