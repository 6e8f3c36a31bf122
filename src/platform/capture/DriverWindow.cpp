#include "platform/capture/DriverWindow.h"

#include "platform/capture/AviAllocate.h"
#include "platform/capture/AviSaveAs.h"
#include "platform/capture/CaptureTexts.h"
#include "platform/capture/DibFile.h"
#include "platform/capture/DriverDialogParts.h"
#include "platform/capture/DriverDialogRunner.h"
#include "platform/capture/DriverRegistry.h"
#include "platform/capture/DriverWindowRegistry.h"
#include "platform/capture/FileCaptureConsumer.h"
#include "platform/capture/FileWorkProgress.h"
#include "platform/capture/FrameConversion.h"

#include <QClipboard>
#include <QDialog>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFormLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QRegion>
#include <cstring>
#include <deque>
#include <mutex>

namespace vexol::platform::capture {

namespace {

constexpr std::uint32_t kOverlayPeriodUs = 33333;
constexpr int kOverlayRefreshMs = 33;
constexpr UINT kMaxPreviewRateMs = 60000;
// Frames waiting for the writer take at most this much memory. A stop writes the waiting
// frames first, so this also bounds how long a stop takes when the disk cannot keep up:
// at 1920 x 1080 (6 MB a frame) ten frames, about 0.2 s of a 300 MB/s disk.
constexpr std::size_t kQueueMemoryBudget = 64u << 20;

// Freed driver-window blocks wait here before going back to the allocator.
struct FreedWindowQuarantine
{
    static constexpr std::size_t kCapacity = 32;
    std::mutex mutex; // guards blocks
    std::deque<void*> blocks;

    ~FreedWindowQuarantine()
    {
        for (void* block : blocks) {
            ::operator delete(block);
        }
    }
};

FreedWindowQuarantine& Quarantine()
{
    static FreedWindowQuarantine quarantine;
    return quarantine;
}

std::size_t QueueCapacity(const CAPTUREPARMS& parms, const VideoFormat& format)
{
    const std::size_t frameBytes = std::max<std::size_t>(1, format.FrameBytes());
    const std::size_t byMemory = std::max<std::size_t>(2, kQueueMemoryBudget / frameBytes);
    return std::clamp<std::size_t>(parms.wNumVideoRequested, 2, byMemory);
}

} // namespace

void* DriverWindow::operator new(std::size_t size)
{
    return ::operator new(size);
}

void DriverWindow::operator delete(void* block)
{
    FreedWindowQuarantine& q = Quarantine();
    void* released = nullptr;
    {
        std::lock_guard lock(q.mutex);
        q.blocks.push_back(block);
        if (q.blocks.size() > FreedWindowQuarantine::kCapacity) {
            released = q.blocks.front();
            q.blocks.pop_front();
        }
    }
    ::operator delete(released); // null is fine
}

DriverWindow::DriverWindow(QWidget* parent)
    : QWidget(parent), m_state(std::make_shared<DriverWindowState>(this))
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_refreshTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_refreshTimer, &QTimer::timeout, this, [this] { RefreshFromSlot(); });
    RegisterDriverWindow(this, m_state);
}

DriverWindow::~DriverWindow()
{
    UnregisterDriverWindow(this); // from here on, messages to this handle are not delivered
    m_refreshTimer.stop();
    EndSession();
    if (m_driver) {
        m_driver->Close();
        m_driver.reset();
    }
    m_state->DetachWindow();
}

LRESULT DriverWindow::HandleOwnerMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CAP_DRIVER_CONNECT:
        return Connect(UINT(wParam));
    case WM_CAP_DRIVER_DISCONNECT:
        if (m_busy || !m_driver) {
            return FALSE;
        }
        Disconnect();
        return TRUE;
    case WM_CAP_SET_VIDEOFORMAT:
        return SetVideoFormat(wParam, lParam);
    case WM_CAP_DLG_VIDEOFORMAT:
    case WM_CAP_DLG_VIDEOSOURCE:
    case WM_CAP_DLG_VIDEODISPLAY:
        return RunDialog(message);
    case WM_CAP_SET_PREVIEW:
        return SetPreview(wParam != 0);
    case WM_CAP_SET_OVERLAY:
        return SetOverlay(wParam != 0);
    case WM_CAP_SET_PREVIEWRATE:
        return SetPreviewRate(wParam);
    case WM_CAP_SET_SCALE: {
        DisplayState d = m_state->Display();
        d.scale = wParam != 0;
        m_state->SetDisplay(d);
        update();
        return TRUE;
    }
    case WM_CAP_GRAB_FRAME:
        return GrabFrame(true);
    case WM_CAP_GRAB_FRAME_NOSTOP:
        return GrabFrame(false);
    case WM_CAP_FILE_SAVEDIB:
        return SaveDib(lParam);
    case WM_CAP_EDIT_COPY:
        return CopyToClipboard();
    case WM_CAP_SEQUENCE_NOFILE:
        return StartSequence(false);
    case WM_CAP_SEQUENCE:
        return StartSequence(true);
    case WM_CAP_FILE_ALLOCATE:
        return AllocateFile(lParam);
    case WM_CAP_FILE_SAVEAS:
        return SaveFileAs(lParam);
    default:
        return 0;
    }
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
            m_state->Callbacks()->Error(this, IDS_CAP_DRIVER_FAILED, why.c_str());
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

