#include "still/CJpegFileDialog.h"

#include "platform/framework/DataExchange.h"
#include "res/ResourceIds.h"

const CRuntimeClass CJpegFileDialog::classCJpegFileDialog{"CJpegFileDialog", 0, nullptr};

const CRuntimeClass* CJpegFileDialog::GetRuntimeClass() const
{
    return &classCJpegFileDialog;
}

CJpegFileDialog::CJpegFileDialog(BOOL openFileDialog, const char* defaultExtension,
                                 const char* fileName, DWORD flags, const char* filter,
                                 QWidget* parentWnd)
    : CFileDialogEx(openFileDialog, defaultExtension, fileName, flags, filter, parentWnd)
{
}

BOOL CJpegFileDialog::OnInitDialog()
{
    CFileDialogEx::OnInitDialog();
    return TRUE;
}

void CJpegFileDialog::DoDataExchange(CDataExchange* pDX)
{
    CFileDialogEx::DoDataExchange(pDX);
    DDX_Radio(pDX, IDC_JPEG_HIGH, m_nJpegMode);
}

BOOL CJpegFileDialog::OnFileNameOK()
{
    UpdateData(TRUE);
    return FALSE;
}
