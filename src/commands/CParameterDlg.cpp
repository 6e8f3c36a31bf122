#include "commands/CParameterDlg.h"

#include "look/DialogButtons.h"
#include "platform/framework/DataExchange.h"
#include "res/ResourceIds.h"

#include <QCheckBox>

CParameterDlg::CParameterDlg() : CDialogEx(IDD_PARAMETERS)
{
    MapCommand(UINT(IDC_LIMIT_ENABLED), [this] { ApplyLimitEnableRule(); });
}

void CParameterDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_FRAMES_PER_SECOND, m_nFramesPerSecond);
    DDV_MinMaxInt(pDX, m_nFramesPerSecond, kMinFramesPerSecond, kMaxFramesPerSecond);
    DDX_Text(pDX, IDC_TIME_LIMIT, m_nTimeLimit);
    DDV_MinMaxInt(pDX, m_nTimeLimit, kMinTimeLimit, kMaxTimeLimit);
    DDX_Check(pDX, IDC_LIMIT_ENABLED, m_nLimitEnabled);
    DDX_Check(pDX, IDC_CAPTURE_AUDIO, m_nCaptureAudio);
}

BOOL CParameterDlg::OnInitDialog()
{
    CDialogEx::OnInitDialog();
    AttachImageButtons(*this, &m_okButton, &m_cancelButton);
    MoveOkCancel(*this, PlaceOkCancelAtRightEdge);
    ApplyLimitEnableRule();
    return TRUE;
}

void CParameterDlg::ApplyLimitEnableRule()
{
    const auto* limitEnabled = qobject_cast<QCheckBox*>(GetDlgItem(IDC_LIMIT_ENABLED));
    const bool enable = limitEnabled && limitEnabled->checkState() == Qt::Checked;
    for (int id : {IDC_TIME_LIMIT, IDC_TIME_LIMIT_UNIT}) {
        if (QWidget* control = GetDlgItem(id)) {
            control->setEnabled(enable);
        }
    }
}
