#include "platform/capture/DriverWindowState.h"

#include "platform/WindowRegistry.h"
#include "platform/audio/WaveInput.h"
#include "platform/capture/AbortInputWatcher.h"
#include "platform/capture/DriverWindow.h"
#include "platform/capture/RecordingFigures.h"

#include <QCoreApplication>
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>
#include <sys/statvfs.h>

namespace vexol::platform::capture {

namespace {

// Capture file names live in buffers of 261 bytes (260 characters and the terminator).
constexpr std::size_t kMaxCaptureFileName = 260;

template <typename Record>
LRESULT CopyRecordOut(const Record& record, WPARAM size, LPARAM destination)
{
    if (destination == 0 || size == 0) {
        return FALSE;
    }
    std::memcpy(reinterpret_cast<void*>(destination), &record,
                std::min<WPARAM>(size, sizeof record));
    return TRUE;
}

// Answers a format query: the size with a null buffer, else the bytes copied.
LRESULT CopyBytesOut(const std::vector<BYTE>& bytes, WPARAM size, LPARAM destination)
{
    if (destination == 0) {
        return LRESULT(bytes.size());
    }
    const std::size_t n = std::min<std::size_t>(size, bytes.size());
    if (n == 0) {
        return 0;
    }
    std::memcpy(reinterpret_cast<void*>(destination), bytes.data(), n);
    return LRESULT(n);
}

} // namespace

bool CopyTextToBuffer(const std::string& text, char* buffer, std::size_t size)
{
    if (!buffer || size == 0) {
        return false;
    }
    std::size_t n = std::min(text.size(), size - 1);
    // Do not cut a multi-byte character in two.
    while (n > 0 && n < text.size() && (BYTE(text[n]) & 0xC0) == 0x80) {
        --n;
    }
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return true;
}

bool HasAudioCaptureHardware()
{
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/dev/snd", error)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with("pcmC") && name.ends_with("c")) {
            return true;
        }
    }
    return false;
}

CAPTUREPARMS DriverWindowState::DefaultSequenceSetup()
{
    CAPTUREPARMS p{};
    p.dwRequestMicroSecPerFrame = 66667; // 15 frames per second
    p.fMakeUserHitOKToCapture = FALSE;
    p.wPercentDropForError = 10;
    p.fYield = FALSE;
    p.dwIndexSize = 34952;
    p.wChunkGranularity = 0;
    p.fUsingDOSMemory = FALSE;
    p.wNumVideoRequested = 5;
    p.fCaptureAudio = FALSE;
    p.wNumAudioRequested = 4;
    p.vKeyAbort = 0x1B; // Esc
    p.fAbortLeftMouse = TRUE;
    p.fAbortRightMouse = TRUE;
    p.fLimitEnabled = FALSE;
    p.wTimeLimit = 30;
    p.wStepCaptureAverageFrames = 3;
    p.AVStreamMaster = AVSTREAMMASTER_AUDIO;
    return p;
}

std::vector<BYTE> DriverWindowState::DefaultAudioFormat()
{
    WAVEFORMATEX f{};
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = 1;
    f.nSamplesPerSec = 11025;
    f.wBitsPerSample = 8;
    f.nBlockAlign = 1;
    f.nAvgBytesPerSec = 11025;
    f.cbSize = 0;
    std::vector<BYTE> bytes(sizeof f);
    std::memcpy(bytes.data(), &f, sizeof f);
    return bytes;
}

DriverWindowState::DriverWindowState(DriverWindow* window)
    : m_window(window), m_ownerThread(QThread::currentThread()), m_handle(HandleOfWindow(window)),
      m_parms(DefaultSequenceSetup()), m_audioFormat(DefaultAudioFormat())
{
}

bool DriverWindowState::AudioHardware() const
{
    const std::string device = platform::audio::WaveInputDevice();
    MutexLock lock(m_audioMutex);
    if (!m_audioChecked || device != m_audioDevice) {
        m_audioHardware = platform::audio::WaveInputDeviceExists();
        m_audioDevice = device;
        m_audioChecked = true;
    }
    return m_audioHardware;
}

LRESULT DriverWindowState::GetDriverText(bool version, WPARAM size, LPARAM buffer) const
{
    const DriverConnection c = Connection();
    if (!c.connected) {
        return FALSE;
    }
    return CopyTextToBuffer(version ? c.version : c.name, reinterpret_cast<char*>(buffer), size);
}

LRESULT DriverWindowState::GetDriverCaps(WPARAM size, LPARAM record) const
{
    const DriverConnection c = Connection();
    CAPDRIVERCAPS caps{};
    if (c.connected) {
        caps.wDeviceIndex = c.index;
        caps.fHasOverlay = c.caps.hasOverlay;
        caps.fHasDlgVideoSource = c.caps.hasSourceDialog;
        caps.fHasDlgVideoFormat = c.caps.hasFormatDialog;
        caps.fHasDlgVideoDisplay = c.caps.hasDisplayDialog;
        caps.fCaptureInitialized = TRUE;
        caps.fDriverSuppliesPalettes = c.format && c.format->header.biBitCount == 8;
    }
    const LRESULT copied = CopyRecordOut(caps, size, record);
    return c.connected ? copied : FALSE;
}

