#include "capture/CCaptureWindow.h"

#include "capture/CaptureWindowOwner.h"
#include "capture/KernelCalls.h"
#include "platform/WindowRegistry.h"
#include "platform/audio/WaveInput.h"
#include "platform/framework/Resources.h"
#include "still/CDib.h"
#include "still/YuvToRgb.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

constexpr UINT kEscapeKey = 27;
constexpr UINT kPercentDropForError = 10;
constexpr UINT kDiskBuffers = 32;
constexpr UINT kMemoryBuffers = 1000;
constexpr DWORD kChooserEnumFlags = ACM_FORMATENUMF_HARDWARE | ACM_FORMATENUMF_INPUT;

// Set while the audio format chooser runs, so that it cannot be opened twice (its
// dialog runs a message loop of its own). User-interface thread only.
bool g_chooserRunning = false;

class ChooserGuard
{
public:
    ChooserGuard() { g_chooserRunning = true; }
    ~ChooserGuard() { g_chooserRunning = false; }
    ChooserGuard(const ChooserGuard&) = delete;
    ChooserGuard& operator=(const ChooserGuard&) = delete;
};

} // namespace

class CCaptureWindow::OwnerUse
{
public:
    explicit OwnerUse(const CCaptureWindow& window) : m_window(window)
    {
        std::lock_guard lock(m_window.m_ownerMutex);
        m_owner = m_window.m_owner;
        if (m_owner) {
            m_window.m_ownerUsers.push_back(std::this_thread::get_id());
        }
    }
    ~OwnerUse()
    {
        if (!m_owner) {
            return;
        }
        {
            std::lock_guard lock(m_window.m_ownerMutex);
            auto& users = m_window.m_ownerUsers;
            users.erase(std::find(users.begin(), users.end(), std::this_thread::get_id()));
        }
        m_window.m_ownerReleased.notify_all();
    }
    OwnerUse(const OwnerUse&) = delete;
    OwnerUse& operator=(const OwnerUse&) = delete;

    explicit operator bool() const { return m_owner != nullptr; }
    CaptureWindowOwner* operator->() const { return m_owner; }

private:
    const CCaptureWindow& m_window;
    CaptureWindowOwner* m_owner = nullptr;
};

CCaptureWindow::CCaptureWindow()
{
    m_bErrorCallbackOn = TRUE;
    m_bStatusCallbackOn = TRUE;
    m_bYieldCallbackOn = TRUE;
}

CCaptureWindow::~CCaptureWindow()
{
    // Runs the destroy handling while this class's hooks still apply.
    OnDestroy();
}

void CCaptureWindow::SetOwner(CaptureWindowOwner* owner)
{
    std::unique_lock lock(m_ownerMutex);
    m_owner = owner;
    const auto self = std::this_thread::get_id();
    m_ownerReleased.wait(lock, [&] {
        return std::all_of(m_ownerUsers.begin(), m_ownerUsers.end(),
                           [&](std::thread::id id) { return id == self; });
    });
}

CaptureWindowOwner* CCaptureWindow::GetOwner() const
{
    std::lock_guard lock(m_ownerMutex);
    return m_owner;
}

void CCaptureWindow::FitToImage()
{
    m_capStatus = CAPSTATUS{};
    SendToDriver(WM_CAP_GET_STATUS, sizeof m_capStatus, &m_capStatus);
    m_imageWidth = LONG(m_capStatus.uiImageWidth);
    m_imageHeight = LONG(m_capStatus.uiImageHeight);
    m_pictureRect = RECT{0, 0, m_imageWidth, m_imageHeight};
    resize(m_imageWidth, m_imageHeight);
    if (HasDriverWindow()) {
        MoveWindow(m_hWndDriver, 0, 0, m_imageWidth, m_imageHeight, TRUE);
    }
}

BOOL CCaptureWindow::IsPreviewActive()
{
    return m_bFrozen ? FALSE : CCaptureWindowBase::IsPreviewActive();
}

