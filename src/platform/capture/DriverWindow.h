// The driver window: the child window the capture service makes for its caller. It owns
// the connected driver, paints the picture (preview, overlay or a grabbed still) on the
// UI thread and handles the messages that act on the driver (CaptureMessageRoutes); the
// thread-safe rest lives in DriverWindowState.
//
// Threads: the driver's frame clock publishes frames into the state's FrameSlot; a timer
// on the UI thread picks up the newest frame at the preview rate and repaints. A capture
// sequence runs on its own thread (CaptureSession). Messages that act on the driver are
// handled on this window's thread only; from other threads they answer 0.
#pragma once

#include "platform/capture/AbortInputWatcher.h"
#include "platform/capture/CaptureDriver.h"
#include "platform/capture/DriverWindowState.h"
#include "platform/capture/FileWorkProgress.h"

#include <QImage>
#include <QTimer>
#include <QWidget>
#include <memory>

namespace vexol::platform::capture {

class DriverWindow : public QWidget
{
public:
    explicit DriverWindow(QWidget* parent);
    ~DriverWindow() override;

    const std::shared_ptr<DriverWindowState>& State() const { return m_state; }
    // The window's handle, issued by the window registry.
    HWND Handle() const;
    // The connected driver (for tests and the built-in drivers' own controls); may be null.
    CaptureDriver* Driver() const { return m_driver.get(); }
    int ControlId() const { return m_controlId; }
    void SetControlId(int id) { m_controlId = id; }

    // The number of the frame on display, or -1 when none (for tests).
    long long ShownFrameNumber() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    friend class CaptureMessageTable; // the message handlers below, on the UI thread

    LRESULT Connect(UINT index);
    LRESULT DisconnectDriver();
    void Disconnect();
    LRESULT SetVideoFormat(WPARAM size, LPARAM format);
    LRESULT ApplyFormatRequest(const FormatRequest& request);
    LRESULT SetPreview(bool on);
    LRESULT SetOverlay(bool on);
    LRESULT SetPreviewRate(WPARAM milliseconds);
    LRESULT SetScale(bool on);
    LRESULT GrabFrame(bool stopDisplay);
    LRESULT SaveDib(LPARAM path);
    LRESULT CopyToClipboard();
    LRESULT RunDialog(UINT message);
    LRESULT StartSequence(bool toFile);
    void WaitForCaptureEnd(const std::shared_ptr<CaptureSession>& session);
    LRESULT AllocateFile(LPARAM bytes);
    LRESULT SaveFileAs(LPARAM name);
    // Runs file work with the progress dialog; reports a failure other than a cancel
    // through the error callback.
    AviResult RunFileWork(const std::string& label,
                          const std::function<AviResult(const FileWorkReport&)>& work);

    void OnCaptureEnded();
    void EndSession();
    void UpdateStreaming();
    void UpdateRefreshTimer();
    void RefreshFromSlot();
    void ShowFrame(FramePtr frame, std::uint64_t generation);
    FramePtr CurrentFrame();
    void ReportDisplayMode(int id, const char* text);

    std::shared_ptr<DriverWindowState> m_state;
    std::shared_ptr<CaptureDriver> m_driver; // shared so that a running dialog keeps it alive
    std::unique_ptr<AbortInputWatcher> m_abortWatcher;
    QTimer m_refreshTimer;
    FramePtr m_shownFrame;
    QImage m_shownImage;       // the newest frame that converted, made when painted
    bool m_imageStale = false; // m_shownFrame is not converted yet
    std::uint64_t m_shownGeneration = 0;
    bool m_busy = false; // a driver dialog or a blocking capture runs
    int m_controlId = 0;
};

} // namespace vexol::platform::capture
