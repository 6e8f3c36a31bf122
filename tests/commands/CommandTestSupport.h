// Test support for the capture file, movie and parameter commands: the application on
// a scripted capture service that also answers the capture file, allocation, save-as
// and sequence-setup messages, with file dialogs, template dialogs and message boxes
// answered by the test.
#pragma once

#include "../shell/ShellTestSupport.h"
#include "commands/CFileSizeDlg.h"
#include "commands/CParameterDlg.h"
#include "support/FileDialogAnswers.h"

#include <QDir>
#include <QLineEdit>
#include <QTemporaryDir>
#include <fstream>

namespace vexol::test {

// The text of edit control `id`.
inline std::string Text(CDialog& dialog, int id)
{
    auto* edit = qobject_cast<QLineEdit*>(dialog.GetDlgItem(id));
    return edit ? edit->text().toStdString() : std::string("<none>");
}

// Types `text` into edit `id` and presses OK; the dialog's end code (-1: still open).
inline int EnterAndConfirm(CDialog& dialog, int id, const char* text)
{
    qobject_cast<QLineEdit*>(dialog.GetDlgItem(id))->setText(QString::fromUtf8(text));
    dialog.SendCommand(IDOK);
    return dialog.GetEndResult();
}

class FileCommandService : public ScriptedCaptureService
{
public:
    enum class SaveOutcome { Saved, Refused, Cancelled };

    std::string driverFile;            // what WM_CAP_FILE_GET_CAPTURE_FILE gives
    std::vector<std::string> setFiles; // names offered with WM_CAP_FILE_SET_CAPTURE_FILE
    std::vector<LPARAM> allocations;   // WM_CAP_FILE_ALLOCATE byte counts
    bool allocationSucceeds = true;
    std::vector<std::string> savedAs; // WM_CAP_FILE_SAVEAS names
    SaveOutcome saveOutcome = SaveOutcome::Saved;
    std::vector<CAPTUREPARMS> setups; // records sent with WM_CAP_SET_SEQUENCE_SETUP

    LRESULT Send(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (!IsWindow(hwnd)) {
            return 0;
        }
        switch (message) {
        case WM_CAP_SET_CALLBACK_ERROR:
            m_errorCallback = reinterpret_cast<CAPERRORCALLBACK>(lParam);
            break;
        case WM_CAP_FILE_SET_CAPTURE_FILE:
            setFiles.emplace_back(reinterpret_cast<const char*>(lParam));
            break;
        case WM_CAP_FILE_GET_CAPTURE_FILE:
            ScriptedCaptureService::Send(hwnd, message, wParam, lParam);
            std::snprintf(reinterpret_cast<char*>(lParam), wParam, "%s", driverFile.c_str());
            return TRUE;
        case WM_CAP_FILE_ALLOCATE:
            allocations.push_back(lParam);
            ScriptedCaptureService::Send(hwnd, message, wParam, lParam);
            return allocationSucceeds ? TRUE : FALSE;
        case WM_CAP_FILE_SAVEAS:
            savedAs.emplace_back(reinterpret_cast<const char*>(lParam));
            ScriptedCaptureService::Send(hwnd, message, wParam, lParam);
            if (saveOutcome == SaveOutcome::Refused && m_errorCallback) {
                m_errorCallback(hwnd, 998, "The movie cannot be saved: disk full.");
            }
            return saveOutcome == SaveOutcome::Saved ? TRUE : FALSE;
        case WM_CAP_SET_SEQUENCE_SETUP:
            setups.push_back(*reinterpret_cast<const CAPTUREPARMS*>(lParam));
            break;
        default:
            break;
        }
        return ScriptedCaptureService::Send(hwnd, message, wParam, lParam);
    }

private:
    CAPERRORCALLBACK m_errorCallback = nullptr;
};

// The application started on a FileCommandService with driver 0 connected, in English.
class FileCommandTest : public ShellTest
{
protected:
    ~FileCommandTest() override
    {
        CDialog::SetModalAnswer(IDD_FILE_SIZE, {});
        CDialog::SetModalAnswer(IDD_PARAMETERS, {});
        files.capturing = false;
        app.reset();
        QCoreApplication::sendPostedEvents();
    }

    void Start()
    {
        files.drivers[0] = ScriptedCaptureService::FullDriver("Driver 0", "1.0");
        app = std::make_unique<CVexolApp>();
        app->GetCaptureWindow().SetServiceCalls(&files);
        ASSERT_TRUE(app->InitInstance());
        frame = app->GetMainFrame();
        ASSERT_NE(frame, nullptr);
        view = dynamic_cast<CVexolView*>(frame->GetActiveView());
        document = dynamic_cast<CVexolDoc*>(frame->GetActiveDocument());
        QCoreApplication::sendPostedEvents();
    }

    // A path in the test's folder.
    std::string InTemp(const char* name) const
    {
        return QDir(QDir(temp.path()).canonicalPath()).filePath(name).toStdString();
    }
    std::string TempFolder() const { return QDir(temp.path()).canonicalPath().toStdString() + "/"; }

    static void WriteBytes(const std::string& path, std::size_t count)
    {
        std::ofstream(path, std::ios::binary) << std::string(count, 'x');
    }

    // The size dialog is answered by `answer`; what it showed is kept.
    struct SizeDialogSeen
    {
        int runs = 0;
        std::string size;
        std::string available;
    };
    void AnswerSizeDialog(SizeDialogSeen& seen, const std::function<int(CDialog&)>& answer)
    {
        CDialog::SetModalAnswer(IDD_FILE_SIZE, [&seen, answer](CDialog& dialog) {
            ++seen.runs;
            seen.size = Text(dialog, IDC_FILE_SIZE);
            seen.available = Text(dialog, IDC_AVAILABLE_SIZE);
            return answer(dialog);
        });
    }

    std::vector<std::string> BoxFirstLines() const { return boxes.FirstLines(); }

    FileCommandService files;
    ScopedFileDialogAnswers dialogs;
    ScopedMessageBoxAnswers boxes;
    QTemporaryDir temp;
};

} // namespace vexol::test