LRESULT DriverWindow::StartSequence(bool toFile)
{
    if (!m_driver || m_busy || m_state->IsCapturing()) {
        return FALSE;
    }
    // The previous capture has ended; its thread may still be in its last report, which
    // may wait for this thread: let events run until it is through, then collect it.
    if (auto previous = m_state->Session()) {
        QPointer<DriverWindow> self(this);
        QElapsedTimer waited;
        waited.start();
        while (!previous->IsFinished() && waited.elapsed() < 3000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            if (!self) {
                return FALSE;
            }
            QThread::msleep(1);
        }
    }
    EndSession();
    const CAPTUREPARMS parms = m_state->SequenceSetup();
    const std::string path = toFile ? m_state->CaptureFile() : std::string();
    if (toFile && path.empty()) {
        m_state->Callbacks()->Error(
            this, IDS_CAP_FILE_ERROR,
            texts::Message(res::UserLanguage(), texts::FileMessage::NoCaptureFile).c_str());
        return FALSE;
    }
    if (parms.fMakeUserHitOKToCapture) {
        QDialog dialog;
        MakeDriverDialog(dialog, QStringLiteral("Capture"), this)
            ->addRow(new QLabel(QStringLiteral("Press OK to start capturing.")));
        QPointer<DriverWindow> self(this);
        m_busy = true;
        const int answer = RunDriverDialog(dialog);
        if (!self) {
            return FALSE;
        }
        m_busy = false;
        if (answer != QDialog::Accepted || !m_driver) {
            return FALSE;
        }
    }
    const FormatPtr format = m_driver->CurrentFormat();
    if (!format) {
        return FALSE;
    }
    CaptureSessionConfig config;
    config.hwnd = this;
    config.parms = parms;
    // A camera runs at the nearest rate it offers: ask for it now, and let the file and
    // the frame slots follow the period the camera actually delivers.
    if (m_driver->PacesItself()) {
        if (m_driver->IsStreaming()) {
            m_driver->SetFramePeriod(parms.dwRequestMicroSecPerFrame);
        } else {
            m_driver->StartStream(parms.dwRequestMicroSecPerFrame, *m_state);
        }
        if (const std::uint32_t delivered = m_driver->DeliveredFramePeriod()) {
            config.parms.dwRequestMicroSecPerFrame = delivered;
        }
    }
    config.format = format;
    config.callbacks = m_state->Callbacks();
    config.queueCapacity = QueueCapacity(parms, *format);
    config.writesFile = toFile;
    config.yieldOnCaptureThread = parms.fYield != FALSE;
    std::unique_ptr<FrameConsumer> consumer;
    if (toFile) {
        FileCaptureSetup setup;
        setup.path = path;
        setup.formats.video = format->PackedHeader();
        setup.formats.microSecPerFrame = config.parms.dwRequestMicroSecPerFrame;
        setup.options.maxIndexEntries = parms.dwIndexSize;
        setup.captureAudio = parms.fCaptureAudio != FALSE;
        setup.audioFormat = m_state->AudioFormat();
        auto fileConsumer = std::make_unique<FileCaptureConsumer>(std::move(setup));
        // A file that cannot be written refuses the capture before it begins.
        const AviResult prepared = fileConsumer->Prepare();
        if (!prepared.Ok()) {
            m_state->Callbacks()->Error(this, IDS_CAP_FILE_ERROR, prepared.text.c_str());
            UpdateStreaming();
            return FALSE;
        }
        consumer = std::move(fileConsumer);
    } else {
        consumer = std::make_unique<StreamCallbackConsumer>();
    }
    auto session = std::make_shared<CaptureSession>(std::move(config), std::move(consumer));
    m_state->SetSession(session);
    std::weak_ptr<DriverWindowState> weakState = m_state;
    session->Start([weakState] {
        // On the capture thread: let the window, on its own thread, slow the driver down
        // again and stop watching the abort input.
        if (QCoreApplication* app = QCoreApplication::instance()) {
            QMetaObject::invokeMethod(
                app,
                [weakState] {
                    if (auto state = weakState.lock()) {
                        if (DriverWindow* window = state->Window()) {
                            window->OnCaptureEnded();
                        }
                    }
                },
                Qt::QueuedConnection);
        }
    });
    UpdateStreaming();
    if (AbortInputWatcher::IsNeeded(parms)) {
        m_abortWatcher = std::make_unique<AbortInputWatcher>(session, parms);
    }
    if (!parms.fYield) {
        WaitForCaptureEnd(session);
    }
    return TRUE;
}

