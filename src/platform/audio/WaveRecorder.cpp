#include "platform/audio/WaveRecorder.h"

#include "platform/audio/AlsaCapture.h"
#include "platform/audio/WaveFormat.h"
#include "platform/audio/WaveInput.h"

#include <algorithm>
#include <cerrno>
#include <exception>
#include <new>
#include <system_error>

namespace vexol::platform::audio {
namespace {

// How long the capture thread waits for frames before it looks at the stop request again.
constexpr int kWaitMilliseconds = 100;

// The recorder whose capture thread this is, so that Stop from a handler does not join
// its own thread.
thread_local const WaveRecorder* t_capturingRecorder = nullptr;

} // namespace

WaveRecorder::~WaveRecorder()
{
    Close();
}

MMRESULT WaveRecorder::Open(const WAVEFORMATEX* format)
{
    return Open(format, WaveInputDevice());
}

MMRESULT WaveRecorder::Open(const WAVEFORMATEX* format, const std::string& alsaDevice)
{
    std::lock_guard lock(m_controlMutex);
    if (m_started)
        return WAVERR_STILLPLAYING;
    m_stream.reset(); // releases the device before it is opened again
    m_blockAlign = 0;
    const MMRESULT valid = ValidatePcmFormat(format);
    if (valid != MMSYSERR_NOERROR)
        return valid;
    try {
        MMRESULT result = MMSYSERR_ERROR;
        auto stream = AlsaCaptureStream::Open(alsaDevice, ReadPcmFields(format), result);
        if (stream == nullptr)
            return result;
        return AdoptLocked(format, std::move(stream));
    } catch (const std::bad_alloc&) {
        return MMSYSERR_NOMEM;
    }
}

MMRESULT WaveRecorder::Open(const WAVEFORMATEX* format, std::unique_ptr<CaptureStream> stream)
{
    std::lock_guard lock(m_controlMutex);
    if (m_started)
        return WAVERR_STILLPLAYING;
    m_stream.reset();
    m_blockAlign = 0;
    const MMRESULT valid = ValidatePcmFormat(format);
    if (valid != MMSYSERR_NOERROR)
        return valid;
    return AdoptLocked(format, std::move(stream));
}

MMRESULT WaveRecorder::AdoptLocked(const WAVEFORMATEX* format,
                                   std::unique_ptr<CaptureStream> stream)
{
    if (stream == nullptr || stream->PeriodFrames() == 0 ||
        stream->BufferFrames() < stream->PeriodFrames())
        return MMSYSERR_INVALPARAM;
    m_stream = std::move(stream);
    m_blockAlign = ReadPcmFields(format).nBlockAlign;
    m_silence = ReadPcmFields(format).wBitsPerSample == 8 ? 0x80 : 0x00; // unsigned 8-bit
    return MMSYSERR_NOERROR;
}

MMRESULT WaveRecorder::Start(BlockHandler handler)
{
    std::lock_guard lock(m_controlMutex);
    if (m_stream == nullptr)
        return MMSYSERR_INVALHANDLE;
    if (!handler)
        return MMSYSERR_INVALPARAM;
    if (m_started)
        return WAVERR_STILLPLAYING;
    m_samples = 0;
    m_overruns = 0;
    m_deviceError = 0;
    m_stopRequested = false;
    try {
        m_block.assign(std::size_t(m_stream->PeriodFrames()) * m_blockAlign, 0);
        m_handler = std::move(handler);
        if (m_stream->Start() < 0) {
            m_handler = nullptr;
            return MMSYSERR_ERROR;
        }
        m_thread = std::thread(&WaveRecorder::CaptureLoop, this);
    } catch (const std::bad_alloc&) {
        m_handler = nullptr;
        return MMSYSERR_NOMEM;
    } catch (const std::system_error&) { // no thread could be made
        m_stream->Stop();
        m_handler = nullptr;
        return MMSYSERR_ERROR;
    }
    m_started = true;
    return MMSYSERR_NOERROR;
}

std::uint64_t WaveRecorder::Stop()
{
    if (t_capturingRecorder == this) {
        m_stopRequested = true;
        return m_samples.load();
    }
    std::lock_guard lock(m_controlMutex);
    StopLocked();
    return m_samples.load();
}

void WaveRecorder::StopLocked()
{
    if (!m_started)
        return;
    m_stopRequested = true;
    m_thread.join();
    m_started = false;
    m_handler = nullptr;
}

void WaveRecorder::Close()
{
    std::lock_guard lock(m_controlMutex);
    StopLocked();
    m_stream.reset();
    m_blockAlign = 0;
}

bool WaveRecorder::IsOpen() const
{
    std::lock_guard lock(m_controlMutex);
    return m_stream != nullptr;
}

bool WaveRecorder::IsRunning() const
{
    std::lock_guard lock(m_controlMutex);
    return m_started;
}

void WaveRecorder::CaptureLoop()
{
    t_capturingRecorder = this;
    const unsigned long period = m_stream->PeriodFrames();
    bool healthy = true;
    while (healthy && !m_stopRequested.load()) {
        long frames = 0;
        healthy = ReadBlock(period, frames) && (frames == 0 || Deliver(frames));
    }
    if (healthy) {
        // What the device captured up to the stop request is handed over too; at most one
        // buffer, so a device that never runs dry cannot keep the thread alive.
        unsigned long left = m_stream->BufferFrames();
        while (left > 0) {
            std::fill(m_block.begin(), m_block.end(), m_silence);
            const long frames = m_stream->Read(m_block.data(), std::min(left, period));
            if (frames <= 0 || frames > long(std::min(left, period)) || !Deliver(frames))
                break;
            left -= static_cast<unsigned long>(frames);
        }
    }
    m_stream->Stop();
    t_capturingRecorder = nullptr;
}

bool WaveRecorder::ReadBlock(unsigned long maxFrames, long& framesRead)
{
    framesRead = 0;
    // Devices without samples of their own (ALSA's null) leave the buffer untouched:
    // fresh silence keeps an earlier block from being handed over again.
    std::fill(m_block.begin(), m_block.end(), m_silence);
    long r = m_stream->Read(m_block.data(), maxFrames);
    if (r > long(maxFrames))
        r = -EIO; // more than asked for: the stream is broken
    if (r > 0) {
        framesRead = r;
        return true;
    }
    if (r == 0 || r == -EAGAIN) {
        const int waited = m_stream->Wait(kWaitMilliseconds);
        if (waited >= 0)
            return true;
        r = waited;
    }
    if (r == -EPIPE || r == -ESTRPIPE) {
        if (r == -EPIPE)
            ++m_overruns;
        const int recovered = m_stream->Recover(int(r));
        if (recovered >= 0)
            return true;
        r = recovered;
    }
    m_deviceError = int(r);
    return false;
}

bool WaveRecorder::Deliver(long frames)
{
    try {
        m_handler(m_block.data(), std::size_t(frames) * m_blockAlign, m_samples.load());
    } catch (...) {
        // A handler failure ends capturing; it must not take the process with it.
        m_deviceError = -ECANCELED;
        return false;
    }
    m_samples += std::uint64_t(frames);
    return true;
}

} // namespace vexol::platform::audio
