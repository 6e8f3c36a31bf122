// Wave input: the format query of waveInOpen, the device count, and the choice of the
// ALSA capture device that stands for "the wave input device".
//
// The device is ALSA "default" unless a name is set with SetWaveInputDevice or in the
// environment variable VEXOL_AUDIO_DEVICE (the call wins). Any ALSA PCM name works, e.g.
// "null", which records silence without hardware, or "hw:1,0".
#pragma once

#include "platform/WinTypes.h"
#include "platform/audio/MultimediaResults.h"

#include <string>

struct WaveInHandle; // never defined: this layer hands out no open wave input handles
using HWAVEIN = WaveInHandle*;

inline constexpr UINT WAVE_MAPPER = UINT(-1);

// waveInOpen flags.
inline constexpr DWORD WAVE_FORMAT_QUERY = 0x0001;
inline constexpr DWORD WAVE_ALLOWSYNC = 0x0002;
inline constexpr DWORD WAVE_MAPPED = 0x0004;
inline constexpr DWORD WAVE_FORMAT_DIRECT = 0x0008;
inline constexpr DWORD CALLBACK_TYPEMASK = 0x00070000;
inline constexpr DWORD CALLBACK_NULL = 0x00000000;
inline constexpr DWORD CALLBACK_WINDOW = 0x00010000;
inline constexpr DWORD CALLBACK_THREAD = 0x00020000;
inline constexpr DWORD CALLBACK_FUNCTION = 0x00030000;
inline constexpr DWORD CALLBACK_EVENT = 0x00050000;

// With WAVE_FORMAT_QUERY: asks the wave input device whether it can record `format`
// (PCM, 8 or 16 bits). Device WAVE_MAPPER or 0; `handle` may be null and, when given,
// is set to null. Answers MMSYSERR_NOERROR (it can), WAVERR_BADFORMAT (the device refuses
// the format, or the record is inconsistent), MMSYSERR_INVALPARAM (no format),
// MMSYSERR_BADDEVICEID (another device number), MMSYSERR_NODRIVER (no capture device),
// MMSYSERR_ALLOCATED (the device is busy), MMSYSERR_INVALFLAG (unknown flags). The callback
// arguments are not used. Opening for recording goes through vexol::platform::audio::WaveRecorder,
// so without WAVE_FORMAT_QUERY the answer is MMSYSERR_NOTSUPPORTED (MMSYSERR_INVALPARAM
// without a handle).
MMRESULT waveInOpen(HWAVEIN* handle, UINT deviceId, const WAVEFORMATEX* format, DWORD_PTR callback,
                    DWORD_PTR instance, DWORD flags);

// 1 when the wave input device can be opened for capture (or is busy), else 0.
UINT waveInGetNumDevs();

namespace vexol::platform::audio {

// Sets the ALSA capture device; an empty name returns to VEXOL_AUDIO_DEVICE or "default".
void SetWaveInputDevice(const std::string& alsaName);
// The ALSA name in use now.
std::string WaveInputDevice();
// True when the wave input device exists: it opens for capture or is busy.
bool WaveInputDeviceExists();

} // namespace vexol::platform::audio