BOOL CCaptureWindow::ReapplyDisplayMode()
{
    if (m_bFrozen) {
        return Freeze(TRUE); // a new still of the newly connected driver
    }
    return CCaptureWindowBase::ReapplyDisplayMode();
}

BOOL CCaptureWindow::ResumeDisplay(BOOL overlay)
{
    if (m_bFrozen) {
        return TRUE;
    }
    BOOL result;
    if (overlay) {
        SendToDriver(WM_CAP_SET_PREVIEW, FALSE);
        result = BOOL(SendToDriver(WM_CAP_SET_OVERLAY, TRUE));
    } else {
        SendToDriver(WM_CAP_SET_OVERLAY, FALSE);
        result = BOOL(SendToDriver(WM_CAP_SET_PREVIEW, TRUE));
    }
    m_bOverlay = overlay ? TRUE : FALSE;
    return result;
}

BOOL CCaptureWindow::Freeze(BOOL freeze)
{
    if (freeze) {
        SendToDriver(WM_CAP_SET_PREVIEW, FALSE);
        SendToDriver(WM_CAP_SET_OVERLAY, FALSE);
        SendToDriver(WM_CAP_GRAB_FRAME);
        m_bFrozen = TRUE;
    } else {
        m_bFrozen = FALSE;
        ResumeDisplay(m_bOverlay);
    }
    return TRUE;
}

// ---- Status texts ------------------------------------------------------------------

void CCaptureWindow::ShowStatusText(const char* text)
{
    if (OwnerUse owner{*this}) {
        owner->SetPendingStatusText(text);
    }
}

void CCaptureWindow::ShowStatusString(UINT id)
{
    std::string text;
    LoadString(id, text);
    ShowStatusText(text.c_str());
}

void CCaptureWindow::OnCaptureStatus(int id, const char* text)
{
    const int last = m_lastStatusId.load();
    if (id == IDS_CAP_END && (last == IDS_CAP_STAT_VIDEOAUDIO || last == IDS_CAP_STAT_VIDEOONLY)) {
        return; // the final summary stays instead of the end notice
    }
    m_lastStatusId = id;
    if (id == IDS_CAP_STAT_LIVE_MODE || id == IDS_CAP_STAT_OVERLAY_MODE) {
        return;
    }
    if (!text || !*text) {
        return;
    }
    if (HideMessages()) {
        if (IsCapturing()) {
            switch (id) {
            case IDS_CAP_BEGIN:
            case IDS_CAP_STAT_PROMPT:
            case IDS_CAP_STAT_CAP_INIT:
            case IDS_CAP_STAT_VIDEOCURRENT:
                ShowStatusString(kNowRecordingStringId);
                return;
            case IDS_CAP_STAT_CAP_FINI:
            case IDS_CAP_STAT_VIDEOONLY:
            case IDS_CAP_STAT_VIDEOAUDIO: // the final summary of a recording with audio
                ShowStatusString(kRecordingFinishedStringId);
                return;
            default:
                // Other texts of the service stay hidden; the recording text remains.
                return;
            }
        }
        if (id == IDS_CAP_END) {
            ShowStatusString(kCaptureEndStringId);
            return;
        }
    }
    ShowStatusText(text);
}

// ---- Frames ----------------------------------------------------------------------------

void CCaptureWindow::OnVideoFrame(const VIDEOHDR& header)
{
    CCaptureWindowBase::OnVideoFrame(header);
    OwnerUse owner{*this};
    if (!owner || !owner->IsShutterSwitchEnabled() || !HasDriverWindow()) {
        return;
    }
    BITMAPINFOHEADER format;
    {
        vexol::platform::MutexLock lock(m_snapshotLock);
        format = m_videoHeader;
    }
    if (format.biCompression != vexol::still::kFourccPl41 &&
        format.biCompression != vexol::still::kFourccPl4M) {
        return;
    }
    // Bit 0 of the frame's last byte is set while the switch is pressed; every marked
    // frame gives one still.
    const std::size_t used =
        header.lpData ? std::min(header.dwBytesUsed, header.dwBufferLength) : 0;
    if (used == 0 || (header.lpData[used - 1] & 1) == 0) {
        return;
    }
    try {
        CDib picture;
        if (vexol::still::PlanarFrameToDib(header.lpData, used, format.biWidth, format.biHeight,
                                           picture)) {
            owner->SaveShutterStill(picture);
        }
    } catch (const std::bad_alloc&) {
        // The frame is not saved.
    }
}

