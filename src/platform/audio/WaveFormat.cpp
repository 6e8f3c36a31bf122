#include "platform/audio/WaveFormat.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace vexol::platform::audio {

WAVEFORMATEX ReadPcmFields(const WAVEFORMATEX* format)
{
    WAVEFORMATEX fields{};
    std::memcpy(&fields, format, offsetof(WAVEFORMATEX, cbSize));
    return fields;
}

MMRESULT ValidatePcmFormat(const WAVEFORMATEX* format)
{
    if (format == nullptr)
        return MMSYSERR_INVALPARAM;
    const WAVEFORMATEX f = ReadPcmFields(format);
    if (f.wFormatTag != WAVE_FORMAT_PCM || f.nChannels == 0 || f.nSamplesPerSec == 0)
        return WAVERR_BADFORMAT;
    if (f.wBitsPerSample != 8 && f.wBitsPerSample != 16)
        return WAVERR_BADFORMAT;
    // 64-bit arithmetic: a huge channel count or rate must not wrap into a match.
    const std::uint64_t blockAlign = std::uint64_t(f.nChannels) * f.wBitsPerSample / 8;
    if (f.nBlockAlign != blockAlign)
        return WAVERR_BADFORMAT;
    if (f.nAvgBytesPerSec != std::uint64_t(f.nSamplesPerSec) * blockAlign)
        return WAVERR_BADFORMAT;
    return MMSYSERR_NOERROR;
}

WAVEFORMATEX MakePcmFormat(DWORD samplesPerSec, WORD bitsPerSample, WORD channels)
{
    WAVEFORMATEX f{};
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = channels;
    f.nSamplesPerSec = samplesPerSec;
    f.wBitsPerSample = bitsPerSample;
    f.nBlockAlign = WORD(channels * bitsPerSample / 8);
    f.nAvgBytesPerSec = samplesPerSec * f.nBlockAlign;
    f.cbSize = 0;
    return f;
}

bool SamePcmFormat(const WAVEFORMATEX& a, const WAVEFORMATEX& b)
{
    return a.wFormatTag == b.wFormatTag && a.nChannels == b.nChannels &&
           a.nSamplesPerSec == b.nSamplesPerSec && a.wBitsPerSample == b.wBitsPerSample;
}

namespace {

// 44100 -> "44,100"
std::string WithThousands(DWORD value)
{
    std::string digits = std::to_string(value);
    for (int at = int(digits.size()) - 3; at > 0; at -= 3)
        digits.insert(std::size_t(at), ",");
    return digits;
}

} // namespace

std::string DescribePcmFormat(const WAVEFORMATEX& format, res::Language language)
{
    const bool japanese = language == res::Language::Japanese;
    std::string text = WithThousands(format.nSamplesPerSec) + " Hz, " +
                       std::to_string(format.wBitsPerSample) + (japanese ? " ビット, " : " Bit, ");
    if (format.nChannels == 1)
        text += japanese ? "モノラル" : "Mono";
    else if (format.nChannels == 2)
        text += japanese ? "ステレオ" : "Stereo";
    else
        text += std::to_string(format.nChannels) + (japanese ? " チャンネル" : " Channels");
    return text;
}

} // namespace vexol::platform::audio
