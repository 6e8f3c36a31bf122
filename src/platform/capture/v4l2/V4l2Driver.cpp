#include "platform/capture/v4l2/V4l2Driver.h"

#include "platform/capture/DriverDialogParts.h"
#include "platform/capture/v4l2/CameraFrames.h"
#include "platform/capture/v4l2/CameraTexts.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <linux/videodev2.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace vexol::platform::capture::v4l2 {

namespace {

constexpr std::uint32_t kBufferCount = 4;
constexpr int kPollTimeoutMs = 1000;
constexpr auto kFrameWait = std::chrono::seconds(3);
constexpr int kMaxRequestDimension = 16384;

std::int64_t Distance(std::uint32_t a, std::uint32_t b)
{
    return std::llabs(std::int64_t(a) - std::int64_t(b));
}

std::string FourccText(std::uint32_t fourcc)
{
    std::string text(4, ' ');
    for (int i = 0; i < 4; ++i) {
        const char c = char((fourcc >> (8 * i)) & 0xFF);
        text[std::size_t(i)] = c >= 32 && c < 127 ? c : '?';
    }
    return text;
}

} // namespace

V4l2Driver::V4l2Driver(std::string node, std::string name)
    : m_node(std::move(node)), m_name(std::move(name)), m_device(CurrentDeviceIo())
{
}

V4l2Driver::~V4l2Driver()
{
    Close();
}

bool V4l2Driver::Open()
{
    Close();
    const res::Language language = res::UserLanguage();
    int result = m_device.Open(m_node);
    if (result == 0) {
        std::vector<PixelFormatEntry> all;
        result = m_device.QueryFormats(all);
        m_formats.clear();
        for (PixelFormatEntry& f : all) {
            if (IsDeliverablePixelFormat(f.fourcc) && !f.sizes.empty()) {
                m_formats.push_back(std::move(f));
            }
        }
        if (result == 0 && m_formats.empty()) {
            result = -ENOTSUP;
        }
    }
    if (result != 0) {
        m_errorText = texts::OpenFailed(language, m_name, -result);
        m_device.Close();
        return false;
    }
    if (m_device.QueryControls(m_controls) != 0) {
        m_controls.clear(); // a camera without controls works all the same
    }
    ButtonLookup button = CurrentButtonFinder()->Find(m_node);
    m_buttonState = button.state;
    m_buttonNode = button.node;
    m_button = std::move(button.device);
    if (m_buttonState == ButtonState::Found && !m_button) {
        m_buttonState = ButtonState::None;
    }
    BuildChoices();

    // The remembered format when the camera still offers it, else the camera's own.
    const CameraSettings saved = LoadCameraSettings(Identity().card, Identity().bus);
    std::uint32_t fourcc = 0, width = 0, height = 0;
    bool pl41 = false;
    if (saved.fourcc &&
        SizeOf(saved.pl41 ? Pl41Source(saved.width, saved.height) : saved.fourcc, saved.width,
               saved.height) &&
        (!saved.pl41 || m_buttonState == ButtonState::Found)) {
        pl41 = saved.pl41;
        fourcc = pl41 ? Pl41Source(saved.width, saved.height) : saved.fourcc;
        width = saved.width;
        height = saved.height;
    } else {
        ActiveFormat current;
        if (m_device.GetFormat(current) == 0 &&
            SizeOf(current.fourcc, current.width, current.height)) {
            fourcc = current.fourcc;
            width = current.width;
            height = current.height;
        } else {
            // The size nearest to 640 × 480 of the first format.
            const PixelFormatEntry& first = m_formats.front();
            const SizeEntry* best = &first.sizes.front();
            for (const SizeEntry& s : first.sizes) {
                if (Distance(s.width, 640) + Distance(s.height, 480) <
                    Distance(best->width, 640) + Distance(best->height, 480)) {
                    best = &s;
                }
            }
            fourcc = first.fourcc;
            width = best->width;
            height = best->height;
        }
    }
    const SizeEntry* size = SizeOf(fourcc, width, height);
    FrameInterval interval{saved.intervalNumerator, saved.intervalDenominator};
    FrameInterval current;
    const bool savedOffered = size && std::find(size->intervals.begin(), size->intervals.end(),
                                                interval) != size->intervals.end();
    if (!savedOffered) {
        if (m_device.GetInterval(current) == 0 && size &&
            std::find(size->intervals.begin(), size->intervals.end(), current) !=
                size->intervals.end()) {
            interval = current;
        } else {
            interval = size && !size->intervals.empty() ? size->intervals.front() : FrameInterval{};
        }
    }
    result = Apply(fourcc, width, height, interval, pl41);
    if (result != 0) {
        m_errorText = texts::OpenFailed(language, m_name, -result);
        m_device.Close();
        m_button.reset();
        return false;
    }
    {
        std::lock_guard lock(m_mutex);
        m_chosenInterval = m_interval;
        m_settings.controls = saved.controls;
        m_open = true;
    }
    RestoreControls(saved.controls);
    m_errorText.clear();
    return true;
}

