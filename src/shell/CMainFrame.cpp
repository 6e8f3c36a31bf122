#include "shell/CMainFrame.h"

#include "capture/CCaptureWindow.h"
#include "commands/CaptureFileCommands.h"
#include "commands/ParameterCommand.h"
#include "platform/SystemMetrics.h"
#include "platform/framework/CommandIds.h"
#include "res/ResourceIds.h"
#include "settings/RegistryStore.h"
#include "shell/CVexolApp.h"
#include "shell/CVexolView.h"
#include "still/StillCommands.h"
#include "still/StillImages.h"

#include <iterator>

namespace {

// The status bar panes: messages, then kana, caps, num and scroll lock.
constexpr UINT kIndicators[] = {ID_SEPARATOR, ID_INDICATOR_KANA, ID_INDICATOR_CAPS,
                                ID_INDICATOR_NUM, ID_INDICATOR_SCRL};

// The size a new top-level window gets when its creator names none: three quarters of
// the area a maximised window gets on the primary screen (1024 x 768 without a screen).
SIZE DefaultFrameSize()
{
    int width = GetSystemMetrics(SM_CXMAXIMIZED);
    int height = GetSystemMetrics(SM_CYMAXIMIZED);
    if (width <= 0 || height <= 0) {
        width = 1024;
        height = 768;
    }
    return SIZE{width * 3 / 4, height * 3 / 4};
}

} // namespace

const CRuntimeClass CMainFrame::classCMainFrame{"CMainFrame", 0, nullptr};

const CRuntimeClass* CMainFrame::GetRuntimeClass() const
{
    return &classCMainFrame;
}

CMainFrame::CMainFrame()
{
    const SIZE size = DefaultFrameSize();
    resize(size.cx, size.cy);
    MapCommand(ID_CAPTURE_FILE_SETTING, &CMainFrame::OnCaptureFileSetting);
    MapUpdateRule(ID_CAPTURE_FILE_SETTING, &CMainFrame::OnUpdateConnectedIdle);
    MapCommand(ID_CAPTURE_FILE_SIZE, &CMainFrame::OnCaptureFileSize);
    MapUpdateRule(ID_CAPTURE_FILE_SIZE, &CMainFrame::OnUpdateCaptureFileSize);
    MapCommand(ID_SAVE_MOVIE, &CMainFrame::OnSaveMovie);
    MapUpdateRule(ID_SAVE_MOVIE, &CMainFrame::OnUpdateConnectedIdle);
    MapCommand(ID_SAVE_STILL, &CMainFrame::OnSaveStill);
    MapUpdateRule(ID_SAVE_STILL, &CMainFrame::OnUpdateConnectedIdle);
    MapCommand(ID_IMAGE_FORMAT, &CMainFrame::OnImageFormat);
    MapUpdateRule(ID_IMAGE_FORMAT, &CMainFrame::OnUpdateImageFormat);
    MapCommand(ID_VIDEO_INPUT, &CMainFrame::OnVideoInput);
    MapUpdateRule(ID_VIDEO_INPUT, &CMainFrame::OnUpdateVideoInput);
    MapCommand(ID_VIDEO_DISPLAY, &CMainFrame::OnVideoDisplay);
    MapUpdateRule(ID_VIDEO_DISPLAY, &CMainFrame::OnUpdateVideoDisplay);
    MapCommand(ID_AUDIO_FORMAT, &CMainFrame::OnAudioFormat);
    MapUpdateRule(ID_AUDIO_FORMAT, &CMainFrame::OnUpdateNotRecording);
    MapCommand(ID_PARAMETER_SETTINGS, &CMainFrame::OnParameterSettings);
    MapUpdateRule(ID_PARAMETER_SETTINGS, &CMainFrame::OnUpdateNotRecording);
    MapCommand(ID_OVERLAY, &CMainFrame::OnOverlay);
    MapUpdateRule(ID_OVERLAY, &CMainFrame::OnUpdateOverlay);
    MapCommand(ID_PREVIEW, &CMainFrame::OnPreview);
    MapUpdateRule(ID_PREVIEW, &CMainFrame::OnUpdatePreview);
    MapCommandRange(ID_SELECT_DRIVER_FIRST, ID_SELECT_DRIVER_LAST, &CMainFrame::OnSelectDriver);
    MapUpdateRuleRange(ID_SELECT_DRIVER_FIRST, ID_SELECT_DRIVER_LAST,
                       &CMainFrame::OnUpdateSelectDriver);
    MapCommand(ID_RECORD, &CMainFrame::OnRecord);
    MapUpdateRule(ID_RECORD, &CMainFrame::OnUpdateConnectedIdle);
    MapCommand(ID_STOP_RECORDING, &CMainFrame::OnStopRecording);
    MapUpdateRule(ID_STOP_RECORDING, &CMainFrame::OnUpdateStopRecording);
    MapCommand(ID_CONTINUOUS_SAVE, &CMainFrame::OnContinuousSave);
    MapUpdateRule(ID_CONTINUOUS_SAVE, &CMainFrame::OnUpdateContinuousSave);
    MapCommand(ID_DISPLAY_STILL, &CMainFrame::OnDisplayStill);
    MapUpdateRule(ID_DISPLAY_STILL, &CMainFrame::OnUpdateDisplayStill);
    MapCommand(ID_SHUTTER_SAVE, &CMainFrame::OnShutterSave);
    MapUpdateRule(ID_SHUTTER_SAVE, &CMainFrame::OnUpdateShutterSave);
    for (UINT id : {ID_FILE_NEW, ID_FILE_OPEN, ID_FILE_SAVE, ID_FILE_PRINT}) {
        MapCommand(id, &CMainFrame::OnIgnoredCommand);
    }
}

