#include "platform/audio/WaveFormat.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace vexol::platform::audio {
namespace {

TEST(WaveFormatValidation, Table)
{
    struct Case
    {
        WORD tag, channels;
        DWORD rate, bytesPerSec;
        WORD blockAlign, bits;
        MMRESULT expected;
    };
    const Case cases[] = {
        {1, 2, 44100, 176400, 4, 16, MMSYSERR_NOERROR},
        {1, 1, 8000, 8000, 1, 8, MMSYSERR_NOERROR},
        {2, 2, 44100, 176400, 4, 16, WAVERR_BADFORMAT}, // not PCM
        {1, 0, 44100, 0, 0, 16, WAVERR_BADFORMAT},      // no channels
        {1, 2, 44100, 264600, 6, 24, WAVERR_BADFORMAT}, // 24 bits
        {1, 2, 0, 0, 4, 16, WAVERR_BADFORMAT},          // rate 0
        {1, 2, 44100, 88200, 2, 16, WAVERR_BADFORMAT},  // block align off
        {1, 2, 44100, 176401, 4, 16, WAVERR_BADFORMAT}, // bytes per second off
        // 65535 channels * 2 bytes wraps to 65534 in the 16-bit block align.
        {1, 0xFFFF, 8000, 8000u * 0xFFFE, 0xFFFE, 16, WAVERR_BADFORMAT},
        // 2^31 * 4 wraps to 0 in 32 bits.
        {1, 2, 0x80000000u, 0, 4, 16, WAVERR_BADFORMAT},
    };
    for (const Case& c : cases) {
        // cbSize 22 throughout: it has no meaning for PCM.
        const WAVEFORMATEX f{c.tag, c.channels, c.rate, c.bytesPerSec, c.blockAlign, c.bits, 22};
        EXPECT_EQ(ValidatePcmFormat(&f), c.expected) << &c - cases;
    }
    EXPECT_EQ(ValidatePcmFormat(nullptr), MMSYSERR_INVALPARAM);
}

TEST(WaveFormatValidation, ReadsOnlyTheSixteenBytesOfAShortPcmRecord)
{
    const WAVEFORMATEX full = MakePcmFormat(22050, 8, 2);
    std::vector<BYTE> shortRecord(16); // the sanitizer build catches a read past it
    std::memcpy(shortRecord.data(), &full, 16);
    const auto* format = reinterpret_cast<const WAVEFORMATEX*>(shortRecord.data());
    EXPECT_EQ(ValidatePcmFormat(format), MMSYSERR_NOERROR);
    EXPECT_TRUE(SamePcmFormat(ReadPcmFields(format), full));
}

} // namespace
} // namespace vexol::platform::audio
