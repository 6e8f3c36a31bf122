#include "still/StillCommands.h"

#include "capture/CCaptureWindow.h"
#include "look/AppMessageBox.h"
#include "platform/framework/FrameWnd.h"
#include "platform/framework/Resources.h"
#include "platform/kernel/PathNames.h"
#include "res/ResourceIds.h"
#include "settings/RegistryStore.h"
#include "still/CJpegFileDialog.h"
#include "still/CShutterWaitDlg.h"
#include "still/StillImages.h"

#include <array>
#include <new>
#include <string>

namespace vexol::still {
namespace {

void Report(WORD place, WORD text)
{
    AppMessageBox box;
    box.Show(MakeMessageCode(place, text));
}

std::string LoadText(UINT id)
{
    std::string text;
    ::LoadString(id, text);
    return text;
}

} // namespace

void SaveStill(CFrameWnd& frame, CCaptureWindow& capture, RegistryStore& store)
{
    try {
        const std::string extension = LoadText(kStillExtensionText);
        const std::string filter = LoadText(kStillFilterText);
        const std::string title = LoadText(kStillTitleText);
        const std::string start =
            store.m_strSaveFolder.empty() ? capture.GetCaptureFile(FALSE) : store.m_strSaveFolder;
        const std::string initialFolder = platform::kernel::SplitPath(start).Folder();
        std::array<char, kMaxPathBuffer> fileName{};

        CJpegFileDialog dialog(FALSE, extension.c_str(), nullptr, kSaveStillDialogFlags,
                               filter.c_str(), &frame);
        dialog.m_ofn.lpstrFile = fileName.data();
        dialog.m_ofn.nMaxFile = DWORD(fileName.size());
        dialog.m_ofn.lpstrTitle = title.c_str();
        dialog.m_ofn.lpstrInitialDir = initialFolder.c_str();
        dialog.m_ofn.lpTemplateName = IDD_JPEG_QUALITY;
        dialog.m_nJpegMode = store.m_nJpegMode;
        if (dialog.DoModal() != IDOK) {
            return;
        }
        // The save uses the quality just chosen.
        store.m_nJpegMode = dialog.m_nJpegMode;
        const std::string path =
            platform::kernel::RemoveDoubledSeparatorAfterRoot(dialog.GetPathName());
        const BOOL saved = SaveStillImage(path.c_str(), nullptr, store.m_nJpegMode, &capture);
        // Numbered stills follow this name even when this save failed.
        store.m_strSaveFolder = platform::kernel::SplitPath(path).Folder();
        store.m_strContinuousBase = path;
        store.m_nContinuousCounter = 0;
        if (!saved) {
            Report(kSaveStillPlace, kStillNotSavedText);
        }
    } catch (const std::bad_alloc&) {
        Report(kSaveStillPlace, kOutOfMemoryText);
    }
}

void ContinuousSave(CCaptureWindow& capture, RegistryStore& store)
{
    try {
        SaveNumberedStill(store, nullptr, &capture);
    } catch (const std::bad_alloc&) {
        // Nothing saved; the command reports nothing.
    }
}

void ShutterSave(CFrameWnd& frame, CCaptureWindow& capture, RegistryStore& store)
{
    if (store.m_strContinuousBase.empty()) {
        Report(kShutterSavePlace, kSaveOneStillFirstText);
        SaveStill(frame, capture, store);
        if (store.m_strContinuousBase.empty()) {
            return; // the user cancelled
        }
    }
    CShutterWaitDlg dialog(&frame);
    if (!capture.StartFrameStream()) {
        return;
    }
    // The stream's frames are checked and saved on the capture thread meanwhile. The
    // menu commands that change the base name and counter cannot run while the dialog is
    // open, and stopping the stream waits for a frame still being handled.
    dialog.DoModal();
    capture.StopRecording();
}

} // namespace vexol::still
