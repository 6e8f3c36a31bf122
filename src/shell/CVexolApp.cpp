#include "shell/CVexolApp.h"

#include "look/AppMessageBox.h"
#include "platform/capture/DriverRegistry.h"
#include "platform/framework/DocTemplate.h"
#include "platform/framework/FrameWnd.h"
#include "platform/framework/Menu.h"
#include "res/ResourceIds.h"
#include "shell/CAboutDlg.h"
#include "shell/CMainFrame.h"
#include "shell/CVexolDoc.h"
#include "shell/CVexolView.h"

#include <new>

namespace vexol::shell {

std::string DriverItemText(const std::string& name, const std::string& version)
{
    return name + ",   " + version;
}

} // namespace vexol::shell

CVexolApp::CVexolApp()
{
    MapCommand(ID_APP_ABOUT, &CVexolApp::OnVersionInformation);
    MapCommand(ID_FILE_NEW, &CWinApp::OnFileNew);
    MapCommand(ID_FILE_OPEN, &CWinApp::OnFileOpen);
    m_captureWindow.SetOwner(this);
}

CVexolApp::~CVexolApp()
{
    m_captureWindow.SetOwner(nullptr);
}

CVexolApp* CVexolApp::Instance()
{
    return dynamic_cast<CVexolApp*>(CWinApp::Instance());
}

CMainFrame* CVexolApp::GetMainFrame() const
{
    return dynamic_cast<CMainFrame*>(GetMainWnd());
}

BOOL CVexolApp::InitInstance()
{
    // The application settings come first: the frame needs the Clickwand setting.
    m_registryStore.LoadAppSettings();

    // Embedded controls, the three-dimensional control look and the
    // framework's own profile have no counterpart here.

    // The document template.
    AddDocTemplate(CSingleDocTemplate::Create<CVexolDoc, CMainFrame, CVexolView>(IDR_MAINFRAME));

    // The command line: a new document, or the file named on it.
    CCommandLineInfo commandLine;
    ParseCommandLine(commandLine);
    if (!ProcessShellCommand(commandLine)) {
        return FALSE;
    }

    // Show the main window and paint it now.
    CFrameWnd* frame = GetMainWnd();
    frame->ActivateFrame();

    // The capture drivers in the Option menu, kept up to date while cameras come and go.
    AppendDriverItems();
    m_driverWatch =
        vexol::platform::capture::WatchInstalledDrivers([this] { OnInstalledDriversChanged(); });

    // The capture window, a child of the view; it connects the first driver that
    // accepts and starts the live picture.
    const RECT outside{kCaptureWindowOutside, kCaptureWindowOutside, kCaptureWindowOutside,
                       kCaptureWindowOutside};
    const BOOL created =
        m_captureWindow.Create(nullptr, "Capture Window", kCaptureWindowStyle, outside,
                               frame->GetActiveView(), UINT(IDC_CAPTURE_WINDOW));
    // Without a driver the program cannot work.
    if (!created) {
        AppMessageBox box;
        box.Show(MakeMessageCode(kCreateFailedPlace, kCaptureConnectionFailedText));
        return FALSE;
    }

    // Visible only with a connected driver.
    m_captureWindow.ShowCaptureWindow(m_captureWindow.IsDriverConnected(), TRUE);

    // The stored capture settings, capture file included.
    m_registryStore.LoadCaptureSettings(m_captureWindow);

    // Once the event loop runs: the capture file in the caption, then the picture
    // placed in the view.
    frame->PostCommand(ID_SHOW_CAPTURE_FILE_NAME);
    frame->PostCommand(ID_PLACE_CAPTURE_WINDOW);
    return TRUE;
}

void CVexolApp::AppendDriverItems()
{
    CFrameWnd* frame = GetMainWnd();
    if (!frame) {
        return;
    }
    CMenu option = frame->GetMenu().GetSubMenu(1);
    std::vector<std::string> names;
    std::vector<std::string> versions;
    if (!m_captureWindow.EnumerateDrivers(names, versions) || names.empty() || option.IsNull()) {
        return;
    }
    const std::size_t count = std::min<std::size_t>(names.size(), kMaxDriverItems);
    try {
        for (std::size_t i = 0; i < count; ++i) {
            const std::string version = i < versions.size() ? versions[i] : std::string();
            const std::string text = vexol::shell::DriverItemText(names[i], version);
            option.AppendMenu(MF_STRING | MF_ENABLED | MF_UNCHECKED, kDriverItemFirst + UINT(i),
                              text.c_str());
        }
    } catch (const std::bad_alloc&) {
        // The items made so far stay; start-up goes on.
    }
}

void CVexolApp::OnInstalledDriversChanged()
{
    CFrameWnd* frame = GetMainWnd();
    if (!frame) {
        return;
    }
    CMenu option = frame->GetMenu().GetSubMenu(1);
    for (int i = 0; i < kMaxDriverItems; ++i) {
        option.DeleteMenu(kDriverItemFirst + UINT(i), MF_BYCOMMAND);
    }
    m_captureWindow.RefreshDriverList();
    AppendDriverItems();
}

BOOL CVexolApp::OnIdle(LONG count)
{
    BOOL more = CWinApp::OnIdle(count);
    if (count % kStatusIdleInterval == 0) {
        const BOOL recording = m_captureWindow.IsCapturing();
        if (CFrameWnd* frame = GetMainWnd()) {
            std::string text;
            if (m_strPendingStatus.Take(text)) {
                frame->SetStatusText(text.c_str());
            }
        }
        if (recording) {
            more = TRUE;
        }
    }
    return more;
}

int CVexolApp::ExitInstance()
{
    m_driverWatch.reset();
    m_registryStore.SaveAppSettings();
    m_registryStore.SaveCaptureSettings(m_captureWindow);
    return CWinApp::ExitInstance();
}

void CVexolApp::SetPendingStatusText(const char* text)
{
    m_strPendingStatus.Set(text);
    WakeUp();
}

void CVexolApp::SaveWaveFormat()
{
    m_registryStore.SaveWaveFormat(m_captureWindow);
}

// The setting is read once at start-up and never changes afterwards.
BOOL CVexolApp::IsShutterSwitchEnabled() const
{
    return m_registryStore.m_bClickwand;
}

void CVexolApp::SaveShutterStill(CDib& picture)
{
    if (CMainFrame* frame = GetMainFrame()) {
        frame->SaveNextNumberedStill(&picture);
    }
}

void CVexolApp::OnVersionInformation()
{
    CAboutDlg dialog;
    dialog.DoModal();
}
