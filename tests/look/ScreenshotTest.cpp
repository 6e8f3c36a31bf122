// Screenshots of every dialog in its skinned frame, in both languages, left in the build
// folder as look-<dialog>-<language>.png: the version, capture file size, parameter and
// shutter-switch wait dialogs, and the movie and still file dialogs with the titles and
// filters their commands give them.
#include "commands/CFileSizeDlg.h"
#include "commands/CParameterDlg.h"
#include "commands/CaptureFileCommands.h"
#include "look/CFileDialogEx.h"
#include "platform/framework/Resources.h"
#include "res/ResourceIds.h"
#include "shell/CAboutDlg.h"
#include "still/CJpegFileDialog.h"
#include "still/CShutterWaitDlg.h"
#include "still/StillCommands.h"

#include <QImage>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace {

using vexol::res::Language;

std::string Text(UINT id)
{
    std::string text;
    LoadString(id, text);
    return text;
}

// Saves the shown, framed dialog; TRUE when the frame is painted and the file written.
bool SaveShot(QWidget& dialog, const std::string& file)
{
    const QImage shot = dialog.grab().toImage();
    const bool framed = !shot.isNull() && shot.pixel(0, 30) == qRgb(255, 255, 255);
    const QString path = QStringLiteral(VEXOL_BUILD_DIR "/") + QString::fromStdString(file);
    return framed && shot.save(path, "PNG");
}

template <class Dialog> bool ShootDialog(const std::string& file)
{
    Dialog dialog;
    if (!dialog.Create()) {
        return false;
    }
    dialog.show();
    const bool saved = SaveShot(dialog, file);
    dialog.hide();
    return saved;
}

bool ShootFileDialog(std::unique_ptr<CFileDialogEx> dialog, const std::string& title,
                     const std::string& file)
{
    CFileDialog::SetModalAnswer({}); // the real dialog
    dialog->m_ofn.lpstrTitle = title.c_str();
    bool saved = false;
    QTimer::singleShot(0, dialog.get(), [&] {
        saved = SaveShot(*dialog, file);
        dialog->reject();
    });
    dialog->DoModal();
    return saved;
}

TEST(Screenshots, EveryDialogInItsFrameInBothLanguages)
{
    namespace cmd = vexol::commands;
    namespace still = vexol::still;
    for (const auto& [language, suffix] :
         {std::pair{Language::English, "english"}, std::pair{Language::Japanese, "japanese"}}) {
        vexol::res::SetLanguage(language);
        const std::string languageName = suffix; // clang 14 does not capture bindings
        const auto name = [languageName](const char* dialog) {
            return std::string("look-") + dialog + "-" + languageName + ".png";
        };
        EXPECT_TRUE(ShootDialog<CAboutDlg>(name("version-100"))) << suffix;
        EXPECT_TRUE(ShootDialog<CFileSizeDlg>(name("file-size-130"))) << suffix;
        EXPECT_TRUE(ShootDialog<CParameterDlg>(name("parameters-133"))) << suffix;
        EXPECT_TRUE(ShootDialog<CShutterWaitDlg>(name("shutter-wait-136"))) << suffix;

        const std::string movieFilter = Text(cmd::kMovieFilterText);
        const std::string movieExtension = Text(cmd::kMovieExtensionText);
        EXPECT_TRUE(
            ShootFileDialog(std::make_unique<CFileDialogEx>(FALSE, movieExtension.c_str(), nullptr,
                                                            OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT,
                                                            movieFilter.c_str()),
                            Text(cmd::kMovieTitleText), name("save-movie")))
            << suffix;
        const std::string stillFilter = Text(still::kStillFilterText);
        auto jpeg = std::make_unique<CJpegFileDialog>(
            FALSE, "jpg", nullptr, OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_ENABLETEMPLATE,
            stillFilter.c_str());
        jpeg->m_ofn.lpTemplateName = IDD_JPEG_QUALITY;
        EXPECT_TRUE(
            ShootFileDialog(std::move(jpeg), Text(still::kStillTitleText), name("save-still-135")))
            << suffix;
    }
    vexol::res::SetLanguage(Language::English);
}

} // namespace
