#include "platform/framework/FileDialog.h"

#include "platform/WindowRegistry.h"
#include "platform/framework/DataExchange.h"
#include "platform/framework/Dialog.h"
#include "platform/framework/FrameWnd.h"
#include "platform/framework/Resources.h"
#include "platform/framework/WinApp.h"

#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <cstring>

namespace vexol::platform::framework {
namespace {

CFileDialog::ModalAnswer& FileDialogAnswerer()
{
    static CFileDialog::ModalAnswer answer; // UI thread only
    return answer;
}

QWidget* DefaultOwner(QWidget* parent)
{
    if (parent) {
        return parent;
    }
    CWinApp* app = CWinApp::Instance();
    return app ? app->GetMainWnd() : nullptr;
}

// The dialog's own texts, "%1" standing for the path.
enum class FileDialogText { Exists, NoFolder, NoFile, WriteProtected, TooLong };

std::string TextOf(FileDialogText text)
{
    const bool japanese = res::UserLanguage() == res::Language::Japanese;
    switch (text) {
    case FileDialogText::Exists:
        return japanese ? "%1 は既に存在します。\n上書きしますか?"
                        : "%1 already exists.\nDo you want to replace it?";
    case FileDialogText::NoFolder:
        return japanese ? "%1\nフォルダーが見つかりません。\nフォルダー名を確認してください。"
                        : "%1\nThe folder does not exist.\nCheck the folder name and try again.";
    case FileDialogText::NoFile:
        return japanese ? "%1\nファイルが見つかりません。\nファイル名を確認してください。"
                        : "%1\nThe file does not exist.\nCheck the file name and try again.";
    case FileDialogText::WriteProtected:
        return japanese ? "%1\nこのファイルまたはフォルダーは書き込み禁止です。\n"
                          "別のファイル名を指定してください。"
                        : "%1\nThis file or its folder is write-protected.\n"
                          "Choose another file name.";
    case FileDialogText::TooLong:
        return japanese ? "%1\nファイル名が長すぎます。\n短い名前を指定してください。"
                        : "%1\nThe file name is too long.\nChoose a shorter name.";
    }
    return {};
}

std::string WithPath(FileDialogText text, const std::string& path)
{
    std::string result = TextOf(text);
    const std::size_t marker = result.find("%1");
    if (marker != std::string::npos) {
        result.replace(marker, 2, path);
    }
    return result;
}

// True when the last component of `path` has an extension.
bool HasExtension(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    const std::size_t dot = path.find_last_of('.');
    return dot != std::string::npos && (slash == std::string::npos || dot > slash);
}

} // namespace
} // namespace vexol::platform::framework

namespace fw = vexol::platform::framework;

// The controls of the caller's template, made as a child dialog that hands its data
// exchange to the file dialog.
class CFileDialog::TemplateDialog : public CDialog
{
public:
    TemplateDialog(CFileDialog& owner, UINT templateId)
        : CDialog(templateId, &owner), m_owner(owner)
    {
    }
    TemplateDialog(CFileDialog& owner, const vexol::res::DialogTemplate* dialogTemplate)
        : CDialog(dialogTemplate, &owner), m_owner(owner)
    {
    }

protected:
    BOOL OnInitDialog() override { return TRUE; } // the file dialog fills the controls
    void DoDataExchange(CDataExchange* pDX) override { m_owner.DoDataExchange(pDX); }

private:
    CFileDialog& m_owner;
};

const CRuntimeClass CFileDialog::classCFileDialog{"CFileDialog", 0, nullptr};

const CRuntimeClass* CFileDialog::GetRuntimeClass() const
{
    return &classCFileDialog;
}

CFileDialog::CFileDialog(BOOL openFileDialog, const char* defaultExtension, const char* fileName,
                         DWORD flags, const char* filter, QWidget* parentWnd)
    : QFileDialog(fw::DefaultOwner(parentWnd)), m_bOpenFileDialog(openFileDialog)
{
    m_strDefExt = defaultExtension ? defaultExtension : "";
    m_strFilter = filter ? filter : "";
    if (fileName) {
        std::strncpy(m_szFileName.data(), fileName, m_szFileName.size() - 1);
    }
    m_ofn.hwndOwner = HandleOfWindow(parentWidget());
    m_ofn.lpstrFilter = filter ? m_strFilter.c_str() : nullptr;
    m_ofn.lpstrFile = m_szFileName.data();
    m_ofn.nMaxFile = DWORD(m_szFileName.size());
    m_ofn.Flags = flags | OFN_EXPLORER;
    m_ofn.lpstrDefExt = defaultExtension ? m_strDefExt.c_str() : nullptr;
}

