#include "platform/capture/v4l2/CameraList.h"

#include "platform/capture/v4l2/CameraFrames.h"
#include "platform/capture/v4l2/V4l2Driver.h"

#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <libudev.h>
#include <linux/videodev2.h>
#include <mutex>
#include <set>
#include <sstream>

namespace vexol::platform::capture::v4l2 {

namespace {

constexpr std::size_t kMaxText = 99;

std::string Cut(std::string text)
{
    if (text.size() > kMaxText) {
        std::size_t n = kMaxText;
        while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) {
            --n; // never half a character
        }
        text.resize(n);
    }
    return text;
}

std::string VersionText(const CameraIdentity& id)
{
    std::ostringstream out;
    out << "Version " << ((id.version >> 16) & 0xFF) << '.' << ((id.version >> 8) & 0xFF) << '.'
        << (id.version & 0xFF) << " (" << id.driver << ", V4L2)";
    return out.str();
}

InstalledDriver MakeEntry(const std::string& node, const std::string& name,
                          const std::string& version)
{
    const std::string description = Cut(name);
    return {description, Cut(version),
            [node, description] { return std::make_unique<V4l2Driver>(node, description); }, node};
}

std::string FourccText(std::uint32_t fourcc)
{
    std::string text;
    for (int i = 0; i < 4; ++i) {
        const char c = char((fourcc >> (8 * i)) & 0xFF);
        text += c >= 32 && c < 127 ? c : '?';
    }
    return text;
}

const char* TypeName(std::uint32_t type)
{
    switch (type) {
    case V4L2_CTRL_TYPE_INTEGER:
        return "integer";
    case V4L2_CTRL_TYPE_BOOLEAN:
        return "on/off";
    case V4L2_CTRL_TYPE_MENU:
        return "menu";
    case V4L2_CTRL_TYPE_INTEGER_MENU:
        return "number menu";
    case V4L2_CTRL_TYPE_BUTTON:
        return "button";
    default:
        return "other";
    }
}

// The last list, reused for a moment while the same nodes are present: enumerating the
// drivers asks for it once per index.
struct ListCache
{
    std::mutex mutex; // guards the fields below
    std::weak_ptr<DeviceIo> io;
    std::vector<std::string> nodes;
    std::vector<InstalledDriver> drivers;
    std::chrono::steady_clock::time_point made;
    bool valid = false;
};

ListCache& Cache()
{
    static ListCache cache;
    return cache;
}

void ForgetList()
{
    ListCache& cache = Cache();
    std::lock_guard lock(cache.mutex);
    cache.valid = false;
}

// Watches live, for NotifyCamerasChangedForTesting.
std::mutex g_watchMutex; // guards g_watches
std::set<QObject*> g_watches;

class CameraWatch : public QObject
{
public:
    explicit CameraWatch(std::function<void()> changed) : m_changed(std::move(changed))
    {
        m_settle.setSingleShot(true);
        m_settle.setInterval(300); // a camera brings several nodes at once
        connect(&m_settle, &QTimer::timeout, this, [this] { m_changed(); });
        m_udev = udev_new();
        m_monitor = m_udev ? udev_monitor_new_from_netlink(m_udev, "udev") : nullptr;
        if (m_monitor &&
            udev_monitor_filter_add_match_subsystem_devtype(m_monitor, "video4linux", nullptr) ==
                0 &&
            udev_monitor_enable_receiving(m_monitor) == 0) {
            m_notifier =
                new QSocketNotifier(udev_monitor_get_fd(m_monitor), QSocketNotifier::Read, this);
            connect(m_notifier, &QSocketNotifier::activated, this, [this] {
                while (udev_device* device = udev_monitor_receive_device(m_monitor)) {
                    udev_device_unref(device);
                }
                ForgetList();
                m_settle.start();
            });
        }
        std::lock_guard lock(g_watchMutex);
        g_watches.insert(this);
    }
    ~CameraWatch() override
    {
        {
            std::lock_guard lock(g_watchMutex);
            g_watches.erase(this);
        }
        delete m_notifier;
        if (m_monitor) {
            udev_monitor_unref(m_monitor);
        }
        if (m_udev) {
            udev_unref(m_udev);
        }
    }
    void Changed()
    {
        ForgetList();
        m_settle.start();
    }

private:
    std::function<void()> m_changed;
    QTimer m_settle;
    udev* m_udev = nullptr;
    udev_monitor* m_monitor = nullptr;
    QSocketNotifier* m_notifier = nullptr;
};

} // namespace

