// A scripted camera behind the camera driver's device calls: it answers the V4L2 ioctls
// as a typical USB webcam does (formats, sizes, frame intervals, controls with a menu,
// memory-mapped streaming with real JPEG frames) and can be told to fail as real
// cameras do: busy or forbidden at open, unplugged in the middle of a stream,
// interrupted calls, empty buffers, corrupt JPEG frames, gaps in the sequence. With it
// the real driver code runs in tests and benchmarks. Also a scripted snapshot button.
#pragma once

#include "platform/capture/v4l2/DeviceIo.h"
#include "platform/capture/v4l2/SnapshotButton.h"
#include "platform/capture/v4l2/V4l2Device.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace scripted {

using vexol::platform::capture::v4l2::FrameInterval;

struct ScriptedSize
{
    std::uint32_t width;
    std::uint32_t height;
    std::vector<FrameInterval> intervals;
};

struct ScriptedFormat
{
    std::uint32_t fourcc;
    std::string description;
    std::vector<ScriptedSize> sizes;
};

struct ScriptedControl
{
    std::uint32_t id;
    std::uint32_t type;
    std::string name;
    std::int64_t minimum, maximum, step, defaultValue;
    std::map<std::int64_t, std::string> menu; // index -> name (gaps allowed)
    std::uint32_t inactiveWhenId = 0;         // inactive while that control ...
    std::int64_t inactiveWhenValue = 0;       // ... has this value
    std::int64_t value = 0;
};

// What goes wrong, and when. Frame numbers count the frames the camera made, from 0.
struct ScriptedFaults
{
    int openError = 0;           // errno of every open
    int setFormatError = 0;      // errno of S_FMT (EBUSY: another program streams)
    int goneAfterFrames = -1;    // unplugged once this many frames were made
    int interruptedPolls = 0;    // so many polls answer EINTR first
    int interruptedDequeues = 0; // so many DQBUF answer EINTR first
    std::set<std::uint64_t> emptyFrames;
    std::set<std::uint64_t> shortFrames;
    std::set<std::uint64_t> corruptFrames;               // a JPEG cut in half
    std::map<std::uint64_t, std::uint32_t> sequenceGaps; // frame -> sequence numbers skipped
};

class ScriptedCamera
{
public:
    // YUYV 320×240 and 640×480 at 30 and 15, 1280×720 at 10; MJPEG 640×480, 1280×720 and
    // 1920×1080 at 30 and 15; a user control class with brightness, contrast,
    // saturation, white balance (automatic, temperature), power-line frequency (menu);
    // camera controls for exposure (automatic menu with gaps, absolute) and focus.
    static std::shared_ptr<ScriptedCamera> TypicalWebcam(std::string card = "Scripted Webcam",
                                                         std::string bus = "usb-0000:00:14.0-1");

    std::string card;
    std::string bus;
    std::string driver = "uvcvideo";
    bool metadataOnly = false; // a metadata node of the camera
    std::vector<ScriptedFormat> formats;
    std::vector<ScriptedControl> controls;
    ScriptedFaults faults;

    // The camera as the device sees it now (under the device's lock).
    std::uint32_t fourcc = 0, width = 0, height = 0;
    FrameInterval interval{1, 30};
    std::uint64_t framesMade = 0;
    int streamers = 0;
    bool gone = false;
};

class ScriptedDeviceIo : public vexol::platform::capture::v4l2::DeviceIo
{
public:
    ScriptedDeviceIo();
    ~ScriptedDeviceIo() override;

    // Plugs a camera in at `node` (for example /dev/video0).
    void Plug(const std::string& node, std::shared_ptr<ScriptedCamera> camera);
    // Pulls it out: open descriptors answer ENODEV from now on.
    void Unplug(const std::string& node);
    // Changes a camera's faults or state under the device's lock.
    template <typename F> void Change(const std::string& node, F change)
    {
        std::lock_guard lock(m_mutex);
        if (auto it = m_cameras.find(node); it != m_cameras.end()) {
            change(*it->second);
        }
    }
    std::int64_t ControlValue(const std::string& node, std::uint32_t id);
    std::uint64_t FramesMade(const std::string& node);
    int OpenCount() const;

    int Open(const std::string& path, int flags) override;
    void Close(int fd) override;
    int Ioctl(int fd, unsigned long request, void* argument) override;
    void* Map(int fd, std::size_t length, off_t offset, int& error) override;
    void Unmap(void* address, std::size_t length) override;
    int Poll(pollfd* fds, nfds_t count, int timeoutMs) override;
    std::vector<vexol::platform::capture::v4l2::VideoNode> VideoNodes() override;

private:
    struct Buffer
    {
        std::vector<std::uint8_t> memory;
        bool queued = false;
        bool filled = false;
        std::uint32_t bytesUsed = 0;
        std::uint32_t sequence = 0;
        std::int64_t timestampUs = 0;
    };
    struct OpenNode
    {
        std::string node;
        std::shared_ptr<ScriptedCamera> camera;
        std::vector<Buffer> buffers;
        bool streaming = false;
        std::chrono::steady_clock::time_point nextFrame;
        std::uint32_t sequence = 0;
    };

    int HandleIoctl(OpenNode& open, unsigned long request, void* argument);
    bool FrameDue(const OpenNode& open) const;
    void MakeFrame(OpenNode& open);
    const std::vector<std::uint8_t>& Jpeg(std::uint32_t width, std::uint32_t height, int variant);

    mutable std::mutex m_mutex; // guards everything below
    std::map<std::string, std::shared_ptr<ScriptedCamera>> m_cameras;
    std::map<int, OpenNode> m_open;
    std::map<std::tuple<std::uint32_t, std::uint32_t, int>, std::vector<std::uint8_t>> m_jpegs;
};

// A snapshot button a test presses.
class ScriptedButton
{
public:
    ScriptedButton();
    ~ScriptedButton();
    void Press();
    void Release();
    int Fd() const { return m_fd; }
    // Drains the events, in order.
    std::vector<bool> Take();
    bool gone = false;

private:
    int m_fd;
    std::mutex m_mutex; // guards m_events
    std::vector<bool> m_events;
};

// Answers every lookup with one state; with Found, hands out the scripted button.
class ScriptedButtonFinder : public vexol::platform::capture::v4l2::ButtonFinder
{
public:
    ScriptedButtonFinder(vexol::platform::capture::v4l2::ButtonState state,
                         std::shared_ptr<ScriptedButton> button = nullptr)
        : m_state(state), m_button(std::move(button))
    {
    }
    vexol::platform::capture::v4l2::ButtonLookup Find(const std::string& videoNode) override;

private:
    vexol::platform::capture::v4l2::ButtonState m_state;
    std::shared_ptr<ScriptedButton> m_button;
};

// Installs a scripted device (and optionally a button finder) for one scope.
class ScriptedCameraScope
{
public:
    explicit ScriptedCameraScope(
        std::shared_ptr<vexol::platform::capture::v4l2::ButtonFinder> finder = nullptr);
    ~ScriptedCameraScope();
    ScriptedDeviceIo& Io() { return *m_io; }

private:
    std::shared_ptr<ScriptedDeviceIo> m_io;
};

} // namespace scripted