CMainFrame::~CMainFrame()
{
    // The windows inside go before the frame: the capture window ends any capture and
    // drops its callbacks while this frame, the view and the application's status
    // mailbox all still exist.
    if (auto* view = dynamic_cast<CVexolView*>(GetActiveView())) {
        view->DestroyCaptureWindow();
    }
}

int CMainFrame::OnCreate(CCreateContext* context)
{
    if (CMainFrameEx::OnCreate(context) == -1) {
        return -1;
    }
    if (!m_wndStatusBar.Create(this, CStatusBar::kDefaultStyle, ID_VIEW_STATUS_BAR)) {
        return -1;
    }
    if (!m_wndStatusBar.SetIndicators(kIndicators, int(std::size(kIndicators)))) {
        return -1;
    }
    m_figuresPane = new vexol::shell::RecordingFiguresPane(
        [](vexol::platform::capture::RecordingSample& sample) {
            CCaptureWindow* capture = Capture();
            return capture && capture->GetRecordingSample(sample);
        },
        m_wndStatusBar.GetSafeHwnd());
    m_wndStatusBar.GetSafeHwnd()->addPermanentWidget(m_figuresPane);
    // Without the shutter-switch setting the Clickwand command does not exist.
    const RegistryStore* store = Store();
    if (!store || !store->m_bClickwand) {
        GetMenu().DeleteMenu(ID_SHUTTER_SAVE, MF_BYCOMMAND);
    }
    return 0;
}

// ---- Access to the application's objects ------------------------------------------------

CCaptureWindow* CMainFrame::Capture()
{
    CVexolApp* app = CVexolApp::Instance();
    return app ? &app->GetCaptureWindow() : nullptr;
}

RegistryStore* CMainFrame::Store()
{
    CVexolApp* app = CVexolApp::Instance();
    return app ? &app->GetRegistryStore() : nullptr;
}

bool CMainFrame::IsConnected()
{
    CCaptureWindow* capture = Capture();
    return capture && capture->IsDriverConnected();
}

bool CMainFrame::IsRecording()
{
    CCaptureWindow* capture = Capture();
    return capture && capture->IsCapturing();
}

bool CMainFrame::IsConnectedAndIdle()
{
    return IsConnected() && !IsRecording();
}

// ---- Capture file, movie and parameters ------------------------------------------------

void CMainFrame::OnCaptureFileSetting()
{
    if (CCaptureWindow* capture = Capture()) {
        vexol::commands::CaptureFileSetting(*this, *capture);
    }
}

