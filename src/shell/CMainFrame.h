// The main frame: the menu bar of resource 128, the status bar with the message pane
// and four key indicators, and the handlers and update rules of the application's
// commands. The capture window object and the registry store are the application's.
#pragma once

#include "platform/framework/StatusBar.h"
#include "shell/CMainFrameEx.h"
#include "shell/RecordingFiguresPane.h"

#include <QPointer>

class CCaptureWindow;
class CDib;
class RegistryStore;

class CMainFrame : public CMainFrameEx
{
public:
    CMainFrame();
    ~CMainFrame() override;

    const CRuntimeClass* GetRuntimeClass() const override;
    static const CRuntimeClass classCMainFrame;

    CStatusBar& GetStatusBar() { return m_wndStatusBar; }
    // The live figures of a recording, after the status bar's five panes.
    vexol::shell::RecordingFiguresPane* GetFiguresPane() const { return m_figuresPane; }

    // The capture file, its size, the movie and the parameter dialog.
    void OnCaptureFileSetting();
    void OnCaptureFileSize();
    void OnSaveMovie();
    void OnParameterSettings();
    // Stills: save under a chosen name, the next numbered still, shutter-switch mode.
    void OnSaveStill();
    void OnContinuousSave();
    void OnShutterSave();

    // The driver's current frame as a 24-bit bitmap (see vexol::still::TakeStillImage).
    BOOL TakeStillImage(CDib& bitmap);
    // Writes `bitmap` (null: the driver's current frame) as JPEG for a ".jpg" name, else
    // as BMP, in the JPEG mode setting. Touches no window: also called from the capture
    // thread.
    BOOL SaveStillImage(const char* path, CDib* bitmap);
    // Saves `bitmap` as the next numbered still; the counter advances only on success.
    // Capture thread too.
    BOOL SaveNextNumberedStill(CDib* bitmap);

    // Driver dialogs, audio format, display modes, drivers, recording, still display.
    void OnImageFormat();
    void OnVideoInput();
    void OnVideoDisplay();
    void OnAudioFormat();
    void OnOverlay();
    void OnPreview();
    void OnSelectDriver(UINT id);
    void OnRecord();
    void OnStopRecording();
    void OnDisplayStill();
    // 57600, 57601, 57603 and 57607: taken and ignored.
    void OnIgnoredCommand();

    // Update rules.
    void OnUpdateConnectedIdle(CCmdUI* cmdUI);
    void OnUpdateCaptureFileSize(CCmdUI* cmdUI);
    void OnUpdateImageFormat(CCmdUI* cmdUI);
    void OnUpdateVideoInput(CCmdUI* cmdUI);
    void OnUpdateVideoDisplay(CCmdUI* cmdUI);
    void OnUpdateNotRecording(CCmdUI* cmdUI);
    void OnUpdateOverlay(CCmdUI* cmdUI);
    void OnUpdatePreview(CCmdUI* cmdUI);
    void OnUpdateSelectDriver(CCmdUI* cmdUI);
    void OnUpdateStopRecording(CCmdUI* cmdUI);
    void OnUpdateContinuousSave(CCmdUI* cmdUI);
    void OnUpdateDisplayStill(CCmdUI* cmdUI);
    void OnUpdateShutterSave(CCmdUI* cmdUI);

protected:
    int OnCreate(CCreateContext* context) override;

private:
    // The application's capture window and registry store; null without the
    // application object.
    static CCaptureWindow* Capture();
    static RegistryStore* Store();
    // Queries on the capture window; false without one.
    static bool IsConnected();
    static bool IsRecording();
    // Connected and not recording: the condition of most commands.
    static bool IsConnectedAndIdle();

    CStatusBar m_wndStatusBar;
    QPointer<vexol::shell::RecordingFiguresPane> m_figuresPane; // owned by the status bar
};
