#include "platform/capture/v4l2/V4l2Device.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/videodev2.h>

namespace vexol::platform::capture::v4l2 {

namespace {

std::string FixedText(const std::uint8_t* text, std::size_t size)
{
    const char* chars = reinterpret_cast<const char*>(text);
    return std::string(chars, ::strnlen(chars, size));
}

} // namespace

std::uint32_t FrameInterval::MicroSeconds() const
{
    if (denominator == 0) {
        return 0;
    }
    return std::uint32_t((std::uint64_t(numerator) * 1000000u + denominator / 2) / denominator);
}

bool ControlInfo::IsInactive() const
{
    return (flags & (V4L2_CTRL_FLAG_INACTIVE | V4L2_CTRL_FLAG_GRABBED)) != 0;
}

bool ControlInfo::IsWritable() const
{
    return (flags & (V4L2_CTRL_FLAG_READ_ONLY | V4L2_CTRL_FLAG_DISABLED)) == 0;
}

bool IsStreamingCaptureNode(std::uint32_t deviceCaps)
{
    return (deviceCaps & V4L2_CAP_VIDEO_CAPTURE) && (deviceCaps & V4L2_CAP_STREAMING);
}

V4l2Device::V4l2Device(std::shared_ptr<DeviceIo> io) : m_io(std::move(io)) {}

V4l2Device::~V4l2Device()
{
    Close();
}

int V4l2Device::Open(const std::string& node)
{
    Close();
    const int fd = m_io->Open(node, O_RDWR | O_NONBLOCK);
    if (fd < 0) {
        return fd;
    }
    v4l2_capability cap{};
    const int queried = IoctlRetry(*m_io, fd, VIDIOC_QUERYCAP, &cap);
    if (queried != 0) {
        m_io->Close(fd);
        return queried;
    }
    const std::uint32_t caps =
        (cap.capabilities & V4L2_CAP_DEVICE_CAPS) ? cap.device_caps : cap.capabilities;
    if (!IsStreamingCaptureNode(caps)) {
        m_io->Close(fd);
        return -ENODEV;
    }
    m_fd = fd;
    m_identity.node = node;
    m_identity.card = FixedText(cap.card, sizeof cap.card);
    m_identity.bus = FixedText(cap.bus_info, sizeof cap.bus_info);
    m_identity.driver = FixedText(cap.driver, sizeof cap.driver);
    m_identity.version = cap.version;
    return 0;
}

void V4l2Device::Close()
{
    if (m_fd < 0) {
        return;
    }
    StopStreaming();
    m_io->Close(m_fd);
    m_fd = -1;
}

int V4l2Device::QueryFormats(std::vector<PixelFormatEntry>& formats)
{
    formats.clear();
    for (std::uint32_t i = 0; i < 64; ++i) {
        v4l2_fmtdesc desc{};
        desc.index = i;
        desc.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        const int result = IoctlRetry(*m_io, m_fd, VIDIOC_ENUM_FMT, &desc);
        if (result == -EINVAL) {
            break;
        }
        if (result != 0) {
            return result;
        }
        PixelFormatEntry entry;
        entry.fourcc = desc.pixelformat;
        entry.description = FixedText(desc.description, sizeof desc.description);
        for (std::uint32_t s = 0; s < 256; ++s) {
            v4l2_frmsizeenum size{};
            size.index = s;
            size.pixel_format = desc.pixelformat;
            if (IoctlRetry(*m_io, m_fd, VIDIOC_ENUM_FRAMESIZES, &size) != 0 ||
                size.type != V4L2_FRMSIZE_TYPE_DISCRETE) {
                break; // stepwise sizes are not offered as a list
            }
            SizeEntry sizeEntry{size.discrete.width, size.discrete.height, {}};
            for (std::uint32_t n = 0; n < 64; ++n) {
                v4l2_frmivalenum interval{};
                interval.index = n;
                interval.pixel_format = desc.pixelformat;
                interval.width = sizeEntry.width;
                interval.height = sizeEntry.height;
                if (IoctlRetry(*m_io, m_fd, VIDIOC_ENUM_FRAMEINTERVALS, &interval) != 0 ||
                    interval.type != V4L2_FRMIVAL_TYPE_DISCRETE) {
                    break;
                }
                if (interval.discrete.numerator && interval.discrete.denominator) {
                    sizeEntry.intervals.push_back(
                        {interval.discrete.numerator, interval.discrete.denominator});
                }
            }
            std::sort(sizeEntry.intervals.begin(), sizeEntry.intervals.end(),
                      [](const FrameInterval& a, const FrameInterval& b) {
                          return std::uint64_t(a.numerator) * b.denominator <
                                 std::uint64_t(b.numerator) * a.denominator;
                      });
            if (sizeEntry.width > 0 && sizeEntry.height > 0) {
                entry.sizes.push_back(std::move(sizeEntry));
            }
        }
        std::sort(
            entry.sizes.begin(), entry.sizes.end(), [](const SizeEntry& a, const SizeEntry& b) {
                return std::uint64_t(a.width) * a.height != std::uint64_t(b.width) * b.height
                           ? std::uint64_t(a.width) * a.height < std::uint64_t(b.width) * b.height
                           : a.width < b.width;
            });
        formats.push_back(std::move(entry));
    }
    return 0;
}

int V4l2Device::QueryControl(ControlInfo& control)
{
    v4l2_query_ext_ctrl q{};
    q.id = control.id;
    const int result = IoctlRetry(*m_io, m_fd, VIDIOC_QUERY_EXT_CTRL, &q);
    if (result != 0) {
        return result;
    }
    control.flags = q.flags;
    control.minimum = q.minimum;
    control.maximum = q.maximum;
    control.step = q.step ? q.step : 1;
    control.defaultValue = q.default_value;
    return 0;
}

int V4l2Device::QueryControls(std::vector<ControlInfo>& controls)
{
    controls.clear();
    std::uint32_t next = V4L2_CTRL_FLAG_NEXT_CTRL;
    for (int guard = 0; guard < 1024; ++guard) {
        v4l2_query_ext_ctrl q{};
        q.id = next;
        const int result = IoctlRetry(*m_io, m_fd, VIDIOC_QUERY_EXT_CTRL, &q);
        if (result == -EINVAL) {
            break; // past the last control
        }
        if (result != 0) {
            return result;
        }
        next = q.id | V4L2_CTRL_FLAG_NEXT_CTRL;
        const bool shown = q.type == V4L2_CTRL_TYPE_INTEGER || q.type == V4L2_CTRL_TYPE_BOOLEAN ||
                           q.type == V4L2_CTRL_TYPE_MENU || q.type == V4L2_CTRL_TYPE_INTEGER_MENU ||
                           q.type == V4L2_CTRL_TYPE_BUTTON;
        if (!shown || (q.flags & V4L2_CTRL_FLAG_DISABLED) || q.minimum > q.maximum) {
            continue;
        }
        ControlInfo c;
        c.id = q.id;
        c.type = q.type;
        c.name = std::string(q.name, ::strnlen(q.name, sizeof q.name));
        c.minimum = q.minimum;
        c.maximum = q.maximum;
        c.step = q.step ? q.step : 1;
        c.defaultValue = q.default_value;
        c.flags = q.flags;
        if (q.type == V4L2_CTRL_TYPE_MENU || q.type == V4L2_CTRL_TYPE_INTEGER_MENU) {
            for (std::int64_t i = q.minimum; i <= q.maximum && i - q.minimum < 256; ++i) {
                v4l2_querymenu m{};
                m.id = q.id;
                m.index = std::uint32_t(i);
                if (IoctlRetry(*m_io, m_fd, VIDIOC_QUERYMENU, &m) != 0) {
                    continue; // gaps in a menu are allowed
                }
                c.menu.push_back(
                    {i, q.type == V4L2_CTRL_TYPE_MENU
                            ? std::string(
                                  reinterpret_cast<const char*>(m.name),
                                  ::strnlen(reinterpret_cast<const char*>(m.name), sizeof m.name))
                            : std::to_string(m.value)});
            }
            if (c.menu.empty()) {
                continue;
            }
        }
        controls.push_back(std::move(c));
    }
    return 0;
}

int V4l2Device::GetControl(std::uint32_t id, std::int64_t& value)
{
    v4l2_control c{};
    c.id = id;
    const int result = IoctlRetry(*m_io, m_fd, VIDIOC_G_CTRL, &c);
    if (result == 0) {
        value = c.value;
    }
    return result;
}

int V4l2Device::SetControl(std::uint32_t id, std::int64_t value)
{
    v4l2_control c{};
    c.id = id;
    c.value = std::int32_t(value);
    return IoctlRetry(*m_io, m_fd, VIDIOC_S_CTRL, &c);
}

namespace {
ActiveFormat FromPix(const v4l2_pix_format& pix)
{
    return {pix.pixelformat, pix.width, pix.height, pix.bytesperline, pix.sizeimage};
}
} // namespace

int V4l2Device::GetFormat(ActiveFormat& format)
{
    v4l2_format f{};
    f.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    const int result = IoctlRetry(*m_io, m_fd, VIDIOC_G_FMT, &f);
    if (result == 0) {
        format = FromPix(f.fmt.pix);
    }
    return result;
}

int V4l2Device::SetFormat(std::uint32_t fourcc, std::uint32_t width, std::uint32_t height,
                          ActiveFormat& actual)
{
    v4l2_format f{};
    f.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    f.fmt.pix.pixelformat = fourcc;
    f.fmt.pix.width = width;
    f.fmt.pix.height = height;
    f.fmt.pix.field = V4L2_FIELD_NONE;
    const int result = IoctlRetry(*m_io, m_fd, VIDIOC_S_FMT, &f);
    if (result == 0) {
        actual = FromPix(f.fmt.pix);
    }
    return result;
}

int V4l2Device::GetInterval(FrameInterval& interval)
{
    v4l2_streamparm p{};
    p.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    const int result = IoctlRetry(*m_io, m_fd, VIDIOC_G_PARM, &p);
    if (result == 0) {
        interval = {p.parm.capture.timeperframe.numerator, p.parm.capture.timeperframe.denominator};
    }
    return result;
}

int V4l2Device::SetInterval(const FrameInterval& wanted, FrameInterval& actual)
{
    v4l2_streamparm p{};
    p.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    p.parm.capture.timeperframe.numerator = wanted.numerator;
    p.parm.capture.timeperframe.denominator = wanted.denominator;
    const int result = IoctlRetry(*m_io, m_fd, VIDIOC_S_PARM, &p);
    if (result == 0) {
        actual = {p.parm.capture.timeperframe.numerator, p.parm.capture.timeperframe.denominator};
    }
    return result;
}

int V4l2Device::StartStreaming(std::uint32_t count)
{
    StopStreaming();
    v4l2_requestbuffers request{};
    request.count = count;
    request.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    request.memory = V4L2_MEMORY_MMAP;
    int result = IoctlRetry(*m_io, m_fd, VIDIOC_REQBUFS, &request);
    if (result != 0) {
        return result;
    }
    if (request.count == 0) {
        return -ENOMEM;
    }
    for (std::uint32_t i = 0; i < request.count; ++i) {
        v4l2_buffer b{};
        b.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        b.memory = V4L2_MEMORY_MMAP;
        b.index = i;
        result = IoctlRetry(*m_io, m_fd, VIDIOC_QUERYBUF, &b);
        if (result != 0) {
            ReleaseBuffers();
            return result;
        }
        int error = 0;
        void* address = m_io->Map(m_fd, b.length, off_t(b.m.offset), error);
        if (!address) {
            ReleaseBuffers();
            return -error;
        }
        m_buffers.push_back({address, b.length});
        result = IoctlRetry(*m_io, m_fd, VIDIOC_QBUF, &b);
        if (result != 0) {
            ReleaseBuffers();
            return result;
        }
    }
    int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    result = IoctlRetry(*m_io, m_fd, VIDIOC_STREAMON, &type);
    if (result != 0) {
        ReleaseBuffers();
        return result;
    }
    m_streaming = true;
    return 0;
}

void V4l2Device::StopStreaming()
{
    if (m_streaming) {
        int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        IoctlRetry(*m_io, m_fd, VIDIOC_STREAMOFF, &type);
        m_streaming = false;
    }
    ReleaseBuffers();
}

void V4l2Device::ReleaseBuffers()
{
    if (m_buffers.empty()) {
        return;
    }
    for (const Mapping& m : m_buffers) {
        m_io->Unmap(m.address, m.length);
    }
    m_buffers.clear();
    v4l2_requestbuffers request{};
    request.count = 0;
    request.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    request.memory = V4L2_MEMORY_MMAP;
    IoctlRetry(*m_io, m_fd, VIDIOC_REQBUFS, &request); // a vanished device may refuse
}

int V4l2Device::Dequeue(DequeuedBuffer& buffer)
{
    v4l2_buffer b{};
    b.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    b.memory = V4L2_MEMORY_MMAP;
    const int result = IoctlRetry(*m_io, m_fd, VIDIOC_DQBUF, &b);
    if (result != 0) {
        return result;
    }
    if (b.index >= m_buffers.size()) {
        return -EIO;
    }
    const Mapping& m = m_buffers[b.index];
    buffer.index = b.index;
    buffer.data = static_cast<const std::uint8_t*>(m.address);
    buffer.length = std::uint32_t(m.length);
    buffer.bytesUsed = std::min<std::uint32_t>(b.bytesused, std::uint32_t(m.length));
    buffer.sequence = b.sequence;
    buffer.flags = b.flags;
    buffer.timestampUs = std::int64_t(b.timestamp.tv_sec) * 1000000 + b.timestamp.tv_usec;
    buffer.monotonic =
        (b.flags & V4L2_BUF_FLAG_TIMESTAMP_MASK) == V4L2_BUF_FLAG_TIMESTAMP_MONOTONIC;
    return 0;
}

int V4l2Device::Requeue(std::uint32_t index)
{
    v4l2_buffer b{};
    b.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    b.memory = V4L2_MEMORY_MMAP;
    b.index = index;
    return IoctlRetry(*m_io, m_fd, VIDIOC_QBUF, &b);
}

} // namespace vexol::platform::capture::v4l2
