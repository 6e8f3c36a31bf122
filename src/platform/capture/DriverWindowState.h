// The part of a driver window that every thread may use: the connection as last set up by
// the UI thread, the display flags, the sequence and audio settings, the callbacks, the
// newest frame and the running capture. It answers the messages that are safe from any
// thread (queries, settings, callback registration, stop and abort; see
// CaptureMessageRoutes) and receives the driver's frames. It outlives its widget while another
// thread still holds it; messages then find no widget and answer 0.
#pragma once

#include "platform/ThreadAnnotations.h"
#include "platform/capture/CallbackTable.h"
#include "platform/capture/CaptureDriver.h"
#include "platform/capture/CaptureSession.h"
#include "platform/capture/FrameSlot.h"

#include <QThread>
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace vexol::platform::capture {

class DriverWindow;

struct DriverConnection
{
    bool connected = false;
    UINT index = 0;
    std::string name;
    std::string version;
    DriverCapabilities caps;
    FormatPtr format;
};

struct DisplayState
{
    bool preview = false;
    bool overlay = false;
    bool scale = false;
    UINT previewRateMs = 66;
};

class DriverWindowState : public FrameSink
{
public:
    explicit DriverWindowState(DriverWindow* window);

    // FrameSink, on the driver's thread.
    void OnFrame(FramePtr frame) override;
    void OnStreamFailure(const std::string& reason) override;

    // The widget; on its own (UI) thread only, and null once it is destroyed.
    DriverWindow* Window() const { return m_window; }
    void DetachWindow() { m_window = nullptr; }
    QThread* OwnerThread() const { return m_ownerThread; }
    HWND Handle() const { return m_handle; }

    DriverConnection Connection() const;
    void SetConnection(DriverConnection connection);
    void SetFormat(FormatPtr format);
    DisplayState Display() const;
    void SetDisplay(const DisplayState& display);
    CAPTUREPARMS SequenceSetup() const;
    std::vector<BYTE> AudioFormat() const;
    std::string CaptureFile() const;

    std::shared_ptr<CaptureSession> Session() const;
    void SetSession(std::shared_ptr<CaptureSession> session);
    bool IsCapturing() const;

    FrameSlot& Slot() { return m_slot; }
    const std::shared_ptr<CallbackTable>& Callbacks() const { return m_callbacks; }

    LONG_PTR WindowUserData() const { return m_windowUserData.load(); }
    LONG_PTR SetWindowUserData(LONG_PTR value) { return m_windowUserData.exchange(value); }

    // The service's default sequence parameters and audio format.
    static CAPTUREPARMS DefaultSequenceSetup();
    static std::vector<BYTE> DefaultAudioFormat();

    // True when the configured wave input device exists (CAPSTATUS fAudioHardware).
    bool AudioHardware() const;

private:
    friend class CaptureMessageTable; // the any-thread message handlers below

    LRESULT GetDriverText(bool version, WPARAM size, LPARAM buffer) const;
    LRESULT GetDriverCaps(WPARAM size, LPARAM record) const;
    LRESULT GetStatus(WPARAM size, LPARAM record) const;
    LRESULT GetVideoFormat(WPARAM size, LPARAM format) const;
    LRESULT SetSequenceSetup(WPARAM size, LPARAM record);
    LRESULT GetSequenceSetup(WPARAM size, LPARAM record) const;
    LRESULT SetAudioFormat(WPARAM size, LPARAM format);
    LRESULT GetAudioFormat(WPARAM size, LPARAM format) const;
    LRESULT SetCaptureFile(LPARAM name);
    LRESULT GetCaptureFile(WPARAM size, LPARAM buffer) const;
    LRESULT GetFileFigures(WPARAM size, LPARAM record) const;
    // Ends a running capture without waiting for its thread.
    LRESULT EndCapture(bool abort);

    DriverWindow* m_window; // UI thread only
    QThread* const m_ownerThread;
    const HWND m_handle;
    // m_audioMutex guards the answer to "is there a wave input device", kept per device
    // name because opening a device to ask is slow.
    mutable Mutex m_audioMutex;
    mutable bool m_audioChecked GUARDED_BY(m_audioMutex) = false;
    mutable std::string m_audioDevice GUARDED_BY(m_audioMutex);
    mutable bool m_audioHardware GUARDED_BY(m_audioMutex) = false;
    const std::shared_ptr<CallbackTable> m_callbacks = std::make_shared<CallbackTable>();
    FrameSlot m_slot;
    std::atomic<LONG_PTR> m_windowUserData{0};
    std::atomic<LONG_PTR> m_captureUserData{0};

    // m_mutex guards the connection, display, settings and session fields below.
    mutable Mutex m_mutex;
    DriverConnection m_connection GUARDED_BY(m_mutex);
    DisplayState m_display GUARDED_BY(m_mutex);
    CAPTUREPARMS m_parms GUARDED_BY(m_mutex);
    std::vector<BYTE> m_audioFormat GUARDED_BY(m_mutex);
    std::string m_captureFile GUARDED_BY(m_mutex);
    std::shared_ptr<CaptureSession> m_session GUARDED_BY(m_mutex);
};

// Copies `text` into a caller's buffer of `size` bytes with a terminator, cutting at a
// character boundary. False when there is no usable buffer.
bool CopyTextToBuffer(const std::string& text, char* buffer, std::size_t size);

// True when the machine has an audio capture device node.
bool HasAudioCaptureHardware();

} // namespace vexol::platform::capture