// ---- Recording and streaming ----------------------------------------------------------

void CCaptureWindow::SendSequenceStartSetup(UINT abortKey, BOOL abortRightMouse)
{
    m_captureParms.fMakeUserHitOKToCapture = FALSE;
    m_captureParms.wPercentDropForError = kPercentDropForError;
    m_captureParms.wNumVideoRequested =
        m_captureParms.fUsingDOSMemory ? kDiskBuffers : kMemoryBuffers;
    m_captureParms.fAbortLeftMouse = FALSE;
    m_captureParms.fAbortRightMouse = abortRightMouse;
    m_captureParms.wChunkGranularity = 0;
    m_captureParms.vKeyAbort = abortKey;
    SendToDriver(WM_CAP_SET_SEQUENCE_SETUP, sizeof m_captureParms, &m_captureParms);
}

BOOL CCaptureWindow::StartRecording()
{
    const BOOL resumed = ResumeDisplay(m_bOverlay);
    m_bFrozen = resumed ? FALSE : TRUE;
    SendSequenceStartSetup(kEscapeKey, TRUE);
    return BOOL(SendToDriver(WM_CAP_SEQUENCE));
}

void CCaptureWindow::StopRecording()
{
    StopStreaming();
}

BOOL CCaptureWindow::GetRecordingSample(vexol::platform::capture::RecordingSample& sample) const
{
    if (!HasDriverWindow()) {
        return FALSE;
    }
    const auto send = [this](UINT message, WPARAM wParam, LPARAM lParam) {
        return SendToDriver(message, wParam, lParam);
    };
    return vexol::platform::capture::ReadRecordingSample(send, sample) ? TRUE : FALSE;
}

BOOL CCaptureWindow::StartFrameStream()
{
    const BOOL resumed = ResumeDisplay(m_bOverlay);
    m_bFrozen = resumed ? FALSE : TRUE;
    SendSequenceStartSetup(0, FALSE);
    // The snapshot of an earlier stream is released; nothing reads it any more.
    DropFrameSnapshot(false);
    if (!HasDriverWindow() || !IsDriverConnected()) {
        return TRUE;
    }
    SendToDriver(WM_CAP_SET_CALLBACK_VIDEOSTREAM, 0,
                 reinterpret_cast<LPARAM>(&VideoStreamCallbackProc));
    return BOOL(SendToDriver(WM_CAP_SEQUENCE_NOFILE));
}

// ---- Audio format ------------------------------------------------------------------------

DWORD CCaptureWindow::AudioFormatBufferSize()
{
    DWORD largestCodecFormat = 0;
    if (acmMetrics(nullptr, ACM_METRIC_MAX_SIZE_FORMAT, &largestCodecFormat) != MMSYSERR_NOERROR) {
        largestCodecFormat = 0;
    }
    const LRESULT driverFormat = SendToDriver(WM_CAP_GET_AUDIOFORMAT, 0, 0);
    if (LRESULT(largestCodecFormat) > driverFormat) {
        return largestCodecFormat;
    }
    const LRESULT again = SendToDriver(WM_CAP_GET_AUDIOFORMAT, 0, 0);
    return again > 0 ? DWORD(again) : 0;
}