void CMainFrame::OnCaptureFileSize()
{
    if (CCaptureWindow* capture = Capture()) {
        vexol::commands::CaptureFileSize(*capture);
    }
}

void CMainFrame::OnSaveMovie()
{
    CCaptureWindow* capture = Capture();
    RegistryStore* store = Store();
    if (capture && store) {
        vexol::commands::SaveMovie(*this, *capture, *store);
    }
}

void CMainFrame::OnParameterSettings()
{
    if (CCaptureWindow* capture = Capture()) {
        vexol::commands::ParameterSettings(*this, *capture);
    }
}

// ---- Stills --------------------------------------------------------------------------

void CMainFrame::OnSaveStill()
{
    CCaptureWindow* capture = Capture();
    RegistryStore* store = Store();
    if (capture && store) {
        vexol::still::SaveStill(*this, *capture, *store);
    }
}

void CMainFrame::OnContinuousSave()
{
    CCaptureWindow* capture = Capture();
    RegistryStore* store = Store();
    if (capture && store) {
        vexol::still::ContinuousSave(*capture, *store);
    }
}

void CMainFrame::OnShutterSave()
{
    CCaptureWindow* capture = Capture();
    RegistryStore* store = Store();
    if (capture && store) {
        vexol::still::ShutterSave(*this, *capture, *store);
    }
}

BOOL CMainFrame::TakeStillImage(CDib& bitmap)
{
    CCaptureWindow* capture = Capture();
    return capture ? vexol::still::TakeStillImage(*capture, bitmap) : FALSE;
}

BOOL CMainFrame::SaveStillImage(const char* path, CDib* bitmap)
{
    const RegistryStore* store = Store();
    const INT jpegMode = store ? store->m_nJpegMode : vexol::still::kJpegMedium;
    return vexol::still::SaveStillImage(path, bitmap, jpegMode, Capture());
}

BOOL CMainFrame::SaveNextNumberedStill(CDib* bitmap)
{
    RegistryStore* store = Store();
    return store ? vexol::still::SaveNumberedStill(*store, bitmap, Capture()) : FALSE;
}

void CMainFrame::OnIgnoredCommand() {}

// ---- Driver dialogs and audio format ---------------------------------------------------

void CMainFrame::OnImageFormat()
{
    if (CCaptureWindow* capture = Capture()) {
        capture->ShowDriverDialog(CCaptureWindow::DriverDialog::VideoFormat);
    }
    // The image size may have changed: place the capture window again.
    PostCommand(ID_PLACE_CAPTURE_WINDOW);
}

void CMainFrame::OnVideoInput()
{
    if (CCaptureWindow* capture = Capture()) {
        capture->ShowDriverDialog(CCaptureWindow::DriverDialog::VideoSource);
    }
}

void CMainFrame::OnVideoDisplay()
{
    if (CCaptureWindow* capture = Capture()) {
        capture->ShowDriverDialog(CCaptureWindow::DriverDialog::VideoDisplay);
    }
}

void CMainFrame::OnAudioFormat()
{
    CCaptureWindow* capture = Capture();
    RegistryStore* store = Store();
    if (capture && store && capture->ChooseAudioFormat()) {
        store->SaveCaptureSettings(*capture);
    }
}

// ---- Display modes and drivers ---------------------------------------------------------

void CMainFrame::OnOverlay()
{
    if (CCaptureWindow* capture = Capture()) {
        if (capture->IsFrozen()) {
            capture->Freeze(FALSE);
        }
        capture->ResumeDisplay(TRUE);
    }
}

void CMainFrame::OnPreview()
{
    if (CCaptureWindow* capture = Capture()) {
        if (capture->IsFrozen()) {
            capture->Freeze(FALSE);
        }
        capture->ResumeDisplay(FALSE);
    }
}

void CMainFrame::OnSelectDriver(UINT id)
{
    if (CCaptureWindow* capture = Capture()) {
        capture->ConnectDriver(int(id - ID_SELECT_DRIVER_FIRST));
    }
    // The new driver's picture may have another size.
    PostCommand(ID_PLACE_CAPTURE_WINDOW);
}

// ---- Recording and still display -------------------------------------------------------

