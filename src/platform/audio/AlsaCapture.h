// The ALSA side of wave input: opening a capture device, asking it about formats and
// reading from it. Only this layer includes the ALSA headers.
#pragma once

#include "platform/WinTypes.h"
#include "platform/audio/CaptureStream.h"
#include "platform/audio/MultimediaResults.h"

#include <memory>
#include <string>

typedef struct _snd_pcm snd_pcm_t;

namespace vexol::platform::audio {

// The result for a failed snd_pcm_open: MMSYSERR_ALLOCATED when the device is busy,
// MMSYSERR_NOMEM, else MMSYSERR_NODRIVER (no such name, no card, unusable definition).
MMRESULT ResultForOpenError(int alsaError);

// A capture PCM opened non-blocking; closes it when destroyed.
class AlsaCapturePcm
{
public:
    explicit AlsaCapturePcm(const std::string& device);
    ~AlsaCapturePcm();
    AlsaCapturePcm(const AlsaCapturePcm&) = delete;
    AlsaCapturePcm& operator=(const AlsaCapturePcm&) = delete;

    MMRESULT OpenResult() const { return m_openResult; }
    snd_pcm_t* Get() const { return m_pcm; }

private:
    snd_pcm_t* m_pcm = nullptr;
    MMRESULT m_openResult = MMSYSERR_NODRIVER;
};

// Asks one capture device which formats it can record: the device is opened once, then
// each format is set up in full (interleaved access, sample format, channels, exact rate)
// and released again.
class CaptureFormatProbe
{
public:
    explicit CaptureFormatProbe(const std::string& device) : m_pcm(device) {}

    // MMSYSERR_NOERROR when the device is open and can record `format`; WAVERR_BADFORMAT
    // when it refuses it (or `format` is not valid PCM); the open failure otherwise.
    MMRESULT Query(const WAVEFORMATEX& format);
    MMRESULT OpenResult() const { return m_pcm.OpenResult(); }

private:
    AlsaCapturePcm m_pcm;
};

// A capture stream on an ALSA device, set up for one format with blocks of about 50 ms
// in a buffer of about 500 ms.
class AlsaCaptureStream final : public CaptureStream
{
public:
    // Opens `device` in `format`. On failure returns null and sets `result` as
    // CaptureFormatProbe::Query would.
    static std::unique_ptr<AlsaCaptureStream> Open(const std::string& device,
                                                   const WAVEFORMATEX& format, MMRESULT& result);

    int Start() override;
    long Read(void* buffer, unsigned long frames) override;
    int Wait(int timeoutMs) override;
    int Recover(int error) override;
    void Stop() override;
    unsigned long PeriodFrames() const override { return m_periodFrames; }
    unsigned long BufferFrames() const override { return m_bufferFrames; }

private:
    explicit AlsaCaptureStream(const std::string& device) : m_pcm(device) {}

    AlsaCapturePcm m_pcm;
    unsigned long m_periodFrames = 0;
    unsigned long m_bufferFrames = 0;
};

} // namespace vexol::platform::audio
