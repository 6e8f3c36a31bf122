// Records PCM from the wave input device on a thread of its own and hands every block of
// interleaved samples, with its position, to a handler.
//
//   WaveRecorder recorder;
//   if (recorder.Open(&format) == MMSYSERR_NOERROR &&
//       recorder.Start([](const BYTE* data, std::size_t bytes, std::uint64_t first) {...}) ==
//           MMSYSERR_NOERROR) {
//       ...
//       std::uint64_t samples = recorder.Stop();
//   }
//
// Positions count samples per channel (frames) handed over since Start, so each block
// starts where the previous one ended. An overrun loses the samples the device dropped;
// the stream is recovered, the loss counted in Overruns(), and positions run on.
#pragma once

#include "platform/WinTypes.h"
#include "platform/audio/CaptureStream.h"
#include "platform/audio/MultimediaResults.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vexol::platform::audio {

class WaveRecorder
{
public:
    // Runs on the capture thread. `firstSample` is the position of the block's first frame.
    using BlockHandler =
        std::function<void(const BYTE* data, std::size_t bytes, std::uint64_t firstSample)>;

    WaveRecorder() = default;
    ~WaveRecorder(); // stops and closes
    WaveRecorder(const WaveRecorder&) = delete;
    WaveRecorder& operator=(const WaveRecorder&) = delete;

    // Opens the wave input device (vexol::platform::audio::WaveInputDevice) or the named ALSA
    // device for `format`. Results as for waveInOpen's query; WAVERR_STILLPLAYING while running. An
    // open recorder is closed first.
    MMRESULT Open(const WAVEFORMATEX* format);
    MMRESULT Open(const WAVEFORMATEX* format, const std::string& alsaDevice);
    // Records from a stream opened elsewhere, whose frames are in `format`;
    // MMSYSERR_INVALPARAM for no stream or one without a block size.
    MMRESULT Open(const WAVEFORMATEX* format, std::unique_ptr<CaptureStream> stream);

    // Starts the capture thread. MMSYSERR_INVALHANDLE when not open, MMSYSERR_INVALPARAM
    // without a handler, WAVERR_STILLPLAYING when running, MMSYSERR_ERROR when the device
    // does not start. Positions and counters start again from zero.
    MMRESULT Start(BlockHandler handler);

    // Stops capturing: the samples still waiting in the device are read and handed over,
    // then the thread ends. Returns the number of samples handed over since Start (0 when
    // never started; the same number again on a second Stop). Called from the handler,
    // it only asks the thread to end and returns the count so far.
    std::uint64_t Stop();

    // Stops and releases the device.
    void Close();

    bool IsOpen() const;
    // True from Start until Stop, also after the device failed (see DeviceError).
    bool IsRunning() const;
    std::uint32_t Overruns() const { return m_overruns.load(); }
    // The negative errno that ended capturing early (device lost, recovery failed, the
    // handler threw: -ECANCELED), 0 while none.
    int DeviceError() const { return m_deviceError.load(); }

private:
    MMRESULT AdoptLocked(const WAVEFORMATEX* format, std::unique_ptr<CaptureStream> stream);
    void StopLocked();
    void CaptureLoop();
    // Reads at most `maxFrames`, waiting and recovering as needed. False when capturing
    // cannot go on (DeviceError says why); `framesRead` may be 0 after a wait.
    bool ReadBlock(unsigned long maxFrames, long& framesRead);
    // Hands `frames` frames of m_block to the handler; false when the handler threw.
    bool Deliver(long frames);

    // Guards the stream, the thread handle and the open format against concurrent Open,
    // Start, Stop and Close; the capture thread itself never takes it.
    mutable std::mutex m_controlMutex;
    std::unique_ptr<CaptureStream> m_stream;
    std::thread m_thread;
    std::size_t m_blockAlign = 0;
    BYTE m_silence = 0;        // the byte value of silence in the open format
    BlockHandler m_handler;    // set before the thread starts, used only by it
    std::vector<BYTE> m_block; // the capture thread's buffer
    bool m_started = false;    // Start succeeded and Stop has not yet joined

    std::atomic<bool> m_stopRequested{false};
    std::atomic<std::uint64_t> m_samples{0};
    std::atomic<std::uint32_t> m_overruns{0};
    std::atomic<int> m_deviceError{0};
};

} // namespace vexol::platform::audio