std::vector<InstalledDriver> CameraDrivers()
{
    const std::shared_ptr<DeviceIo> io = CurrentDeviceIo();
    const std::vector<VideoNode> nodes = io->VideoNodes();
    std::vector<std::string> paths;
    for (const VideoNode& node : nodes) {
        paths.push_back(node.path);
    }
    ListCache& cache = Cache();
    {
        std::lock_guard lock(cache.mutex);
        if (cache.valid && cache.io.lock() == io && cache.nodes == paths &&
            std::chrono::steady_clock::now() - cache.made < std::chrono::seconds(1)) {
            return cache.drivers;
        }
    }
    std::vector<InstalledDriver> drivers;
    for (const VideoNode& node : nodes) {
        V4l2Device device(io);
        const int result = device.Open(node.path);
        if (result == 0) {
            const CameraIdentity& id = device.Identity();
            drivers.push_back(MakeEntry(node.path, id.card + " (" + id.bus + ")", VersionText(id)));
        } else if (result == -EACCES || result == -EPERM || result == -EBUSY) {
            const std::string name = node.product.empty() ? std::string("Camera") : node.product;
            drivers.push_back(MakeEntry(node.path, name + " (" + node.path + ")",
                                        result == -EBUSY ? "In use (V4L2)" : "No access (V4L2)"));
        }
    }
    std::lock_guard lock(cache.mutex);
    cache.io = io;
    cache.nodes = std::move(paths);
    cache.drivers = drivers;
    cache.made = std::chrono::steady_clock::now();
    cache.valid = true;
    return drivers;
}

std::string DescribeCamera(const std::string& node)
{
    V4l2Driver driver(node, node);
    std::ostringstream out;
    if (!driver.Open()) {
        out << driver.ErrorText() << '\n';
        return out.str();
    }
    const CameraIdentity& id = driver.Identity();
    out << "Camera:   " << id.card << '\n'
        << "Node:     " << id.node << '\n'
        << "Bus:      " << id.bus << '\n'
        << "Driver:   " << VersionText(id) << '\n';
    const FormatPtr format = driver.CurrentFormat();
    const FrameInterval interval = driver.Interval();
    out << "Now:      "
        << FourccText(format->header.biCompression == BI_RGB ? 0x20424752u
                                                             : format->header.biCompression)
        << ' ' << format->Width() << 'x' << format->Height();
    if (interval.numerator) {
        out << " at " << double(interval.denominator) / interval.numerator << " frames per second";
    }
    out << "\n\nFormats:\n";
    for (const FormatChoice& c : driver.Choices()) {
        out << "  " << c.label << '\n';
        for (const SizeEntry& s : c.sizes) {
            out << "    " << s.width << 'x' << s.height << ':';
            for (const FrameInterval& i : s.intervals) {
                out << ' ' << double(i.denominator) / i.numerator;
            }
            out << (s.intervals.empty() ? " (rate not listed)" : " frames per second") << '\n';
        }
    }
    out << "\nControls:\n";
    const std::vector<ControlInfo> controls = driver.Controls();
    if (controls.empty()) {
        out << "  none\n";
    }
    for (const ControlInfo& c : controls) {
        out << "  " << c.name << " (" << TypeName(c.type) << ')';
        if (c.type != V4L2_CTRL_TYPE_BUTTON) {
            out << ": " << c.minimum << " to " << c.maximum;
            if (c.step > 1) {
                out << " step " << c.step;
            }
            out << ", default " << c.defaultValue;
            if (const auto value = driver.ControlValue(c.id)) {
                out << ", now " << *value;
            }
        }
        if (c.IsInactive()) {
            out << " [inactive]";
        }
        if (!c.IsWritable()) {
            out << " [read-only]";
        }
        out << '\n';
        for (const ControlMenuItem& item : c.menu) {
            out << "      " << item.value << ": " << item.name << '\n';
        }
    }
    out << "\nSnapshot button: ";
    switch (driver.Button()) {
    case ButtonState::Found:
        out << driver.ButtonNode() << '\n';
        break;
    case ButtonState::NotPermitted:
        out << driver.ButtonNode() << " (not readable: add your user to the \"input\" group)\n";
        break;
    case ButtonState::None:
        out << "none\n";
        break;
    }
    driver.Close();
    return out.str();
}

std::unique_ptr<QObject> WatchCameras(std::function<void()> changed)
{
    return std::make_unique<CameraWatch>(std::move(changed));
}

void NotifyCamerasChangedForTesting()
{
    std::lock_guard lock(g_watchMutex);
    for (QObject* watch : g_watches) {
        QMetaObject::invokeMethod(
            watch, [watch] { static_cast<CameraWatch*>(watch)->Changed(); }, Qt::QueuedConnection);
    }
}

} // namespace vexol::platform::capture::v4l2
