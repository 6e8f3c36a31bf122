// The frame's status bar: the five panes, the key indicators where the platform tells
// the key state, status texts in pane 0, and frame creation failures.
#include "FrameworkTestSupport.h"

#include "platform/framework/CommandIds.h"
#include "platform/framework/LockKeys.h"

#include <map>

namespace vexol::test {
namespace {

using platform::framework::LockKey;

class StatusBarTest : public FrameworkTest
{
protected:
    void TearDown() override { platform::framework::SetLockKeyReader({}); }
};

TEST_F(StatusBarTest, IndicatorShowsItsTextOnlyWhileTheKeyIsKnownToBeOn)
{
    std::map<LockKey, std::optional<bool>> states;
    platform::framework::SetLockKeyReader([&](LockKey key) { return states[key]; });

    const struct
    {
        std::optional<bool> kana, caps, num, scroll;
        std::vector<std::string> panes; // panes 1 to 4
    } cases[] = {
        {true, true, true, true, {"KANA", "CAP", "NUM", "SCRL"}},
        {false, true, false, std::nullopt, {"", "CAP", "", ""}},
        {std::nullopt, std::nullopt, true, true, {"", "", "NUM", "SCRL"}},
        {false, false, false, false, {"", "", "", ""}},
    };
    for (const auto& c : cases) {
        states = {{LockKey::Kana, c.kana},
                  {LockKey::Caps, c.caps},
                  {LockKey::Num, c.num},
                  {LockKey::Scroll, c.scroll}};
        frame->OnUpdateIdle();
        EXPECT_EQ((std::vector<std::string>{PaneText(1), PaneText(2), PaneText(3), PaneText(4)}),
                  c.panes);
    }
}

TEST_F(StatusBarTest, FirstIdleShowsReadyButKeepsAnEarlierText)
{
    frame->OnUpdateIdle();
    EXPECT_EQ(PaneText(0), "Ready");

    TestApp otherApp; // a second frame whose pane 0 is set before its first idle
    otherApp.AddDocTemplate(
        CSingleDocTemplate::Create<TestDocument, TestFrame, TestView>(IDR_MAINFRAME));
    ASSERT_NE(otherApp.GetDocTemplate()->OpenDocumentFile(nullptr, FALSE), nullptr);
    auto* other = static_cast<TestFrame*>(otherApp.GetDocTemplate()->GetFrame());
    other->SetStatusText("Now recording. (Press the Esc key to stop)");
    other->OnUpdateIdle();
    EXPECT_EQ(other->statusBar.GetPaneText(0), "Now recording. (Press the Esc key to stop)");
}

TEST_F(StatusBarTest, StatusTextGoesToPaneZeroAndNullClearsIt)
{
    frame->SetStatusText("Recording finished.");
    EXPECT_EQ(PaneText(0), "Recording finished.");
    frame->SetStatusText(nullptr);
    EXPECT_EQ(PaneText(0), "");
}

TEST_F(StatusBarTest, IndicatorWithoutStringFailsAndKeepsThePanes)
{
    const UINT indicators[] = {ID_SEPARATOR, 59140}; // 59140 has no string
    EXPECT_FALSE(frame->statusBar.SetIndicators(indicators, 2));
    EXPECT_EQ(frame->statusBar.GetCount(), 5);
}

TEST(FrameCreationTest, FailedCreationLeavesNoFrameAndNoDocument)
{
    ScopedLanguage english(res::Language::English);
    TestFrame::failCreation = true;
    TestApp app;
    app.AddDocTemplate(
        CSingleDocTemplate::Create<TestDocument, TestFrame, TestView>(IDR_MAINFRAME));
    CCommandLineInfo info;
    EXPECT_FALSE(app.ProcessShellCommand(info));
    TestFrame::failCreation = false;
    EXPECT_EQ(app.GetMainWnd(), nullptr);
    EXPECT_EQ(app.GetDocTemplate()->GetFrame(), nullptr);
    EXPECT_EQ(app.GetDocTemplate()->GetDocument(), nullptr);
}

} // namespace
} // namespace vexol::test
