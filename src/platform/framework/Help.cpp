// Finding and opening the help page.
#include "platform/framework/Help.h"

#include "platform/framework/Resources.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace vexol::platform::framework {
namespace {

UrlOpener g_opener; // test override; UI thread only

// Folders that may hold the pages, in the order they are searched.
QStringList HelpFolders()
{
    QStringList folders;
    if (QCoreApplication::instance()) {
        const QString programFolder = QCoreApplication::applicationDirPath();
        folders << programFolder + "/help"
                << programFolder + "/" + QStringLiteral(VEXOL_INSTALLED_HELP_DIR);
    }
    // The source tree, for a program run from its build folder (tests among them).
    folders << QStringLiteral(VEXOL_SOURCE_HELP_DIR);
    return folders;
}

} // namespace

std::string FindHelpPage()
{
    QStringList names;
    if (res::UserLanguage() == res::Language::Japanese) {
        names << "vexol.ja.html";
    }
    names << "vexol.en.html";
    for (const QString& name : names) {
        for (const QString& folder : HelpFolders()) {
            const QFileInfo page(QDir(folder).filePath(name));
            if (page.isFile()) {
                return page.canonicalFilePath().toStdString();
            }
        }
    }
    return {};
}

bool OpenHelpPage()
{
    const std::string page = FindHelpPage();
    if (page.empty()) {
        return false;
    }
    const QUrl url = QUrl::fromLocalFile(QString::fromStdString(page));
    return g_opener ? g_opener(url) : QDesktopServices::openUrl(url);
}

void SetUrlOpener(UrlOpener opener)
{
    g_opener = std::move(opener);
}

} // namespace vexol::platform::framework
