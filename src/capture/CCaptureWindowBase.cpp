#include "capture/CCaptureWindowBase.h"

#include "capture/CaptureServiceCalls.h"
#include "capture/KernelCalls.h"
#include "platform/UiThread.h"
#include "platform/WindowRegistry.h"
#include "platform/framework/CommandIds.h"
#include "platform/framework/ControlId.h"
#include "platform/framework/Resources.h"

#include <QEvent>
#include <QPainter>
#include <algorithm>
#include <chrono>
#include <cstring>
#include <limits>
#include <new>

namespace {

constexpr COLORREF kBackgroundColour = RGB(0, 0, 222);
constexpr std::size_t kHeaderSize = sizeof(BITMAPINFOHEADER);
constexpr int kDescriptionSize = 100;
constexpr std::size_t kCaptureFileBufferSize = 261;

constexpr DWORD kRequestedMicroSecPerFrame = 33333;
constexpr DWORD kRequestedIndexSize = 324000;
constexpr UINT kRequestedVideoBuffers = 10;
constexpr LONG kPixelsPerMetre = 100000;
constexpr WPARAM kPreviewRateMs = 66;

template <typename Procedure> LPARAM ProcedureParam(Procedure procedure)
{
    return reinterpret_cast<LPARAM>(procedure);
}

// A size the driver reported; negative answers count as 0.
std::size_t ReportedSize(LRESULT size)
{
    return size > 0 ? std::size_t(size) : 0;
}

} // namespace

CCaptureWindowBase::CCaptureWindowBase()
    : m_service(&CaptureServiceCalls::Real()), m_kernel(&KernelCalls::Real())
{
}

CCaptureWindowBase::~CCaptureWindowBase()
{
    OnDestroy();
    if (m_hWndDriver) {
        CaptureServiceCalls::ForgetDriverWindow(m_hWndDriver);
    }
}

void CCaptureWindowBase::SetServiceCalls(CaptureServiceCalls* service)
{
    m_service = service ? service : &CaptureServiceCalls::Real();
}

void CCaptureWindowBase::SetKernelCalls(KernelCalls* kernel)
{
    m_kernel = kernel ? kernel : &KernelCalls::Real();
}

BOOL CCaptureWindowBase::HasDriverWindow() const
{
    return m_hWndDriver && m_service->IsWindow(m_hWndDriver) ? TRUE : FALSE;
}

LRESULT CCaptureWindowBase::SendToDriver(UINT message, WPARAM wParam, LPARAM lParam) const
{
    if (!HasDriverWindow()) {
        return 0;
    }
    return m_service->Send(m_hWndDriver, message, wParam, lParam);
}

