// The driver window: connecting a driver, the display modes, still frames and the
// clipboard, the driver's dialogs and painting. Capture sequences and file work live in
// DriverWindowSequence.cpp and DriverWindowFileWork.cpp.
#include "platform/capture/DriverWindow.h"

#include "platform/WindowRegistry.h"
#include "platform/capture/DibFile.h"
#include "platform/capture/DriverRegistry.h"
#include "platform/capture/DriverWindowRegistry.h"
#include "platform/capture/FrameConversion.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QPainter>
#include <QPointer>
#include <QRegion>
#include <cstring>

namespace vexol::platform::capture {

namespace {

constexpr std::uint32_t kOverlayPeriodUs = 33333;
constexpr int kOverlayRefreshMs = 33;
constexpr UINT kMaxPreviewRateMs = 60000;

} // namespace

DriverWindow::DriverWindow(QWidget* parent)
    : QWidget(parent), m_state(std::make_shared<DriverWindowState>(this))
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_refreshTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_refreshTimer, &QTimer::timeout, this, [this] { RefreshFromSlot(); });
    RegisterDriverWindow(Handle(), m_state);
}

DriverWindow::~DriverWindow()
{
    // From here on, messages to this handle are not delivered and it resolves to no window.
    UnregisterDriverWindow(Handle());
    RetireWindowHandle(Handle());
    m_refreshTimer.stop();
    EndSession();
    if (m_driver) {
        m_driver->Close();
        m_driver.reset();
    }
    m_state->DetachWindow();
}

HWND DriverWindow::Handle() const
{
    return m_state->Handle();
}

long long DriverWindow::ShownFrameNumber() const
{
    return m_shownFrame ? static_cast<long long>(m_shownFrame->number) : -1;
}

LRESULT DriverWindow::Connect(UINT index)
{
    if (m_busy) {
        return FALSE;
    }
    Disconnect(); // a new connection replaces the earlier one, also when it fails
    const std::vector<InstalledDriver> drivers = InstalledDrivers();
    if (index >= drivers.size() || !drivers[index].create) {
        return FALSE;
    }
    std::unique_ptr<CaptureDriver> driver = drivers[index].create();
    if (!driver) {
        return FALSE;
    }
    if (!driver->Open()) {
        // A camera says why (busy, no permission, unplugged); the caller may try another.
        const std::string why = driver->ErrorText();
        if (!why.empty()) {
            m_state->Callbacks()->Error(Handle(), IDS_CAP_DRIVER_FAILED, why.c_str());
        }
        return FALSE;
    }
    m_driver = std::move(driver);
    const DriverCapabilities caps = m_driver->Capabilities();
    m_state->SetConnection({.connected = true,
                            .index = index,
                            .name = drivers[index].name,
                            .version = drivers[index].version,
                            .caps = caps,
                            .format = m_driver->CurrentFormat()});
    DisplayState d = m_state->Display();
    d.overlay = d.overlay && caps.hasOverlay;
    m_state->SetDisplay(d);
    UpdateStreaming();
    UpdateRefreshTimer();
    update();
    return TRUE;
}

LRESULT DriverWindow::DisconnectDriver()
{
    if (m_busy || !m_driver) {
        return FALSE;
    }
    Disconnect();
    return TRUE;
}

void DriverWindow::Disconnect()
{
    EndSession();
    if (m_driver) {
        m_driver->Close();
        m_driver.reset();
    }
    m_state->SetConnection({});
    m_state->Slot().Clear();
    m_shownFrame.reset();
    m_shownImage = QImage();
    m_imageStale = false;
    UpdateRefreshTimer();
    update();
}

void DriverWindow::EndSession()
{
    m_abortWatcher.reset();
    if (auto session = m_state->Session()) {
        session->RequestAbort();
        session->Join();
        m_state->SetSession(nullptr);
    }
}

LRESULT DriverWindow::SetVideoFormat(WPARAM size, LPARAM format)
{
    if (m_busy || !m_driver || format == 0 || size < sizeof(BITMAPINFOHEADER)) {
        return FALSE;
    }
    // Only the header matters: the colour table of a request is the driver's to choose,
    // and callers are known to put the whole format size into biSize.
    BITMAPINFOHEADER h{};
    std::memcpy(&h, reinterpret_cast<const void*>(format), sizeof h);
    return ApplyFormatRequest({h.biWidth, h.biHeight, h.biBitCount, h.biCompression});
}

