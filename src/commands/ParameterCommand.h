// The parameter settings command (32778): the frame rate, the time limit and audio of
// the capture window's sequence setup, edited in the parameter dialog and sent to the
// driver at once.
#pragma once

#include "platform/capture/CaptureTypes.h"

class CCaptureWindow;
class CFrameWnd;
class CParameterDlg;

namespace vexol::commands {

// The time limit the dialog shows while none is stored.
inline constexpr INT kDefaultTimeLimitSeconds = 5;
// The frame period stored for a rate of 0 or less.
inline constexpr DWORD kDefaultMicroSecPerFrame = 66666;

// Whole frames per second of a frame period, to the nearest (an exact half up); 0 for a
// period of 0.
INT FramesPerSecondFromPeriod(DWORD microSecPerFrame);
// The frame period of a rate, to the nearest microsecond (an exact half up); 66666 for
// a rate of 0 or less.
DWORD PeriodFromFramesPerSecond(INT framesPerSecond);

// The dialog's fields from the sequence setup, and the setup's four fields back from a
// confirmed dialog.
void FillParameterDialog(const CAPTUREPARMS& settings, CParameterDlg& dialog);
void ReadParameterDialog(const CParameterDlg& dialog, CAPTUREPARMS& settings);

// 32778: runs the dialog; on OK the changed setup goes to the driver and the capture
// picture is placed again.
void ParameterSettings(CFrameWnd& frame, CCaptureWindow& capture);

} // namespace vexol::commands