LRESULT DriverWindowState::GetCaptureFile(WPARAM size, LPARAM buffer) const
{
    return CopyTextToBuffer(CaptureFile(), reinterpret_cast<char*>(buffer), size);
}

LRESULT DriverWindowState::GetAudioFormat(WPARAM size, LPARAM format) const
{
    return CopyBytesOut(AudioFormat(), size, format);
}

LRESULT DriverWindowState::GetVideoFormat(WPARAM size, LPARAM format) const
{
    const DriverConnection c = Connection();
    if (!c.connected || !c.format) {
        return 0;
    }
    return CopyBytesOut(c.format->PackedHeader(), size, format);
}

LRESULT DriverWindowState::GetSequenceSetup(WPARAM size, LPARAM record) const
{
    return CopyRecordOut(SequenceSetup(), size, record);
}

LRESULT DriverWindowState::GetFileFigures(WPARAM size, LPARAM record) const
{
    const std::shared_ptr<CaptureSession> session = Session();
    CAPFILEFIGURES figures{};
    if (!session ||
        !session->Consumer().MeasureFile(figures.qwBytesWritten, figures.qwBytesRoomInFile)) {
        return FALSE;
    }
    const std::string file = CaptureFile(); // cannot change while the capture runs
    struct statvfs volume
    {
    };
    if (!file.empty() && ::statvfs(file.c_str(), &volume) == 0) {
        figures.qwBytesFreeOnVolume = std::uint64_t(volume.f_bavail) * volume.f_frsize;
        figures.fVolumeKnown = TRUE;
    }
    return CopyRecordOut(figures, size, record);
}

LRESULT DriverWindowState::EndCapture(bool abort)
{
    // Stopping when nothing runs is not an error.
    if (auto session = Session()) {
        if (abort) {
            session->RequestAbort();
        } else {
            session->RequestStop();
        }
    }
    return Connection().connected ? TRUE : FALSE;
}

LRESULT DriverWindowState::GetStatus(WPARAM size, LPARAM record) const
{
    CAPSTATUS s{};
    DriverConnection c;
    DisplayState d;
    std::string captureFile;
    std::shared_ptr<CaptureSession> session;
    {
        MutexLock lock(m_mutex);
        c = m_connection;
        d = m_display;
        captureFile = m_captureFile;
        session = m_session;
    }
    if (c.connected && c.format) {
        s.uiImageWidth = UINT(c.format->Width());
        s.uiImageHeight = UINT(c.format->Height());
    }
    s.fLiveWindow = c.connected && d.preview;
    s.fOverlayWindow = c.connected && d.overlay;
    s.fScale = d.scale;
    s.fUsingDefaultPalette = FALSE;
    s.fAudioHardware = AudioHardware();
    struct stat info
    {
    };
    s.fCapFileExists = !captureFile.empty() && ::stat(captureFile.c_str(), &info) == 0;
    if (session) {
        const CaptureProgress p = session->Progress();
        s.dwCurrentVideoFrame = p.frames;
        s.dwCurrentVideoFramesDropped = p.dropped;
        s.dwCurrentTimeElapsedMS = p.elapsedMs;
        s.fCapturingNow = p.capturing;
        s.wNumVideoAllocated = p.capturing ? p.buffers : 0;
    }
    const LRESULT copied = CopyRecordOut(s, size, record);
    return c.connected ? copied : FALSE;
}

LRESULT DriverWindowState::SetSequenceSetup(WPARAM size, LPARAM record)
{
    if (record == 0 || size == 0) {
        return FALSE;
    }
    MutexLock lock(m_mutex);
    CAPTUREPARMS p = m_parms;
    std::memcpy(&p, reinterpret_cast<const void*>(record), std::min<WPARAM>(size, sizeof p));
    // The record is taken as a whole; only what this service cannot do is replaced, field
    // by field, so that reading the setup back tells what a capture will do.
    if (p.dwRequestMicroSecPerFrame == 0) {
        // A period of 0 asks for no particular rate: the service's default rate.
        p.dwRequestMicroSecPerFrame = DefaultSequenceSetup().dwRequestMicroSecPerFrame;
    }
    if (p.vKeyAbort != 0 && VirtualKeyName(p.vKeyAbort).empty()) {
        p.vKeyAbort = 0; // a key the service does not watch
    }
    // There is no MCI device to control or step.
    p.fMCIControl = FALSE;
    p.fStepMCIDevice = FALSE;
    m_parms = p;
    return TRUE;
}