LRESULT DriverWindow::ApplyFormatRequest(const FormatRequest& request)
{
    if (!m_driver || m_state->IsCapturing()) {
        return FALSE; // a running capture keeps its format
    }
    if (m_driver->IsStreaming()) {
        m_driver->StopStream();
    }
    const bool ok = m_driver->SetFormat(request);
    m_state->SetFormat(m_driver->CurrentFormat());
    if (ok) {
        m_state->Slot().Clear(); // frames of the old format are no current frame any more
    }
    UpdateStreaming();
    return ok ? TRUE : FALSE;
}

LRESULT DriverWindow::SetPreview(bool on)
{
    if (!m_driver) {
        return FALSE;
    }
    DisplayState d = m_state->Display();
    d.preview = on;
    if (on) {
        d.overlay = false;
    }
    m_state->SetDisplay(d);
    UpdateStreaming();
    UpdateRefreshTimer();
    if (on) {
        ReportDisplayMode(IDS_CAP_STAT_LIVE_MODE, "Live picture (preview).");
    }
    return TRUE;
}

LRESULT DriverWindow::SetOverlay(bool on)
{
    if (!m_driver || (on && !m_driver->Capabilities().hasOverlay)) {
        return FALSE;
    }
    DisplayState d = m_state->Display();
    d.overlay = on;
    if (on) {
        d.preview = false;
    }
    m_state->SetDisplay(d);
    UpdateStreaming();
    UpdateRefreshTimer();
    update();
    if (on) {
        ReportDisplayMode(IDS_CAP_STAT_OVERLAY_MODE, "Overlay picture.");
    }
    return TRUE;
}

LRESULT DriverWindow::SetPreviewRate(WPARAM milliseconds)
{
    if (milliseconds == 0) {
        return FALSE;
    }
    DisplayState d = m_state->Display();
    d.previewRateMs = UINT(std::min<WPARAM>(milliseconds, kMaxPreviewRateMs));
    m_state->SetDisplay(d);
    UpdateStreaming();
    UpdateRefreshTimer();
    return TRUE;
}

LRESULT DriverWindow::SetScale(bool on)
{
    DisplayState d = m_state->Display();
    d.scale = on;
    m_state->SetDisplay(d);
    update();
    return TRUE;
}

LRESULT DriverWindow::GrabFrame(bool stopDisplay)
{
    if (!m_driver || m_state->IsCapturing()) {
        return FALSE;
    }
    if (stopDisplay) {
        DisplayState d = m_state->Display();
        d.preview = false;
        d.overlay = false;
        m_state->SetDisplay(d);
        UpdateRefreshTimer();
        UpdateStreaming();
    }
    FramePtr frame = m_driver->CaptureFrame();
    if (!frame) {
        return FALSE;
    }
    m_state->Slot().Publish(frame);
    ShowFrame(std::move(frame), m_state->Slot().LatestWithGeneration().second);
    return TRUE;
}

FramePtr DriverWindow::CurrentFrame()
{
    if (FramePtr latest = m_state->Slot().Latest()) {
        return latest;
    }
    // Nothing shown or grabbed yet: take a frame now, so that there is one to give.
    FramePtr frame = m_driver ? m_driver->CaptureFrame() : nullptr;
    if (frame) {
        m_state->Slot().Publish(frame);
    }
    return frame;
}

LRESULT DriverWindow::SaveDib(LPARAM path)
{
    const char* name = reinterpret_cast<const char*>(path);
    if (!m_driver || !name || !*name) {
        return FALSE;
    }
    const FramePtr frame = CurrentFrame();
    return frame && WriteFrameAsBmpFile(*frame, name) ? TRUE : FALSE;
}

LRESULT DriverWindow::CopyToClipboard()
{
    if (!m_driver) {
        return FALSE;
    }
    const FramePtr frame = CurrentFrame();
    const QImage image = frame ? FrameToImage(*frame) : QImage();
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (image.isNull() || !clipboard) {
        return FALSE;
    }
    clipboard->setImage(image);
    return TRUE;
}