void V4l2Driver::Close()
{
    StopStream();
    {
        std::lock_guard lock(m_mutex);
        m_open = false;
        m_published.reset();
    }
    m_device.Close();
    m_button.reset();
    m_pressed.Reset();
    m_failed = false;
}

DriverCapabilities V4l2Driver::Capabilities() const
{
    return {.hasOverlay = false,
            .hasSourceDialog = true,
            .hasFormatDialog = true,
            .hasDisplayDialog = false};
}

FormatPtr V4l2Driver::CurrentFormat() const
{
    std::lock_guard lock(m_mutex);
    return m_open ? m_published : nullptr;
}

std::string V4l2Driver::ErrorText() const
{
    return m_errorText;
}

std::uint32_t V4l2Driver::DeliveredFramePeriod() const
{
    std::lock_guard lock(m_mutex);
    return m_interval.MicroSeconds();
}

FrameInterval V4l2Driver::Interval() const
{
    std::lock_guard lock(m_mutex);
    return m_interval;
}

void V4l2Driver::ChooseInterval(const FrameInterval& interval)
{
    std::lock_guard lock(m_mutex);
    m_pendingInterval = interval;
}

FrameCounters V4l2Driver::Counters() const
{
    return {m_delivered.load(), m_missed.load(), m_empty.load(), m_short.load(), m_corrupt.load()};
}

void V4l2Driver::BuildChoices()
{
    m_choices.clear();
    for (const PixelFormatEntry& f : m_formats) {
        FormatChoice c;
        c.fourcc = f.fourcc;
        c.compression = PublishedCompression(f.fourcc);
        c.bitCount = PublishedBitCount(f.fourcc);
        const std::string code =
            c.compression == BI_RGB
                ? (c.bitCount == 8 ? std::string("8-bit grey") : std::string("24-bit RGB"))
                : FourccText(c.compression);
        c.label = code + " (" + f.description + ")";
        c.sizes = f.sizes;
        // A camera offering both RGB orders is listed once: as 24-bit RGB they are alike.
        const bool twin =
            std::any_of(m_choices.begin(), m_choices.end(), [&](const FormatChoice& o) {
                return o.compression == c.compression && o.bitCount == c.bitCount;
            });
        if (!twin) {
            m_choices.push_back(std::move(c));
        }
    }
    if (m_buttonState != ButtonState::Found) {
        return;
    }
    FormatChoice pl41;
    pl41.compression = FOURCC_PL41;
    pl41.bitCount = 12;
    pl41.label = "PL41 (planar 4:2:0 with the snapshot button's state)";
    for (const PixelFormatEntry& f : m_formats) {
        for (const SizeEntry& s : f.sizes) {
            if (s.width % 2 || s.height % 2) {
                continue;
            }
            const bool known =
                std::any_of(pl41.sizes.begin(), pl41.sizes.end(), [&](const SizeEntry& o) {
                    return o.width == s.width && o.height == s.height;
                });
            if (!known) {
                SizeEntry entry = s;
                entry.intervals =
                    SizeOf(Pl41Source(s.width, s.height), s.width, s.height)->intervals;
                pl41.sizes.push_back(std::move(entry));
            }
        }
    }
    std::sort(pl41.sizes.begin(), pl41.sizes.end(), [](const SizeEntry& a, const SizeEntry& b) {
        return std::uint64_t(a.width) * a.height < std::uint64_t(b.width) * b.height;
    });
    if (!pl41.sizes.empty()) {
        m_choices.push_back(std::move(pl41));
    }
}

const SizeEntry* V4l2Driver::SizeOf(std::uint32_t fourcc, std::uint32_t width,
                                    std::uint32_t height) const
{
    for (const PixelFormatEntry& f : m_formats) {
        if (f.fourcc != fourcc) {
            continue;
        }
        for (const SizeEntry& s : f.sizes) {
            if (s.width == width && s.height == height) {
                return &s;
            }
        }
    }
    return nullptr;
}

