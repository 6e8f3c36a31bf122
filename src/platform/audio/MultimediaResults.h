// Result codes shared by the wave input and audio compression calls. Every call of the
// audio layer answers with one of these instead of throwing.
#pragma once

#include "platform/WinTypes.h"

#include <cstdint>

using MMRESULT = UINT;
using DWORD_PTR = std::uintptr_t;

inline constexpr MMRESULT MMSYSERR_NOERROR = 0;
inline constexpr MMRESULT MMSYSERR_ERROR = 1;       // unspecified failure
inline constexpr MMRESULT MMSYSERR_BADDEVICEID = 2; // no device with that number
inline constexpr MMRESULT MMSYSERR_ALLOCATED = 4;   // the device is busy
inline constexpr MMRESULT MMSYSERR_INVALHANDLE = 5;
inline constexpr MMRESULT MMSYSERR_NODRIVER = 6; // no device behind the configured name
inline constexpr MMRESULT MMSYSERR_NOMEM = 7;
inline constexpr MMRESULT MMSYSERR_NOTSUPPORTED = 8;
inline constexpr MMRESULT MMSYSERR_INVALFLAG = 10;
inline constexpr MMRESULT MMSYSERR_INVALPARAM = 11;

inline constexpr MMRESULT WAVERR_BADFORMAT = 32;    // the device cannot record the format
inline constexpr MMRESULT WAVERR_STILLPLAYING = 33; // already running

inline constexpr MMRESULT ACMERR_NOTPOSSIBLE = 512; // e.g. the format buffer is too small
inline constexpr MMRESULT ACMERR_CANCELED = 513;
