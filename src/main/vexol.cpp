// The vexol program: the application object's start-up, event loop and shutdown.
// With VEXOL_SCREENSHOT naming a file, the main window is saved there about a second
// after the live picture shows, and the program then ends through its normal shutdown.
#include "platform/framework/CommandIds.h"
#include "platform/framework/FrameWnd.h"
#include "shell/CVexolApp.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

namespace {

constexpr int kScreenshotDelayMs = 1000;

// Runs once the event loop runs, that is after a successful start-up.
void ScheduleScreenshot(CVexolApp& app, const QString& path)
{
    QTimer::singleShot(0, [&app, path] {
        QTimer::singleShot(kScreenshotDelayMs, [&app, path] {
            if (CFrameWnd* frame = app.GetMainWnd()) {
                if (!frame->grab().save(path, "PNG")) {
                    std::fprintf(stderr, "vexol: cannot write the screenshot %s\n",
                                 path.toLocal8Bit().constData());
                }
                frame->SendCommand(ID_APP_EXIT);
            }
        });
    });
}

} // namespace

int main(int argc, char** argv)
{
    QApplication qtApplication(argc, argv);
    CVexolApp app;
    const char* screenshot = std::getenv("VEXOL_SCREENSHOT");
    if (screenshot && *screenshot) {
        ScheduleScreenshot(app, QString::fromLocal8Bit(screenshot));
    }
    return app.Run();
}