BOOL CCaptureWindow::ChooseAudioFormat()
{
    if (g_chooserRunning) {
        return FALSE;
    }
    ChooserGuard guard;
    try {
        const DWORD size = AudioFormatBufferSize();
        // The chooser works on a buffer of its own, so that nothing can move the one it
        // writes into while its dialog runs; the result becomes the format buffer.
        std::vector<BYTE> buffer(m_audioFormat);
        buffer.resize(size);
        SendToDriver(WM_CAP_GET_AUDIOFORMAT, WORD(size), buffer.data());

        std::memset(&m_formatChoose, 0, sizeof m_formatChoose);
        m_formatChoose.cbStruct = sizeof m_formatChoose;
        m_formatChoose.fdwStyle = ACMFORMATCHOOSE_STYLEF_INITTOWFXSTRUCT;
        m_formatChoose.fdwEnum = kChooserEnumFlags;
        m_formatChoose.hwndOwner = CaptureMainWindow();
        m_formatChoose.pwfx = reinterpret_cast<WAVEFORMATEX*>(buffer.data());
        m_formatChoose.cbwfx = size;
        const MMRESULT chosen = acmFormatChooseA(&m_formatChoose);
        m_formatChoose.pwfx = nullptr;
        m_audioFormat.swap(buffer);

        if (chosen != MMSYSERR_NOERROR || m_audioFormat.size() < sizeof(WAVEFORMATEX)) {
            return FALSE;
        }
        WAVEFORMATEX format;
        std::memcpy(&format, m_audioFormat.data(), sizeof format);
        // The chosen format with its extra bytes, never more than the buffer holds.
        const std::size_t formatSize =
            std::min<std::size_t>(sizeof(WAVEFORMATEX) + format.cbSize, m_audioFormat.size());
        SendToDriver(WM_CAP_SET_AUDIOFORMAT, formatSize, m_audioFormat.data());
        if (OwnerUse owner{*this}) {
            owner->SaveWaveFormat();
        }
        return TRUE;
    } catch (const std::bad_alloc&) {
        return FALSE;
    }
}

BOOL CCaptureWindow::RestoreAudioFormat(const std::vector<BYTE>& stored)
{
    try {
        const DWORD size = AudioFormatBufferSize();
        const std::size_t copied = std::min<std::size_t>(size, stored.size());
        if (size > 0 && copied > 0) {
            m_audioFormat.resize(size);
            std::memcpy(m_audioFormat.data(), stored.data(), copied);
            // The query reads a whole WAVEFORMATEX; a smaller buffer cannot hold a format.
            if (m_audioFormat.size() >= sizeof(WAVEFORMATEX) &&
                waveInOpen(nullptr, WAVE_MAPPER,
                           reinterpret_cast<const WAVEFORMATEX*>(m_audioFormat.data()), 0, 0,
                           WAVE_FORMAT_QUERY) == MMSYSERR_NOERROR) {
                SendToDriver(WM_CAP_SET_AUDIOFORMAT, WORD(size), m_audioFormat.data());
            }
        }
    } catch (const std::bad_alloc&) {
        // Out of memory: the driver keeps its format.
    }
    return TRUE;
}

// ---- Sequence parameters -------------------------------------------------------------

void CCaptureWindow::GetCaptureSettings(CAPTUREPARMS* settings) const
{
    if (settings) {
        std::memcpy(settings, &m_captureParms, sizeof m_captureParms);
    }
}

void CCaptureWindow::ApplyCaptureSettings(const CAPTUREPARMS& settings)
{
    m_captureParms.fCaptureAudio = settings.fCaptureAudio;
    m_captureParms.fLimitEnabled = settings.fLimitEnabled;
    m_captureParms.wTimeLimit = settings.fLimitEnabled ? settings.wTimeLimit : 0;
    m_captureParms.dwRequestMicroSecPerFrame = settings.dwRequestMicroSecPerFrame
                                                   ? settings.dwRequestMicroSecPerFrame
                                                   : kDefaultMicroSecPerFrame;
    SendToDriver(WM_CAP_SET_SEQUENCE_SETUP, sizeof m_captureParms, &m_captureParms);
}
