// The application's file dialog: the framework's file dialog under the application's
// own run-time class. The capture-file and movie commands use it as it is; dialogs that
// add controls below the standard ones (OFN_ENABLETEMPLATE) derive from it and exchange
// data with those controls in DoDataExchange, checking them in OnFileNameOK.
#pragma once

#include "platform/framework/FileDialog.h"

class CFileDialogEx : public CFileDialog
{
public:
    CFileDialogEx(BOOL openFileDialog, const char* defaultExtension = nullptr,
                  const char* fileName = nullptr,
                  DWORD flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT,
                  const char* filter = nullptr, QWidget* parentWnd = nullptr);
    ~CFileDialogEx() override;

    const CRuntimeClass* GetRuntimeClass() const override;
    static const CRuntimeClass classCFileDialogEx;
};