BOOL CCaptureWindowBase::Create(const char* /*className*/, const char* windowName, DWORD style,
                                const RECT& rect, QWidget* parent, UINT id,
                                CCreateContext* /*context*/)
{
    if (m_created || ((style & WS_CHILD) && !parent)) {
        return FALSE;
    }

    // Fit the caller's size to the image aspect; an inverted rectangle counts as empty.
    const LONG requestedWidth = std::max<LONG>(0, rect.right - rect.left);
    const LONG requestedHeight = std::max<LONG>(0, rect.bottom - rect.top);
    LONG width = requestedWidth;
    LONG height = requestedHeight;
    if (m_imageWidth > 0 && m_imageHeight > 0) {
        const double ratioW = double(requestedWidth) / m_imageWidth;
        const double ratioH = double(requestedHeight) / m_imageHeight;
        if (ratioH >= ratioW) {
            height = LONG(m_imageHeight * ratioW);
        } else {
            width = LONG(m_imageWidth * ratioH);
        }
    }
    m_pictureRect = RECT{0, 0, width, height};

    // This window.
    setParent(parent);
    setWindowTitle(QString::fromUtf8(windowName ? windowName : ""));
    setGeometry(0, 0, width, height);
    vexol::platform::framework::SetControlId(this, int(id));
    setVisible((style & WS_VISIBLE) != 0);
    m_created = true;

    // The driver window, which finds this object through its user data.
    m_hWndDriver = m_service->CreateCaptureWindow(windowName, WS_CHILD | WS_VISIBLE, 0, 0, width,
                                                  height, HandleOfWindow(this), 0);
    if (m_hWndDriver) {
        CaptureServiceCalls::RememberDriverWindow(m_hWndDriver, m_service);
        m_service->SetUserData(m_hWndDriver, reinterpret_cast<LONG_PTR>(this));
    }

    // No driver yet.
    m_wDriverIndex = 0;
    m_strDriverName.clear();
    m_strDriverVersion.clear();

    // Connect the first driver that connects.
    BOOL result = FALSE;
    if (EnumerateDrivers(m_driverNames, m_driverVersions)) {
        for (std::size_t i = 0; i < m_driverNames.size(); ++i) {
            if (ConnectDriver(int(i))) {
                result = TRUE;
                break;
            }
        }
    }

    // Status.
    m_capStatus = CAPSTATUS{};
    if (result) {
        result = BOOL(SendToDriver(WM_CAP_GET_STATUS, sizeof m_capStatus, &m_capStatus));
    }

    // Sequence setup: the driver's defaults with this program's choices.
    m_captureParms = CAPTUREPARMS{};
    if (result) {
        SendToDriver(WM_CAP_GET_SEQUENCE_SETUP, sizeof m_captureParms, &m_captureParms);
        m_captureParms.dwRequestMicroSecPerFrame = kRequestedMicroSecPerFrame;
        m_captureParms.dwIndexSize = kRequestedIndexSize;
        m_captureParms.wNumVideoRequested = kRequestedVideoBuffers;
        m_captureParms.fYield = TRUE;
        m_captureParms.vKeyAbort = 0;
        m_captureParms.fMakeUserHitOKToCapture = FALSE;
        m_captureParms.fAbortLeftMouse = FALSE;
        m_captureParms.fAbortRightMouse = FALSE;
        m_captureParms.fLimitEnabled = FALSE;
        m_captureParms.fCaptureAudio = FALSE;
        m_captureParms.fMCIControl = FALSE;
        result =
            BOOL(SendToDriver(WM_CAP_SET_SEQUENCE_SETUP, sizeof m_captureParms, &m_captureParms));
    }

    // Video format.
    {
        vexol::platform::MutexLock lock(m_snapshotLock);
        m_videoHeader = BITMAPINFOHEADER{};
    }
    if (result) {
        result = RequestDefaultVideoFormat(result);
    }

    // Capabilities, whatever happened before.
    SendToDriver(WM_CAP_DRIVER_GET_CAPS, sizeof m_driverCaps, &m_driverCaps);

    // Callbacks.
    if (result) {
        SendToDriver(WM_CAP_SET_CALLBACK_ERROR, 0,
                     m_bErrorCallbackOn ? ProcedureParam(&ErrorCallbackProc) : 0);
        SendToDriver(WM_CAP_SET_CALLBACK_STATUS, 0,
                     m_bStatusCallbackOn ? ProcedureParam(&StatusCallbackProc) : 0);
        result = BOOL(SendToDriver(WM_CAP_SET_CALLBACK_YIELD, 0,
                                   m_bYieldCallbackOn ? ProcedureParam(&YieldCallbackProc) : 0));
    }

    // Start in preview.
    if (!result) {
        return FALSE;
    }
    FitToImage();
    m_bOverlay = TRUE;
    return SetOverlay(FALSE);
}

BOOL CCaptureWindowBase::RequestDefaultVideoFormat(BOOL result)
{
    const std::size_t reported = ReportedSize(SendToDriver(WM_CAP_GET_VIDEOFORMAT, 0, 0));
    // A format request always carries a whole header, also when the driver reports a
    // smaller format, so that the header written below stays inside the buffer.
    const std::size_t size = std::max(reported, kHeaderSize);
    std::unique_ptr<BYTE[]> format(new (std::nothrow) BYTE[size]());
    if (!format) {
        return result;
    }
    SendToDriver(WM_CAP_GET_VIDEOFORMAT, reported, format.get());
    BITMAPINFOHEADER request{};
    request.biSize = DWORD(size);
    request.biWidth = m_imageWidth;
    request.biHeight = m_imageHeight;
    request.biPlanes = 1;
    request.biBitCount = WORD(m_requestedBitDepth);
    request.biCompression = BI_RGB;
    request.biSizeImage = 0;
    request.biXPelsPerMeter = kPixelsPerMetre;
    request.biYPelsPerMeter = kPixelsPerMetre;
    request.biClrUsed = 0;
    request.biClrImportant = 0;
    std::memcpy(format.get(), &request, kHeaderSize);
    SendToDriver(WM_CAP_SET_VIDEOFORMAT, size, format.get());
    result = BOOL(SendToDriver(WM_CAP_GET_VIDEOFORMAT, size, format.get()));
    vexol::platform::MutexLock lock(m_snapshotLock);
    std::memcpy(&m_videoHeader, format.get(), kHeaderSize);
    return result;
}