LRESULT DriverWindow::RunDialog(UINT message)
{
    if (!m_driver || m_busy || m_state->IsCapturing()) {
        return FALSE;
    }
    const DriverCapabilities caps = m_driver->Capabilities();
    const bool available = message == WM_CAP_DLG_VIDEOFORMAT   ? caps.hasFormatDialog
                           : message == WM_CAP_DLG_VIDEOSOURCE ? caps.hasSourceDialog
                                                               : caps.hasDisplayDialog;
    if (!available) {
        return FALSE;
    }
    // The dialog runs an event loop in which this window may be destroyed: keep the
    // driver alive for it and touch nothing of this window unless it still exists.
    const std::shared_ptr<CaptureDriver> driver = m_driver;
    QPointer<DriverWindow> self(this);
    m_busy = true;
    LRESULT result = FALSE;
    if (message == WM_CAP_DLG_VIDEOFORMAT) {
        const std::optional<FormatRequest> request = driver->RunFormatDialog(this);
        if (!self) {
            return FALSE;
        }
        m_busy = false;
        result = request ? ApplyFormatRequest(*request) : FALSE;
    } else {
        const bool confirmed = message == WM_CAP_DLG_VIDEOSOURCE ? driver->RunSourceDialog(this)
                                                                 : driver->RunDisplayDialog(this);
        if (!self) {
            return FALSE;
        }
        result = confirmed ? TRUE : FALSE;
    }
    m_busy = false;
    update();
    return result;
}

void DriverWindow::UpdateStreaming()
{
    if (!m_driver) {
        return;
    }
    const DisplayState d = m_state->Display();
    const auto session = m_state->Session();
    const bool capturing = session && session->IsCapturing();
    if (!capturing && !d.preview && !d.overlay) {
        m_driver->StopStream();
        return;
    }
    // A capture sets the pace; the picture shows whichever frame is newest.
    // A camera shows the live picture at its own rate (period 0).
    const std::uint32_t period = capturing ? session->Config().parms.dwRequestMicroSecPerFrame
                                 : m_driver->PacesItself() ? 0u
                                 : d.overlay               ? kOverlayPeriodUs
                                                           : d.previewRateMs * 1000u;
    if (m_driver->IsStreaming()) {
        m_driver->SetFramePeriod(period);
    } else {
        m_driver->StartStream(period, *m_state);
    }
}

void DriverWindow::UpdateRefreshTimer()
{
    const DisplayState d = m_state->Display();
    if (m_driver && (d.preview || d.overlay)) {
        m_refreshTimer.start(d.overlay ? kOverlayRefreshMs : int(d.previewRateMs));
    } else {
        m_refreshTimer.stop();
    }
}

void DriverWindow::RefreshFromSlot()
{
    auto [frame, generation] = m_state->Slot().LatestWithGeneration();
    if (generation != m_shownGeneration && frame) {
        ShowFrame(std::move(frame), generation);
    }
}

void DriverWindow::ShowFrame(FramePtr frame, std::uint64_t generation)
{
    m_shownFrame = std::move(frame);
    m_imageStale = true;
    m_shownGeneration = generation;
    update();
}

void DriverWindow::ReportDisplayMode(int id, const char* text)
{
    m_state->Callbacks()->Status(Handle(), id, text);
}

void DriverWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const DisplayState d = m_state->Display();
    if (d.overlay && m_driver) {
        m_driver->PaintOverlay(painter, rect(), m_shownFrame.get());
        return;
    }
    if (m_shownFrame && m_imageStale) {
        // A JPEG frame is decoded only as large as it is shown; a frame that does not
        // decode leaves the picture before it.
        m_imageStale = false;
        QImage image = FrameToImage(*m_shownFrame, d.scale ? size() : QSize());
        if (!image.isNull()) {
            m_shownImage = std::move(image);
        }
    }
    if (m_shownImage.isNull()) {
        painter.fillRect(rect(), Qt::black);
        return;
    }
    if (d.scale) {
        painter.drawImage(rect(), m_shownImage);
        return;
    }
    // At its own size at the top left; the rest of the window is black.
    const QRect picture(QPoint(0, 0), m_shownImage.size());
    painter.drawImage(picture.topLeft(), m_shownImage);
    for (const QRect& r : QRegion(rect()).subtracted(QRegion(picture))) {
        painter.fillRect(r, Qt::black);
    }
}

} // namespace vexol::platform::capture
