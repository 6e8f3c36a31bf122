#include "platform/audio/WaveInput.h"

#include "platform/audio/AlsaCapture.h"
#include "platform/audio/WaveFormat.h"

#include <cstdlib>
#include <mutex>

namespace vexol::platform::audio {
namespace {

// Guards the device name set by SetWaveInputDevice, which any thread may read.
std::mutex g_deviceMutex;
std::string g_deviceName; // empty: not set by a call

constexpr DWORD kKnownOpenFlags =
    WAVE_FORMAT_QUERY | WAVE_ALLOWSYNC | WAVE_MAPPED | WAVE_FORMAT_DIRECT | CALLBACK_TYPEMASK;

} // namespace

void SetWaveInputDevice(const std::string& alsaName)
{
    std::lock_guard lock(g_deviceMutex);
    g_deviceName = alsaName;
}

std::string WaveInputDevice()
{
    {
        std::lock_guard lock(g_deviceMutex);
        if (!g_deviceName.empty())
            return g_deviceName;
    }
    const char* fromEnvironment = std::getenv("VEXOL_AUDIO_DEVICE");
    if (fromEnvironment != nullptr && *fromEnvironment != '\0')
        return fromEnvironment;
    return "default";
}

bool WaveInputDeviceExists()
{
    const MMRESULT r = AlsaCapturePcm(WaveInputDevice()).OpenResult();
    return r == MMSYSERR_NOERROR || r == MMSYSERR_ALLOCATED;
}

} // namespace vexol::platform::audio

MMRESULT waveInOpen(HWAVEIN* handle, UINT deviceId, const WAVEFORMATEX* format, DWORD_PTR,
                    DWORD_PTR, DWORD flags)
{
    using namespace vexol::platform::audio;
    if ((flags & ~kKnownOpenFlags) != 0)
        return MMSYSERR_INVALFLAG;
    if ((flags & CALLBACK_TYPEMASK) == 0x00040000 || (flags & CALLBACK_TYPEMASK) > CALLBACK_EVENT)
        return MMSYSERR_INVALFLAG; // not a callback kind
    if (handle != nullptr)
        *handle = nullptr;
    if ((flags & WAVE_FORMAT_QUERY) == 0)
        return handle == nullptr ? MMSYSERR_INVALPARAM : MMSYSERR_NOTSUPPORTED;
    if (deviceId != WAVE_MAPPER && deviceId != 0)
        return MMSYSERR_BADDEVICEID;
    const MMRESULT valid = ValidatePcmFormat(format);
    if (valid != MMSYSERR_NOERROR)
        return valid;
    return CaptureFormatProbe(WaveInputDevice()).Query(ReadPcmFields(format));
}

UINT waveInGetNumDevs()
{
    return vexol::platform::audio::WaveInputDeviceExists() ? 1 : 0;
}
