// The framework's file dialog: an open or save dialog over Qt's own (non-native) file
// dialog, set up through an OPENFILENAMEA record as the caller knows it, with the
// OFN_* rules checked by the dialog itself before it closes:
//   OFN_OVERWRITEPROMPT   an existing file is chosen only after a Yes in a box;
//   OFN_PATHMUSTEXIST     the folder of the name must exist;
//   OFN_FILEMUSTEXIST     (open) the file must exist;
//   OFN_NOREADONLYRETURN  no write-protected file, and no file in a write-protected folder;
//   OFN_ENABLETEMPLATE    the controls of dialog template m_ofn.lpTemplateName are placed
//                         below the standard controls; a derived class exchanges data with
//                         them in DoDataExchange and checks them in OnFileNameOK;
//   OFN_ENABLETEMPLATEHANDLE  the same with the template m_ofn.hInstance points at.
// A name typed without extension gets the default extension; a full path that does not
// fit the file name buffer is refused with a box instead of being cut.
//
// Tests may answer the dialog instead of a user (SetModalAnswer); the answer's path
// passes the same checks as a path the user confirms.
#pragma once

#include "platform/WinTypes.h"
#include "platform/framework/MessageBox.h" // IDOK, IDCANCEL
#include "platform/framework/RuntimeClass.h"

#include <QFileDialog>
#include <QPointer>
#include <array>
#include <functional>
#include <string>

class CDataExchange;
class CDialog;

namespace vexol::res {
struct DialogTemplate;
}

inline constexpr DWORD OFN_READONLY = 0x00000001;
inline constexpr DWORD OFN_OVERWRITEPROMPT = 0x00000002;
inline constexpr DWORD OFN_HIDEREADONLY = 0x00000004;
inline constexpr DWORD OFN_ENABLETEMPLATE = 0x00000040;
inline constexpr DWORD OFN_ENABLETEMPLATEHANDLE = 0x00000080;
inline constexpr DWORD OFN_PATHMUSTEXIST = 0x00000800;
inline constexpr DWORD OFN_FILEMUSTEXIST = 0x00001000;
inline constexpr DWORD OFN_NOREADONLYRETURN = 0x00008000;
inline constexpr DWORD OFN_EXPLORER = 0x00080000;

// The size of a file name buffer: 260 bytes and the terminator.
inline constexpr DWORD kMaxPathBuffer = 261;

// What the dialog shows and returns. Strings are UTF-8 and belong to the caller (they
// must outlive the dialog's run); a null string means "none".
struct OPENFILENAMEA
{
    HWND hwndOwner = nullptr;
    // Pairs of description and patterns, each followed by '|', the list ending in "||":
    // "AVI file(*avi)|*.avi||". Patterns are separated by ';'.
    const char* lpstrFilter = nullptr;
    DWORD nFilterIndex = 1;    // the chosen pair, counted from 1
    char* lpstrFile = nullptr; // in: the initial file name; out: the chosen full path
    DWORD nMaxFile = 0;        // size of lpstrFile in bytes, terminator included
    const char* lpstrInitialDir = nullptr;
    const char* lpstrTitle = nullptr;
    DWORD Flags = 0;
    const char* lpstrDefExt = nullptr; // without the dot
    UINT lpTemplateName = 0;           // dialog template ID, used with OFN_ENABLETEMPLATE
    // A template of the caller's own, used with OFN_ENABLETEMPLATEHANDLE.
    const vexol::res::DialogTemplate* hInstance = nullptr;
};

// A test's answer to a file dialog: IDOK with the path the user would have typed or
// picked (relative paths are taken in the dialog's folder), or IDCANCEL.
struct FileDialogAnswer
{
    int result = IDCANCEL;
    std::string path;

    static FileDialogAnswer Choose(std::string path) { return {IDOK, std::move(path)}; }
    static FileDialogAnswer Cancel() { return {}; }
};

class CFileDialog : public QFileDialog, public CObject
{
public:
    // `openFileDialog` TRUE: an open dialog, FALSE: a save dialog. `fileName` is copied
    // into the dialog's own 261-byte buffer, which m_ofn.lpstrFile points at until the
    // caller points it elsewhere. `parentWnd` null: the application's main window.
    CFileDialog(BOOL openFileDialog, const char* defaultExtension = nullptr,
                const char* fileName = nullptr,
                DWORD flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, const char* filter = nullptr,
                QWidget* parentWnd = nullptr);
    ~CFileDialog() override;

    const CRuntimeClass* GetRuntimeClass() const override;
    static const CRuntimeClass classCFileDialog;

    // Everything the dialog shows and returns; set up before DoModal.
    OPENFILENAMEA m_ofn;

    // Runs the dialog: IDOK when a name was confirmed (then in m_ofn.lpstrFile), else
    // IDCANCEL.
    virtual int DoModal();

    // The chosen full path, its file name (with extension) and its extension (without
    // the dot).
    std::string GetPathName() const;
    std::string GetFileName() const;
    std::string GetFileExt() const;
    BOOL IsOpenDialog() const { return m_bOpenFileDialog; }

    // The controls of the template (OFN_ENABLETEMPLATE), once DoModal has made them:
    // the dialog that holds them, one control by ID, and the data exchange with them.
    CDialog* GetTemplateDialog() const;
    QWidget* GetDlgItem(int id) const;
    BOOL UpdateData(BOOL saveAndValidate = TRUE);

    // Checks `path` as the dialog does when the user confirms it and, when it passes,
    // stores it in the file name buffer and asks OnFileNameOK. FALSE keeps the dialog
    // open (the user has been told why in a box, where there was a reason to tell).
    BOOL ConfirmChoice(const std::string& path);

    // "Desc|*.a;*.b|...||" as Qt's name filters ("Desc (*.a *.b)").
    static QStringList NameFilters(const char* filter);

    // Answers every file dialog instead of showing it: the answer gets the dialog with
    // its controls made and initialised, but not shown. An answer whose path does not
    // pass the checks is asked again (at most kMaxAnswerRounds times, then the dialog is
    // cancelled). An empty answer restores the real dialog. UI thread only.
    using ModalAnswer = std::function<FileDialogAnswer(CFileDialog& dialog)>;
    static void SetModalAnswer(ModalAnswer answer);
    static constexpr int kMaxAnswerRounds = 16;

    // The Save or Open button: a folder name opens the folder, a file name is checked
    // (ConfirmChoice) and ends the dialog when it passes.
    void accept() override;

protected:
    // After the standard controls and the template's controls exist: the base fills the
    // template's controls (UpdateData(FALSE)). Returns TRUE.
    virtual BOOL OnInitDialog();
    // Data exchange with the template's controls; the base exchanges nothing.
    virtual void DoDataExchange(CDataExchange* pDX);
    // Called when the user confirms a name that passed the checks, the name already in
    // the buffer: FALSE accepts it and closes the dialog, TRUE keeps the dialog open.
    virtual BOOL OnFileNameOK();

private:
    class TemplateDialog;

    // m_ofn applied to the Qt dialog, the template's controls made.
    void Prepare();
    void CreateTemplateDialog();
    // A box owned by this dialog with its title as caption; returns the answer.
    int Tell(const std::string& text, UINT style);

    BOOL m_bOpenFileDialog;
    std::string m_strDefExt;
    std::string m_strFilter;
    std::array<char, kMaxPathBuffer> m_szFileName{};
    QPointer<CDialog> m_templateDialog;
};