BOOL CCaptureWindowBase::RefreshVideoFormat(BOOL noMemoryResult)
{
    const std::size_t size = ReportedSize(SendToDriver(WM_CAP_GET_VIDEOFORMAT, 0, 0));
    std::unique_ptr<BYTE[]> format(new (std::nothrow) BYTE[std::max<std::size_t>(size, 1)]());
    if (!format) {
        return noMemoryResult;
    }
    const BOOL result = BOOL(SendToDriver(WM_CAP_GET_VIDEOFORMAT, size, format.get()));
    vexol::platform::MutexLock lock(m_snapshotLock);
    std::memcpy(&m_videoHeader, format.get(), std::min(size, kHeaderSize));
    return result;
}

BOOL CCaptureWindowBase::EnumerateDrivers(std::vector<std::string>& names,
                                          std::vector<std::string>& versions)
{
    try {
        names.assign(MAXVIDDRIVERS, std::string());
        versions.assign(MAXVIDDRIVERS, std::string());
        std::size_t count = 0;
        for (UINT i = 0; i < MAXVIDDRIVERS; ++i) {
            char name[kDescriptionSize] = {};
            char version[kDescriptionSize] = {};
            if (!m_service->GetDriverDescription(i, name, sizeof name, version, sizeof version)) {
                break;
            }
            name[kDescriptionSize - 1] = '\0';
            version[kDescriptionSize - 1] = '\0';
            names[i] = name;
            versions[i] = version;
            count = i + 1;
        }
        names.resize(count);
        versions.resize(count);
        return TRUE;
    } catch (const std::bad_alloc&) {
        return FALSE;
    }
}

BOOL CCaptureWindowBase::RefreshDriverList()
{
    std::vector<std::string> names;
    std::vector<std::string> versions;
    if (!EnumerateDrivers(names, versions)) {
        return FALSE;
    }
    m_driverNames = std::move(names);
    m_driverVersions = std::move(versions);
    if (IsDriverConnected()) {
        const auto it = std::find(m_driverNames.begin(), m_driverNames.end(), m_strDriverName);
        m_wDriverIndex =
            WORD(it == m_driverNames.end() ? MAXVIDDRIVERS : it - m_driverNames.begin());
    }
    return TRUE;
}

BOOL CCaptureWindowBase::ConnectDriver(int index)
{
    BOOL result = BOOL(SendToDriver(WM_CAP_DRIVER_CONNECT, WPARAM(index), 0));
    m_driverCaps = CAPDRIVERCAPS{};
    SendToDriver(WM_CAP_DRIVER_GET_CAPS, sizeof m_driverCaps, &m_driverCaps);
    m_capStatus = CAPSTATUS{};
    SendToDriver(WM_CAP_GET_STATUS, sizeof m_capStatus, &m_capStatus);
    m_wDriverIndex = WORD(index);
    m_strDriverName.clear();
    m_strDriverVersion.clear();
    if (result) {
        if (index >= 0 && std::size_t(index) < m_driverNames.size()) {
            m_strDriverName = m_driverNames[index];
            m_strDriverVersion = m_driverVersions[index];
        } else {
            // Connected to a driver outside the list made at creation: ask for its texts
            // rather than read past the list.
            char name[kDescriptionSize] = {};
            char version[kDescriptionSize] = {};
            if (m_service->GetDriverDescription(UINT(index), name, sizeof name, version,
                                                sizeof version)) {
                name[kDescriptionSize - 1] = '\0';
                version[kDescriptionSize - 1] = '\0';
                m_strDriverName = name;
                m_strDriverVersion = version;
            }
        }
    }
    FitToImage();
    if (result) {
        result = RefreshVideoFormat(result);
    }
    ReapplyDisplayMode();
    return result;
}

