#include "commands/ParameterCommand.h"

#include "capture/CCaptureWindow.h"
#include "commands/CParameterDlg.h"
#include "platform/framework/FrameWnd.h"
#include "res/ResourceIds.h"

namespace vexol::commands {

namespace {
constexpr double kMicroSecondsPerSecond = 1000000.0;
}

INT FramesPerSecondFromPeriod(DWORD microSecPerFrame)
{
    if (microSecPerFrame == 0) {
        return 0;
    }
    return INT(kMicroSecondsPerSecond / double(microSecPerFrame) + 0.5);
}

DWORD PeriodFromFramesPerSecond(INT framesPerSecond)
{
    if (framesPerSecond <= 0) {
        return kDefaultMicroSecPerFrame;
    }
    return DWORD(kMicroSecondsPerSecond / double(framesPerSecond) + 0.5);
}

void FillParameterDialog(const CAPTUREPARMS& settings, CParameterDlg& dialog)
{
    dialog.m_nFramesPerSecond = FramesPerSecondFromPeriod(settings.dwRequestMicroSecPerFrame);
    dialog.m_nTimeLimit =
        settings.wTimeLimit != 0 ? INT(settings.wTimeLimit) : kDefaultTimeLimitSeconds;
    dialog.m_nLimitEnabled = INT(settings.fLimitEnabled);
    dialog.m_nCaptureAudio = INT(settings.fCaptureAudio);
}

void ReadParameterDialog(const CParameterDlg& dialog, CAPTUREPARMS& settings)
{
    settings.fCaptureAudio = BOOL(dialog.m_nCaptureAudio);
    settings.fLimitEnabled = BOOL(dialog.m_nLimitEnabled);
    settings.wTimeLimit = dialog.m_nLimitEnabled != 0 ? UINT(dialog.m_nTimeLimit) : 0;
    settings.dwRequestMicroSecPerFrame = PeriodFromFramesPerSecond(dialog.m_nFramesPerSecond);
}

void ParameterSettings(CFrameWnd& frame, CCaptureWindow& capture)
{
    CAPTUREPARMS settings{};
    capture.GetCaptureSettings(&settings);
    CParameterDlg dialog;
    FillParameterDialog(settings, dialog);
    if (dialog.DoModal() != IDOK) {
        return;
    }
    ReadParameterDialog(dialog, settings);
    capture.ApplyCaptureSettings(settings);
    // The view places the capture window again.
    frame.PostCommand(ID_PLACE_CAPTURE_WINDOW);
}

} // namespace vexol::commands