CFileDialog::~CFileDialog() = default;

QStringList CFileDialog::NameFilters(const char* filter)
{
    QStringList filters;
    if (!filter) {
        return filters;
    }
    const QStringList parts = QString::fromUtf8(filter).split(u'|');
    // The list ends at the first empty description or pattern.
    for (qsizetype i = 0; i + 1 < parts.size() && !parts[i].isEmpty() && !parts[i + 1].isEmpty();
         i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(u';', u' ');
        filters << parts[i] + QStringLiteral(" (") + patterns + u')';
    }
    return filters;
}

void CFileDialog::SetModalAnswer(ModalAnswer answer)
{
    fw::FileDialogAnswerer() = std::move(answer);
}

int CFileDialog::DoModal()
{
    Prepare();
    OnInitDialog();
    const ModalAnswer answerer = fw::FileDialogAnswerer();
    if (answerer) {
        for (int round = 0; round < kMaxAnswerRounds; ++round) {
            const FileDialogAnswer answer = answerer(*this);
            if (answer.result != IDOK) {
                return IDCANCEL;
            }
            if (ConfirmChoice(answer.path)) {
                return IDOK;
            }
        }
        return IDCANCEL;
    }
    return exec() == QDialog::Accepted ? IDOK : IDCANCEL;
}

