#include "platform/capture/DriverRegistry.h"

#include "platform/capture/ShutterSwitchDriver.h"
#include "platform/capture/TestPatternDriver.h"

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
        // V4L2 cameras (/dev/video*) join the list here, ahead of the built-in cameras,
        // when their driver is added.
        std::vector<InstalledDriver> builtIn = BuiltInDrivers();
        drivers.insert(drivers.end(), builtIn.begin(), builtIn.end());
    }
    if (drivers.size() > MAXVIDDRIVERS) {
        drivers.resize(MAXVIDDRIVERS);
    }
    return drivers;
}

void SetInstalledDriversForTesting(std::optional<std::vector<InstalledDriver>> drivers)
{
    std::lock_guard lock(g_overrideMutex);
    g_override = std::move(drivers);
}

} // namespace vexol::platform::capture
