// The capture file size dialog (template 130): shows the space the capture file may
// take and takes the size to pre-allocate, both in megabytes of 1,048,576 bytes.
#pragma once

#include "look/CDialogEx.h"
#include "look/CImageButton.h"
#include "platform/framework/Dialog.h"

class CFileSizeDlg : public CDialogEx
{
public:
    // The report of an entry outside 0 < size <= available.
    static constexpr WORD kInvalidSizePlace = 0x0501;
    static constexpr WORD kInvalidValueText = 10004;

    CFileSizeDlg();

    INT m_nSize = 0;      // control 1003: the size to allocate
    INT m_nAvailable = 0; // control 1002 (read-only): the space the file may take, or -1

    // The entry rule: more than nothing, and no more than is available.
    static bool IsValidSize(INT size, INT available) { return size > 0 && size <= available; }

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;

private:
    // Reports the invalid entry and puts the focus, text selected, on the size.
    void RefuseSize();

    CImageButton m_okButton;
    CImageButton m_cancelButton;
};
