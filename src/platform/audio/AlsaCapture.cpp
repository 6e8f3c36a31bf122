#include "platform/audio/AlsaCapture.h"

#include "platform/audio/WaveFormat.h"

#include <alsa/asoundlib.h>

#include <cerrno>
#include <mutex>

namespace vexol::platform::audio {
namespace {

constexpr unsigned kBufferMicroseconds = 500'000;
constexpr unsigned kPeriodMicroseconds = 50'000;

// ALSA prints every failed open to stderr. Asking absent or refusing devices is routine
// here and each failure is returned as a result, so the library's own reports are dropped.
void IgnoreAlsaReport(const char*, int, const char*, int, const char*, ...) {}

void SilenceAlsaReports()
{
    static std::once_flag once;
    std::call_once(once, [] { snd_lib_error_set_handler(IgnoreAlsaReport); });
}

struct HardwareLayout
{
    unsigned long periodFrames = 0;
    unsigned long bufferFrames = 0;
};

// Sets up and installs the hardware parameters for `format` (already validated), asking
// for ~50 ms blocks in a ~500 ms buffer: 0 or a negative errno. The query uses the same
// sizes as recording, so that its answer holds for it, and so that a device without
// limits (null) does not hand out a buffer of its largest size.
int InstallHardwareParams(snd_pcm_t* pcm, const WAVEFORMATEX& format, HardwareLayout& layout)
{
    snd_pcm_hw_params_t* params = nullptr;
    if (snd_pcm_hw_params_malloc(&params) < 0)
        return -ENOMEM;
    std::unique_ptr<snd_pcm_hw_params_t, decltype(&snd_pcm_hw_params_free)> owner(
        params, &snd_pcm_hw_params_free);

    const snd_pcm_format_t sampleFormat =
        format.wBitsPerSample == 8 ? SND_PCM_FORMAT_U8 : SND_PCM_FORMAT_S16_LE;
    int r = snd_pcm_hw_params_any(pcm, params);
    if (r >= 0)
        r = snd_pcm_hw_params_set_access(pcm, params, SND_PCM_ACCESS_RW_INTERLEAVED);
    if (r >= 0)
        r = snd_pcm_hw_params_set_format(pcm, params, sampleFormat);
    if (r >= 0)
        r = snd_pcm_hw_params_set_channels(pcm, params, format.nChannels);
    if (r >= 0)
        r = snd_pcm_hw_params_set_rate(pcm, params, format.nSamplesPerSec, 0);
    if (r < 0)
        return r;
    // Preferences only: a device that cannot meet them picks its own sizes.
    unsigned bufferTime = kBufferMicroseconds;
    unsigned periodTime = kPeriodMicroseconds;
    snd_pcm_hw_params_set_buffer_time_near(pcm, params, &bufferTime, nullptr);
    snd_pcm_hw_params_set_period_time_near(pcm, params, &periodTime, nullptr);
    r = snd_pcm_hw_params(pcm, params);
    if (r < 0)
        return r;
    snd_pcm_uframes_t period = 0;
    snd_pcm_uframes_t buffer = 0;
    snd_pcm_hw_params_get_period_size(params, &period, nullptr);
    snd_pcm_hw_params_get_buffer_size(params, &buffer);
    if (period == 0 || buffer < period)
        return -EINVAL;
    layout.periodFrames = period;
    layout.bufferFrames = buffer;
    return 0;
}

} // namespace

MMRESULT ResultForOpenError(int alsaError)
{
    switch (alsaError) {
    case -EBUSY:
    case -EAGAIN:
        return MMSYSERR_ALLOCATED;
    case -ENOMEM:
        return MMSYSERR_NOMEM;
    default:
        return MMSYSERR_NODRIVER;
    }
}

AlsaCapturePcm::AlsaCapturePcm(const std::string& device)
{
    SilenceAlsaReports();
    const int r = snd_pcm_open(&m_pcm, device.c_str(), SND_PCM_STREAM_CAPTURE, SND_PCM_NONBLOCK);
    if (r < 0) {
        m_pcm = nullptr;
        m_openResult = ResultForOpenError(r);
    } else {
        m_openResult = MMSYSERR_NOERROR;
    }
}

AlsaCapturePcm::~AlsaCapturePcm()
{
    if (m_pcm != nullptr)
        snd_pcm_close(m_pcm);
}

MMRESULT CaptureFormatProbe::Query(const WAVEFORMATEX& format)
{
    if (m_pcm.OpenResult() != MMSYSERR_NOERROR)
        return m_pcm.OpenResult();
    if (ValidatePcmFormat(&format) != MMSYSERR_NOERROR)
        return WAVERR_BADFORMAT;
    HardwareLayout layout;
    const int r = InstallHardwareParams(m_pcm.Get(), ReadPcmFields(&format), layout);
    snd_pcm_hw_free(m_pcm.Get()); // back to an unconfigured device for the next format
    return r < 0 ? WAVERR_BADFORMAT : MMSYSERR_NOERROR;
}

std::unique_ptr<AlsaCaptureStream>
AlsaCaptureStream::Open(const std::string& device, const WAVEFORMATEX& format, MMRESULT& result)
{
    std::unique_ptr<AlsaCaptureStream> stream(new AlsaCaptureStream(device));
    result = stream->m_pcm.OpenResult();
    if (result != MMSYSERR_NOERROR)
        return nullptr;
    if (ValidatePcmFormat(&format) != MMSYSERR_NOERROR) {
        result = WAVERR_BADFORMAT;
        return nullptr;
    }
    HardwareLayout layout;
    if (InstallHardwareParams(stream->m_pcm.Get(), ReadPcmFields(&format), layout) < 0) {
        result = WAVERR_BADFORMAT;
        return nullptr;
    }
    stream->m_periodFrames = layout.periodFrames;
    stream->m_bufferFrames = layout.bufferFrames;
    return stream;
}

int AlsaCaptureStream::Start()
{
    snd_pcm_t* pcm = m_pcm.Get();
    if (snd_pcm_state(pcm) != SND_PCM_STATE_PREPARED) {
        const int r = snd_pcm_prepare(pcm);
        if (r < 0)
            return r;
    }
    return snd_pcm_start(pcm);
}

long AlsaCaptureStream::Read(void* buffer, unsigned long frames)
{
    return long(snd_pcm_readi(m_pcm.Get(), buffer, frames));
}

int AlsaCaptureStream::Wait(int timeoutMs)
{
    return snd_pcm_wait(m_pcm.Get(), timeoutMs);
}

int AlsaCaptureStream::Recover(int error)
{
    const int r = snd_pcm_recover(m_pcm.Get(), error, 1);
    return r < 0 ? r : snd_pcm_start(m_pcm.Get());
}

void AlsaCaptureStream::Stop()
{
    snd_pcm_drop(m_pcm.Get());
}

} // namespace vexol::platform::audio
