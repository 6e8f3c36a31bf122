// The commands of the capture file and the movie: choosing the capture file (32771),
// its size and pre-allocation (32786) and saving the captured movie (32787). The main
// frame's handlers call these with the application's objects.
#pragma once

#include "platform/WinTypes.h"

#include <cstdint>

class CCaptureWindow;
class CFrameWnd;
class RegistryStore;

// The free space, in kilobytes, of the volume that holds `path` (which need not exist
// yet); -1, after the box ID-11003-0401, when the volume cannot be asked. At most
// 0x7FFFFFFF (about 2 TB).
LONG GetFreeDiskSpaceKB(const char* path);

namespace vexol::commands {

// Report places of the commands.
inline constexpr WORD kCaptureFileSettingPlace = 0x0301;
inline constexpr WORD kSaveMoviePlace = 0x0302;
inline constexpr WORD kCaptureFileSizePlace = 0x0304;
inline constexpr WORD kFreeSpacePlace = 0x0401;
// Texts of the reports.
inline constexpr WORD kOutOfMemoryText = 10003;
inline constexpr WORD kAllocationFailedText = 10005;
inline constexpr WORD kMovieNotSavedText = 10008;
inline constexpr WORD kNoFreeSpaceText = 11003;
// String resources of the two file dialogs.
inline constexpr UINT kCaptureFileFilterText = 20004;
inline constexpr UINT kCaptureFileTitleText = 20005;
inline constexpr UINT kMovieFilterText = 20006;
inline constexpr UINT kMovieTitleText = 20007;
inline constexpr UINT kCaptureFileExtensionText = 20010;
inline constexpr UINT kMovieExtensionText = 20011;
// Both file dialogs: overwrite prompt, no read-only box, folder must exist, no
// write-protected file.
inline constexpr DWORD kFileDialogFlags = 0x8806;

// What the size dialog starts with, in megabytes.
struct CaptureFileSizes
{
    INT size;      // the existing file's length
    INT available; // free space plus the existing file's length, -1 when unknown
};

// The size dialog's values for an existing file of `length` bytes (0 for none) on a
// volume with `freeKB` kilobytes free (-1: unknown). Divisions truncate, the length is
// taken in whole kilobytes first; values too large for the fields stop at 0x7FFFFFFF.
CaptureFileSizes SizesForDialog(std::int64_t length, LONG freeKB);

// The bytes of a size in megabytes, computed in 64 bits.
std::uint64_t MegabytesToBytes(INT megabytes);

// 32771: the file dialog for the capture file, then the driver is given the chosen
// name; a file that does not exist yet goes on to the size command.
void CaptureFileSetting(CFrameWnd& frame, CCaptureWindow& capture);

// 32786: measures the capture file and the free space, asks for the size and
// pre-allocates it. Does nothing while no capture file is set.
void CaptureFileSize(CCaptureWindow& capture);

// 32787: the file dialog for the movie, then the capture file's movie is copied there.
// The chosen folder becomes the save folder, whether or not the copy succeeded.
void SaveMovie(CFrameWnd& frame, CCaptureWindow& capture, RegistryStore& store);

} // namespace vexol::commands
