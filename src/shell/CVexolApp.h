// The application object: owns the capture window object, the registry store and the
// pending status text; brings the system up in a fixed order, carries status texts
// from the capture callbacks into the status bar between events, writes the settings
// back at shutdown, and opens the version information dialog.
#pragma once

#include "capture/CCaptureWindow.h"
#include "capture/CaptureWindowOwner.h"
#include "capture/PendingStatusText.h"
#include "platform/framework/WinApp.h"
#include "settings/RegistryStore.h"

#include <QObject>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class CMainFrame;

class CVexolApp : public CWinApp, public CaptureWindowOwner
{
public:
    // Style, rectangle and control ID of the capture window inside the view.
    static constexpr DWORD kCaptureWindowStyle = 0x50000000; // child, visible
    static constexpr LONG kCaptureWindowOutside = -1000;
    static constexpr UINT kDriverItemFirst = 32800;
    static constexpr int kMaxDriverItems = 10;
    // The idle routine moves the pending status text on every call whose count is a
    // multiple of this.
    static constexpr LONG kStatusIdleInterval = 1000;
    // Place of the start-up failure report.
    static constexpr WORD kCreateFailedPlace = 0x0101;
    static constexpr WORD kCaptureConnectionFailedText = 10002;

    CVexolApp();
    ~CVexolApp() override;

    // The application object of the process, or null when it is no CVexolApp.
    static CVexolApp* Instance();

    BOOL InitInstance() override;
    BOOL OnIdle(LONG count) override;
    int ExitInstance() override;

    // CaptureWindowOwner: any thread; stores the text and wakes the user-interface
    // thread so that the idle routine shows it soon.
    void SetPendingStatusText(const char* text) override;
    void SaveWaveFormat() override;
    BOOL IsShutterSwitchEnabled() const override;
    void SaveShutterStill(CDib& picture) override;

    // Command 57664.
    void OnVersionInformation();

    CCaptureWindow& GetCaptureWindow() { return m_captureWindow; }
    RegistryStore& GetRegistryStore() { return m_registryStore; }
    CMainFrame* GetMainFrame() const;

private:
    // One Option menu item per installed driver, after the popup's last separator.
    void AppendDriverItems();
    // Cameras came or went: the Option menu lists the drivers afresh.
    void OnInstalledDriversChanged();

    CCaptureWindow m_captureWindow;
    RegistryStore m_registryStore;
    PendingStatusText m_strPendingStatus;
    std::unique_ptr<QObject> m_driverWatch; // reports cameras that come and go
};

namespace vexol::shell {

// The Option menu item text of one driver: name, ",   ", version.
std::string DriverItemText(const std::string& name, const std::string& version);

} // namespace vexol::shell
