// The installed capture drivers, in index order: V4L2 cameras first, then the built-in
// test-pattern camera, then the built-in shutter-switch camera. With no camera attached
// the test-pattern camera is index 0.
#pragma once

#include "platform/capture/CaptureDriver.h"

#include <QObject>
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
    std::string devicePath; // a camera's device node; empty for the built-in cameras
};

// The drivers installed now, at most MAXVIDDRIVERS of them. Devices are looked up on
// every call, so a camera plugged in later appears in the next list.
std::vector<InstalledDriver> InstalledDrivers();

// The built-in cameras alone, in their order.
std::vector<InstalledDriver> BuiltInDrivers();

// Calls `changed` on the calling (UI) thread after cameras came or went, until the
// returned object is destroyed.
std::unique_ptr<QObject> WatchInstalledDrivers(std::function<void()> changed);

// Replaces the installed list (for tests); std::nullopt restores the real one.
void SetInstalledDriversForTesting(std::optional<std::vector<InstalledDriver>> drivers);

} // namespace vexol::platform::capture