std::uint32_t V4l2Driver::Pl41Source(std::uint32_t width, std::uint32_t height) const
{
    // The fastest format at that size; uncompressed ones win a tie (cheaper to convert).
    std::uint32_t best = 0;
    std::uint64_t bestMicros = ~std::uint64_t(0);
    bool bestCompressed = true;
    for (const PixelFormatEntry& f : m_formats) {
        const SizeEntry* s = SizeOf(f.fourcc, width, height);
        if (!s) {
            continue;
        }
        const std::uint64_t micros =
            s->intervals.empty() ? ~std::uint64_t(0) - 1 : s->intervals.front().MicroSeconds();
        const bool compressed = f.fourcc == V4L2_PIX_FMT_MJPEG || f.fourcc == V4L2_PIX_FMT_JPEG;
        if (micros < bestMicros || (micros == bestMicros && bestCompressed && !compressed)) {
            best = f.fourcc;
            bestMicros = micros;
            bestCompressed = compressed;
        }
    }
    return best;
}

const FormatChoice* V4l2Driver::ChoiceFor(const FormatRequest& request) const
{
    for (const FormatChoice& c : m_choices) {
        if (c.compression != request.compression) {
            continue;
        }
        if (c.compression != BI_RGB || c.bitCount == request.bitCount) {
            return &c;
        }
    }
    return nullptr;
}

const FormatChoice* V4l2Driver::CurrentChoice() const
{
    std::lock_guard lock(m_mutex);
    if (!m_published) {
        return nullptr;
    }
    const BITMAPINFOHEADER& h = m_published->header;
    for (const FormatChoice& c : m_choices) {
        if (c.compression == h.biCompression &&
            (c.compression != BI_RGB || c.bitCount == h.biBitCount)) {
            return &c;
        }
    }
    return nullptr;
}

int V4l2Driver::Apply(std::uint32_t fourcc, std::uint32_t width, std::uint32_t height,
                      const FrameInterval& interval, bool pl41)
{
    ActiveFormat active;
    int result = m_device.SetFormat(fourcc, width, height, active);
    if (result != 0) {
        return result;
    }
    const std::optional<VideoFormat> cameraFormat =
        PublishedFormat(active.fourcc, active.width, active.height, active.sizeImage);
    if (!cameraFormat || (pl41 && (active.width % 2 || active.height % 2))) {
        return -EINVAL;
    }
    FrameInterval got = interval;
    if (interval.denominator == 0 || m_device.SetInterval(interval, got) != 0 ||
        got.denominator == 0) {
        if (m_device.GetInterval(got) != 0) {
            got = {};
        }
    }
    auto camera = std::make_shared<const VideoFormat>(*cameraFormat);
    FormatPtr published = pl41 ? std::make_shared<const VideoFormat>(
                                     VideoFormat::MakePl41(int(active.width), int(active.height)))
                               : camera;
    std::lock_guard lock(m_mutex);
    m_active = active;
    m_pl41 = pl41;
    m_cameraFormat = std::move(camera);
    m_published = std::move(published);
    m_interval = got;
    m_settings.fourcc = pl41 ? std::uint32_t(FOURCC_PL41) : active.fourcc;
    m_settings.width = active.width;
    m_settings.height = active.height;
    m_settings.intervalNumerator = got.numerator;
    m_settings.intervalDenominator = got.denominator;
    m_settings.pl41 = pl41;
    if (pl41) {
        m_settings.fourcc = active.fourcc;
    }
    return 0;
}