BOOL CCaptureWindowBase::SetOverlay(BOOL overlay)
{
    if (overlay) {
        if (m_bOverlay) {
            return TRUE;
        }
        SendToDriver(WM_CAP_SET_PREVIEW, FALSE);
        const BOOL result = BOOL(SendToDriver(WM_CAP_SET_OVERLAY, TRUE));
        m_bOverlay = TRUE;
        return result;
    }
    if (IsPreviewActive()) {
        return TRUE;
    }
    SendToDriver(WM_CAP_SET_OVERLAY, FALSE);
    SendToDriver(WM_CAP_SET_PREVIEW, TRUE);
    BOOL result = BOOL(SendToDriver(WM_CAP_SET_PREVIEWRATE, kPreviewRateMs));
    if (m_imageWidth != m_pictureRect.right - m_pictureRect.left ||
        m_imageHeight != m_pictureRect.bottom - m_pictureRect.top) {
        result = BOOL(SendToDriver(WM_CAP_SET_SCALE, TRUE));
    }
    m_bOverlay = FALSE;
    return result;
}

BOOL CCaptureWindowBase::IsPreviewActive()
{
    return m_bOverlay ? FALSE : TRUE;
}

BOOL CCaptureWindowBase::SetDisplayEnabled(BOOL enable)
{
    const UINT message = IsPreviewActive() ? WM_CAP_SET_PREVIEW : WM_CAP_SET_OVERLAY;
    return BOOL(SendToDriver(message, WPARAM(enable)));
}

BOOL CCaptureWindowBase::ReapplyDisplayMode()
{
    const BOOL mode = m_bOverlay;
    m_bOverlay = mode ? FALSE : TRUE;
    return SetOverlay(mode);
}

void CCaptureWindowBase::FitToImage() {}

BOOL CCaptureWindowBase::ShowDriverDialog(DriverDialog kind)
{
    BOOL result = FALSE;
    switch (kind) {
    case DriverDialog::VideoSource:
        result = BOOL(SendToDriver(WM_CAP_DLG_VIDEOSOURCE));
        break;
    case DriverDialog::VideoFormat:
        result = BOOL(SendToDriver(WM_CAP_DLG_VIDEOFORMAT));
        FitToImage();
        break;
    case DriverDialog::VideoDisplay:
        result = BOOL(SendToDriver(WM_CAP_DLG_VIDEODISPLAY));
        break;
    default:
        result = int(kind) > 0 && HasDriverWindow() ? TRUE : FALSE;
        break;
    }
    if (result && HasDriverWindow()) {
        result = RefreshVideoFormat(result);
    }
    return result ? TRUE : FALSE;
}

void CCaptureWindowBase::ShowCaptureWindow(BOOL show, BOOL redraw)
{
    setVisible(show != FALSE);
    if (show && redraw) {
        repaint();
    }
}

BOOL CCaptureWindowBase::SetCaptureFile(const char* fileName)
{
    if (!fileName || !*fileName) {
        return FALSE;
    }
    const BOOL result = BOOL(SendToDriver(WM_CAP_FILE_SET_CAPTURE_FILE, 0, fileName));
    if (result) {
        m_strCaptureFile = fileName;
    }
    return result;
}

std::string CCaptureWindowBase::GetCaptureFile(BOOL fromDriver)
{
    if (!fromDriver) {
        return m_strCaptureFile;
    }
    char buffer[kCaptureFileBufferSize] = {};
    SendToDriver(WM_CAP_FILE_GET_CAPTURE_FILE, sizeof buffer, buffer);
    buffer[sizeof buffer - 1] = '\0';
    return buffer;
}

BOOL CCaptureWindowBase::AllocateCaptureFile(std::uint64_t bytes)
{
    // LPARAM is 64 bits wide here; a count beyond its range cannot be a file size.
    if (bytes > std::uint64_t(std::numeric_limits<LPARAM>::max())) {
        return FALSE;
    }
    return BOOL(SendToDriver(WM_CAP_FILE_ALLOCATE, 0, LPARAM(bytes)));
}

BOOL CCaptureWindowBase::SaveCaptureAs(const char* fileName)
{
    return BOOL(SendToDriver(WM_CAP_FILE_SAVEAS, 0, fileName));
}

