#include "commands/CFileSizeDlg.h"

#include "look/AppMessageBox.h"
#include "look/DialogButtons.h"
#include "platform/framework/DataExchange.h"
#include "res/ResourceIds.h"

#include <QLineEdit>
#include <cstdint>

namespace {

// True for a decimal integer too large for the 32-bit field: a size no disk offers,
// refused like any other size beyond the available space.
bool IsIntegerBeyond32Bits(const QString& text)
{
    bool isInteger = false;
    const qlonglong value = text.trimmed().toLongLong(&isInteger);
    return isInteger && (value > INT32_MAX || value < INT32_MIN);
}

} // namespace

CFileSizeDlg::CFileSizeDlg() : CDialogEx(IDD_FILE_SIZE) {}

void CFileSizeDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_FILE_SIZE, m_nSize);
    DDX_Text(pDX, IDC_AVAILABLE_SIZE, m_nAvailable);
}

BOOL CFileSizeDlg::OnInitDialog()
{
    CDialogEx::OnInitDialog();
    AttachImageButtons(*this, &m_okButton, &m_cancelButton);
    MoveOkCancel(*this, PlaceOkCancelSideBySide);
    // The size is what the user came to enter.
    GotoDlgCtrl(GetDlgItem(IDC_FILE_SIZE));
    return FALSE;
}

void CFileSizeDlg::OnOK()
{
    if (auto* size = qobject_cast<QLineEdit*>(GetDlgItem(IDC_FILE_SIZE));
        size && IsIntegerBeyond32Bits(size->text())) {
        RefuseSize();
        return;
    }
    if (!UpdateData(TRUE)) {
        return; // the framework has told the user; the dialog stays open
    }
    if (!IsValidSize(m_nSize, m_nAvailable)) {
        RefuseSize();
        return;
    }
    EndDialog(IDOK);
}

void CFileSizeDlg::RefuseSize()
{
    AppMessageBox box;
    box.Show(MakeMessageCode(kInvalidSizePlace, kInvalidValueText));
    GotoDlgCtrl(GetDlgItem(IDC_FILE_SIZE));
}