bool V4l2Driver::SetFormat(const FormatRequest& request)
{
    if (request.width <= 0 || request.height == 0 || request.width > kMaxRequestDimension ||
        std::abs(request.height) > kMaxRequestDimension || request.bitCount < 0 ||
        request.bitCount > 64) {
        return false;
    }
    if (IsStreaming() || !CurrentFormat()) {
        return false;
    }
    // A request for a format this camera does not deliver at all (such as 16-bit RGB)
    // keeps the current one: none of the camera's is nearer than another.
    const FormatChoice* choice = ChoiceFor(request);
    if (!choice) {
        choice = CurrentChoice();
    }
    if (!choice) {
        return false;
    }
    const bool known = ChoiceFor(request) != nullptr;
    std::uint32_t width, height;
    {
        std::lock_guard lock(m_mutex);
        width = known ? std::uint32_t(request.width) : m_active.width;
        height = known ? std::uint32_t(std::abs(request.height)) : m_active.height;
    }
    const SizeEntry* size = &choice->sizes.front();
    for (const SizeEntry& s : choice->sizes) {
        if (Distance(s.width, width) + Distance(s.height, height) <
            Distance(size->width, width) + Distance(size->height, height)) {
            size = &s;
        }
    }
    const bool pl41 = choice->compression == FOURCC_PL41;
    const std::uint32_t fourcc = pl41 ? Pl41Source(size->width, size->height) : choice->fourcc;
    FrameInterval interval;
    {
        std::lock_guard lock(m_mutex);
        interval = m_pendingInterval.value_or(m_chosenInterval);
        m_pendingInterval.reset();
    }
    const SizeEntry* offered = SizeOf(fourcc, size->width, size->height);
    if (offered && !offered->intervals.empty() &&
        std::find(offered->intervals.begin(), offered->intervals.end(), interval) ==
            offered->intervals.end()) {
        // The rate nearest to the one chosen before.
        const std::uint32_t wanted = interval.MicroSeconds();
        FrameInterval best = offered->intervals.front();
        for (const FrameInterval& i : offered->intervals) {
            if (Distance(i.MicroSeconds(), wanted) < Distance(best.MicroSeconds(), wanted)) {
                best = i;
            }
        }
        interval = best;
    }
    const int result = Apply(fourcc, size->width, size->height, interval, pl41);
    if (result != 0) {
        m_errorText = texts::StreamFailed(res::UserLanguage(), m_name, -result);
        return false;
    }
    {
        std::lock_guard lock(m_mutex);
        m_chosenInterval = m_interval;
    }
    RememberSettings();
    return true;
}

FrameInterval V4l2Driver::NearestInterval(std::uint32_t microSeconds) const
{
    std::lock_guard lock(m_mutex);
    const SizeEntry* size = SizeOf(m_active.fourcc, m_active.width, m_active.height);
    if (microSeconds == 0 || !size || size->intervals.empty()) {
        return m_chosenInterval;
    }
    FrameInterval best = size->intervals.front();
    for (const FrameInterval& i : size->intervals) {
        if (Distance(i.MicroSeconds(), microSeconds) <
            Distance(best.MicroSeconds(), microSeconds)) {
            best = i;
        }
    }
    return best;
}

bool V4l2Driver::StartStream(std::uint32_t microSecPerFrame, FrameSink& sink)
{
    if (!CurrentFormat() || m_thread.joinable() || m_failed) {
        return false; // a camera that failed stays silent until it is connected again
    }
    const FrameInterval wanted = NearestInterval(microSecPerFrame);
    if (!(wanted == Interval()) && wanted.denominator != 0) {
        FrameInterval got;
        if (m_device.SetInterval(wanted, got) == 0 && got.denominator != 0) {
            std::lock_guard lock(m_mutex);
            m_interval = got;
        }
    }
    const int result = StartThread(&sink);
    if (result != 0) {
        m_errorText = texts::StreamFailed(res::UserLanguage(), m_name, -result);
        return false;
    }
    return true;
}

void V4l2Driver::SetFramePeriod(std::uint32_t microSecPerFrame)
{
    if (!m_thread.joinable() || m_failed) {
        return;
    }
    const FrameInterval wanted = NearestInterval(microSecPerFrame);
    if (wanted == Interval() || wanted.denominator == 0) {
        return;
    }
    // Cameras take a new rate only between streams.
    FrameSink* sink = m_sink;
    StopThread();
    FrameInterval got;
    if (m_device.SetInterval(wanted, got) == 0 && got.denominator != 0) {
        std::lock_guard lock(m_mutex);
        m_interval = got;
    }
    if (sink && StartThread(sink) != 0) {
        sink->OnStreamFailure(texts::StreamFailed(res::UserLanguage(), m_name, EIO));
    }
}

void V4l2Driver::StopStream()
{
    StopThread();
}

bool V4l2Driver::IsStreaming() const
{
    return m_thread.joinable();
}

int V4l2Driver::StartThread(FrameSink* sink)
{
    StreamSetup setup;
    {
        std::lock_guard lock(m_mutex);
        setup.active = m_active;
        setup.cameraFormat = m_cameraFormat;
        setup.published = m_published;
        setup.periodUs = m_interval.MicroSeconds();
    }
    m_lastStamp.reset();
    m_timeOffset = {};
    const int result = m_device.StartStreaming(kBufferCount);
    if (result != 0) {
        return result;
    }
    m_wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_wakeFd < 0) {
        const int error = errno;
        m_device.StopStreaming();
        return -error;
    }
    {
        std::lock_guard lock(m_latestMutex);
        m_streamEnded = false;
    }
    m_sink = sink;
    m_pressed.SetHeld(false);
    m_thread = std::thread([this, setup, sink] { Run(setup, sink); });
    return 0;
}

