// One V4L2 video node through the device calls: what it is, which formats, sizes, frame
// intervals and controls it offers, and streaming with memory-mapped buffers. Every
// call answers 0 or -errno; nothing here keeps state beyond the open node and its
// buffers.
#pragma once

#include "platform/capture/v4l2/DeviceIo.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vexol::platform::capture::v4l2 {

struct CameraIdentity
{
    std::string node;   // /dev/videoN
    std::string card;   // the camera's name
    std::string bus;    // where it is plugged in
    std::string driver; // the kernel driver
    std::uint32_t version = 0;
};

// Seconds per frame as a fraction.
struct FrameInterval
{
    std::uint32_t numerator = 0;
    std::uint32_t denominator = 0;

    std::uint32_t MicroSeconds() const;
    bool operator==(const FrameInterval&) const = default;
};

struct SizeEntry
{
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<FrameInterval> intervals; // shortest first
};

struct PixelFormatEntry
{
    std::uint32_t fourcc = 0;
    std::string description;
    std::vector<SizeEntry> sizes; // smallest first
};

struct ControlMenuItem
{
    std::int64_t value = 0;
    std::string name;
};

struct ControlInfo
{
    std::uint32_t id = 0;
    std::uint32_t type = 0;
    std::string name;
    std::int64_t minimum = 0;
    std::int64_t maximum = 0;
    std::uint64_t step = 1;
    std::int64_t defaultValue = 0;
    std::uint32_t flags = 0;
    std::vector<ControlMenuItem> menu;

    bool IsInactive() const;
    bool IsWritable() const;
};

struct ActiveFormat
{
    std::uint32_t fourcc = 0;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint32_t bytesPerLine = 0;
    std::uint32_t sizeImage = 0;
};

struct DequeuedBuffer
{
    std::uint32_t index = 0;
    const std::uint8_t* data = nullptr;
    std::uint32_t length = 0;
    std::uint32_t bytesUsed = 0;
    std::uint32_t sequence = 0;
    std::uint32_t flags = 0;
    std::int64_t timestampUs = 0; // of the buffer's clock
    bool monotonic = false;       // the timestamp is of CLOCK_MONOTONIC
};

class V4l2Device
{
public:
    explicit V4l2Device(std::shared_ptr<DeviceIo> io);
    ~V4l2Device();
    V4l2Device(const V4l2Device&) = delete;
    V4l2Device& operator=(const V4l2Device&) = delete;

    // Opens the node and checks that it captures video by streaming: -ENODEV (or the
    // open's error) otherwise.
    int Open(const std::string& node);
    void Close();
    bool IsOpen() const { return m_fd >= 0; }
    int Fd() const { return m_fd; }
    DeviceIo& Io() { return *m_io; }
    const CameraIdentity& Identity() const { return m_identity; }

    int QueryFormats(std::vector<PixelFormatEntry>& formats);
    int QueryControls(std::vector<ControlInfo>& controls);
    // Refreshes flags and limits of one control (they change with other controls).
    int QueryControl(ControlInfo& control);
    int GetControl(std::uint32_t id, std::int64_t& value);
    int SetControl(std::uint32_t id, std::int64_t value);

    int GetFormat(ActiveFormat& format);
    // Asks for a format; `actual` is what the device took.
    int SetFormat(std::uint32_t fourcc, std::uint32_t width, std::uint32_t height,
                  ActiveFormat& actual);
    int GetInterval(FrameInterval& interval);
    int SetInterval(const FrameInterval& wanted, FrameInterval& actual);

    // Requests and maps `count` buffers, queues them all and starts the stream.
    int StartStreaming(std::uint32_t count);
    // Stops the stream and releases the buffers; safe when not streaming.
    void StopStreaming();
    bool IsStreaming() const { return m_streaming; }
    // The next filled buffer: 0, -EAGAIN when none is ready, or another -errno.
    int Dequeue(DequeuedBuffer& buffer);
    int Requeue(std::uint32_t index);

private:
    struct Mapping
    {
        void* address = nullptr;
        std::size_t length = 0;
    };
    void ReleaseBuffers();

    std::shared_ptr<DeviceIo> m_io;
    int m_fd = -1;
    CameraIdentity m_identity;
    std::vector<Mapping> m_buffers;
    bool m_streaming = false;
};

// The capability bits that make a node a camera: single-planar capture and streaming.
bool IsStreamingCaptureNode(std::uint32_t deviceCaps);

} // namespace vexol::platform::capture::v4l2
