// PCM wave formats: checking a WAVEFORMATEX record, making one, and naming it for people.
#pragma once

#include "platform/WinTypes.h"
#include "platform/audio/MultimediaResults.h"
#include "platform/framework/Resources.h"

#include <string>

namespace vexol::platform::audio {

// Checks that `format` is a PCM record this layer can record: tag WAVE_FORMAT_PCM, at
// least one channel, 8 or 16 bits, a rate above zero, nBlockAlign = channels * bits / 8
// and nAvgBytesPerSec = rate * nBlockAlign. Null gives MMSYSERR_INVALPARAM, anything
// else that does not hold gives WAVERR_BADFORMAT. Reads only the first 16 bytes, because
// cbSize has no meaning for PCM and a caller may hand the 16-byte form.
MMRESULT ValidatePcmFormat(const WAVEFORMATEX* format);

// The first 16 bytes of `format` with cbSize 0; `format` must not be null.
WAVEFORMATEX ReadPcmFields(const WAVEFORMATEX* format);

// A consistent PCM record (cbSize 0).
WAVEFORMATEX MakePcmFormat(DWORD samplesPerSec, WORD bitsPerSample, WORD channels);

// Same tag, rate, bits and channels (the derived fields follow from them).
bool SamePcmFormat(const WAVEFORMATEX& a, const WAVEFORMATEX& b);

// "44,100 Hz, 16 Bit, Stereo" in the given language (UTF-8).
std::string DescribePcmFormat(const WAVEFORMATEX& format, res::Language language);

} // namespace vexol::platform::audio
