// The generic capture window: a child window that owns the capture service's driver
// window, keeps the installed driver list, connects one driver, keeps copies of its
// capability, status, sequence-setup and video-format records, switches the picture
// between preview and overlay, and offers thin operations on the capture file. Every
// request to the driver is a WM_CAP_* message to the driver window; without a driver
// window nothing is sent and the result is 0.
//
// The window is a Qt widget. Given a parent in Create, it becomes the parent's child and
// Qt deletes it with the parent; whoever keeps the object must either let the parent own
// it (allocate it with new) or destroy it before the parent goes.
//
// Threads: everything runs on the user-interface thread except the callback procedures,
// which the capture service may call from its capture thread. Those touch only the
// frame snapshot (under the snapshot lock), the hide-messages flag, the last status ID
// and the driver window's query messages.
#pragma once

#include "capture/CaptureErrorBoxes.h"
#include "platform/ThreadAnnotations.h"
#include "platform/capture/CaptureTypes.h"

#include <QWidget>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class CaptureServiceCalls;
class KernelCalls;
struct CCreateContext;

class CCaptureWindowBase : public QWidget
{
public:
    // The message-box style of the capture error box: OK with an exclamation icon.
    static constexpr UINT kErrorBoxStyle = 0x30;
    // How long destruction waits for a running capture to end.
    static constexpr DWORD kDestroyWaitMs = 3000;
    // Pause between two status reads of that wait.
    static constexpr DWORD kDestroyPollMs = 10;
    // StopStreaming: attempts to turn the display on again, and the pause between them.
    static constexpr int kDisplayAttempts = 3;
    static constexpr DWORD kDisplayRetryMs = 300;

    CCaptureWindowBase();
    ~CCaptureWindowBase() override;

    // Seams, set before Create: the capture service (null: the real one) and the kernel
    // services (null: the real ones).
    void SetServiceCalls(CaptureServiceCalls* service);
    void SetKernelCalls(KernelCalls* kernel);

    // Creates the window and the driver window and connects the first driver that
    // connects; TRUE when a driver is connected and the live picture runs. `className`
    // and `context` have no meaning here and are ignored. Only the size of `rect` counts:
    // it is fitted to the image aspect and the window is placed at (0, 0). Fails without
    // a parent for a WS_CHILD style, and when called a second time.
    BOOL Create(const char* className, const char* windowName, DWORD style, const RECT& rect,
                QWidget* parent, UINT id, CCreateContext* context = nullptr);

    // The installed drivers, at most 10, up to the first gap. FALSE only out of memory.
    BOOL EnumerateDrivers(std::vector<std::string>& names, std::vector<std::string>& versions);
    BOOL ConnectDriver(int index);
    // Lists the drivers afresh after cameras came or went. The connected driver stays
    // connected and its index follows it; when it is no longer listed the index names no
    // driver (MAXVIDDRIVERS).
    BOOL RefreshDriverList();
    BOOL IsDriverConnected() const { return m_strDriverName.empty() ? FALSE : TRUE; }
    WORD GetDriverIndex() const { return m_wDriverIndex; }
    const std::string& GetDriverName() const { return m_strDriverName; }
    const std::string& GetDriverVersion() const { return m_strDriverVersion; }
    const CAPDRIVERCAPS& GetDriverCaps() const { return m_driverCaps; }
    // The cached status, video format header and picture rectangle (user-interface thread).
    const CAPSTATUS& GetCaptureStatus() const { return m_capStatus; }
    const BITMAPINFOHEADER& GetVideoFormatHeader() const { return m_videoHeader; }
    RECT GetPictureRect() const { return m_pictureRect; }
    HWND GetDriverWindow() const { return m_hWndDriver; }

    // Display modes.
    BOOL SetOverlay(BOOL overlay);
    BOOL IsOverlay() const { return m_bOverlay; }
    virtual BOOL IsPreviewActive();
    BOOL SetDisplayEnabled(BOOL enable);
    virtual BOOL ReapplyDisplayMode();
    virtual void FitToImage();

    // The driver's dialogs, numbered as the original kinds 0, 1 and 2.
    enum class DriverDialog : int {
        VideoSource = 0,
        VideoFormat = 1,
        VideoDisplay = 2,
    };
    // A number past the known dialogs shows none and succeeds while there is a driver
    // window; a negative one fails.
    BOOL ShowDriverDialog(DriverDialog kind);
    void ShowCaptureWindow(BOOL show, BOOL redraw);

    // Capture file and frame operations.
    BOOL SetCaptureFile(const char* fileName);
    std::string GetCaptureFile(BOOL fromDriver);
    // Pre-allocates the capture file to `bytes` (a 64-bit byte count).
    BOOL AllocateCaptureFile(std::uint64_t bytes);
    BOOL SaveCaptureAs(const char* fileName);
    BOOL SaveFrameAsDib(const char* fileName);
    BOOL CopyFrameToClipboard();

    // Sets the hide-messages flag when `requested` and the platform qualifies (see the
    // definition). The flag is never cleared.
    void CheckHideMessages(BOOL requested);
    BOOL HideMessages() const { return m_bHideMessages.load(); }

