// A camera's snapshot button: the input device beside its video node that reports
// KEY_CAMERA. Found with the device manager (the input device under the same USB
// device) and read through the event library. Tests install a finder of their own.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace vexol::platform::capture::v4l2 {

class ButtonDevice
{
public:
    virtual ~ButtonDevice() = default;
    // Readable when events wait.
    virtual int Fd() const = 0;
    // Reads what waits, calling `changed` with each new state of the button. False when
    // the device has gone.
    virtual bool ReadEvents(const std::function<void(bool pressed)>& changed) = 0;
};

enum class ButtonState {
    None,         // the camera has no snapshot button
    Found,        // the button is read
    NotPermitted, // there is one, but the user may not read it
};

struct ButtonLookup
{
    ButtonState state = ButtonState::None;
    std::string node; // the input device, when there is one
    std::unique_ptr<ButtonDevice> device;
};

class ButtonFinder
{
public:
    virtual ~ButtonFinder() = default;
    virtual ButtonLookup Find(const std::string& videoNode) = 0;
};

std::shared_ptr<ButtonFinder> CurrentButtonFinder();
// Installs `finder` (null restores the system's).
void SetButtonFinderForTesting(std::shared_ptr<ButtonFinder> finder);

} // namespace vexol::platform::capture::v4l2
