// The application's file dialog: the framework's file dialog under the application's
// own run-time class, drawn in the skinned frame like the application's dialogs. The
// capture-file and movie commands use it as it is; dialogs that add controls below the
// standard ones (OFN_ENABLETEMPLATE) derive from it and exchange data with those
// controls in DoDataExchange, checking them in OnFileNameOK.
//
// The dialog is a frameless window; when it is first shown the frame is put round the
// file dialog's controls. Dragging the caption moves it; the close button cancels;
// the size grip in the corner resizes it. A
// dialog answered by a test (SetModalAnswer) is never shown and never framed.
#pragma once

#include "look/SkinnedWindow.h"
#include "platform/framework/FileDialog.h"

class CFileDialogEx : public SkinnedWindow<CFileDialog>
{
public:
    CFileDialogEx(BOOL openFileDialog, const char* defaultExtension = nullptr,
                  const char* fileName = nullptr,
                  DWORD flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT,
                  const char* filter = nullptr, QWidget* parentWnd = nullptr);
    ~CFileDialogEx() override;

    const CRuntimeClass* GetRuntimeClass() const override;
    static const CRuntimeClass classCFileDialogEx;

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // The size grip sits in the corner of the client area, not on the frame.
    void PlaceSizeGrip();
};
