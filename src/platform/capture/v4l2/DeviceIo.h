// The one way the camera driver reaches a device: open, close, ioctl, mmap, munmap and
// poll, plus the list of video nodes. The system's calls serve real cameras; tests put
// a scripted device behind the same calls, so the driver's own code runs unchanged.
#pragma once

#include <cstddef>
#include <memory>
#include <poll.h>
#include <string>
#include <sys/types.h>
#include <vector>

namespace vexol::platform::capture::v4l2 {

struct VideoNode
{
    std::string path;    // /dev/videoN
    std::string product; // what the device manager calls it; may be empty
};

class DeviceIo
{
public:
    virtual ~DeviceIo() = default;

    // A descriptor, or -errno.
    virtual int Open(const std::string& path, int flags) = 0;
    virtual void Close(int fd) = 0;
    // 0, or -errno. EINTR is passed on; callers retry.
    virtual int Ioctl(int fd, unsigned long request, void* argument) = 0;
    // The mapped address, or null with `error` set to the errno.
    virtual void* Map(int fd, std::size_t length, off_t offset, int& error) = 0;
    virtual void Unmap(void* address, std::size_t length) = 0;
    // As poll(2): the number of ready descriptors, 0 on time-out, or -errno. A scripted
    // device also passes descriptors it does not know on to the system.
    virtual int Poll(pollfd* fds, nfds_t count, int timeoutMs) = 0;

    // The capture nodes present now, in the order the system numbers them.
    virtual std::vector<VideoNode> VideoNodes() = 0;
};

// The device calls in use: the system's, unless a test installed others.
std::shared_ptr<DeviceIo> CurrentDeviceIo();
// Installs `io` (null restores the system's calls).
void SetDeviceIoForTesting(std::shared_ptr<DeviceIo> io);

// An ioctl retried while it is interrupted; 0 or -errno.
int IoctlRetry(DeviceIo& io, int fd, unsigned long request, void* argument);

} // namespace vexol::platform::capture::v4l2
