// The cameras attached now, as installed drivers; a description of one camera for
// `vexol-cap probe`; and a watch on the device manager for cameras that come and go.
#pragma once

#include "platform/capture/DriverRegistry.h"

#include <QObject>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vexol::platform::capture::v4l2 {

// One driver per node that captures video by streaming, in node order. A node the user
// may not open, or one in use, is listed too (connecting it then says why it fails).
std::vector<InstalledDriver> CameraDrivers();

// The camera at `node`: identity, formats with sizes and frame rates, controls with
// their ranges, defaults, values and menus, and the snapshot button. An error text when
// it cannot be opened.
std::string DescribeCamera(const std::string& node);

// Calls `changed` on the thread that made it (a Qt thread) after cameras came or went,
// once per burst of device events, until it is destroyed.
std::unique_ptr<QObject> WatchCameras(std::function<void()> changed);

// Makes every live watch report a change, as the device manager would (tests).
void NotifyCamerasChangedForTesting();

} // namespace vexol::platform::capture::v4l2
