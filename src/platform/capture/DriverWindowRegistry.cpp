#include "platform/capture/DriverWindowRegistry.h"

#include <mutex>
#include <unordered_map>

namespace vexol::platform::capture {

namespace {

struct Registry
{
    std::mutex mutex; // guards windows
    std::unordered_map<HWND, std::shared_ptr<DriverWindowState>> windows;
};

Registry& TheRegistry()
{
    static Registry* registry = new Registry; // lives to process exit, for late lookups
    return *registry;
}

} // namespace

void RegisterDriverWindow(HWND handle, std::shared_ptr<DriverWindowState> state)
{
    Registry& r = TheRegistry();
    std::lock_guard lock(r.mutex);
    r.windows[handle] = std::move(state);
}

void UnregisterDriverWindow(HWND handle)
{
    std::shared_ptr<DriverWindowState> removed;
    Registry& r = TheRegistry();
    std::lock_guard lock(r.mutex);
    auto it = r.windows.find(handle);
    if (it != r.windows.end()) {
        removed = std::move(it->second);
        r.windows.erase(it);
    }
}

std::shared_ptr<DriverWindowState> FindDriverWindow(HWND handle)
{
    if (!handle) {
        return nullptr;
    }
    Registry& r = TheRegistry();
    std::lock_guard lock(r.mutex);
    auto it = r.windows.find(handle);
    return it == r.windows.end() ? nullptr : it->second;
}

} // namespace vexol::platform::capture