BOOL CCaptureWindowBase::SaveFrameAsDib(const char* fileName)
{
    return BOOL(SendToDriver(WM_CAP_FILE_SAVEDIB, 0, fileName));
}

BOOL CCaptureWindowBase::CopyFrameToClipboard()
{
    return BOOL(SendToDriver(WM_CAP_EDIT_COPY, 0, 0));
}

// The hide-messages switch replaces the capture service's recording texts with the
// program's own and silences the frames-dropped warning. It was granted only on the NT
// family from major version 5 on, the systems whose capture service reports its status
// the way the replacement expects. The capture service on Linux is this program's own
// and always reports that way, so any Linux kernel qualifies as well; the NT rule stays
// for a version query that reports a Windows family.
void CCaptureWindowBase::CheckHideMessages(BOOL requested)
{
    if (!requested) {
        return;
    }
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (!m_kernel->GetVersionEx(&info)) {
        return;
    }
    const bool modernNt = info.dwPlatformId == VER_PLATFORM_WIN32_NT && info.dwMajorVersion >= 5;
    const bool onLinux = info.dwPlatformId == VER_PLATFORM_LINUX;
    if (modernNt || onLinux) {
        m_bHideMessages = TRUE;
    }
}

BOOL CCaptureWindowBase::IsCapturing()
{
    if (!HasDriverWindow()) {
        return FALSE;
    }
    CAPSTATUS status{};
    SendToDriver(WM_CAP_GET_STATUS, sizeof status, &status);
    return status.fCapturingNow ? TRUE : FALSE;
}

BOOL CCaptureWindowBase::StopStreaming()
{
    if (HasDriverWindow() && IsDriverConnected()) {
        SendToDriver(WM_CAP_ABORT);
        SendToDriver(WM_CAP_SET_CALLBACK_VIDEOSTREAM, 0, 0);
        for (int attempt = 1; attempt <= kDisplayAttempts; ++attempt) {
            if (SetDisplayEnabled(TRUE)) {
                break;
            }
            if (attempt < kDisplayAttempts) {
                m_kernel->WaitTicks(kDisplayRetryMs);
            }
        }
    }
    // The last snapshot of the stream is released here: nothing reads it afterwards.
    DropFrameSnapshot(true);
    return TRUE;
}

void CCaptureWindowBase::DropFrameSnapshot(bool signal)
{
    std::unique_ptr<BYTE[]> released;
    {
        vexol::platform::MutexLock lock(m_snapshotLock);
        released.swap(m_snapshot);
        m_snapshotSize = 0;
        m_newFrameSignalled = signal;
    }
    if (signal) {
        m_newFrame.notify_all();
    }
}

void CCaptureWindowBase::OnCaptureStatus(int id, const char* /*text*/)
{
    const int last = m_lastStatusId.load();
    if (id == IDS_CAP_END && (last == IDS_CAP_STAT_VIDEOAUDIO || last == IDS_CAP_STAT_VIDEOONLY)) {
        return;
    }
    m_lastStatusId = id;
}

void CCaptureWindowBase::OnCaptureError(int id, const char* text)
{
    if (id == 0) {
        return; // the error state was cleared
    }
    std::string caption;
    LoadString(IDS_APP_TITLE, caption); // "Video capture software"
    if (HideMessages() && id == IDS_CAP_STAT_FRAMESDROPPED) {
        return;
    }
    m_errorBoxes.Show(text ? text : "", caption, kErrorBoxStyle);
}

void CCaptureWindowBase::OnVideoFrame(const VIDEOHDR& header)
{
    const std::size_t frameBytes = header.lpData ? header.dwBufferLength : 0;
    vexol::platform::MutexLock lock(m_snapshotLock);
    m_snapshot.reset();
    m_snapshotSize = 0;
    std::unique_ptr<BYTE[]> block(new (std::nothrow) BYTE[kHeaderSize + frameBytes]());
    if (!block) {
        return; // no snapshot for this frame
    }
    std::memcpy(block.get(), &m_videoHeader, kHeaderSize);
    if (frameBytes > 0) {
        std::memcpy(block.get() + kHeaderSize, header.lpData, frameBytes);
    }
    m_snapshot = std::move(block);
    m_snapshotSize = kHeaderSize + frameBytes;
    m_newFrameSignalled = true;
    m_newFrame.notify_all();
}

