#include "platform/capture/v4l2/DeviceIo.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <libudev.h>
#include <mutex>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>

namespace vexol::platform::capture::v4l2 {

namespace {

// The number in "/dev/videoN", for ordering; large for other names.
long NodeNumber(const std::string& path)
{
    const std::size_t digits = path.find_last_not_of("0123456789");
    if (digits == std::string::npos || digits + 1 >= path.size()) {
        return 1L << 30;
    }
    return std::strtol(path.c_str() + digits + 1, nullptr, 10);
}

class SystemDeviceIo : public DeviceIo
{
public:
    int Open(const std::string& path, int flags) override
    {
        const int fd = ::open(path.c_str(), flags | O_CLOEXEC);
        return fd >= 0 ? fd : -errno;
    }
    void Close(int fd) override { ::close(fd); }
    int Ioctl(int fd, unsigned long request, void* argument) override
    {
        return ::ioctl(fd, request, argument) == 0 ? 0 : -errno;
    }
    void* Map(int fd, std::size_t length, off_t offset, int& error) override
    {
        void* address = ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_SHARED, fd, offset);
        if (address == MAP_FAILED) {
            error = errno;
            return nullptr;
        }
        error = 0;
        return address;
    }
    void Unmap(void* address, std::size_t length) override { ::munmap(address, length); }
    int Poll(pollfd* fds, nfds_t count, int timeoutMs) override
    {
        const int ready = ::poll(fds, count, timeoutMs);
        return ready >= 0 ? ready : -errno;
    }

    std::vector<VideoNode> VideoNodes() override
    {
        std::vector<VideoNode> nodes;
        // The device manager knows the nodes; without it, the folder does.
        if (udev* context = udev_new()) {
            if (udev_enumerate* e = udev_enumerate_new(context)) {
                udev_enumerate_add_match_subsystem(e, "video4linux");
                udev_enumerate_scan_devices(e);
                udev_list_entry* entry = nullptr;
                udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(e))
                {
                    udev_device* device =
                        udev_device_new_from_syspath(context, udev_list_entry_get_name(entry));
                    if (!device) {
                        continue;
                    }
                    const char* node = udev_device_get_devnode(device);
                    const char* name = udev_device_get_sysname(device);
                    // Metadata nodes say they do not capture; nodes not yet looked at
                    // by the device manager say nothing and are probed when opened.
                    const char* caps =
                        udev_device_get_property_value(device, "ID_V4L_CAPABILITIES");
                    const char* product = udev_device_get_property_value(device, "ID_V4L_PRODUCT");
                    if (node && name && std::string(name).rfind("video", 0) == 0 &&
                        (!caps || std::string(caps).find(":capture:") != std::string::npos)) {
                        nodes.push_back({node, product ? product : ""});
                    }
                    udev_device_unref(device);
                }
                udev_enumerate_unref(e);
            }
            udev_unref(context);
        }
        if (nodes.empty()) {
            if (DIR* dir = ::opendir("/dev")) {
                while (dirent* entry = ::readdir(dir)) {
                    const std::string name = entry->d_name;
                    if (name.rfind("video", 0) == 0 && name.size() > 5) {
                        nodes.push_back({"/dev/" + name, {}});
                    }
                }
                ::closedir(dir);
            }
        }
        std::sort(nodes.begin(), nodes.end(), [](const VideoNode& a, const VideoNode& b) {
            return NodeNumber(a.path) != NodeNumber(b.path)
                       ? NodeNumber(a.path) < NodeNumber(b.path)
                       : a.path < b.path;
        });
        nodes.erase(
            std::unique(nodes.begin(), nodes.end(),
                        [](const VideoNode& a, const VideoNode& b) { return a.path == b.path; }),
            nodes.end());
        return nodes;
    }
};

std::mutex g_ioMutex; // guards g_io
std::shared_ptr<DeviceIo> g_io;

} // namespace

std::shared_ptr<DeviceIo> CurrentDeviceIo()
{
    std::lock_guard lock(g_ioMutex);
    if (!g_io) {
        g_io = std::make_shared<SystemDeviceIo>();
    }
    return g_io;
}

void SetDeviceIoForTesting(std::shared_ptr<DeviceIo> io)
{
    std::lock_guard lock(g_ioMutex);
    g_io = std::move(io);
}

int IoctlRetry(DeviceIo& io, int fd, unsigned long request, void* argument)
{
    int result;
    do {
        result = io.Ioctl(fd, request, argument);
    } while (result == -EINTR);
    return result;
}

} // namespace vexol::platform::capture::v4l2
