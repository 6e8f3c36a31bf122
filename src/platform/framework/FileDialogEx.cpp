#include "platform/framework/FileDialogEx.h"

const CRuntimeClass CFileDialogEx::classCFileDialogEx{"CFileDialogEx", 0, nullptr};

const CRuntimeClass* CFileDialogEx::GetRuntimeClass() const
{
    return &classCFileDialogEx;
}

CFileDialogEx::CFileDialogEx(BOOL openFileDialog, const char* defaultExtension,
                             const char* fileName, DWORD flags, const char* filter,
                             QWidget* parentWnd)
    : CFileDialog(openFileDialog, defaultExtension, fileName, flags, filter, parentWnd)
{
}

CFileDialogEx::~CFileDialogEx() = default;
