#include "AlsaTestDevices.h"

#include <cstdlib>
#include <fstream>

namespace vexol::test {

ScopedAlsaTestDevices::ScopedAlsaTestDevices()
{
    if (const char* previous = std::getenv("ALSA_CONFIG_PATH")) {
        m_previous = previous;
        m_hadPrevious = true;
    }
    WriteConfig();
}

ScopedAlsaTestDevices::~ScopedAlsaTestDevices()
{
    if (m_hadPrevious)
        ::setenv("ALSA_CONFIG_PATH", m_previous.c_str(), 1);
    else
        ::unsetenv("ALSA_CONFIG_PATH");
}

void ScopedAlsaTestDevices::AddFileCaptureDevice(const std::string& name,
                                                 const std::vector<std::uint8_t>& bytes)
{
    const std::string path = m_dir.filePath(QString::fromStdString(name + ".raw")).toStdString();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    m_extra += "pcm." + name + " { type file slave.pcm \"null\" file \"/dev/null\" infile \"" +
               path + "\" format \"raw\" }\n";
    WriteConfig();
}

void ScopedAlsaTestDevices::WriteConfig()
{
    // A new file name each time: ALSA notices a changed path for certain, a rewrite in
    // the same second perhaps not.
    const std::string path =
        m_dir.filePath(QStringLiteral("alsa-%1.conf").arg(++m_generation)).toStdString();
    std::ofstream(path)
        << "pcm.null { type null }\n"
           "pcm.vexol_mono_only { type multi slaves.a { pcm \"null\" channels 1 }"
           " bindings.0 { slave a channel 0 } }\n"
           "pcm.vexol_mulaw_only { type mulaw slave { pcm \"null\" format S16_LE } }\n"
        << m_extra;
    ::setenv("ALSA_CONFIG_PATH", path.c_str(), 1);
}

} // namespace vexol::test
