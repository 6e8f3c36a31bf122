// Capture devices that need no sound card, for tests of the audio layer and of recording.
//
// ALSA reads its configuration from the file named in ALSA_CONFIG_PATH instead of the
// system's alsa.conf (and the user's ~/.asoundrc) when that variable is set; the library
// looks at it again on every open and reloads when the named file changes. While a
// ScopedAlsaTestDevices lives, ALSA sees only a private file with these devices:
//   "null"              records silence in every format, as fast as it is read
//   "vexol_mono_only"   like null, but one channel only
//   "vexol_mulaw_only"  accepts only mu-law samples: refuses every PCM format
// plus any definitions the test adds (see FileCaptureDevice). "default" is not defined,
// so the machine's own sound hardware never takes part.
#pragma once

#include <QTemporaryDir>

#include <cstdint>
#include <string>
#include <vector>

namespace vexol::test {

inline constexpr char kNullDevice[] = "null";
inline constexpr char kMonoOnlyDevice[] = "vexol_mono_only";
inline constexpr char kMuLawOnlyDevice[] = "vexol_mulaw_only";
inline constexpr char kMissingDevice[] = "vexol_missing";

class ScopedAlsaTestDevices
{
public:
    ScopedAlsaTestDevices();
    ~ScopedAlsaTestDevices(); // restores ALSA_CONFIG_PATH
    ScopedAlsaTestDevices(const ScopedAlsaTestDevices&) = delete;
    ScopedAlsaTestDevices& operator=(const ScopedAlsaTestDevices&) = delete;

    // Defines device `name` that records `bytes` (raw interleaved samples in whatever
    // format is opened) and silence after them.
    void AddFileCaptureDevice(const std::string& name, const std::vector<std::uint8_t>& bytes);

private:
    void WriteConfig();

    QTemporaryDir m_dir;
    std::string m_extra;
    int m_generation = 0;
    std::string m_previous;
    bool m_hadPrevious = false;
};

} // namespace vexol::test
