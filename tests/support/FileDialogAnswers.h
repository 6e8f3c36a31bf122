// Test helper: answers file dialogs without showing them.
#pragma once

#include "platform/framework/FileDialog.h"

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace vexol::test {

// While alive, every file dialog is answered from a queue of answers (cancel once the
// queue is empty) and recorded as the user would have seen it.
class ScopedFileDialogAnswers
{
public:
    // What a dialog showed when it was answered.
    struct Shown
    {
        std::string title;
        std::string initialFolder; // m_ofn.lpstrInitialDir
        std::string fileName;      // the file name buffer's contents
        std::string filter;
        std::string defaultExtension;
        DWORD flags = 0;
        DWORD maxFile = 0;
        bool open = false;
        std::string runtimeClass;
    };

    ScopedFileDialogAnswers()
    {
        CFileDialog::SetModalAnswer([this](CFileDialog& dialog) {
            const OPENFILENAMEA& ofn = dialog.m_ofn;
            auto text = [](const char* s) { return s ? std::string(s) : std::string(); };
            shown.push_back({text(ofn.lpstrTitle), text(ofn.lpstrInitialDir), dialog.GetPathName(),
                             text(ofn.lpstrFilter), text(ofn.lpstrDefExt), ofn.Flags, ofn.nMaxFile,
                             dialog.IsOpenDialog() != FALSE,
                             dialog.GetRuntimeClass()->m_lpszClassName});
            if (onShown) {
                onShown(dialog); // as the user sets the dialog's other controls
            }
            if (answers.empty()) {
                return FileDialogAnswer::Cancel();
            }
            FileDialogAnswer answer = answers.front();
            answers.pop_front();
            return answer;
        });
    }
    ~ScopedFileDialogAnswers() { CFileDialog::SetModalAnswer({}); }
    ScopedFileDialogAnswers(const ScopedFileDialogAnswers&) = delete;
    ScopedFileDialogAnswers& operator=(const ScopedFileDialogAnswers&) = delete;

    void Choose(const std::string& path) { answers.push_back(FileDialogAnswer::Choose(path)); }
    void Cancel() { answers.push_back(FileDialogAnswer::Cancel()); }

    std::deque<FileDialogAnswer> answers;
    std::vector<Shown> shown;
    std::function<void(CFileDialog&)> onShown;
};

} // namespace vexol::test