void CFileDialog::Prepare()
{
    setOption(QFileDialog::DontUseNativeDialog, true);
    setOption(QFileDialog::DontConfirmOverwrite, true); // ConfirmChoice asks
    setOption(QFileDialog::HideNameFilterDetails, true);
    setAcceptMode(m_bOpenFileDialog ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    setFileMode(m_bOpenFileDialog && (m_ofn.Flags & OFN_FILEMUSTEXIST) ? QFileDialog::ExistingFile
                                                                       : QFileDialog::AnyFile);
    if (m_ofn.lpstrTitle) {
        setWindowTitle(QString::fromUtf8(m_ofn.lpstrTitle));
    }
    const QStringList filters = NameFilters(m_ofn.lpstrFilter);
    if (!filters.isEmpty()) {
        setNameFilters(filters);
        const qsizetype index = qsizetype(m_ofn.nFilterIndex) - 1;
        selectNameFilter(filters.value(index >= 0 && index < filters.size() ? index : 0));
    }
    if (m_ofn.lpstrInitialDir && *m_ofn.lpstrInitialDir &&
        QFileInfo(QString::fromUtf8(m_ofn.lpstrInitialDir)).isDir()) {
        setDirectory(QString::fromUtf8(m_ofn.lpstrInitialDir));
    }
    if (m_ofn.lpstrFile && m_ofn.nMaxFile > 0) {
        const std::string initial(m_ofn.lpstrFile, ::strnlen(m_ofn.lpstrFile, m_ofn.nMaxFile));
        if (!initial.empty()) {
            selectFile(QString::fromStdString(initial));
        }
    }
    CreateTemplateDialog();
}

void CFileDialog::CreateTemplateDialog()
{
    if (m_templateDialog) {
        return;
    }
    TemplateDialog* child = nullptr;
    if ((m_ofn.Flags & OFN_ENABLETEMPLATEHANDLE) && m_ofn.hInstance) {
        child = new TemplateDialog(*this, m_ofn.hInstance);
    } else if ((m_ofn.Flags & OFN_ENABLETEMPLATE) && m_ofn.lpTemplateName) {
        child = new TemplateDialog(*this, m_ofn.lpTemplateName);
    } else {
        return;
    }
    if (!child->Create()) {
        delete child;
        return;
    }
    // Below the standard controls, across the whole width.
    if (auto* grid = qobject_cast<QGridLayout*>(layout())) {
        grid->addWidget(child, grid->rowCount(), 0, 1, grid->columnCount());
    }
    child->setMinimumSize(child->size());
    child->show();
    m_templateDialog = child;
}

CDialog* CFileDialog::GetTemplateDialog() const
{
    return m_templateDialog.data();
}

QWidget* CFileDialog::GetDlgItem(int id) const
{
    return m_templateDialog ? m_templateDialog->GetDlgItem(id) : nullptr;
}

BOOL CFileDialog::UpdateData(BOOL saveAndValidate)
{
    return m_templateDialog ? m_templateDialog->UpdateData(saveAndValidate) : TRUE;
}

BOOL CFileDialog::OnInitDialog()
{
    UpdateData(FALSE);
    return TRUE;
}

void CFileDialog::DoDataExchange(CDataExchange* pDX)
{
    (void)pDX;
}

BOOL CFileDialog::OnFileNameOK()
{
    return FALSE;
}

std::string CFileDialog::GetPathName() const
{
    if (!m_ofn.lpstrFile || m_ofn.nMaxFile == 0) {
        return {};
    }
    return std::string(m_ofn.lpstrFile, ::strnlen(m_ofn.lpstrFile, m_ofn.nMaxFile));
}

std::string CFileDialog::GetFileName() const
{
    const std::string path = GetPathName();
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string CFileDialog::GetFileExt() const
{
    const std::string name = GetFileName();
    const std::size_t dot = name.find_last_of('.');
    return dot == std::string::npos ? std::string() : name.substr(dot + 1);
}

int CFileDialog::Tell(const std::string& text, UINT style)
{
    return MessageBoxA(HandleOfWindow(this), text.c_str(), windowTitle().toUtf8().constData(),
                       style);
}

BOOL CFileDialog::ConfirmChoice(const std::string& chosen)
{
    if (chosen.empty()) {
        return FALSE;
    }
    std::string path =
        QDir::cleanPath(directory().absoluteFilePath(QString::fromStdString(chosen))).toStdString();
    const QFileInfo asChosen(QString::fromStdString(path));
    if (asChosen.isDir()) {
        return FALSE; // a folder is opened, not chosen
    }
    if (!m_strDefExt.empty() && !fw::HasExtension(path)) {
        path += '.' + m_strDefExt;
    }
    if (!m_ofn.lpstrFile || path.size() + 1 > m_ofn.nMaxFile) {
        Tell(fw::WithPath(fw::FileDialogText::TooLong, path), MB_OK | MB_ICONEXCLAMATION);
        return FALSE;
    }
    const QFileInfo file(QString::fromStdString(path));
    const QFileInfo folder(file.absolutePath());
    if ((m_ofn.Flags & OFN_PATHMUSTEXIST) && !folder.isDir()) {
        Tell(fw::WithPath(fw::FileDialogText::NoFolder, path), MB_OK | MB_ICONEXCLAMATION);
        return FALSE;
    }
    if (m_bOpenFileDialog && (m_ofn.Flags & OFN_FILEMUSTEXIST) && !file.exists()) {
        Tell(fw::WithPath(fw::FileDialogText::NoFile, path), MB_OK | MB_ICONEXCLAMATION);
        return FALSE;
    }
    if ((m_ofn.Flags & OFN_NOREADONLYRETURN) &&
        (file.exists() ? !file.isWritable() : folder.isDir() && !folder.isWritable())) {
        Tell(fw::WithPath(fw::FileDialogText::WriteProtected, path), MB_OK | MB_ICONEXCLAMATION);
        return FALSE;
    }
    if (!m_bOpenFileDialog && (m_ofn.Flags & OFN_OVERWRITEPROMPT) && file.exists() &&
        Tell(fw::WithPath(fw::FileDialogText::Exists, path), MB_YESNO | MB_ICONEXCLAMATION) !=
            IDYES) {
        return FALSE;
    }
    std::memcpy(m_ofn.lpstrFile, path.c_str(), path.size() + 1);
    const QStringList filters = nameFilters();
    const qsizetype filterIndex = filters.indexOf(selectedNameFilter());
    m_ofn.nFilterIndex = filterIndex >= 0 ? DWORD(filterIndex + 1) : 1;
    return OnFileNameOK() ? FALSE : TRUE;
}

void CFileDialog::accept()
{
    const QStringList files = selectedFiles();
    if (files.isEmpty()) {
        return;
    }
    // A folder name opens that folder; Qt's dialog does it.
    if (QFileInfo(files.first()).isDir()) {
        QFileDialog::accept();
        return;
    }
    if (ConfirmChoice(files.first().toStdString())) {
        QDialog::accept();
    }
}
