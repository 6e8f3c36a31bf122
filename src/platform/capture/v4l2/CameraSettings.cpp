#include "platform/capture/v4l2/CameraSettings.h"

#include "platform/registry/Registry.h"

#include <cstdio>
#include <vector>

namespace vexol::platform::capture::v4l2 {

namespace {

constexpr const char* kCamerasKey = "Software\\Torvane\\Vexol\\Cameras\\";
constexpr const char* kControlPrefix = "Control ";

class Key
{
public:
    ~Key()
    {
        if (m_key) {
            RegCloseKey(m_key);
        }
    }
    HKEY* Out() { return &m_key; }
    HKEY Get() const { return m_key; }

private:
    HKEY m_key = nullptr;
};

std::optional<DWORD> ReadDword(HKEY key, const char* name)
{
    DWORD type = 0, value = 0, size = sizeof value;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof value) {
        return std::nullopt;
    }
    return value;
}

bool WriteDword(HKEY key, const char* name, DWORD value)
{
    return RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                          sizeof value) == ERROR_SUCCESS;
}

std::string ControlValueName(std::uint32_t id)
{
    char name[32];
    std::snprintf(name, sizeof name, "%s%08X", kControlPrefix, unsigned(id));
    return name;
}

// The ids of the stored controls, so that only those values are read back.
constexpr const char* kControlList = "Controls";

} // namespace

std::string CameraSettingsKey(const std::string& card, const std::string& bus)
{
    // One key name: no backslashes or line breaks, at most 255 bytes.
    std::string name = card + " [" + bus + "]";
    for (char& c : name) {
        if (c == '\\' || c == '\n' || c == '\r') {
            c = '/';
        }
    }
    if (name.size() > 255) {
        name.resize(255);
    }
    return kCamerasKey + name;
}

CameraSettings LoadCameraSettings(const std::string& card, const std::string& bus)
{
    CameraSettings s;
    Key key;
    if (RegOpenKeyA(HKEY_LOCAL_MACHINE, CameraSettingsKey(card, bus).c_str(), key.Out()) !=
        ERROR_SUCCESS) {
        return s;
    }
    const auto fourcc = ReadDword(key.Get(), "PixelFormat");
    const auto width = ReadDword(key.Get(), "Width");
    const auto height = ReadDword(key.Get(), "Height");
    if (fourcc && width && height) {
        s.fourcc = *fourcc;
        s.width = *width;
        s.height = *height;
        s.intervalNumerator = ReadDword(key.Get(), "IntervalNumerator").value_or(0);
        s.intervalDenominator = ReadDword(key.Get(), "IntervalDenominator").value_or(0);
        s.pl41 = ReadDword(key.Get(), "PL41").value_or(0) != 0;
    }
    DWORD type = 0, size = 0;
    if (RegQueryValueExA(key.Get(), kControlList, nullptr, &type, nullptr, &size) ==
            ERROR_SUCCESS &&
        type == REG_BINARY && size % 4 == 0 && size <= 4096) {
        std::vector<std::uint32_t> ids(size / 4);
        if (RegQueryValueExA(key.Get(), kControlList, nullptr, &type,
                             reinterpret_cast<BYTE*>(ids.data()), &size) == ERROR_SUCCESS) {
            for (std::uint32_t id : ids) {
                if (const auto value = ReadDword(key.Get(), ControlValueName(id).c_str())) {
                    s.controls[id] = std::int32_t(*value);
                }
            }
        }
    }
    return s;
}

bool SaveCameraSettings(const std::string& card, const std::string& bus,
                        const CameraSettings& settings)
{
    if (LoadCameraSettings(card, bus) == settings) {
        return true; // nothing changed: the hive is not rewritten
    }
    Key key;
    if (RegCreateKeyA(HKEY_LOCAL_MACHINE, CameraSettingsKey(card, bus).c_str(), key.Out()) !=
        ERROR_SUCCESS) {
        return false;
    }
    bool ok = true;
    if (settings.fourcc != 0) {
        ok = WriteDword(key.Get(), "PixelFormat", settings.fourcc) &&
             WriteDword(key.Get(), "Width", settings.width) &&
             WriteDword(key.Get(), "Height", settings.height) &&
             WriteDword(key.Get(), "IntervalNumerator", settings.intervalNumerator) &&
             WriteDword(key.Get(), "IntervalDenominator", settings.intervalDenominator) &&
             WriteDword(key.Get(), "PL41", settings.pl41 ? 1 : 0);
    }
    std::vector<std::uint32_t> ids;
    for (const auto& [id, value] : settings.controls) {
        ids.push_back(id);
        ok = ok && WriteDword(key.Get(), ControlValueName(id).c_str(), DWORD(value));
    }
    ok = ok && RegSetValueExA(key.Get(), kControlList, 0, REG_BINARY,
                              reinterpret_cast<const BYTE*>(ids.data()),
                              DWORD(ids.size() * sizeof(std::uint32_t))) == ERROR_SUCCESS;
    return ok;
}

} // namespace vexol::platform::capture::v4l2
