#include "commands/CaptureFileCommands.h"

#include "capture/CCaptureWindow.h"
#include "commands/CFileSizeDlg.h"
#include "look/AppMessageBox.h"
#include "look/CFileDialogEx.h"
#include "platform/framework/FrameWnd.h"
#include "platform/framework/Resources.h"
#include "platform/kernel/DiskSpace.h"
#include "platform/kernel/FileStatus.h"
#include "platform/kernel/PathNames.h"
#include "res/ResourceIds.h"
#include "settings/RegistryStore.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <new>
#include <string>

namespace vexol::commands {
namespace {

void Report(WORD place, WORD text)
{
    AppMessageBox box;
    box.Show(MakeMessageCode(place, text));
}

INT AtMost32Bits(std::int64_t value)
{
    return INT(std::min<std::int64_t>(value, INT32_MAX));
}

std::string LoadText(UINT id)
{
    std::string text;
    ::LoadString(id, text);
    return text;
}

// The string resources of one of the two file dialogs.
struct AviDialogTexts
{
    UINT extension;
    UINT filter;
    UINT title;
};

// Runs the save-type AVI file dialog owned by the frame, opening in `initialFolder` with
// `initialName` in its 261-byte name buffer. The chosen path with a doubled separator
// after the root repaired; empty when the user cancelled.
std::string ChooseAviFile(CFrameWnd& frame, const AviDialogTexts& texts,
                          const std::string& initialFolder, const std::string& initialName)
{
    const std::string extension = LoadText(texts.extension);
    const std::string filter = LoadText(texts.filter);
    const std::string title = LoadText(texts.title);
    std::array<char, kMaxPathBuffer> fileName{};
    std::memcpy(fileName.data(), initialName.data(),
                std::min(initialName.size(), fileName.size() - 1));

    CFileDialogEx dialog(FALSE, extension.c_str(), nullptr, kFileDialogFlags, filter.c_str(),
                         &frame);
    dialog.m_ofn.lpstrFile = fileName.data();
    dialog.m_ofn.nMaxFile = DWORD(fileName.size());
    dialog.m_ofn.lpstrTitle = title.c_str();
    dialog.m_ofn.lpstrInitialDir = initialFolder.c_str();
    if (dialog.DoModal() != IDOK) {
        return {};
    }
    return platform::kernel::RemoveDoubledSeparatorAfterRoot(dialog.GetPathName());
}

} // namespace

CaptureFileSizes SizesForDialog(std::int64_t length, LONG freeKB)
{
    const std::int64_t lengthKB = std::max<std::int64_t>(length, 0) / 1024;
    const INT size = AtMost32Bits(lengthKB / 1024);
    const INT available = freeKB == -1 ? -1 : AtMost32Bits((freeKB + lengthKB) / 1024);
    return {size, available};
}

std::uint64_t MegabytesToBytes(INT megabytes)
{
    return megabytes > 0 ? std::uint64_t(megabytes) << 20 : 0;
}

void CaptureFileSetting(CFrameWnd& frame, CCaptureWindow& capture)
{
    try {
        // The dialog starts in the folder of the driver's current capture file, with
        // its name.
        const platform::kernel::PathParts current =
            platform::kernel::SplitPath(capture.GetCaptureFile(TRUE));
        const std::string path = ChooseAviFile(
            frame, {kCaptureFileExtensionText, kCaptureFileFilterText, kCaptureFileTitleText},
            current.Folder(), current.FileName());
        if (path.empty()) {
            return;
        }

        // The caption shows the capture file name once this command has finished.
        frame.PostCommand(ID_SHOW_CAPTURE_FILE_NAME);
        if (!capture.SetCaptureFile(path.c_str())) {
            Report(kCaptureFileSettingPlace, kOutOfMemoryText);
            return;
        }
        if (!platform::kernel::FileExists(path.c_str())) {
            CaptureFileSize(capture);
        }
    } catch (const std::bad_alloc&) {
        Report(kCaptureFileSettingPlace, kOutOfMemoryText);
    }
}

void CaptureFileSize(CCaptureWindow& capture)
{
    try {
        CFileSizeDlg dialog;
        const std::string name = capture.GetCaptureFile(FALSE);
        if (name.empty()) {
            return;
        }
        std::int64_t length = 0;
        if (platform::kernel::MeasureFileLength(name.c_str(), length) ==
            platform::kernel::FileLength::Failed) {
            Report(kCaptureFileSizePlace, kOutOfMemoryText);
            return;
        }
        const CaptureFileSizes sizes = SizesForDialog(length, GetFreeDiskSpaceKB(name.c_str()));
        dialog.m_nSize = sizes.size;
        dialog.m_nAvailable = sizes.available;
        if (dialog.DoModal() != IDOK) {
            return;
        }
        if (!capture.AllocateCaptureFile(MegabytesToBytes(dialog.m_nSize))) {
            Report(kCaptureFileSizePlace, kAllocationFailedText);
        }
    } catch (const std::bad_alloc&) {
        Report(kCaptureFileSizePlace, kOutOfMemoryText);
    }
}

void SaveMovie(CFrameWnd& frame, CCaptureWindow& capture, RegistryStore& store)
{
    try {
        // The dialog opens in the save folder, else in the capture file's folder, with
        // no name.
        const std::string start =
            store.m_strSaveFolder.empty() ? capture.GetCaptureFile(FALSE) : store.m_strSaveFolder;
        const std::string path =
            ChooseAviFile(frame, {kMovieExtensionText, kMovieFilterText, kMovieTitleText},
                          platform::kernel::SplitPath(start).Folder(), std::string());
        if (path.empty()) {
            return;
        }
        capture.ClearLastErrorId();
        const BOOL saved = capture.SaveCaptureAs(path.c_str());
        store.m_strSaveFolder = platform::kernel::SplitPath(path).Folder();
        // A copy the user cancelled is no failure; one the capture service refused is
        // reported after the service's own reason.
        if (!saved && capture.GetLastErrorId() != 0) {
            Report(kSaveMoviePlace, kMovieNotSavedText);
        }
    } catch (const std::bad_alloc&) {
        Report(kCaptureFileSettingPlace, kOutOfMemoryText);
    }
}

} // namespace vexol::commands

LONG GetFreeDiskSpaceKB(const char* path)
{
    const LONG free = vexol::platform::kernel::FreeDiskSpaceKB(path);
    if (free == -1) {
        vexol::commands::Report(vexol::commands::kFreeSpacePlace,
                                vexol::commands::kNoFreeSpaceText);
    }
    return free;
}
