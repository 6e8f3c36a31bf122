// The long file work of the driver window: pre-allocating the capture file and saving
// the captured movie under a new name, each on a worker thread with a progress dialog.
#include "platform/capture/DriverWindow.h"

#include "platform/capture/AviAllocate.h"
#include "platform/capture/AviSaveAs.h"
#include "platform/capture/CaptureTexts.h"
#include "platform/capture/FileTexts.h"

#include <QPointer>

namespace vexol::platform::capture {

LRESULT DriverWindow::AllocateFile(LPARAM bytes)
{
    const std::string path = m_state->CaptureFile();
    if (m_busy || m_state->IsCapturing() || path.empty()) {
        return FALSE;
    }
    // The byte count is 64 bits wide; a negative one is no size.
    const std::uint64_t size = bytes > 0 ? std::uint64_t(bytes) : 0;
    const AviResult result = RunFileWork(texts::AllocatingCaptureFile(res::UserLanguage()),
                                         [path, size](const FileWorkReport& report) {
                                             return AllocateCaptureFile(path, size, report);
                                         });
    return result.Ok() ? TRUE : FALSE;
}

LRESULT DriverWindow::SaveFileAs(LPARAM name)
{
    const char* text = reinterpret_cast<const char*>(name);
    const std::string source = m_state->CaptureFile();
    if (m_busy || m_state->IsCapturing() || !text || !*text) {
        return FALSE;
    }
    if (source.empty()) {
        m_state->Callbacks()->Error(
            Handle(), IDS_CAP_FILE_ERROR,
            texts::Message(res::UserLanguage(), texts::FileMessage::NoCaptureFile).c_str());
        return FALSE;
    }
    const std::string destination = text;
    // A cut-off capture file is rebuilt from its whole chunks; the summary says so.
    auto summary = std::make_shared<AviSaveSummary>();
    const AviResult result =
        RunFileWork(texts::SavingMovie(res::UserLanguage()),
                    [source, destination, summary](const FileWorkReport& report) {
                        return SaveCaptureFileAs(source, destination, report, summary.get());
                    });
    if (result.Ok() && summary->rebuilt) {
        m_state->Callbacks()->Error(
            Handle(), IDS_CAP_FILE_REBUILT,
            texts::Rebuilt(res::UserLanguage(), static_cast<unsigned long>(summary->videoFrames),
                           static_cast<unsigned long>(summary->audioChunks), true)
                .c_str());
    }
    return result.Ok() ? TRUE : FALSE;
}

AviResult DriverWindow::RunFileWork(const std::string& label,
                                    const std::function<AviResult(const FileWorkReport&)>& work)
{
    // The work runs on a worker thread while this thread keeps painting; a cancel in
    // the progress dialog stops it and leaves the files as they were.
    const std::shared_ptr<CallbackTable> callbacks = m_state->Callbacks();
    const HWND hwnd = Handle();
    QPointer<DriverWindow> self(this);
    m_busy = true;
    const AviResult result = RunFileWorkWithProgress(this, label, work);
    if (self) {
        m_busy = false;
    }
    if (!result.Ok() && result.code != kErrorCancelled) {
        callbacks->Error(hwnd, IDS_CAP_FILE_ERROR, result.text.c_str());
    }
    return result;
}

} // namespace vexol::platform::capture