    // A fresh status read; the cached status is not changed. Any thread.
    BOOL IsCapturing();

    // The ID of the last error the driver reported through the error callback, 0 when
    // none came since ClearLastErrorId: tells a refused request from one the user
    // cancelled. Any thread.
    int GetLastErrorId() const { return m_lastErrorId.load(); }
    void ClearLastErrorId() { m_lastErrorId = 0; }

    // Ends any running capture and turns the display on again; always TRUE.
    BOOL StopStreaming();

    // Destroys the window as the framework does when its parent window goes: the destroy
    // handling runs (OnDestroy), then the window is hidden and taken out of its parent,
    // which therefore does not delete it. The object and its fields stay, so that the
    // capture settings can still be saved from it. Nothing runs a second time.
    void DestroyWindow();

    // Handlers of the callback procedures.
    virtual void OnCaptureStatus(int id, const char* text);
    virtual void OnCaptureError(int id, const char* text);
    virtual void OnVideoFrame(const VIDEOHDR& header);

    // The callback procedures registered with the capture service.
    static LRESULT ErrorCallbackProc(HWND hwnd, int id, const char* text);
    static LRESULT StatusCallbackProc(HWND hwnd, int id, const char* text);
    static LRESULT YieldCallbackProc(HWND hwnd);
    static LRESULT VideoStreamCallbackProc(HWND hwnd, VIDEOHDR* header);

    // The last frame snapshot (the 40-byte video format header, then the frame's bytes);
    // FALSE and `snapshot` emptied when there is none. Any thread.
    BOOL CopyFrameSnapshot(std::vector<BYTE>& snapshot) const;
    // Waits until a frame snapshot is stored or a stream stops (the new-frame event,
    // auto-reset); FALSE after `timeoutMs`. Any thread but the one delivering frames.
    BOOL WaitForNewFrame(DWORD timeoutMs);

protected:
    // The framework's destroy notification: stops any capture, unregisters the
    // callbacks and waits up to 3000 ms for the capture to end. Runs once; the
    // destructors call it.
    void OnDestroy();

    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

    // TRUE when the driver window exists.
    BOOL HasDriverWindow() const;
    // Sends a message to the driver window; 0 without one.
    LRESULT SendToDriver(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    template <typename Record>
    LRESULT SendToDriver(UINT message, WPARAM wParam, Record* record) const
    {
        return SendToDriver(message, wParam, reinterpret_cast<LPARAM>(record));
    }
    // Reads the current video format and keeps its first 40 bytes; the result of the
    // read, or `noMemoryResult` when no buffer could be allocated.
    BOOL RefreshVideoFormat(BOOL noMemoryResult);
    // Frees the frame snapshot and sets or resets the new-frame event.
    void DropFrameSnapshot(bool signal);

    KernelCalls& Kernel() const { return *m_kernel; }

    // Fields, in the order of the original records.
    std::atomic<BOOL> m_bHideMessages{FALSE};
    std::string m_strCaptureFile;
    HWND m_hWndDriver = nullptr;
    RECT m_pictureRect{0, 0, 0, 0};
    std::vector<std::string> m_driverNames;
    std::vector<std::string> m_driverVersions;
    std::string m_strDriverVersion;
    std::string m_strDriverName;
    WORD m_wDriverIndex = 0;
    CAPTUREPARMS m_captureParms{};
    CAPSTATUS m_capStatus{};
    BITMAPINFOHEADER m_videoHeader GUARDED_BY(m_snapshotLock){}; // the frame handler copies it
    CAPDRIVERCAPS m_driverCaps{};
    // The snapshot lock guards the frame snapshot (m_snapshot, m_snapshotSize), the
    // new-frame event (m_newFrameSignalled with m_newFrame) and m_videoHeader, which the
    // frame handler copies from another thread.
    mutable vexol::platform::Mutex m_snapshotLock;
    std::condition_variable m_newFrame;
    bool m_newFrameSignalled GUARDED_BY(m_snapshotLock) = false;
    std::unique_ptr<BYTE[]> m_snapshot GUARDED_BY(m_snapshotLock);
    std::size_t m_snapshotSize GUARDED_BY(m_snapshotLock) = 0;
    LONG m_imageWidth = 320;
    LONG m_imageHeight = 240;
    DWORD m_requestedBitDepth = 16;
    BOOL m_bOverlay = FALSE;
    BOOL m_bErrorCallbackOn = FALSE;
    BOOL m_bStatusCallbackOn = FALSE;
    BOOL m_bYieldCallbackOn = FALSE;

    // The ID of the last status the status handler accepted (the object lives as long
    // as the program).
    std::atomic<int> m_lastStatusId{0};
    // The ID of the last error report, see GetLastErrorId.
    std::atomic<int> m_lastErrorId{0};

private:
    // Asks the driver for this window's default format (the image size and bit depth
    // fields) and keeps the header of the format it then reports; `result` when no
    // buffer could be made.
    BOOL RequestDefaultVideoFormat(BOOL result);

    CaptureServiceCalls* m_service;
    KernelCalls* m_kernel;
    CaptureErrorBoxes m_errorBoxes;
    bool m_created = false;
    bool m_destroyed = false;
};