void CMainFrame::OnRecord()
{
    CCaptureWindow* capture = Capture();
    if (!capture || !capture->IsDriverConnected() || capture->IsCapturing()) {
        return;
    }
    if (capture->IsFrozen()) {
        capture->Freeze(FALSE);
    }
    if (capture->GetCaptureFile(FALSE).empty()) {
        OnCaptureFileSetting(); // direct call: not gated by its update rule
    }
    if (!capture->GetCaptureFile(FALSE).empty()) {
        capture->StartRecording();
    }
}

void CMainFrame::OnStopRecording()
{
    CCaptureWindow* capture = Capture();
    if (capture && capture->IsDriverConnected()) {
        capture->StopRecording();
    }
}

void CMainFrame::OnDisplayStill()
{
    CCaptureWindow* capture = Capture();
    if (!capture || !capture->IsDriverConnected() || capture->IsCapturing()) {
        return;
    }
    capture->Freeze(capture->IsFrozen() ? FALSE : TRUE);
}

// ---- Update rules ----------------------------------------------------------------------

void CMainFrame::OnUpdateConnectedIdle(CCmdUI* cmdUI)
{
    cmdUI->Enable(IsConnectedAndIdle());
}

void CMainFrame::OnUpdateCaptureFileSize(CCmdUI* cmdUI)
{
    cmdUI->Enable(IsConnectedAndIdle() && !Capture()->GetCaptureFile(FALSE).empty());
}

void CMainFrame::OnUpdateImageFormat(CCmdUI* cmdUI)
{
    cmdUI->Enable(IsConnectedAndIdle() && Capture()->GetDriverCaps().fHasDlgVideoFormat);
}

void CMainFrame::OnUpdateVideoInput(CCmdUI* cmdUI)
{
    cmdUI->Enable(IsConnectedAndIdle() && Capture()->GetDriverCaps().fHasDlgVideoSource);
}

void CMainFrame::OnUpdateVideoDisplay(CCmdUI* cmdUI)
{
    cmdUI->Enable(IsConnectedAndIdle() && Capture()->GetDriverCaps().fHasDlgVideoDisplay);
}

void CMainFrame::OnUpdateNotRecording(CCmdUI* cmdUI)
{
    cmdUI->Enable(!IsRecording());
}

void CMainFrame::OnUpdateOverlay(CCmdUI* cmdUI)
{
    CCaptureWindow* capture = Capture();
    cmdUI->SetRadio(capture && capture->IsOverlay());
    cmdUI->Enable(IsConnected() && capture->GetDriverCaps().fHasOverlay);
}

void CMainFrame::OnUpdatePreview(CCmdUI* cmdUI)
{
    CCaptureWindow* capture = Capture();
    cmdUI->SetRadio(capture && capture->IsPreviewActive());
    cmdUI->Enable(IsConnected());
}

void CMainFrame::OnUpdateSelectDriver(CCmdUI* cmdUI)
{
    CCaptureWindow* capture = Capture();
    const bool current =
        capture && cmdUI->m_nID - ID_SELECT_DRIVER_FIRST == UINT(capture->GetDriverIndex());
    cmdUI->SetCheck(current ? 1 : 0);
    cmdUI->Enable(TRUE);
}

void CMainFrame::OnUpdateStopRecording(CCmdUI* cmdUI)
{
    cmdUI->Enable(IsConnected() && IsRecording());
}

void CMainFrame::OnUpdateContinuousSave(CCmdUI* cmdUI)
{
    const RegistryStore* store = Store();
    cmdUI->Enable(IsConnectedAndIdle() && store && !store->m_strContinuousBase.empty());
}

void CMainFrame::OnUpdateDisplayStill(CCmdUI* cmdUI)
{
    CCaptureWindow* capture = Capture();
    cmdUI->SetCheck(capture && capture->IsFrozen() ? 1 : 0);
    cmdUI->Enable(IsConnectedAndIdle());
}

void CMainFrame::OnUpdateShutterSave(CCmdUI* cmdUI)
{
    const RegistryStore* store = Store();
    cmdUI->Enable(store && store->m_bClickwand && IsConnectedAndIdle());
}