void V4l2Driver::StopThread()
{
    if (!m_thread.joinable()) {
        return;
    }
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(m_wakeFd, &one, sizeof one);
    m_thread.join();
    ::close(m_wakeFd);
    m_wakeFd = -1;
    m_sink = nullptr;
    m_device.StopStreaming();
}

void V4l2Driver::Run(StreamSetup setup, FrameSink* sink)
{
    DeviceIo& io = m_device.Io();
    std::optional<std::uint32_t> lastSequence;
    if (m_button) {
        m_button->ReadEvents([this](bool pressed) { OnButton(pressed); }); // catch up
    }
    int failure = 0;
    for (;;) {
        pollfd fds[3] = {{m_device.Fd(), POLLIN, 0}, {m_wakeFd, POLLIN, 0}, {-1, POLLIN, 0}};
        nfds_t count = 2;
        if (m_button) {
            fds[2].fd = m_button->Fd();
            count = 3;
        }
        const int ready = io.Poll(fds, count, kPollTimeoutMs);
        if (ready == -EINTR || ready == 0) {
            continue;
        }
        if (ready < 0) {
            failure = -ready;
            break;
        }
        if (fds[1].revents) {
            break; // stop requested
        }
        if (count == 3 && fds[2].revents &&
            !m_button->ReadEvents([this](bool pressed) { OnButton(pressed); })) {
            m_pressed.SetHeld(false); // the button went away; the camera may follow
        }
        if (!fds[0].revents) {
            continue;
        }
        DequeuedBuffer buffer;
        const int dequeued = m_device.Dequeue(buffer);
        if (dequeued == -EAGAIN) {
            if (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) {
                failure = ENODEV;
                break;
            }
            continue;
        }
        if (dequeued != 0) {
            failure = -dequeued;
            break;
        }
        Deliver(buffer, setup, sink, lastSequence);
        const int requeued = m_device.Requeue(buffer.index);
        if (requeued != 0) {
            failure = -requeued;
            break;
        }
    }
    {
        std::lock_guard lock(m_latestMutex);
        m_streamEnded = true;
    }
    m_latestChanged.notify_all();
    if (failure != 0) {
        m_failed = true;
    }
    if (failure != 0 && sink) {
        sink->OnStreamFailure(texts::StreamFailed(res::UserLanguage(), m_name, failure));
    }
}

void V4l2Driver::Deliver(const DequeuedBuffer& buffer, const StreamSetup& setup, FrameSink* sink,
                         std::optional<std::uint32_t>& lastSequence)
{
    std::uint32_t gap = 0;
    if (lastSequence) {
        gap = buffer.sequence - *lastSequence - 1;
        if (gap >= (1u << 20)) {
            gap = 0; // the counter started again
        }
        m_missed += gap;
    }
    lastSequence = buffer.sequence;
    const auto stamp =
        buffer.monotonic
            ? std::chrono::steady_clock::time_point(std::chrono::microseconds(buffer.timestampUs))
            : std::chrono::steady_clock::now();
    // Frames the camera lost keep their time even when its clock does not show them, so
    // that a capture counts them as dropped: the missing time is added from here on.
    if (m_lastStamp && gap > 0 && setup.periodUs > 0) {
        const auto expected = std::chrono::microseconds(std::uint64_t(gap + 1) * setup.periodUs);
        const auto seen =
            std::chrono::duration_cast<std::chrono::microseconds>(stamp - *m_lastStamp);
        if (seen < expected - std::chrono::microseconds(setup.periodUs / 2)) {
            m_timeOffset += expected - seen;
        }
    }
    m_lastStamp = stamp;
    const auto captured = stamp + m_timeOffset;
    if (buffer.flags & V4L2_BUF_FLAG_ERROR) {
        ++m_corrupt;
        return;
    }
    std::shared_ptr<VideoFrame> frame = m_cameraPool->Acquire(setup.cameraFormat->FrameBytes());
    frame->format = setup.cameraFormat;
    switch (CopyCameraFrame(setup.active, buffer.data, buffer.bytesUsed, *frame)) {
    case FrameCheck::Ok:
        break;
    case FrameCheck::Empty:
        ++m_empty;
        return;
    case FrameCheck::Short:
        ++m_short;
        return;
    case FrameCheck::CorruptJpeg:
        ++m_corrupt;
        return;
    }
    frame->number = buffer.sequence;
    frame->captured = captured;
    FramePtr out = frame;
    if (setup.published != setup.cameraFormat) {
        std::shared_ptr<VideoFrame> pl41 = m_pl41Pool->Acquire(setup.published->FrameBytes());
        pl41->format = setup.published;
        const bool pressed = m_pressed.TakeFrame();
        if (!FrameToPl41(*frame, pressed, pl41->data.data(), pl41->data.size())) {
            ++m_corrupt; // a JPEG whose data does not decode
            return;
        }
        pl41->bytesUsed = DWORD(pl41->data.size());
        pl41->number = frame->number;
        pl41->captured = frame->captured;
        out = pl41;
    }
    ++m_delivered;
    {
        std::lock_guard lock(m_latestMutex);
        m_latest = out;
        ++m_latestSerial;
    }
    m_latestChanged.notify_all();
    if (sink) {
        sink->OnFrame(std::move(out));
    }
}

