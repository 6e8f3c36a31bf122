#include "platform/capture/v4l2/SnapshotButton.h"

#include <cerrno>
#include <fcntl.h>
#include <libevdev/libevdev.h>
#include <libudev.h>
#include <mutex>
#include <string>
#include <unistd.h>

namespace vexol::platform::capture::v4l2 {

namespace {

class EvdevButton : public ButtonDevice
{
public:
    EvdevButton(int fd, libevdev* device) : m_fd(fd), m_device(device) {}
    ~EvdevButton() override
    {
        libevdev_free(m_device);
        ::close(m_fd);
    }
    int Fd() const override { return m_fd; }

    bool ReadEvents(const std::function<void(bool)>& changed) override
    {
        unsigned flags = LIBEVDEV_READ_FLAG_NORMAL;
        for (;;) {
            input_event event{};
            const int result = libevdev_next_event(m_device, flags, &event);
            if (result == -EAGAIN) {
                if (flags == LIBEVDEV_READ_FLAG_SYNC) {
                    flags = LIBEVDEV_READ_FLAG_NORMAL; // resynchronised
                    continue;
                }
                return true;
            }
            if (result < 0) {
                return result != -ENODEV;
            }
            if (result == LIBEVDEV_READ_STATUS_SYNC) {
                flags = LIBEVDEV_READ_FLAG_SYNC; // events were lost: catch up with the state
            }
            if (event.type == EV_KEY && event.code == KEY_CAMERA && event.value != 2) {
                changed(event.value != 0);
            }
        }
    }

private:
    int m_fd;
    libevdev* m_device;
};

// The USB device a device belongs to, as a system path; empty when none.
std::string UsbParent(udev_device* device)
{
    udev_device* usb = udev_device_get_parent_with_subsystem_devtype(device, "usb", "usb_device");
    const char* path = usb ? udev_device_get_syspath(usb) : nullptr;
    return path ? path : "";
}

class SystemButtonFinder : public ButtonFinder
{
public:
    ButtonLookup Find(const std::string& videoNode) override
    {
        ButtonLookup lookup;
        udev* context = udev_new();
        if (!context) {
            return lookup;
        }
        const std::string name = videoNode.substr(videoNode.find_last_of('/') + 1);
        udev_device* video =
            udev_device_new_from_subsystem_sysname(context, "video4linux", name.c_str());
        const std::string usb = video ? UsbParent(video) : std::string();
        if (video) {
            udev_device_unref(video);
        }
        if (!usb.empty()) {
            Search(context, usb, lookup);
        }
        udev_unref(context);
        return lookup;
    }

private:
    static void Search(udev* context, const std::string& usb, ButtonLookup& lookup)
    {
        udev_enumerate* e = udev_enumerate_new(context);
        if (!e) {
            return;
        }
        udev_enumerate_add_match_subsystem(e, "input");
        udev_enumerate_scan_devices(e);
        udev_list_entry* entry = nullptr;
        udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(e))
        {
            if (lookup.state == ButtonState::Found) {
                break;
            }
            udev_device* input =
                udev_device_new_from_syspath(context, udev_list_entry_get_name(entry));
            if (!input) {
                continue;
            }
            const char* node = udev_device_get_devnode(input);
            const char* sysname = udev_device_get_sysname(input);
            if (node && sysname && std::string(sysname).rfind("event", 0) == 0 &&
                UsbParent(input) == usb) {
                Try(node, lookup);
            }
            udev_device_unref(input);
        }
        udev_enumerate_unref(e);
    }

    static void Try(const char* node, ButtonLookup& lookup)
    {
        const int fd = ::open(node, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            if (errno == EACCES || errno == EPERM) {
                lookup.state = ButtonState::NotPermitted;
                lookup.node = node;
            }
            return;
        }
        libevdev* device = nullptr;
        if (libevdev_new_from_fd(fd, &device) != 0) {
            ::close(fd);
            return;
        }
        if (!libevdev_has_event_code(device, EV_KEY, KEY_CAMERA)) {
            libevdev_free(device);
            ::close(fd);
            return;
        }
        lookup.state = ButtonState::Found;
        lookup.node = node;
        lookup.device = std::make_unique<EvdevButton>(fd, device);
    }
};

std::mutex g_finderMutex; // guards g_finder
std::shared_ptr<ButtonFinder> g_finder;

} // namespace

std::shared_ptr<ButtonFinder> CurrentButtonFinder()
{
    std::lock_guard lock(g_finderMutex);
    if (!g_finder) {
        g_finder = std::make_shared<SystemButtonFinder>();
    }
    return g_finder;
}

void SetButtonFinderForTesting(std::shared_ptr<ButtonFinder> finder)
{
    std::lock_guard lock(g_finderMutex);
    g_finder = std::move(finder);
}

} // namespace vexol::platform::capture::v4l2
