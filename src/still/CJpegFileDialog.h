// The save-still dialog: the application's file dialog with the JPEG quality group of
// template 135 (High, Medium, Low) below its own controls. m_nJpegMode is the checked
// choice, 0 High, 1 Medium, 2 Low, -1 none; the caller presets it and reads it back
// after OK. The group stays usable whatever file type is chosen.
#pragma once

#include "look/CFileDialogEx.h"

class CJpegFileDialog : public CFileDialogEx
{
public:
    CJpegFileDialog(BOOL openFileDialog, const char* defaultExtension = nullptr,
                    const char* fileName = nullptr,
                    DWORD flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT,
                    const char* filter = nullptr, QWidget* parentWnd = nullptr);

    const CRuntimeClass* GetRuntimeClass() const override;
    static const CRuntimeClass classCJpegFileDialog;

    INT m_nJpegMode = 0;

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
    // Reads the quality choice; the name itself is never refused here.
    BOOL OnFileNameOK() override;
};
