#include "scripted/ScriptedCamera.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <linux/videodev2.h>
#include <sys/eventfd.h>
#include <turbojpeg.h>
#include <unistd.h>
#include <utility>

namespace scripted {

using namespace vexol::platform::capture::v4l2;

namespace {

using Clock = std::chrono::steady_clock;

std::int64_t MicrosOf(Clock::time_point t)
{
    return std::chrono::duration_cast<std::chrono::microseconds>(t.time_since_epoch()).count();
}

void CopyText(std::uint8_t* to, std::size_t size, const std::string& text)
{
    std::memset(to, 0, size);
    std::memcpy(to, text.data(), std::min(size - 1, text.size()));
}

std::uint32_t BytesPerLine(std::uint32_t fourcc, std::uint32_t width)
{
    switch (fourcc) {
    case V4L2_PIX_FMT_YUYV:
        return width * 2;
    case V4L2_PIX_FMT_RGB24:
    case V4L2_PIX_FMT_BGR24:
        return width * 3;
    case V4L2_PIX_FMT_MJPEG:
        return 0;
    default:
        return width;
    }
}

std::uint32_t SizeImage(std::uint32_t fourcc, std::uint32_t width, std::uint32_t height)
{
    switch (fourcc) {
    case V4L2_PIX_FMT_NV12:
        return width * height * 3 / 2;
    case V4L2_PIX_FMT_MJPEG:
        return width * height; // room for the largest picture
    default:
        return BytesPerLine(fourcc, width) * height;
    }
}

} // namespace

std::shared_ptr<ScriptedCamera> ScriptedCamera::TypicalWebcam(std::string card, std::string bus)
{
    auto c = std::make_shared<ScriptedCamera>();
    c->card = std::move(card);
    c->bus = std::move(bus);
    const FrameInterval f30{1, 30}, f15{1, 15}, f10{1, 10};
    c->formats = {
        {V4L2_PIX_FMT_YUYV,
         "YUYV 4:2:2",
         {{320, 240, {f30, f15}}, {640, 480, {f30, f15}}, {1280, 720, {f10}}}},
        {V4L2_PIX_FMT_MJPEG,
         "Motion-JPEG",
         {{640, 480, {f30, f15}}, {1280, 720, {f30, f15}}, {1920, 1080, {f30, f15}}}},
    };
    c->controls = {
        {0x00980001, V4L2_CTRL_TYPE_CTRL_CLASS, "User Controls", 0, 0, 0, 0, {}, 0, 0, 0},
        {0x00980900, V4L2_CTRL_TYPE_INTEGER, "Brightness", -64, 64, 1, 0, {}, 0, 0, 0},
        {0x00980901, V4L2_CTRL_TYPE_INTEGER, "Contrast", 0, 64, 1, 32, {}, 0, 0, 32},
        {0x00980902, V4L2_CTRL_TYPE_INTEGER, "Saturation", 0, 128, 1, 64, {}, 0, 0, 64},
        {0x0098090c, V4L2_CTRL_TYPE_BOOLEAN, "White Balance, Automatic", 0, 1, 1, 1, {}, 0, 0, 1},
        {0x00980918,
         V4L2_CTRL_TYPE_MENU,
         "Power Line Frequency",
         0,
         2,
         1,
         1,
         {{0, "Disabled"}, {1, "50 Hz"}, {2, "60 Hz"}},
         0,
         0,
         1},
        {0x0098091a,
         V4L2_CTRL_TYPE_INTEGER,
         "White Balance Temperature",
         2800,
         6500,
         10,
         4600,
         {},
         0x0098090c,
         1,
         4600},
        {0x009a0901,
         V4L2_CTRL_TYPE_MENU,
         "Auto Exposure",
         0,
         3,
         1,
         3,
         {{1, "Manual Mode"}, {3, "Aperture Priority Mode"}},
         0,
         0,
         3},
        {0x009a0902,
         V4L2_CTRL_TYPE_INTEGER,
         "Exposure Time, Absolute",
         3,
         2047,
         1,
         250,
         {},
         0x009a0901,
         3,
         250},
        {0x009a090a, V4L2_CTRL_TYPE_INTEGER, "Focus, Absolute", 0, 250, 5, 0, {}, 0x009a090c, 1, 0},
        {0x009a090c,
         V4L2_CTRL_TYPE_BOOLEAN,
         "Focus, Automatic Continuous",
         0,
         1,
         1,
         1,
         {},
         0,
         0,
         1},
    };
    c->fourcc = V4L2_PIX_FMT_YUYV;
    c->width = 640;
    c->height = 480;
    return c;
}

ScriptedDeviceIo::ScriptedDeviceIo() = default;

ScriptedDeviceIo::~ScriptedDeviceIo()
{
    for (auto& [fd, open] : m_open) {
        ::close(fd);
    }
}

void ScriptedDeviceIo::Plug(const std::string& node, std::shared_ptr<ScriptedCamera> camera)
{
    std::lock_guard lock(m_mutex);
    m_cameras[node] = std::move(camera);
}

void ScriptedDeviceIo::Unplug(const std::string& node)
{
    std::lock_guard lock(m_mutex);
    if (auto it = m_cameras.find(node); it != m_cameras.end()) {
        it->second->gone = true;
        m_cameras.erase(it);
    }
}

std::int64_t ScriptedDeviceIo::ControlValue(const std::string& node, std::uint32_t id)
{
    std::lock_guard lock(m_mutex);
    for (const ScriptedControl& c : m_cameras.at(node)->controls) {
        if (c.id == id) {
            return c.value;
        }
    }
    return -1;
}

std::uint64_t ScriptedDeviceIo::FramesMade(const std::string& node)
{
    std::lock_guard lock(m_mutex);
    auto it = m_cameras.find(node);
    return it == m_cameras.end() ? 0 : it->second->framesMade;
}

int ScriptedDeviceIo::OpenCount() const
{
    std::lock_guard lock(m_mutex);
    return int(m_open.size());
}

std::vector<VideoNode> ScriptedDeviceIo::VideoNodes()
{
    std::lock_guard lock(m_mutex);
    std::vector<VideoNode> nodes;
    for (const auto& [node, camera] : m_cameras) {
        nodes.push_back({node, camera->card});
    }
    return nodes;
}

int ScriptedDeviceIo::Open(const std::string& path, int)
{
    std::lock_guard lock(m_mutex);
    auto it = m_cameras.find(path);
    if (it == m_cameras.end()) {
        return -ENOENT;
    }
    if (it->second->faults.openError) {
        return -it->second->faults.openError;
    }
    // A real descriptor gives the node a number of its own that poll understands.
    const int fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (fd < 0) {
        return -errno;
    }
    OpenNode open;
    open.node = path;
    open.camera = it->second;
    m_open[fd] = std::move(open);
    return fd;
}

void ScriptedDeviceIo::Close(int fd)
{
    std::lock_guard lock(m_mutex);
    auto it = m_open.find(fd);
    if (it == m_open.end()) {
        return;
    }
    if (it->second.streaming) {
        --it->second.camera->streamers;
    }
    m_open.erase(it);
    ::close(fd);
}

void* ScriptedDeviceIo::Map(int fd, std::size_t length, off_t offset, int& error)
{
    std::lock_guard lock(m_mutex);
    auto it = m_open.find(fd);
    const std::size_t index = std::size_t(offset) >> 24;
    if (it == m_open.end() || index >= it->second.buffers.size() ||
        length > it->second.buffers[index].memory.size()) {
        error = EINVAL;
        return nullptr;
    }
    error = 0;
    return it->second.buffers[index].memory.data();
}

void ScriptedDeviceIo::Unmap(void*, std::size_t) {}

bool ScriptedDeviceIo::FrameDue(const OpenNode& open) const
{
    return open.streaming && Clock::now() >= open.nextFrame;
}

int ScriptedDeviceIo::Poll(pollfd* fds, nfds_t count, int timeoutMs)
{
    std::vector<pollfd> others;
    std::vector<nfds_t> otherIndex;
    int ready = 0;
    int wait = timeoutMs;
    {
        std::lock_guard lock(m_mutex);
        for (nfds_t i = 0; i < count; ++i) {
            fds[i].revents = 0;
            auto it = m_open.find(fds[i].fd);
            if (it == m_open.end()) {
                others.push_back(fds[i]);
                otherIndex.push_back(i);
                continue;
            }
            OpenNode& open = it->second;
            if (open.camera->faults.interruptedPolls > 0) {
                --open.camera->faults.interruptedPolls;
                return -EINTR;
            }
            if (open.camera->gone) {
                fds[i].revents = POLLERR | POLLHUP;
                ++ready;
            } else if (FrameDue(open)) {
                fds[i].revents = POLLIN;
                ++ready;
            } else if (open.streaming) {
                const auto until = std::chrono::duration_cast<std::chrono::milliseconds>(
                                       open.nextFrame - Clock::now())
                                       .count() +
                                   1;
                wait = wait < 0 ? int(until) : std::min<int>(wait, int(until));
            }
        }
    }
    if (ready > 0) {
        wait = 0;
    }
    const int others_ready = ::poll(others.data(), others.size(), std::max(wait, 0));
    if (others_ready < 0) {
        return -errno;
    }
    for (std::size_t i = 0; i < others.size(); ++i) {
        fds[otherIndex[i]].revents = others[i].revents;
    }
    ready += others_ready;
    if (ready == 0) {
        // The frame may have fallen due while waiting.
        std::lock_guard lock(m_mutex);
        for (nfds_t i = 0; i < count; ++i) {
            auto it = m_open.find(fds[i].fd);
            if (it != m_open.end() && FrameDue(it->second)) {
                fds[i].revents = POLLIN;
                ++ready;
            }
        }
    }
    return ready;
}

const std::vector<std::uint8_t>& ScriptedDeviceIo::Jpeg(std::uint32_t width, std::uint32_t height,
                                                        int variant)
{
    auto key = std::make_tuple(width, height, variant);
    auto it = m_jpegs.find(key);
    if (it != m_jpegs.end()) {
        return it->second;
    }
    // Colour bars with a white block whose place tells the two pictures apart.
    std::vector<std::uint8_t> rgb(std::size_t(width) * height * 3);
    static const std::uint8_t bars[8][3] = {{235, 235, 235}, {235, 235, 16}, {16, 235, 235},
                                            {16, 235, 16},   {235, 16, 235}, {235, 16, 16},
                                            {16, 16, 235},   {16, 16, 16}};
    for (std::uint32_t y = 0; y < height; ++y) {
        for (std::uint32_t x = 0; x < width; ++x) {
            const std::uint8_t* bar = bars[x * 8 / width];
            const bool block = y < height / 4 && x / (width / 8) == std::uint32_t(variant);
            std::uint8_t* p = &rgb[(std::size_t(y) * width + x) * 3];
            p[0] = block ? 255 : bar[0];
            p[1] = block ? 255 : bar[1];
            p[2] = block ? 255 : bar[2];
        }
    }
    tjhandle handle = tjInitCompress();
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    tjCompress2(handle, rgb.data(), int(width), 0, int(height), TJPF_RGB, &jpeg, &size, TJSAMP_422,
                85, 0);
    std::vector<std::uint8_t> bytes(jpeg, jpeg + size);
    tjFree(jpeg);
    tjDestroy(handle);
    return m_jpegs[key] = std::move(bytes);
}

void ScriptedDeviceIo::MakeFrame(OpenNode& open)
{
    ScriptedCamera& c = *open.camera;
    const std::uint64_t frame = c.framesMade++;
    if (auto gap = c.faults.sequenceGaps.find(frame); gap != c.faults.sequenceGaps.end()) {
        open.sequence += gap->second;
    }
    const auto due = open.nextFrame;
    open.nextFrame += std::chrono::microseconds(c.interval.MicroSeconds());
    const std::uint32_t sequence = open.sequence++;
    auto buffer = std::find_if(open.buffers.begin(), open.buffers.end(),
                               [](const Buffer& b) { return b.queued && !b.filled; });
    if (buffer == open.buffers.end()) {
        return; // no buffer: the camera drops the frame
    }
    buffer->filled = true;
    buffer->sequence = sequence;
    buffer->timestampUs = MicrosOf(due);
    std::uint8_t* out = buffer->memory.data();
    if (c.fourcc == V4L2_PIX_FMT_MJPEG) {
        const std::vector<std::uint8_t>& jpeg = Jpeg(c.width, c.height, int(frame % 2));
        buffer->bytesUsed = std::uint32_t(std::min(jpeg.size(), buffer->memory.size()));
        std::memcpy(out, jpeg.data(), buffer->bytesUsed);
        if (c.faults.corruptFrames.count(frame)) {
            buffer->bytesUsed /= 2;
        }
    } else {
        buffer->bytesUsed = SizeImage(c.fourcc, c.width, c.height);
        // A ramp that moves with the frame; chroma neutral.
        for (std::uint32_t i = 0; i < buffer->bytesUsed; ++i) {
            out[i] = (c.fourcc == V4L2_PIX_FMT_YUYV && i % 2) ? 128 : std::uint8_t(i / 7 + frame);
        }
        if (c.faults.shortFrames.count(frame)) {
            buffer->bytesUsed /= 2;
        }
    }
    if (c.faults.emptyFrames.count(frame)) {
        buffer->bytesUsed = 0;
    }
    if (c.faults.goneAfterFrames >= 0 &&
        c.framesMade >= std::uint64_t(c.faults.goneAfterFrames) + 1) {
        c.gone = true;
    }
}

int ScriptedDeviceIo::Ioctl(int fd, unsigned long request, void* argument)
{
    std::lock_guard lock(m_mutex);
    auto it = m_open.find(fd);
    if (it == m_open.end()) {
        return -EBADF;
    }
    if (it->second.camera->gone) {
        return -ENODEV;
    }
    return HandleIoctl(it->second, request, argument);
}

int ScriptedDeviceIo::HandleIoctl(OpenNode& open, unsigned long request, void* argument)
{
    ScriptedCamera& c = *open.camera;
    auto findFormat = [&](std::uint32_t fourcc) -> const ScriptedFormat* {
        for (const ScriptedFormat& f : c.formats) {
            if (f.fourcc == fourcc) {
                return &f;
            }
        }
        return nullptr;
    };
    auto findSize = [&](std::uint32_t fourcc, std::uint32_t w,
                        std::uint32_t h) -> const ScriptedSize* {
        const ScriptedFormat* f = findFormat(fourcc);
        for (std::size_t i = 0; f && i < f->sizes.size(); ++i) {
            if (f->sizes[i].width == w && f->sizes[i].height == h) {
                return &f->sizes[i];
            }
        }
        return nullptr;
    };
    auto findControl = [&](std::uint32_t id) -> ScriptedControl* {
        for (ScriptedControl& control : c.controls) {
            if (control.id == id) {
                return &control;
            }
        }
        return nullptr;
    };
    auto flagsOf = [&](const ScriptedControl& control) {
        std::uint32_t flags = 0;
        if (control.type == V4L2_CTRL_TYPE_CTRL_CLASS) {
            flags |= V4L2_CTRL_FLAG_READ_ONLY | V4L2_CTRL_FLAG_WRITE_ONLY;
        }
        if (control.inactiveWhenId) {
            const ScriptedControl* other = findControl(control.inactiveWhenId);
            if (other && other->value == control.inactiveWhenValue) {
                flags |= V4L2_CTRL_FLAG_INACTIVE;
            }
        }
        return flags;
    };
    auto fillPix = [&](v4l2_pix_format& pix) {
        pix.pixelformat = c.fourcc;
        pix.width = c.width;
        pix.height = c.height;
        pix.field = V4L2_FIELD_NONE;
        pix.bytesperline = BytesPerLine(c.fourcc, c.width);
        pix.sizeimage = SizeImage(c.fourcc, c.width, c.height);
        pix.colorspace = V4L2_COLORSPACE_SRGB;
    };

    switch (request) {
    case VIDIOC_QUERYCAP: {
        auto* cap = static_cast<v4l2_capability*>(argument);
        *cap = {};
        CopyText(cap->driver, sizeof cap->driver, c.driver);
        CopyText(cap->card, sizeof cap->card, c.card);
        CopyText(cap->bus_info, sizeof cap->bus_info, c.bus);
        cap->version = (6u << 16) | (1u << 8);
        cap->device_caps = c.metadataOnly ? (V4L2_CAP_META_CAPTURE | V4L2_CAP_STREAMING)
                                          : (V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING);
        cap->capabilities = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_META_CAPTURE | V4L2_CAP_STREAMING |
                            V4L2_CAP_DEVICE_CAPS;
        return 0;
    }
    case VIDIOC_ENUM_FMT: {
        auto* d = static_cast<v4l2_fmtdesc*>(argument);
        if (d->type != V4L2_BUF_TYPE_VIDEO_CAPTURE || d->index >= c.formats.size()) {
            return -EINVAL;
        }
        const ScriptedFormat& f = c.formats[d->index];
        d->pixelformat = f.fourcc;
        d->flags = f.fourcc == V4L2_PIX_FMT_MJPEG ? V4L2_FMT_FLAG_COMPRESSED : 0;
        CopyText(d->description, sizeof d->description, f.description);
        return 0;
    }
    case VIDIOC_ENUM_FRAMESIZES: {
        auto* s = static_cast<v4l2_frmsizeenum*>(argument);
        const ScriptedFormat* f = findFormat(s->pixel_format);
        if (!f || s->index >= f->sizes.size()) {
            return -EINVAL;
        }
        s->type = V4L2_FRMSIZE_TYPE_DISCRETE;
        s->discrete = {f->sizes[s->index].width, f->sizes[s->index].height};
        return 0;
    }
    case VIDIOC_ENUM_FRAMEINTERVALS: {
        auto* i = static_cast<v4l2_frmivalenum*>(argument);
        const ScriptedSize* s = findSize(i->pixel_format, i->width, i->height);
        if (!s || i->index >= s->intervals.size()) {
            return -EINVAL;
        }
        i->type = V4L2_FRMIVAL_TYPE_DISCRETE;
        i->discrete = {s->intervals[i->index].numerator, s->intervals[i->index].denominator};
        return 0;
    }
    case VIDIOC_G_FMT: {
        auto* f = static_cast<v4l2_format*>(argument);
        if (f->type != V4L2_BUF_TYPE_VIDEO_CAPTURE) {
            return -EINVAL;
        }
        fillPix(f->fmt.pix);
        return 0;
    }
    case VIDIOC_S_FMT: {
        auto* f = static_cast<v4l2_format*>(argument);
        if (c.faults.setFormatError) {
            return -c.faults.setFormatError;
        }
        if (c.streamers > 0 || open.streaming || !open.buffers.empty()) {
            return -EBUSY;
        }
        const ScriptedFormat* format = findFormat(f->fmt.pix.pixelformat);
        if (!format) {
            format = &c.formats.front();
        }
        const ScriptedSize* best = &format->sizes.front();
        for (const ScriptedSize& s : format->sizes) {
            auto d = [&](const ScriptedSize& x) {
                return std::labs(long(x.width) - long(f->fmt.pix.width)) +
                       std::labs(long(x.height) - long(f->fmt.pix.height));
            };
            if (d(s) < d(*best)) {
                best = &s;
            }
        }
        c.fourcc = format->fourcc;
        c.width = best->width;
        c.height = best->height;
        if (std::find(best->intervals.begin(), best->intervals.end(), c.interval) ==
            best->intervals.end()) {
            c.interval = best->intervals.front();
        }
        fillPix(f->fmt.pix);
        return 0;
    }
    case VIDIOC_G_PARM:
    case VIDIOC_S_PARM: {
        auto* p = static_cast<v4l2_streamparm*>(argument);
        if (p->type != V4L2_BUF_TYPE_VIDEO_CAPTURE) {
            return -EINVAL;
        }
        if (request == VIDIOC_S_PARM) {
            if (open.streaming) {
                return -EBUSY;
            }
            const ScriptedSize* s = findSize(c.fourcc, c.width, c.height);
            const FrameInterval wanted{p->parm.capture.timeperframe.numerator,
                                       p->parm.capture.timeperframe.denominator};
            FrameInterval best = s->intervals.front();
            for (const FrameInterval& i : s->intervals) {
                if (std::labs(long(i.MicroSeconds()) - long(wanted.MicroSeconds())) <
                    std::labs(long(best.MicroSeconds()) - long(wanted.MicroSeconds()))) {
                    best = i;
                }
            }
            c.interval = best;
        }
        p->parm.capture.capability = V4L2_CAP_TIMEPERFRAME;
        p->parm.capture.timeperframe = {c.interval.numerator, c.interval.denominator};
        return 0;
    }
    case VIDIOC_QUERY_EXT_CTRL: {
        auto* q = static_cast<v4l2_query_ext_ctrl*>(argument);
        const bool next = q->id & V4L2_CTRL_FLAG_NEXT_CTRL;
        const std::uint32_t id = q->id & ~(V4L2_CTRL_FLAG_NEXT_CTRL | V4L2_CTRL_FLAG_NEXT_COMPOUND);
        const ScriptedControl* found = nullptr;
        for (const ScriptedControl& control : c.controls) {
            if (next ? control.id > id && (!found || control.id < found->id) : control.id == id) {
                found = &control;
            }
        }
        if (!found) {
            return -EINVAL;
        }
        *q = {};
        q->id = found->id;
        q->type = found->type;
        std::strncpy(q->name, found->name.c_str(), sizeof q->name - 1);
        q->minimum = found->minimum;
        q->maximum = found->maximum;
        q->step = std::uint64_t(found->step);
        q->default_value = found->defaultValue;
        q->flags = flagsOf(*found);
        q->elem_size = 4;
        q->elems = 1;
        return 0;
    }
    case VIDIOC_QUERYMENU: {
        auto* m = static_cast<v4l2_querymenu*>(argument);
        const ScriptedControl* control = findControl(m->id);
        if (!control) {
            return -EINVAL;
        }
        auto item = control->menu.find(m->index);
        if (item == control->menu.end()) {
            return -EINVAL;
        }
        CopyText(m->name, sizeof m->name, item->second);
        return 0;
    }
    case VIDIOC_G_CTRL:
    case VIDIOC_S_CTRL: {
        auto* v = static_cast<v4l2_control*>(argument);
        ScriptedControl* control = findControl(v->id);
        if (!control || control->type == V4L2_CTRL_TYPE_CTRL_CLASS) {
            return -EINVAL;
        }
        if (request == VIDIOC_G_CTRL) {
            v->value = std::int32_t(control->value);
            return 0;
        }
        if (flagsOf(*control) & V4L2_CTRL_FLAG_INACTIVE) {
            return -EACCES; // as the camera does while its automatic control is on
        }
        if (v->value < control->minimum || v->value > control->maximum ||
            (control->type == V4L2_CTRL_TYPE_MENU && !control->menu.count(v->value))) {
            return -ERANGE;
        }
        if (control->type != V4L2_CTRL_TYPE_BUTTON) {
            control->value = v->value;
        }
        return 0;
    }
    case VIDIOC_REQBUFS: {
        auto* r = static_cast<v4l2_requestbuffers*>(argument);
        if (r->memory != V4L2_MEMORY_MMAP || r->type != V4L2_BUF_TYPE_VIDEO_CAPTURE) {
            return -EINVAL;
        }
        if (open.streaming) {
            return -EBUSY;
        }
        open.buffers.clear();
        if (r->count == 0) {
            return 0;
        }
        if (c.streamers > 0) {
            return -EBUSY;
        }
        r->count = std::clamp<std::uint32_t>(r->count, 2, 8);
        open.buffers.resize(r->count);
        for (Buffer& b : open.buffers) {
            b.memory.assign(SizeImage(c.fourcc, c.width, c.height), 0);
        }
        return 0;
    }
    case VIDIOC_QUERYBUF:
    case VIDIOC_QBUF:
    case VIDIOC_DQBUF: {
        auto* b = static_cast<v4l2_buffer*>(argument);
        if (request == VIDIOC_DQBUF) {
            if (c.faults.interruptedDequeues > 0) {
                --c.faults.interruptedDequeues;
                return -EINTR;
            }
            if (!open.streaming) {
                return -EINVAL;
            }
            while (FrameDue(open) && !c.gone) {
                MakeFrame(open);
            }
            auto filled = std::min_element(
                open.buffers.begin(), open.buffers.end(), [](const Buffer& x, const Buffer& y) {
                    return (x.filled ? x.sequence : ~0u) < (y.filled ? y.sequence : ~0u);
                });
            if (filled == open.buffers.end() || !filled->filled) {
                return c.gone ? -ENODEV : -EAGAIN;
            }
            filled->filled = false;
            filled->queued = false;
            b->index = std::uint32_t(filled - open.buffers.begin());
            b->bytesused = filled->bytesUsed;
            b->sequence = filled->sequence;
            b->flags =
                V4L2_BUF_FLAG_TIMESTAMP_MONOTONIC | V4L2_BUF_FLAG_MAPPED | V4L2_BUF_FLAG_DONE;
            b->timestamp.tv_sec = filled->timestampUs / 1000000;
            b->timestamp.tv_usec = filled->timestampUs % 1000000;
            b->length = std::uint32_t(filled->memory.size());
            return 0;
        }
        if (b->index >= open.buffers.size()) {
            return -EINVAL;
        }
        Buffer& buffer = open.buffers[b->index];
        if (request == VIDIOC_QBUF) {
            if (buffer.queued) {
                return -EINVAL;
            }
            buffer.queued = true;
            buffer.filled = false;
            return 0;
        }
        b->length = std::uint32_t(buffer.memory.size());
        b->m.offset = b->index << 24;
        return 0;
    }
    case VIDIOC_STREAMON:
        if (open.buffers.empty()) {
            return -EINVAL;
        }
        if (!open.streaming) {
            open.streaming = true;
            ++c.streamers;
            open.nextFrame = Clock::now() + std::chrono::microseconds(c.interval.MicroSeconds());
        }
        return 0;
    case VIDIOC_STREAMOFF:
        if (open.streaming) {
            open.streaming = false;
            --c.streamers;
        }
        for (Buffer& b : open.buffers) {
            b.queued = false;
            b.filled = false;
        }
        return 0;
    default:
        return -ENOTTY;
    }
}

ScriptedButton::ScriptedButton() : m_fd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

ScriptedButton::~ScriptedButton()
{
    ::close(m_fd);
}

void ScriptedButton::Press()
{
    {
        std::lock_guard lock(m_mutex);
        m_events.push_back(true);
    }
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(m_fd, &one, sizeof one);
}

void ScriptedButton::Release()
{
    {
        std::lock_guard lock(m_mutex);
        m_events.push_back(false);
    }
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(m_fd, &one, sizeof one);
}

std::vector<bool> ScriptedButton::Take()
{
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t n = ::read(m_fd, &count, sizeof count);
    std::lock_guard lock(m_mutex);
    return std::exchange(m_events, {});
}

namespace {

class ScriptedButtonDevice : public ButtonDevice
{
public:
    explicit ScriptedButtonDevice(std::shared_ptr<ScriptedButton> button)
        : m_button(std::move(button))
    {
    }
    int Fd() const override { return m_button->Fd(); }
    bool ReadEvents(const std::function<void(bool)>& changed) override
    {
        for (bool pressed : m_button->Take()) {
            changed(pressed);
        }
        return !m_button->gone;
    }

private:
    std::shared_ptr<ScriptedButton> m_button;
};

} // namespace

ButtonLookup ScriptedButtonFinder::Find(const std::string&)
{
    ButtonLookup lookup;
    lookup.state = m_state;
    if (m_state != ButtonState::None) {
        lookup.node = "/dev/input/event7";
    }
    if (m_state == ButtonState::Found && m_button) {
        lookup.device = std::make_unique<ScriptedButtonDevice>(m_button);
    }
    return lookup;
}

ScriptedCameraScope::ScriptedCameraScope(std::shared_ptr<ButtonFinder> finder)
    : m_io(std::make_shared<ScriptedDeviceIo>())
{
    SetDeviceIoForTesting(m_io);
    SetButtonFinderForTesting(finder ? std::move(finder)
                                     : std::make_shared<ScriptedButtonFinder>(ButtonState::None));
}

ScriptedCameraScope::~ScriptedCameraScope()
{
    SetDeviceIoForTesting(nullptr);
    SetButtonFinderForTesting(nullptr);
}

} // namespace scripted