LRESULT DriverWindowState::SetAudioFormat(WPARAM size, LPARAM format)
{
    constexpr std::size_t kPcmHeader = 16; // a WAVEFORMATEX without cbSize
    if (format == 0 || size < kPcmHeader) {
        return FALSE;
    }
    WAVEFORMATEX f{};
    std::memcpy(&f, reinterpret_cast<const void*>(format), std::min<WPARAM>(size, sizeof f));
    if (size < sizeof f) {
        f.cbSize = 0;
    }
    const bool usable = f.wFormatTag == WAVE_FORMAT_PCM && f.nChannels >= 1 && f.nChannels <= 8 &&
                        f.nSamplesPerSec >= 1000 && f.nSamplesPerSec <= 384000 &&
                        (f.wBitsPerSample == 8 || f.wBitsPerSample == 16 ||
                         f.wBitsPerSample == 24 || f.wBitsPerSample == 32);
    if (!usable || (size >= sizeof f && size < sizeof f + f.cbSize)) {
        return FALSE;
    }
    // For PCM the block size and byte rate follow from the other fields.
    f.nBlockAlign = WORD(f.nChannels * f.wBitsPerSample / 8);
    f.nAvgBytesPerSec = f.nSamplesPerSec * f.nBlockAlign;
    std::vector<BYTE> bytes(sizeof f + f.cbSize);
    std::memcpy(bytes.data(), &f, sizeof f);
    if (f.cbSize) {
        std::memcpy(bytes.data() + sizeof f, reinterpret_cast<const BYTE*>(format) + sizeof f,
                    f.cbSize);
    }
    MutexLock lock(m_mutex);
    if (m_session && m_session->IsCapturing()) {
        return FALSE; // the running capture keeps its format
    }
    m_audioFormat = std::move(bytes);
    return TRUE;
}

LRESULT DriverWindowState::SetCaptureFile(LPARAM name)
{
    const char* text = reinterpret_cast<const char*>(name);
    if (!text || !*text) {
        return FALSE;
    }
    const std::size_t length = ::strnlen(text, kMaxCaptureFileName + 1);
    if (length > kMaxCaptureFileName) {
        return FALSE; // it would not fit the callers' 261-byte buffers
    }
    MutexLock lock(m_mutex);
    if (m_session && m_session->IsCapturing()) {
        return FALSE;
    }
    m_captureFile.assign(text, length);
    return TRUE;
}

void DriverWindowState::OnFrame(FramePtr frame)
{
    std::shared_ptr<CaptureSession> session = Session();
    if (session) {
        session->OfferFrame(frame);
    }
    m_slot.Publish(std::move(frame));
}

void DriverWindowState::OnStreamFailure(const std::string& reason)
{
    if (auto session = Session(); session && session->IsCapturing()) {
        session->OnDeviceFailure(reason); // the capture reports it as it ends
        return;
    }
    // No capture: the error callback runs on the window's thread, never on the driver's,
    // which the window may be joining.
    if (QCoreApplication* app = QCoreApplication::instance()) {
        QMetaObject::invokeMethod(
            app,
            [callbacks = m_callbacks, handle = m_handle, reason] {
                callbacks->Error(handle, IDS_CAP_DRIVER_FAILED, reason.c_str());
            },
            Qt::QueuedConnection);
    }
}

DriverConnection DriverWindowState::Connection() const
{
    MutexLock lock(m_mutex);
    return m_connection;
}

void DriverWindowState::SetConnection(DriverConnection connection)
{
    MutexLock lock(m_mutex);
    m_connection = std::move(connection);
}

void DriverWindowState::SetFormat(FormatPtr format)
{
    MutexLock lock(m_mutex);
    m_connection.format = std::move(format);
}

DisplayState DriverWindowState::Display() const
{
    MutexLock lock(m_mutex);
    return m_display;
}

void DriverWindowState::SetDisplay(const DisplayState& display)
{
    MutexLock lock(m_mutex);
    m_display = display;
}

CAPTUREPARMS DriverWindowState::SequenceSetup() const
{
    MutexLock lock(m_mutex);
    return m_parms;
}

std::vector<BYTE> DriverWindowState::AudioFormat() const
{
    MutexLock lock(m_mutex);
    return m_audioFormat;
}

std::string DriverWindowState::CaptureFile() const
{
    MutexLock lock(m_mutex);
    return m_captureFile;
}

std::shared_ptr<CaptureSession> DriverWindowState::Session() const
{
    MutexLock lock(m_mutex);
    return m_session;
}

void DriverWindowState::SetSession(std::shared_ptr<CaptureSession> session)
{
    std::shared_ptr<CaptureSession> previous;
    {
        MutexLock lock(m_mutex);
        previous = std::exchange(m_session, std::move(session));
    }
    // `previous` is released outside the lock; its owner has joined it already.
}

bool DriverWindowState::IsCapturing() const
{
    auto session = Session();
    return session && session->IsCapturing();
}

} // namespace vexol::platform::capture