BOOL CCaptureWindowBase::CopyFrameSnapshot(std::vector<BYTE>& snapshot) const
{
    vexol::platform::MutexLock lock(m_snapshotLock);
    if (!m_snapshot) {
        snapshot.clear();
        return FALSE;
    }
    snapshot.assign(m_snapshot.get(), m_snapshot.get() + m_snapshotSize);
    return TRUE;
}

BOOL CCaptureWindowBase::WaitForNewFrame(DWORD timeoutMs)
{
    vexol::platform::MutexLock lock(m_snapshotLock);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!m_newFrameSignalled && lock.WaitUntil(m_newFrame, deadline)) {
    }
    const bool signalled = m_newFrameSignalled;
    m_newFrameSignalled = false; // auto-reset
    return signalled ? TRUE : FALSE;
}

namespace {

CCaptureWindowBase* WindowOfDriver(HWND hwnd)
{
    if (!hwnd) {
        return nullptr;
    }
    return reinterpret_cast<CCaptureWindowBase*>(
        CaptureServiceCalls::ServiceOf(hwnd).GetUserData(hwnd));
}

} // namespace

LRESULT CCaptureWindowBase::ErrorCallbackProc(HWND hwnd, int id, const char* text)
{
    if (CCaptureWindowBase* window = WindowOfDriver(hwnd)) {
        window->m_lastErrorId = id;
        window->OnCaptureError(id, text);
    }
    return 1;
}

LRESULT CCaptureWindowBase::StatusCallbackProc(HWND hwnd, int id, const char* text)
{
    if (CCaptureWindowBase* window = WindowOfDriver(hwnd)) {
        window->OnCaptureStatus(id, text);
    }
    return 1;
}

// The capture service calls this between frames. The user interface stays responsive
// because its own thread runs the event loop while the capture thread works; when the
// call comes on the user-interface thread itself, the events pending there are handled
// once. On any other thread there is nothing of the user interface to pump.
LRESULT CCaptureWindowBase::YieldCallbackProc(HWND /*hwnd*/)
{
    ProcessPendingEvents();
    return 1;
}

LRESULT CCaptureWindowBase::VideoStreamCallbackProc(HWND hwnd, VIDEOHDR* header)
{
    if (!header) {
        return 0;
    }
    if (CCaptureWindowBase* window = WindowOfDriver(hwnd)) {
        window->OnVideoFrame(*header);
    }
    return 0;
}

void CCaptureWindowBase::DestroyWindow()
{
    OnDestroy();
    hide();
    setParent(nullptr);
}

void CCaptureWindowBase::OnDestroy()
{
    if (m_destroyed) {
        return;
    }
    m_destroyed = true;
    // Error boxes not shown yet go with the window that reported them.
    m_errorBoxes.CancelPending();
    if (HasDriverWindow()) {
        SendToDriver(WM_CAP_STOP);
        SendToDriver(WM_CAP_ABORT);
        SetDisplayEnabled(TRUE);
        SendToDriver(WM_CAP_SET_CALLBACK_VIDEOSTREAM, 0, 0);
        SendToDriver(WM_CAP_SET_CALLBACK_ERROR, 0, 0);
        SendToDriver(WM_CAP_SET_CALLBACK_STATUS, 0, 0);
        SendToDriver(WM_CAP_SET_CALLBACK_YIELD, 0, 0);
    }
    const DWORD start = m_kernel->TickCount();
    for (;;) {
        m_capStatus = CAPSTATUS{};
        SendToDriver(WM_CAP_GET_STATUS, sizeof m_capStatus, &m_capStatus);
        if (!m_capStatus.fCapturingNow || m_kernel->TickCount() - start >= kDestroyWaitMs) {
            break;
        }
        m_kernel->Sleep(kDestroyPollMs);
    }
    DropFrameSnapshot(true);
}

void CCaptureWindowBase::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor(GetRValue(kBackgroundColour), GetGValue(kBackgroundColour),
                                    GetBValue(kBackgroundColour)));
}

void CCaptureWindowBase::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::EnabledChange && HasDriverWindow()) {
        EnableWindow(m_hWndDriver, isEnabled() ? TRUE : FALSE);
    }
}
