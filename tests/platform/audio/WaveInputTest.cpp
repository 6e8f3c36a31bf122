#include "platform/audio/WaveInput.h"
#include "platform/audio/WaveFormat.h"
#include "support/AlsaTestDevices.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace vexol::platform::audio {
namespace {

class WaveInputTest : public ::testing::Test
{
protected:
    ~WaveInputTest() override { SetWaveInputDevice(""); }
    test::ScopedAlsaTestDevices devices;
};

TEST_F(WaveInputTest, QueryAnswersWhatTheDeviceCanRecord)
{
    struct Case
    {
        const char* device;
        WAVEFORMATEX format;
        MMRESULT expected;
    };
    const Case cases[] = {
        {test::kNullDevice, MakePcmFormat(44100, 16, 2), MMSYSERR_NOERROR},
        {test::kNullDevice, MakePcmFormat(8000, 8, 1), MMSYSERR_NOERROR},
        {test::kMonoOnlyDevice, MakePcmFormat(22050, 16, 1), MMSYSERR_NOERROR},
        {test::kMonoOnlyDevice, MakePcmFormat(22050, 16, 2), WAVERR_BADFORMAT},
        {test::kMuLawOnlyDevice, MakePcmFormat(8000, 8, 1), WAVERR_BADFORMAT},
        {test::kMuLawOnlyDevice, MakePcmFormat(8000, 16, 1), WAVERR_BADFORMAT},
        {test::kMissingDevice, MakePcmFormat(44100, 16, 2), MMSYSERR_NODRIVER},
        {"default", MakePcmFormat(44100, 16, 2), MMSYSERR_NODRIVER}, // no sound card here
    };
    for (const Case& c : cases) {
        SetWaveInputDevice(c.device);
        EXPECT_EQ(waveInOpen(nullptr, WAVE_MAPPER, &c.format, 0, 0, WAVE_FORMAT_QUERY), c.expected)
            << c.device << " " << c.format.nChannels;
    }
}

TEST_F(WaveInputTest, ArgumentsAreCheckedBeforeTheDevice)
{
    SetWaveInputDevice(test::kMissingDevice);
    WAVEFORMATEX good = MakePcmFormat(44100, 16, 2);
    WAVEFORMATEX bad = good;
    bad.nBlockAlign = 3;
    EXPECT_EQ(waveInOpen(nullptr, WAVE_MAPPER, &bad, 0, 0, WAVE_FORMAT_QUERY), WAVERR_BADFORMAT);
    EXPECT_EQ(waveInOpen(nullptr, WAVE_MAPPER, nullptr, 0, 0, WAVE_FORMAT_QUERY),
              MMSYSERR_INVALPARAM);
    EXPECT_EQ(waveInOpen(nullptr, 1, &good, 0, 0, WAVE_FORMAT_QUERY), MMSYSERR_BADDEVICEID);
    for (DWORD badFlags : {0x100u, 0x40000u, 0x70000u})
        EXPECT_EQ(waveInOpen(nullptr, 0, &good, 0, 0, WAVE_FORMAT_QUERY | badFlags),
                  MMSYSERR_INVALFLAG);
    EXPECT_EQ(waveInOpen(nullptr, WAVE_MAPPER, &good, 0, 0, CALLBACK_NULL), MMSYSERR_INVALPARAM);

    SetWaveInputDevice(test::kNullDevice);
    auto handle = reinterpret_cast<HWAVEIN>(&good);
    EXPECT_EQ(waveInOpen(&handle, 0, &good, 0, 0, WAVE_FORMAT_QUERY | CALLBACK_FUNCTION),
              MMSYSERR_NOERROR);
    EXPECT_EQ(handle, nullptr);
    handle = reinterpret_cast<HWAVEIN>(&good);
    EXPECT_EQ(waveInOpen(&handle, 0, &good, 0, 0, CALLBACK_NULL), MMSYSERR_NOTSUPPORTED);
    EXPECT_EQ(handle, nullptr);
}

TEST_F(WaveInputTest, DeviceNameComesFromTheCallThenTheEnvironmentThenDefault)
{
    ::setenv("VEXOL_AUDIO_DEVICE", test::kNullDevice, 1);
    EXPECT_EQ(WaveInputDevice(), test::kNullDevice);
    EXPECT_TRUE(WaveInputDeviceExists());
    EXPECT_EQ(waveInGetNumDevs(), 1u);
    SetWaveInputDevice(test::kMissingDevice);
    EXPECT_EQ(WaveInputDevice(), test::kMissingDevice);
    EXPECT_EQ(waveInGetNumDevs(), 0u);
    SetWaveInputDevice("");
    ::unsetenv("VEXOL_AUDIO_DEVICE");
    EXPECT_EQ(WaveInputDevice(), "default");
    EXPECT_FALSE(WaveInputDeviceExists()); // "default" is not defined for tests
}

} // namespace
} // namespace vexol::platform::audio
