#include "platform/capture/DriverDialogRunner.h"

#include <QDialog>
#include <mutex>

namespace vexol::platform::capture {

namespace {
std::mutex g_runnerMutex; // guards g_runner
DriverDialogRunner g_runner;
} // namespace

int RunDriverDialog(QDialog& dialog)
{
    DriverDialogRunner runner;
    {
        std::lock_guard lock(g_runnerMutex);
        runner = g_runner;
    }
    return runner ? runner(dialog) : dialog.exec();
}

void SetDriverDialogRunner(DriverDialogRunner runner)
{
    std::lock_guard lock(g_runnerMutex);
    g_runner = std::move(runner);
}

} // namespace vexol::platform::capture
