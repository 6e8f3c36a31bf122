// Data exchange between a dialog's fields and its controls. With m_bSaveAndValidate the
// controls are read into the fields and checked; a text that is not an integer or a
// value out of range is reported in a message box, the control gets the focus and
// the exchange fails (every later exchange step does nothing).
#pragma once

#include "platform/WinTypes.h"

#include <string>

class CDialog;
class QWidget;

class CDataExchange
{
public:
    CDataExchange(CDialog* dialog, BOOL saveAndValidate);

    // The control `id`, remembered for a following check's failure. Null when absent.
    QWidget* PrepareCtrl(int id);
    QWidget* PrepareEditCtrl(int id);
    // Focuses the last prepared control (its text selected) and marks the exchange
    // failed.
    void Fail();
    bool Failed() const { return m_failed; }

    const BOOL m_bSaveAndValidate;
    CDialog* const m_pDlgWnd;

private:
    QWidget* m_lastControl = nullptr;
    bool m_failed = false;
};

// A decimal integer in an edit control.
void DDX_Text(CDataExchange* pDX, int id, int& value);
// Text in an edit or static control (UTF-8).
void DDX_Text(CDataExchange* pDX, int id, std::string& value);
// A check box: 0 unchecked, 1 checked, 2 indeterminate; other values show unchecked.
void DDX_Check(CDataExchange* pDX, int id, int& value);
// A group of radio buttons from control `id` to the end of its group: `value` is the
// position of the checked one in the group (0 for the first). A value outside the group
// leaves every button unchecked; with none checked the value read back is -1.
void DDX_Radio(CDataExchange* pDX, int id, int& value);
// On save: `value` must lie in [minimum, maximum].
void DDV_MinMaxInt(CDataExchange* pDX, int value, int minimum, int maximum);

// Binds a control object (anything with Attach(QWidget*) and GetSafeHwnd()) to
// control `id`, once.
template <class Control> void DDX_Control(CDataExchange* pDX, int id, Control& control)
{
    if (!control.GetSafeHwnd()) {
        control.Attach(pDX->PrepareCtrl(id));
    }
}

namespace vexol::platform::framework {
// Parses a decimal integer with optional sign and surrounding blanks; false when the
// text is anything else or out of the 32-bit range.
bool ParseDialogInteger(const std::string& text, int& value);
} // namespace vexol::platform::framework