void V4l2Driver::OnButton(bool pressed)
{
    m_pressed.SetHeld(pressed);
}

FramePtr V4l2Driver::CaptureFrame()
{
    if (!CurrentFormat()) {
        return nullptr;
    }
    if (m_failed) {
        return nullptr;
    }
    const bool ownStream = !m_thread.joinable();
    std::uint64_t serial;
    {
        std::lock_guard lock(m_latestMutex);
        serial = m_latestSerial;
    }
    if (ownStream && StartThread(nullptr) != 0) {
        return nullptr;
    }
    FramePtr frame;
    {
        std::unique_lock lock(m_latestMutex);
        m_latestChanged.wait_for(lock, kFrameWait,
                                 [&] { return m_latestSerial != serial || m_streamEnded; });
        if (m_latestSerial != serial) {
            frame = m_latest;
        }
    }
    if (ownStream) {
        StopThread();
    }
    return frame;
}

std::vector<ControlInfo> V4l2Driver::Controls()
{
    for (ControlInfo& c : m_controls) {
        m_device.QueryControl(c);
    }
    return m_controls;
}

std::optional<std::int64_t> V4l2Driver::ControlValue(std::uint32_t id)
{
    std::int64_t value = 0;
    if (m_device.GetControl(id, value) != 0) {
        return std::nullopt;
    }
    return value;
}

int V4l2Driver::SetControlValue(std::uint32_t id, std::int64_t value)
{
    const int result = m_device.SetControl(id, value);
    if (result == 0) {
        std::lock_guard lock(m_mutex);
        m_settings.controls[id] = std::int32_t(value);
    }
    return result;
}

void V4l2Driver::ResetControls()
{
    std::map<std::uint32_t, std::int32_t> defaults;
    for (const ControlInfo& c : m_controls) {
        if (c.type != V4L2_CTRL_TYPE_BUTTON && c.IsWritable()) {
            defaults[c.id] = std::int32_t(c.defaultValue);
        }
    }
    RestoreControls(defaults);
}

void V4l2Driver::RestoreControls(const std::map<std::uint32_t, std::int32_t>& values)
{
    // Two rounds: a manual control refused while its automatic one was on takes its
    // value once the automatic one is off.
    std::vector<std::uint32_t> refused;
    for (const ControlInfo& c : m_controls) {
        const auto it = values.find(c.id);
        if (it == values.end() || c.type == V4L2_CTRL_TYPE_BUTTON) {
            continue;
        }
        const std::int64_t value = std::clamp<std::int64_t>(it->second, c.minimum, c.maximum);
        if (SetControlValue(c.id, value) != 0) {
            refused.push_back(c.id);
        }
    }
    for (std::uint32_t id : refused) {
        SetControlValue(id, values.at(id));
    }
}

void V4l2Driver::RememberSettings()
{
    CameraSettings settings;
    {
        std::lock_guard lock(m_mutex);
        if (!m_open) {
            return;
        }
        settings = m_settings;
    }
    SaveCameraSettings(Identity().card, Identity().bus, settings);
}

bool V4l2Driver::RunDisplayDialog(QWidget*)
{
    return false; // no display dialog
}

void V4l2Driver::PaintOverlay(QPainter& painter, const QRect& area, const VideoFrame* latest)
{
    PaintFrameStretched(painter, area, latest);
}

} // namespace vexol::platform::capture::v4l2
