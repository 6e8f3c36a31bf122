// Command routing through view, document, frame and application; update rules that
// gate commands from menus, the accelerator and posts; posted-command order; the
// standard commands of the frame and the application; the caption rule.
#include "FrameworkTestSupport.h"

#include "platform/framework/CommandIds.h"

#include <QAction>
#include <QMenu>
#include <QShortcut>

namespace vexol::test {
namespace {

constexpr UINT kCommand = ID_RECORD;

using RoutingOrderTest = FrameworkTest;

struct RoutingCase
{
    bool view, document, frame, app;
    const char* expected; // the level that handles the command, or "" for none
};

TEST_F(RoutingOrderTest, FirstLevelWithAHandlerWinsInViewDocumentFrameAppOrder)
{
    const RoutingCase cases[] = {
        {true, true, true, true, "view"},    {false, true, true, true, "document"},
        {false, false, true, true, "frame"}, {false, false, false, true, "app"},
        {true, false, false, true, "view"},  {false, false, false, false, ""},
    };
    UINT id = 40000; // a fresh command ID per case, so earlier maps do not interfere
    for (const RoutingCase& c : cases) {
        ++id;
        std::string handledBy;
        if (c.view) {
            view->MapCommand(id, [&] { handledBy += "view"; });
        }
        if (c.document) {
            document->MapCommand(id, [&] { handledBy += "document"; });
        }
        if (c.frame) {
            frame->MapCommand(id, [&] { handledBy += "frame"; });
        }
        if (c.app) {
            app->MapCommand(id, [&] { handledBy += "app"; });
        }
        const BOOL handled = frame->SendCommand(id);
        EXPECT_EQ(handledBy, c.expected) << "command " << id;
        EXPECT_EQ(handled, *c.expected ? TRUE : FALSE) << "command " << id;
    }
}

TEST_F(RoutingOrderTest, RangeHandlerReceivesTheCommandIdAndOnlyItsRange)
{
    std::vector<UINT> received;
    frame->MapCommandRange(ID_SELECT_DRIVER_FIRST, ID_SELECT_DRIVER_LAST,
                           [&](UINT id) { received.push_back(id); });
    frame->SendCommand(32803);
    frame->SendCommand(ID_SELECT_DRIVER_FIRST);
    frame->SendCommand(ID_SELECT_DRIVER_LAST);
    EXPECT_FALSE(frame->SendCommand(ID_SELECT_DRIVER_LAST + 1));
    EXPECT_EQ(received, (std::vector<UINT>{32803, 32800, 32809}));
}

using GatingTest = FrameworkTest;

TEST_F(GatingTest, UpdateRuleOnAnyLevelDecidesWhetherTheHandlerRuns)
{
    int runs = 0;
    bool enabled = false;
    frame->MapCommand(kCommand, [&] { ++runs; });
    document->MapUpdateRule(kCommand, [&](CCmdUI* ui) { ui->Enable(enabled); });

    EXPECT_FALSE(frame->SendCommand(kCommand));
    EXPECT_EQ(runs, 0);
    enabled = true;
    EXPECT_TRUE(frame->SendCommand(kCommand));
    EXPECT_EQ(runs, 1);
}

TEST_F(GatingTest, CommandWithoutUpdateRulePasses)
{
    int runs = 0;
    app->MapCommand(ID_SAVE_STILL, [&] { ++runs; });
    EXPECT_TRUE(frame->SendCommand(ID_SAVE_STILL));
    EXPECT_EQ(runs, 1);
}

TEST_F(GatingTest, ChosenMenuItemIsDroppedWhileDisabled)
{
    int runs = 0;
    bool enabled = false;
    frame->MapCommand(ID_CAPTURE_FILE_SETTING, [&] { ++runs; });
    frame->MapUpdateRule(ID_CAPTURE_FILE_SETTING, [&](CCmdUI* ui) { ui->Enable(enabled); });
    QAction* item = frame->GetMenu().FindCommand(ID_CAPTURE_FILE_SETTING);
    ASSERT_NE(item, nullptr);

    item->trigger();
    EXPECT_EQ(runs, 0);
    enabled = true;
    item->trigger();
    EXPECT_EQ(runs, 1);
}

TEST_F(GatingTest, AcceleratorCtrlTSendsDisplayStillThroughItsRule)
{
    QShortcut* ctrlT = nullptr;
    for (QShortcut* shortcut : frame->findChildren<QShortcut*>()) {
        if (shortcut->key() == QKeySequence(Qt::CTRL | Qt::Key_T)) {
            ctrlT = shortcut;
        }
    }
    ASSERT_NE(ctrlT, nullptr);
    EXPECT_EQ(ctrlT->context(), Qt::WindowShortcut);

    int runs = 0;
    bool enabled = false;
    frame->MapCommand(ID_DISPLAY_STILL, [&] { ++runs; });
    frame->MapUpdateRule(ID_DISPLAY_STILL, [&](CCmdUI* ui) { ui->Enable(enabled); });
    emit ctrlT->activated();
    EXPECT_EQ(runs, 0);
    enabled = true;
    emit ctrlT->activated();
    EXPECT_EQ(runs, 1);
}

using PostedCommandTest = FrameworkTest;

TEST_F(PostedCommandTest, PostsRunInOrderAfterTheCurrentHandlerReturns)
{
    std::vector<std::string> log;
    frame->MapCommand(ID_RECORD, [&] {
        log.push_back("record begins");
        frame->PostCommand(ID_SHOW_CAPTURE_FILE_NAME);
        frame->PostCommand(ID_PLACE_CAPTURE_WINDOW);
        log.push_back("record ends");
    });
    document->MapCommand(ID_SHOW_CAPTURE_FILE_NAME, [&] { log.push_back("32790"); });
    view->MapCommand(ID_PLACE_CAPTURE_WINDOW, [&] { log.push_back("32792"); });

    frame->SendCommand(ID_RECORD);
    EXPECT_EQ(log, (std::vector<std::string>{"record begins", "record ends"}));
    DeliverPostedEvents();
    EXPECT_EQ(log, (std::vector<std::string>{"record begins", "record ends", "32790", "32792"}));
}

TEST_F(PostedCommandTest, PostIsGatedWhenItArrives)
{
    int runs = 0;
    bool enabled = true;
    frame->MapCommand(ID_STOP_RECORDING, [&] { ++runs; });
    frame->MapUpdateRule(ID_STOP_RECORDING, [&](CCmdUI* ui) { ui->Enable(enabled); });
    frame->PostCommand(ID_STOP_RECORDING);
    enabled = false; // the state changes before the post is delivered
    DeliverPostedEvents();
    EXPECT_EQ(runs, 0);
}

using StandardCommandTest = FrameworkTest;

TEST_F(StandardCommandTest, StatusBarCommandTogglesTheBarAndItsRuleChecksIt)
{
    QAction* item = frame->GetMenu().FindCommand(ID_VIEW_STATUS_BAR);
    ASSERT_NE(item, nullptr);
    frame->UpdateMenuItems(CMenu(qobject_cast<QMenu*>(item->parent())));
    EXPECT_TRUE(frame->statusBar.IsVisible());
    EXPECT_TRUE(item->isChecked());

    frame->SendCommand(ID_VIEW_STATUS_BAR);
    frame->UpdateMenuItems(CMenu(qobject_cast<QMenu*>(item->parent())));
    EXPECT_FALSE(frame->statusBar.IsVisible());
    EXPECT_FALSE(item->isChecked());
}

TEST_F(StandardCommandTest, ExitClosesTheMainWindow)
{
    frame->ActivateFrame();
    ASSERT_TRUE(frame->isVisible());
    EXPECT_TRUE(frame->SendCommand(ID_APP_EXIT));
    EXPECT_FALSE(frame->isVisible());
}

using CaptionTest = FrameworkTest;

TEST_F(CaptionTest, CaptionIsWindowTitleDashDocumentTitle)
{
    EXPECT_EQ(frame->windowTitle().toStdString(), "Video capture software - 無題");
    document->SetPathName("C:\\cap\\capture.avi");
    EXPECT_EQ(document->GetTitle(), "capture.avi");
    EXPECT_EQ(frame->windowTitle().toStdString(), "Video capture software - capture.avi");
    document->SetTitle("");
    EXPECT_EQ(frame->windowTitle().toStdString(), "Video capture software");
}

TEST(CaptionLanguageTest, JapaneseCaptionUsesTheJapaneseWindowTitle)
{
    ScopedLanguage japanese(res::Language::Japanese);
    TestApp app;
    app.AddDocTemplate(
        CSingleDocTemplate::Create<TestDocument, TestFrame, TestView>(IDR_MAINFRAME));
    ASSERT_NE(app.GetDocTemplate()->OpenDocumentFile(nullptr, FALSE), nullptr);
    EXPECT_EQ(app.GetMainWnd()->windowTitle().toStdString(), "ﾋﾞﾃﾞｵｷｬﾌﾟﾁｬｿﾌﾄ - 無題");
}

} // namespace
} // namespace vexol::test
