// The main menu from its resources in both languages, the menu handle's find, append
// and delete, update rules when a popup opens, menu prompts in the status bar and the
// state of the menu-bar commands.
#include "FrameworkTestSupport.h"

#include "platform/framework/AcceleratorTemplate.h"
#include "platform/framework/CommandIds.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>

namespace vexol::test {
namespace {

// One line per item: popups and bar commands at the left, popup items indented,
// separators as "-", a check mark as " [x]".
std::vector<std::string> Dump(const CMenu& menu, const std::string& indent = "")
{
    std::vector<std::string> lines;
    for (int position = 0; position < menu.GetMenuItemCount(); ++position) {
        std::string text;
        menu.GetMenuString(UINT(position), text, MF_BYPOSITION);
        const UINT state = menu.GetMenuState(UINT(position), MF_BYPOSITION);
        if (state & MF_POPUP) {
            lines.push_back(indent + "popup " + text);
            for (const std::string& line : Dump(menu.GetSubMenu(position), indent + "  ")) {
                lines.push_back(line);
            }
        } else if (state & MF_SEPARATOR) {
            lines.push_back(indent + "-");
        } else {
            lines.push_back(indent + std::to_string(menu.GetMenuItemID(position)) + " " + text +
                            ((state & MF_CHECKED) ? " [x]" : ""));
        }
    }
    return lines;
}

const std::vector<std::string> kEnglishMenu = {
    "popup &File",
    "  32771 Capture file &setting...",
    "  32786 C&apture file size setting...",
    "  -",
    "  32787 Save &Captured Movie...",
    "  32772 Save Captured Still Image(&F)...",
    "  -",
    "  57665 E&xit",
    "popup &Option",
    "  32774 Image &Format...",
    "  32775 Video Input(&S)...",
    "  32776 Video &Display...",
    "  -",
    "  32777 &Audio Format...",
    "  -",
    "  32778 &Various Parameter Settings...",
    "  -",
    "  32779 &Overlay",
    "  32780 &Preview",
    "  -",
    "  59393 Stat&us Bar",
    "  -",
    "32793 &Record!",
    "32795 &Pause Recording!",
    "32810 Continuously Save Stills(&B)!",
    "popup &Capture",
    "  32794 Display S&till\tCtrl+T [x]",
    "  32811 &Clickwand連続静止画保存",
    "popup &Help",
    "  57667 Searc&h for Topic...",
    "  57664 Version Inform&ation...",
};

const std::vector<std::string> kJapaneseMenu = {
    "popup ﾌｧｲﾙ(&F)",
    "  32771 ｷｬﾌﾟﾁｬﾌｧｲﾙ設定(&S)...",
    "  32786 ｷｬﾌﾟﾁｬﾌｧｲﾙｻｲｽﾞ指定(&A)...",
    "  -",
    "  32787 ｷｬﾌﾟﾁｬ動画保存(&C)...",
    "  32772 ｷｬﾌﾟﾁｬ静止画保存(&F)...",
    "  -",
    "  57665 ﾋﾞﾃﾞｵｷｬﾌﾟﾁｬｿﾌﾄの終了(&X)",
    "popup 設定(&O)",
    "  32774 画像形式(&F)...",
    "  32775 画像入力(&S)...",
    "  32776 画像表示(&D)...",
    "  -",
    "  32777 ｵｰﾃﾞｨｵ形式(&A)...",
    "  -",
    "  32778 各種ﾊﾟﾗﾒﾀの設定(&V)...",
    "  -",
    "  32779 ｵｰﾊﾞﾚｲ(&O)",
    "  32780 ﾌﾟﾚﾋﾞｭｰ(&P)",
    "  -",
    "  59393 ｽﾃｰﾀｽ ﾊﾞｰ(&U)",
    "  -",
    "32793 録画(&R)!",
    "32795 録画停止(&P)!",
    "32810 連続静止画保存(&B)!",
    "popup ｷｬﾌﾟﾁｬ(&C)",
    "  32794 ｽﾁﾙ表示(&T)\tCtrl+T [x]",
    "  32811 &Clickwand連続静止画保存",
    "popup ﾍﾙﾌﾟ(&H)",
    "  57667 ﾄﾋﾟｯｸの検索(&H)...",
    "  57664 ﾊﾞｰｼﾞｮﾝ情報 (&A)...",
};

TEST(MainMenuTest, BuiltFromTheTableOfTheUserLanguage)
{
    const struct
    {
        res::Language language;
        const std::vector<std::string>& expected;
    } cases[] = {{res::Language::English, kEnglishMenu}, {res::Language::Japanese, kJapaneseMenu}};
    for (const auto& c : cases) {
        ScopedLanguage language(c.language);
        QMenuBar bar;
        ASSERT_TRUE(vexol::platform::framework::BuildMenuBar(&bar, IDR_MAINFRAME));
        EXPECT_EQ(Dump(CMenu(&bar)), c.expected);
    }
}

TEST(MainMenuTest, BarCommandsAreActionsOnTheMenuBarItself)
{
    QMenuBar bar;
    ASSERT_TRUE(vexol::platform::framework::BuildMenuBar(&bar, IDR_MAINFRAME));
    for (UINT id : {ID_RECORD, ID_STOP_RECORDING, ID_CONTINUOUS_SAVE}) {
        QAction* action = CMenu(&bar).FindCommand(id);
        ASSERT_NE(action, nullptr) << id;
        EXPECT_TRUE(bar.actions().contains(action)) << id;
        EXPECT_EQ(action->menu(), nullptr) << id;
    }
}

TEST(MainMenuTest, UnknownMenuIsNotBuilt)
{
    QMenuBar bar;
    EXPECT_FALSE(vexol::platform::framework::BuildMenuBar(&bar, 999));
    EXPECT_EQ(CMenu(&bar).GetMenuItemCount(), 0);
}

TEST(AcceleratorTableTest, CtrlTSendsDisplayStill)
{
    const auto table = res::FindAcceleratorTable(IDR_MAINFRAME);
    ASSERT_EQ(table.size(), 1u);
    EXPECT_EQ(table[0].modifiers, res::kAccelControl);
    EXPECT_EQ(table[0].key, 'T');
    EXPECT_EQ(table[0].command, ID_DISPLAY_STILL);
}

using MenuHandleTest = FrameworkTest;

TEST_F(MenuHandleTest, DeleteByCommandSearchesThePopups)
{
    CMenu menu = frame->GetMenu();
    EXPECT_TRUE(menu.DeleteMenu(ID_SHUTTER_SAVE, MF_BYCOMMAND));
    EXPECT_EQ(menu.FindCommand(ID_SHUTTER_SAVE), nullptr);
    const CMenu capture = menu.GetSubMenu(5);
    ASSERT_FALSE(capture.IsNull());
    EXPECT_EQ(capture.GetMenuItemCount(), 1);
    EXPECT_EQ(capture.GetMenuItemID(0), ID_DISPLAY_STILL);
    EXPECT_FALSE(menu.DeleteMenu(ID_SHUTTER_SAVE, MF_BYCOMMAND));
}

TEST_F(MenuHandleTest, AppendedDriverItemsKeepTheirIdsAndReachTheFrame)
{
    CMenu option = frame->GetMenu().GetSubMenu(1);
    const int before = option.GetMenuItemCount();
    option.AppendMenu(MF_STRING, ID_SELECT_DRIVER_FIRST, "Camera,   1.0");
    option.AppendMenu(MF_STRING, ID_SELECT_DRIVER_FIRST + 1, "Test pattern,   2.0");
    ASSERT_EQ(option.GetMenuItemCount(), before + 2);
    EXPECT_EQ(option.GetMenuItemID(before - 1), 0u); // the last separator stays before them
    EXPECT_EQ(option.GetMenuItemID(before + 1), ID_SELECT_DRIVER_FIRST + 1);
    std::string text;
    option.GetMenuString(ID_SELECT_DRIVER_FIRST + 1, text, MF_BYCOMMAND);
    EXPECT_EQ(text, "Test pattern,   2.0");
    EXPECT_EQ(option.GetMenuState(ID_SELECT_DRIVER_FIRST, MF_BYCOMMAND), 0u);

    UINT chosen = 0;
    frame->MapCommandRange(ID_SELECT_DRIVER_FIRST, ID_SELECT_DRIVER_LAST,
                           [&](UINT id) { chosen = id; });
    option.FindCommand(ID_SELECT_DRIVER_FIRST + 1)->trigger();
    EXPECT_EQ(chosen, ID_SELECT_DRIVER_FIRST + 1);
}

TEST_F(MenuHandleTest, PositionsOutsideTheMenuAndBarCommandsHaveNoPopup)
{
    CMenu menu = frame->GetMenu();
    EXPECT_TRUE(menu.GetSubMenu(2).IsNull()); // "&Record!"
    EXPECT_EQ(menu.GetMenuItemID(2), ID_RECORD);
    EXPECT_EQ(menu.GetMenuItemID(0), 0xFFFFFFFFu); // a popup
    EXPECT_EQ(menu.GetMenuItemID(99), 0xFFFFFFFFu);
    EXPECT_EQ(menu.GetMenuState(99, MF_BYPOSITION), 0xFFFFFFFFu);
}

using MenuUpdateTest = FrameworkTest;

TEST_F(MenuUpdateTest, OpeningAPopupRunsTheRulesOfItsItems)
{
    bool overlayMode = false;
    frame->MapUpdateRule(ID_OVERLAY, [&](CCmdUI* ui) {
        ui->Enable(overlayMode);
        ui->SetRadio(overlayMode);
    });
    frame->MapUpdateRule(ID_PREVIEW, [&](CCmdUI* ui) { ui->SetRadio(!overlayMode); });
    frame->MapUpdateRuleRange(ID_SELECT_DRIVER_FIRST, ID_SELECT_DRIVER_LAST,
                              [](CCmdUI* ui) { ui->SetCheck(ui->m_nID == 32801); });
    CMenu option = frame->GetMenu().GetSubMenu(1);
    option.AppendMenu(MF_STRING, 32800, "a");
    option.AppendMenu(MF_STRING, 32801, "b");

    auto* popup = qobject_cast<QMenu*>(option.GetSafeHmenu());
    emit popup->aboutToShow();

    QAction* overlay = option.FindCommand(ID_OVERLAY);
    QAction* preview = option.FindCommand(ID_PREVIEW);
    EXPECT_FALSE(overlay->isEnabled());
    EXPECT_FALSE(overlay->isChecked());
    EXPECT_TRUE(preview->isEnabled());
    EXPECT_TRUE(preview->isChecked());
    ASSERT_NE(preview->actionGroup(), nullptr); // drawn as a radio mark
    EXPECT_TRUE(preview->actionGroup()->isExclusive());
    EXPECT_FALSE(option.FindCommand(32800)->isChecked());
    EXPECT_TRUE(option.FindCommand(32801)->isChecked());
    // An item without a mark is drawn without any: no empty check box or radio circle.
    EXPECT_FALSE(overlay->isCheckable());
    EXPECT_FALSE(option.FindCommand(32800)->isCheckable());
    EXPECT_TRUE(option.FindCommand(32801)->isCheckable());

    // Marks follow the rules each time the popup opens.
    overlayMode = true;
    emit popup->aboutToShow();
    EXPECT_TRUE(overlay->isCheckable() && overlay->isChecked());
    EXPECT_FALSE(preview->isCheckable() || preview->isChecked());
    EXPECT_TRUE(option.FindCommand(ID_AUDIO_FORMAT)->isEnabled()); // no rule: unchanged
}

TEST_F(MenuUpdateTest, DisplayStillKeepsItsResourceCheckUntilItsRuleSaysOtherwise)
{
    QAction* still = frame->GetMenu().FindCommand(ID_DISPLAY_STILL);
    auto* capture = qobject_cast<QMenu*>(frame->GetMenu().GetSubMenu(5).GetSafeHmenu());
    emit capture->aboutToShow();
    EXPECT_TRUE(still->isChecked());
    int check = 0;
    frame->MapUpdateRule(ID_DISPLAY_STILL, [&](CCmdUI* ui) { ui->SetCheck(check); });
    emit capture->aboutToShow();
    EXPECT_FALSE(still->isChecked());
    EXPECT_FALSE(still->isCheckable()) << "no empty check box";
    check = 1;
    emit capture->aboutToShow();
    EXPECT_TRUE(still->isCheckable() && still->isChecked());
}

TEST_F(MenuUpdateTest, MenuBarCommandsFollowTheirRulesAtIdle)
{
    bool recording = false;
    frame->MapUpdateRule(ID_RECORD, [&](CCmdUI* ui) { ui->Enable(!recording); });
    frame->MapUpdateRule(ID_STOP_RECORDING, [&](CCmdUI* ui) { ui->Enable(recording); });
    CMenu menu = frame->GetMenu();
    frame->OnUpdateIdle();
    EXPECT_TRUE(menu.FindCommand(ID_RECORD)->isEnabled());
    EXPECT_FALSE(menu.FindCommand(ID_STOP_RECORDING)->isEnabled());
    recording = true;
    frame->OnUpdateIdle();
    EXPECT_FALSE(menu.FindCommand(ID_RECORD)->isEnabled());
    EXPECT_TRUE(menu.FindCommand(ID_STOP_RECORDING)->isEnabled());
}

using MenuPromptTest = FrameworkTest;

TEST_F(MenuPromptTest, HighlightedItemShowsItsPromptAndClosingRestoresReady)
{
    CMenu menu = frame->GetMenu();
    menu.FindCommand(ID_CAPTURE_FILE_SETTING)->hover();
    EXPECT_EQ(PaneText(0), "Specify capture file");
    menu.FindCommand(ID_RECORD)->hover();
    EXPECT_EQ(PaneText(0), "Starting recording");
    menu.GetSubMenu(1).AppendMenu(MF_STRING, 32805, "driver");
    menu.FindCommand(32805)->hover();
    EXPECT_EQ(PaneText(0), "Selects capture device.");

    auto* file = qobject_cast<QMenu*>(menu.GetSubMenu(0).GetSafeHmenu());
    file->menuAction()->hover(); // a popup title has no prompt
    EXPECT_EQ(PaneText(0), "");
    emit file->aboutToHide();
    EXPECT_EQ(PaneText(0), "Ready");
}

// The pointer on an item of an open popup highlights it, disabled or not, and its prompt
// shows; a disabled item still cannot be chosen.
TEST_F(MenuPromptTest, PointerOnADisabledItemShowsItsPromptButChoosesNothing)
{
    bool chosen = false;
    frame->MapCommand(ID_SAVE_MOVIE, [&] { chosen = true; });
    frame->MapUpdateRule(ID_SAVE_MOVIE, [](CCmdUI* ui) { ui->Enable(FALSE); });
    frame->show();
    auto* file = qobject_cast<QMenu*>(frame->GetMenu().GetSubMenu(0).GetSafeHmenu());
    file->popup(frame->mapToGlobal(QPoint(0, 0)));
    QAction* movie = frame->GetMenu().FindCommand(ID_SAVE_MOVIE);
    ASSERT_FALSE(movie->isEnabled());
    const QPoint inside = file->actionGeometry(movie).center();
    QMouseEvent move(QEvent::MouseMove, QPointF(inside), QPointF(file->mapToGlobal(inside)),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(file, &move);
    EXPECT_EQ(file->activeAction(), movie);
    EXPECT_EQ(PaneText(0), "Name captured movie and save");
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent click(type, QPointF(inside), QPointF(file->mapToGlobal(inside)), Qt::LeftButton,
                          type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                          Qt::NoModifier);
        QCoreApplication::sendEvent(file, &click);
    }
    QCoreApplication::processEvents();
    EXPECT_FALSE(chosen);
    file->close();

    // A disabled command on the menu bar itself shows its prompt under the pointer too.
    frame->MapUpdateRule(ID_RECORD, [](CCmdUI* ui) { ui->Enable(FALSE); });
    frame->OnUpdateIdle();
    auto* bar = qobject_cast<QMenuBar*>(frame->GetMenu().GetSafeHmenu());
    QAction* record = frame->GetMenu().FindCommand(ID_RECORD);
    ASSERT_FALSE(record->isEnabled());
    const QPoint onRecord = bar->actionGeometry(record).center();
    QMouseEvent barMove(QEvent::MouseMove, QPointF(onRecord), QPointF(bar->mapToGlobal(onRecord)),
                        Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(bar, &barMove);
    EXPECT_EQ(PaneText(0), "Starting recording");
}

TEST(MenuPromptLanguageTest, JapanesePrompts)
{
    ScopedLanguage japanese(res::Language::Japanese);
    TestApp app;
    app.AddDocTemplate(
        CSingleDocTemplate::Create<TestDocument, TestFrame, TestView>(IDR_MAINFRAME));
    ASSERT_NE(app.GetDocTemplate()->OpenDocumentFile(nullptr, FALSE), nullptr);
    auto* frame = static_cast<TestFrame*>(app.GetMainWnd());
    frame->GetMenu().FindCommand(ID_VIEW_STATUS_BAR)->hover();
    EXPECT_EQ(frame->statusBar.GetPaneText(0), "ｽﾃｰﾀｽ ﾊﾞｰの表示/非表示");
    frame->OnMenuClosed();
    EXPECT_EQ(frame->statusBar.GetPaneText(0), "ﾚﾃﾞｨ");
}

} // namespace
} // namespace vexol::test
