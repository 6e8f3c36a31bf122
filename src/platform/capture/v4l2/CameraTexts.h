// The camera driver's texts for the error callback, in the user's language (UTF-8).
#pragma once

#include "platform/framework/Resources.h"

#include <string>

namespace vexol::platform::capture::v4l2::texts {

using res::Language;

// Why connecting or streaming failed, from the errno of the failing call. `camera` is
// the camera's name.
std::string OpenFailed(Language language, const std::string& camera, int error);
std::string StreamFailed(Language language, const std::string& camera, int error);
std::string Disconnected(Language language, const std::string& camera);

} // namespace vexol::platform::capture::v4l2::texts