void DriverWindow::WaitForCaptureEnd(const std::shared_ptr<CaptureSession>& session)
{
    // Without yielding, the call returns when the capture has ended; the yield procedure
    // is called here, on the calling thread, between frames. Events are still processed
    // meanwhile, so that the abort key and mouse button can end it. The wait lasts until
    // the capture thread has made its last report, so joining it cannot wait for a callback.
    const std::shared_ptr<CallbackTable> callbacks = m_state->Callbacks();
    const HWND hwnd = this;
    QPointer<DriverWindow> self(this);
    m_busy = true;
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(10);
    DWORD framesSeen = 0;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (!self || session->IsFinished()) {
            loop.quit();
            return;
        }
        const CaptureProgress p = session->Progress();
        if (p.capturing && p.frames != framesSeen) {
            framesSeen = p.frames;
            if (callbacks->Yield(hwnd, 1) == 0) {
                session->RequestStop();
            }
        }
    });
    poll.start();
    loop.exec();
    if (self) {
        m_busy = false;
        OnCaptureEnded();
    }
}

LRESULT DriverWindow::AllocateFile(LPARAM bytes)
{
    const std::string path = m_state->CaptureFile();
    if (m_busy || m_state->IsCapturing() || path.empty()) {
        return FALSE;
    }
    // The byte count is 64 bits wide; a negative one is no size.
    const std::uint64_t size = bytes > 0 ? std::uint64_t(bytes) : 0;
    const AviResult result = RunFileWork(texts::AllocatingCaptureFile(res::UserLanguage()),
                                         [path, size](const FileWorkReport& report) {
                                             return AllocateCaptureFile(path, size, report);
                                         });
    return result.Ok() ? TRUE : FALSE;
}

LRESULT DriverWindow::SaveFileAs(LPARAM name)
{
    const char* text = reinterpret_cast<const char*>(name);
    const std::string source = m_state->CaptureFile();
    if (m_busy || m_state->IsCapturing() || !text || !*text) {
        return FALSE;
    }
    if (source.empty()) {
        m_state->Callbacks()->Error(
            this, IDS_CAP_FILE_ERROR,
            texts::Message(res::UserLanguage(), texts::FileMessage::NoCaptureFile).c_str());
        return FALSE;
    }
    const std::string destination = text;
    // A cut-off capture file is rebuilt from its whole chunks; the summary says so.
    auto summary = std::make_shared<AviSaveSummary>();
    const AviResult result =
        RunFileWork(texts::SavingMovie(res::UserLanguage()),
                    [source, destination, summary](const FileWorkReport& report) {
                        return SaveCaptureFileAs(source, destination, report, summary.get());
                    });
    if (result.Ok() && summary->rebuilt) {
        m_state->Callbacks()->Error(
            this, IDS_CAP_FILE_REBUILT,
            texts::Rebuilt(res::UserLanguage(), static_cast<unsigned long>(summary->videoFrames),
                           static_cast<unsigned long>(summary->audioChunks), true)
                .c_str());
    }
    return result.Ok() ? TRUE : FALSE;
}

AviResult DriverWindow::RunFileWork(const std::string& label,
                                    const std::function<AviResult(const FileWorkReport&)>& work)
{
    // The work runs on a worker thread while this thread keeps painting; a cancel in
    // the progress dialog stops it and leaves the files as they were.
    const std::shared_ptr<CallbackTable> callbacks = m_state->Callbacks();
    const HWND hwnd = this;
    QPointer<DriverWindow> self(this);
    m_busy = true;
    const AviResult result = RunFileWorkWithProgress(this, label, work);
    if (self) {
        m_busy = false;
    }
    if (!result.Ok() && result.code != kErrorCancelled) {
        callbacks->Error(hwnd, IDS_CAP_FILE_ERROR, result.text.c_str());
    }
    return result;
}

void DriverWindow::OnCaptureEnded()
{
    auto session = m_state->Session();
    if (!session || session->IsCapturing()) {
        return; // a newer capture runs
    }
    m_abortWatcher.reset();
    session->Join(); // its thread is past its last report
    UpdateStreaming();
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
    m_state->Callbacks()->Status(this, id, text);
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
