#include "platform/capture/DriverRegistry.h"

#include "platform/capture/ShutterSwitchDriver.h"
#include "platform/capture/TestPatternDriver.h"
#include "platform/capture/v4l2/CameraList.h"

#include <mutex>

namespace vexol::platform::capture {

namespace {

std::mutex g_overrideMutex; // guards g_override
std::optional<std::vector<InstalledDriver>> g_override;

} // namespace

std::vector<InstalledDriver> BuiltInDrivers()
{
    return {
        {TestPatternDriver::kName, TestPatternDriver::kVersion,
         [] { return std::make_unique<TestPatternDriver>(); }},
        {ShutterSwitchDriver::kName, ShutterSwitchDriver::kVersion,
         [] { return std::make_unique<ShutterSwitchDriver>(); }},
    };
}

std::vector<InstalledDriver> InstalledDrivers()
{
    std::vector<InstalledDriver> drivers;
    bool overridden = false;
    {
        std::lock_guard lock(g_overrideMutex);
        if (g_override) {
            drivers = *g_override;
            overridden = true;
        }
    }
    if (!overridden) {
        drivers = v4l2::CameraDrivers();
        std::vector<InstalledDriver> builtIn = BuiltInDrivers();
        drivers.insert(drivers.end(), builtIn.begin(), builtIn.end());
    }
    if (drivers.size() > MAXVIDDRIVERS) {
        drivers.resize(MAXVIDDRIVERS);
    }
    return drivers;
}

std::unique_ptr<QObject> WatchInstalledDrivers(std::function<void()> changed)
{
    return v4l2::WatchCameras(std::move(changed));
}

void SetInstalledDriversForTesting(std::optional<std::vector<InstalledDriver>> drivers)
{
    std::lock_guard lock(g_overrideMutex);
    g_override = std::move(drivers);
}

} // namespace vexol::platform::capture
