// The still commands of the main frame: saving a still under a chosen name (32772), the
// next numbered still (32810) and the shutter-switch mode (32811).
#pragma once

#include "platform/WinTypes.h"

class CCaptureWindow;
class CFrameWnd;
class RegistryStore;

namespace vexol::still {

// Report places and texts.
inline constexpr WORD kSaveStillPlace = 0x0303;
inline constexpr WORD kShutterSavePlace = 0x0305;
inline constexpr WORD kOutOfMemoryText = 10003;
inline constexpr WORD kStillNotSavedText = 10006;
inline constexpr WORD kSaveOneStillFirstText = 10007;
// String resources of the save-still dialog.
inline constexpr UINT kStillFilterText = 20002;
inline constexpr UINT kStillTitleText = 20003;
inline constexpr UINT kStillExtensionText = 20009;
// Overwrite prompt, no read-only box, the quality group below the standard controls,
// folder must exist, no write-protected file.
inline constexpr DWORD kSaveStillDialogFlags = 0x8846;

// 32772: the save-still dialog opens in the save folder (else the capture file's folder)
// with the JPEG mode preset; after OK the chosen mode is kept and the driver's current
// frame saved under the chosen name. Whether or not that worked, the name's folder
// becomes the save folder and the name the base of numbered stills, counting from 0001
// again; a failure is then reported.
void SaveStill(CFrameWnd& frame, CCaptureWindow& capture, RegistryStore& store);

// 32810: the driver's current frame as the next numbered still; nothing is reported.
void ContinuousSave(CCaptureWindow& capture, RegistryStore& store);

// 32811: without a base name, the user is asked to save one still first (32772). Then
// the frame stream runs while the wait dialog is open: each frame marked by the shutter
// switch is saved as the next numbered still. Closing the dialog stops the stream.
void ShutterSave(CFrameWnd& frame, CCaptureWindow& capture, RegistryStore& store);

} // namespace vexol::still
