// The installed capture drivers, in index order: V4L2 cameras first (once their driver
// exists), then the built-in test-pattern camera, then the built-in shutter-switch
// camera. With no camera attached the test-pattern camera is index 0.
#pragma once

#include "platform/capture/CaptureDriver.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vexol::platform::capture {

struct InstalledDriver
{
    std::string name;    // at most 99 bytes
    std::string version; // at most 99 bytes
    std::function<std::unique_ptr<CaptureDriver>()> create;
};

// The drivers installed now, at most MAXVIDDRIVERS of them. Devices are looked up on
// every call, so a camera plugged in later appears in the next list.
std::vector<InstalledDriver> InstalledDrivers();

// The built-in cameras alone, in their order.
std::vector<InstalledDriver> BuiltInDrivers();

// Replaces the installed list (for tests); std::nullopt restores the real one.
void SetInstalledDriversForTesting(std::optional<std::vector<InstalledDriver>> drivers);

} // namespace vexol::platform::capture
