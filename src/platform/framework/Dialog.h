// Dialogs built from dialog templates. DoModal creates the controls in the user's
// language, runs OnInitDialog (which fills the controls through DoDataExchange) and
// shows the dialog modally until EndDialog. Buttons send their control ID as a
// command: IDOK runs OnOK (read back and validate, then end), IDCANCEL runs OnCancel;
// Esc and the close button act as IDCANCEL, Enter as the focused or default button,
// else IDOK.
//
// Tests may answer DoModal for a template instead of showing it (SetModalAnswer).
#pragma once

#include "platform/WinTypes.h"
#include "platform/framework/CmdTarget.h"
#include "platform/framework/MessageBox.h" // IDOK, IDCANCEL

#include <QDialog>
#include <functional>

class CDataExchange;
class QFont;

namespace vexol::res {
struct DialogTemplate;
}

class CDialog : public QDialog, public CCmdTarget
{
public:
    // `parent` null: the application's main window owns the dialog.
    explicit CDialog(UINT templateId, QWidget* parent = nullptr);
    // A dialog on a template of its own rather than one of the resources.
    explicit CDialog(const vexol::res::DialogTemplate* dialogTemplate, QWidget* parent = nullptr);
    ~CDialog() override;

    // Runs the dialog; returns the code given to EndDialog (IDOK, IDCANCEL, ...), or -1
    // when the template does not exist.
    virtual int DoModal();
    // Creates the controls and runs OnInitDialog without running the dialog. A child
    // template (dlg::Child) becomes a plain child widget of the parent, for a group of
    // controls inside another window. FALSE when the template does not exist.
    BOOL Create();
    void EndDialog(int result);

    // Control values to the controls (FALSE) or back from them with validation (TRUE).
    // FALSE when validation failed; the user has been told and the control has focus.
    BOOL UpdateData(BOOL saveAndValidate = TRUE);

    // The control with ID `id`, or null.
    QWidget* GetDlgItem(int id) const;
    // Gives `control` the focus; an edit control's text is selected.
    void GotoDlgCtrl(QWidget* control);

    UINT GetTemplateId() const { return m_templateId; }
    // The code of the EndDialog call, or -1 while the dialog has not ended.
    int GetEndResult() const { return m_endResult; }

    // Routes `id` as a button of this dialog does.
    BOOL SendCommand(UINT id);
    BOOL OnCmdMsg(UINT id, CCmdUI* cmdUI) override;

    // Answers DoModal for every dialog with template `templateId`: the answer gets the
    // dialog with its controls created and initialised, but not shown, and returns the
    // result DoModal gives back. An empty answer removes it. UI thread only.
    using ModalAnswer = std::function<int(CDialog& dialog)>;
    static void SetModalAnswer(UINT templateId, ModalAnswer answer);

protected:
    // Initialisation after the controls exist; the base fills them (UpdateData(FALSE)).
    // TRUE: the first control that takes the focus gets it.
    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    virtual void DoDataExchange(CDataExchange* pDX);

    void accept() override;
    void reject() override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool CreateControls();
    void FocusFirstTabStop();

    const UINT m_templateId;
    const vexol::res::DialogTemplate* m_ownTemplate = nullptr;
    bool m_created = false;
    int m_endResult = -1;
};

namespace vexol::platform::framework {

// Average width of the letters A-Z, a-z and the line height of `font`, in pixels: the
// base units of dialogs in that font.
SIZE DialogBaseUnits(const QFont& font);
// Dialog units to pixels: x * base.cx / 4, y * base.cy / 8, rounded to nearest.
int DialogUnitsToPixelsX(int units, SIZE base);
int DialogUnitsToPixelsY(int units, SIZE base);
// The font a template names, at its point size.
QFont DialogFont(const res::DialogTemplate& dialogTemplate);

} // namespace vexol::platform::framework
