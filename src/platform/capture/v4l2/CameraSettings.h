// The format and control values a user chose for one camera, kept in the settings hive
// under Software\Torvane\Vexol\Cameras\<card> [<bus>], so that the same camera in the
// same socket comes back as it was left.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace vexol::platform::capture::v4l2 {

struct CameraSettings
{
    std::uint32_t fourcc = 0; // 0: nothing stored
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint32_t intervalNumerator = 0;
    std::uint32_t intervalDenominator = 0;
    bool pl41 = false;
    std::map<std::uint32_t, std::int32_t> controls; // control id -> value

    bool operator==(const CameraSettings&) const = default;
};

// The key below HKEY_LOCAL_MACHINE for a camera.
std::string CameraSettingsKey(const std::string& card, const std::string& bus);
CameraSettings LoadCameraSettings(const std::string& card, const std::string& bus);
// False when the hive cannot be written (the camera works all the same).
bool SaveCameraSettings(const std::string& card, const std::string& bus,
                        const CameraSettings& settings);

} // namespace vexol::platform::capture::v4l2
