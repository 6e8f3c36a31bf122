// The vexol program: the application object's start-up, event loop and shutdown.
// SIGTERM, SIGHUP and SIGINT end it as the Exit command does (see CWinApp::Run).
// With VEXOL_SCREENSHOT naming a file, the main window is saved there about a second
// after the live picture shows, and the program then ends through its normal shutdown.
#include "platform/framework/CommandIds.h"
#include "platform/framework/FrameWnd.h"
#include "platform/framework/Resources.h"
#include "shell/CVexolApp.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTimer>
#include <QTranslator>

#include <csignal>
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

// Qt's own texts (the buttons of message boxes and standard dialogs) in the user's
// language; without the translation files they stay English.
void InstallQtTranslations(QApplication& application, QTranslator& translator)
{
    if (vexol::res::UserLanguage() != vexol::res::Language::Japanese) {
        return;
    }
    if (translator.load(QStringLiteral("qtbase_ja"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        application.installTranslator(&translator);
    }
}

} // namespace

int main(int argc, char** argv)
{
    // A file-size limit makes writes fail with EFBIG, which the writers report and
    // survive (a recording ends with a playable file), instead of killing the program.
    std::signal(SIGXFSZ, SIG_IGN);
    QApplication qtApplication(argc, argv);
    QTranslator qtTranslator;
    InstallQtTranslations(qtApplication, qtTranslator);
    CVexolApp app;
    const char* screenshot = std::getenv("VEXOL_SCREENSHOT");
    if (screenshot && *screenshot) {
        ScheduleScreenshot(app, QString::fromLocal8Bit(screenshot));
    }
    return app.Run();
}
