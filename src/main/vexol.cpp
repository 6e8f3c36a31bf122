// The vexol program: the application object's start-up, event loop and shutdown.
// SIGTERM, SIGHUP and SIGINT end it as the Exit command does (see CWinApp::Run).
// With VEXOL_SCREENSHOT naming a file, the main window is saved there about a second
// after the live picture shows, and the program then ends through its normal shutdown.
// --help and --version answer without starting the application.
#include "platform/framework/AppIcon.h"
#include "platform/framework/CommandIds.h"
#include "platform/framework/FrameWnd.h"
#include "platform/framework/Help.h"
#include "platform/framework/Resources.h"
#include "shell/CVexolApp.h"

#include <QApplication>
#include <QCoreApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QTimer>
#include <QTranslator>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

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

const char* const kUsage = "Usage: vexol [FILE]\n"
                           "Starts Vexol, the video capture application. A FILE named on the\n"
                           "command line opens as the document; nothing is read from it.\n"
                           "\n"
                           "  --help     show this help and where the help page is\n"
                           "  --version  show the version\n"
                           "\n"
                           "The capture service on the command line: vexol-cap --help.\n";

// Answers --help and --version; -1 for any other command line.
int AnswerInformationOption(int argc, char** argv)
{
    const std::string option = argc == 2 ? argv[1] : "";
    if (option == "--version") {
        std::printf("vexol %s\n", VEXOL_VERSION);
        return 0;
    }
    if (option == "--help" || option == "-h") {
        QCoreApplication application(argc, argv); // where the program lies, for the page
        const std::string page = vexol::platform::framework::FindHelpPage();
        std::printf("%sHelp page: %s\n", kUsage, page.empty() ? "(not installed)" : page.c_str());
        return 0;
    }
    return -1;
}

} // namespace

int main(int argc, char** argv)
{
    if (const int answered = AnswerInformationOption(argc, argv); answered >= 0) {
        return answered;
    }
    // A file-size limit makes writes fail with EFBIG, which the writers report and
    // survive (a recording ends with a playable file), instead of killing the program.
    std::signal(SIGXFSZ, SIG_IGN);
    QApplication qtApplication(argc, argv);
    QApplication::setApplicationVersion(QStringLiteral(VEXOL_VERSION));
    // Lets the desktop match the windows with the menu entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("vexol"));
    QApplication::setWindowIcon(vexol::platform::framework::ApplicationIcon());
    QTranslator qtTranslator;
    InstallQtTranslations(qtApplication, qtTranslator);
    CVexolApp app;
    const char* screenshot = std::getenv("VEXOL_SCREENSHOT");
    if (screenshot && *screenshot) {
        ScheduleScreenshot(app, QString::fromLocal8Bit(screenshot));
    }
    return app.Run();
}
