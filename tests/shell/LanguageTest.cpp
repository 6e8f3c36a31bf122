// Both languages: menus, caption, prompts and the version dialog come from the table
// of the user's language; the real capture service shows its test pattern, and a
// screenshot of the main window in each language is left in the build folder.
#include "ShellTestSupport.h"

#include "platform/capture/DriverRegistry.h"
#include "platform/capture/TestPatternDriver.h"
#include "platform/framework/CommandIds.h"
#include "platform/framework/Dialog.h"
#include "shell/CAboutDlg.h"

#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>

namespace vexol::test {
namespace {

struct LanguageCase
{
    const char* name;
    res::Language language;
    std::vector<std::string> barTexts;
    const char* caption;
    const char* firstItem;
    const char* exitPrompt;
    const char* versionLine;
    const char* screenshot;
};

const LanguageCase kLanguages[] = {
    {"English",
     res::Language::English,
     {"&File", "&Option", "&Record!", "&Pause Recording!", "Continuously Save Stills(&B)!",
      "&Capture", "&Help"},
     "Video capture software - 無題",
     "Capture file &setting...",
     "End Video capture software",
     "Video capture software Version 01-02",
     "shell-main-english.png"},
    {"Japanese",
     res::Language::Japanese,
     {"ﾌｧｲﾙ(&F)", "設定(&O)", "録画(&R)!", "録画停止(&P)!", "連続静止画保存(&B)!", "ｷｬﾌﾟﾁｬ(&C)",
      "ﾍﾙﾌﾟ(&H)"},
     "ﾋﾞﾃﾞｵｷｬﾌﾟﾁｬｿﾌﾄ - 無題",
     "ｷｬﾌﾟﾁｬﾌｧｲﾙ設定(&S)...",
     "ﾋﾞﾃﾞｵｷｬﾌﾟﾁｬｿﾌﾄを終了します。",
     "ﾋﾞﾃﾞｵｷｬﾌﾟﾁｬｿﾌﾄ Version 01-02",
     "shell-main-japanese.png"},
};

class LanguageTest : public ShellTest, public ::testing::WithParamInterface<LanguageCase>
{
protected:
    void SetUp() override { res::SetLanguage(GetParam().language); }
};

TEST_P(LanguageTest, MenusCaptionAndPromptsComeFromTheLanguagesTable)
{
    const LanguageCase& c = GetParam();
    InstallDrivers({0});
    StartUpAndSettle();
    CMenu bar = frame->GetMenu();
    ASSERT_EQ(bar.GetMenuItemCount(), int(c.barTexts.size()));
    for (int i = 0; i < bar.GetMenuItemCount(); ++i) {
        std::string text;
        ASSERT_TRUE(bar.GetMenuString(UINT(i), text, MF_BYPOSITION));
        EXPECT_EQ(text, c.barTexts[size_t(i)]);
    }
    std::string first;
    ASSERT_TRUE(bar.GetSubMenu(0).GetMenuString(0, first, MF_BYPOSITION));
    EXPECT_EQ(first, c.firstItem);
    EXPECT_EQ(frame->windowTitle().toStdString(), c.caption);
    frame->OnMenuItemHighlighted(ID_APP_EXIT);
    EXPECT_EQ(PaneText(), c.exitPrompt);
}

TEST_P(LanguageTest, VersionDialogShowsTheBuiltVersionLine)
{
    const LanguageCase& c = GetParam();
    std::string line;
    QRect ok;
    QSize client;
    CDialog::SetModalAnswer(IDD_ABOUTBOX, [&](CDialog& dialog) {
        if (auto* label = qobject_cast<QLabel*>(dialog.GetDlgItem(IDC_VERSION_TEXT))) {
            line = label->text().toStdString();
            EXPECT_EQ(label->pos(), QPoint(80, 20));
        }
        if (QWidget* copyright = dialog.GetDlgItem(IDC_COPYRIGHT_TEXT)) {
            EXPECT_EQ(copyright->pos(), QPoint(80, 40));
        }
        if (QWidget* button = dialog.GetDlgItem(IDOK)) {
            ok = button->geometry();
        }
        client = dialog.size();
        return IDOK;
    });
    CAboutDlg dialog;
    EXPECT_EQ(dialog.DoModal(), IDOK);
    CDialog::SetModalAnswer(IDD_ABOUTBOX, {});
    EXPECT_EQ(line, c.versionLine);
    ASSERT_FALSE(ok.isEmpty());
    EXPECT_EQ(client.width() - ok.right() - 1, CAboutDlg::kButtonMargin);
    EXPECT_EQ(client.height() - ok.bottom() - 1, CAboutDlg::kButtonMargin);
}

// The real capture service with its built-in cameras: the test pattern is driver 0.
TEST_P(LanguageTest, MainWindowWithTheLivePictureIsSavedAsAScreenshot)
{
    namespace cap = platform::capture;
    cap::SetInstalledDriversForTesting(cap::BuiltInDrivers());
    app = std::make_unique<CVexolApp>();
    ASSERT_TRUE(app->InitInstance());
    frame = app->GetMainFrame();
    ASSERT_NE(frame, nullptr);
    frame->resize(720, 480);
    QCoreApplication::sendPostedEvents();
    EXPECT_TRUE(app->GetCaptureWindow().IsDriverConnected());
    EXPECT_EQ(app->GetCaptureWindow().GetDriverName(), cap::TestPatternDriver::kName);
    EXPECT_TRUE(app->GetCaptureWindow().isVisible());
    std::string item;
    frame->GetMenu().GetSubMenu(1).GetMenuString(32800, item, MF_BYCOMMAND);
    EXPECT_EQ(item, std::string(cap::TestPatternDriver::kName) + ",   " +
                        cap::TestPatternDriver::kVersion);

    // Let a few frames arrive before the picture is taken (not a timed assertion).
    QElapsedTimer running;
    running.start();
    while (running.elapsed() < 700) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    app->OnIdle(0); // bar commands and indicators as the user sees them
    const QString path = QDir(VEXOL_BUILD_DIR).filePath(GetParam().screenshot);
    EXPECT_TRUE(frame->grab().save(path, "PNG")) << path.toStdString();

    app->ExitInstance();
    app.reset();
    cap::SetInstalledDriversForTesting(std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(Languages, LanguageTest, ::testing::ValuesIn(kLanguages),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(VersionLineTest, UnknownTitleWhenTheApplicationTitleIsMissing)
{
    const std::map<UINT, std::string> table = {{20000, "(Unknown)"}, {20001, "01-02"}};
    const auto loader = [&table](UINT id, std::string& text) {
        const auto found = table.find(id);
        text = found == table.end() ? std::string() : found->second;
        return found != table.end();
    };
    EXPECT_EQ(CAboutDlg::BuildVersionLine(loader), "(Unknown) Version 01-02");
}

} // namespace
} // namespace vexol::test
