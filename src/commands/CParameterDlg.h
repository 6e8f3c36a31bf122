// The parameter settings dialog (template 133): frames per second, the time limit and
// whether it applies, and whether audio is recorded.
#pragma once

#include "look/CDialogEx.h"
#include "look/CImageButton.h"
#include "platform/framework/Dialog.h"

class CParameterDlg : public CDialogEx
{
public:
    // Ranges checked when the dialog is confirmed.
    static constexpr INT kMinFramesPerSecond = 0;
    static constexpr INT kMaxFramesPerSecond = 30;
    static constexpr INT kMinTimeLimit = 1;
    static constexpr INT kMaxTimeLimit = 9999;

    CParameterDlg();

    INT m_nFramesPerSecond = 0; // edit 1004
    INT m_nTimeLimit = 0;       // edit 1006, seconds
    INT m_nLimitEnabled = 0;    // check box 1005
    INT m_nCaptureAudio = 0;    // check box 1007

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;

private:
    // The time limit and its unit are enabled exactly while 1005 is ticked (not while
    // it is indeterminate); the limit keeps its value while disabled.
    void ApplyLimitEnableRule();

    CImageButton m_okButton;
    CImageButton m_cancelButton;
};
