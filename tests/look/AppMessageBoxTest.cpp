// AppMessageBox: style by ID range, identification line, insertions, override, failures.
#include "look/AppMessageBox.h"
#include "platform/WindowRegistry.h"
#include "platform/framework/FrameWnd.h"
#include "platform/framework/WinApp.h"
#include "support/MessageBoxAnswers.h"

#include <QApplication>
#include <QWidget>

#include <gtest/gtest.h>
#include <new>

namespace {

using vexol::res::Language;
using vexol::test::ScopedLanguage;
using vexol::test::ScopedMessageBoxAnswers;

// The published style values: buttons in the low four bits, icon in the next four.
constexpr UINT kOkStop = 16;           // MB_OK | MB_ICONHAND
constexpr UINT kOkExclamation = 48;    // MB_OK | MB_ICONEXCLAMATION
constexpr UINT kRetryCancelStop = 21;  // MB_RETRYCANCEL | MB_ICONHAND
constexpr UINT kYesNoExclamation = 52; // MB_YESNO | MB_ICONEXCLAMATION

TEST(AppMessageBox, ChoosesTheStyleByTheRangeOfTheStringId)
{
    const struct
    {
        DWORD code;
        UINT style;
    } cases[] = {
        {0, kOkStop},
        {42, kOkStop},
        {9999, kOkStop},
        {10000, kOkStop},
        {10002, kOkStop},
        {10006, kOkStop},
        {10007, kOkExclamation},
        {MakeMessageCode(0x0305, 10007), kOkExclamation},
        {10008, kOkStop},
        {10999, kOkStop},
        {11000, kRetryCancelStop},
        {MakeMessageCode(0x0401, 11003), kRetryCancelStop},
        {11999, kRetryCancelStop},
        {12000, kYesNoExclamation},
        {12001, kYesNoExclamation},
        {20012, kYesNoExclamation},
        {0xFFFF, kYesNoExclamation},
        // Only the low 16 bits count: a place of 0x2EE0 (12000) leaves 42 in its range.
        {MakeMessageCode(0x2EE0, 42), kOkStop},
        {MakeMessageCode(0xFFFF, 10007), kOkExclamation},
    };
    AppMessageBox box;
    EXPECT_EQ(box.styleOverride, -1);
    for (const auto& c : cases) {
        EXPECT_EQ(box.ChooseStyle(c.code), c.style) << "code 0x" << std::hex << c.code;
    }
}

class AppMessageBoxShow : public testing::Test
{
protected:
    ScopedLanguage m_english{Language::English};
    ScopedMessageBoxAnswers m_answers{IDOK};

    const vexol::platform::framework::MessageBoxRequest& OnlyRequest()
    {
        EXPECT_EQ(m_answers.requests.size(), 1u);
        return m_answers.requests.back();
    }
};

TEST_F(AppMessageBoxShow, BuildsIdentificationLineBodyAndStyle)
{
    const struct
    {
        DWORD code;
        const char* text;
        UINT style;
    } cases[] = {
        {MakeMessageCode(0x0101, 10002), "ID-10002-0101\nCapture connection failed.\n", kOkStop},
        {MakeMessageCode(0x0000, 10002), "ID-10002-0000\nCapture connection failed.\n", kOkStop},
        {MakeMessageCode(0xABCD, 10006), "ID-10006-ABCD\nFailed saving captured video.\n", kOkStop},
        {MakeMessageCode(0x0501, 10004), "ID-10004-0501\nInvalid value entered.  Please reenter.\n",
         kOkStop},
        {MakeMessageCode(0x0305, 10007),
         "ID-10007-"
         "0305\n連続静止画保存ﾌｧｲﾙ名を確定するために、1度ｷｬﾌﾟﾁｬ静止画を保存してください。\n",
         kOkExclamation},
        {MakeMessageCode(0x0401, 11003), "ID-11003-0401\nNot enough disk space.\n",
         kRetryCancelStop},
        // Missing texts: the identification line and an empty body.
        {42, "ID-00042-0000\n\n", kOkStop},
        {MakeMessageCode(0x0001, 12001), "ID-12001-0001\n\n", kYesNoExclamation},
        {0xFFFFFFFF, "ID-65535-FFFF\n\n", kYesNoExclamation},
    };
    for (const auto& c : cases) {
        m_answers.requests.clear();
        AppMessageBox box;
        EXPECT_EQ(box.Show(c.code), IDOK);
        const auto& request = OnlyRequest();
        EXPECT_EQ(request.text, c.text) << std::hex << c.code;
        EXPECT_EQ(request.style, c.style) << std::hex << c.code;
        EXPECT_EQ(request.caption, "Video capture software");
        EXPECT_EQ(request.helpId, 0x28101u);
    }
}

TEST_F(AppMessageBoxShow, UsesTheUserLanguageForTextAndCaption)
{
    ScopedLanguage japanese(Language::Japanese);
    AppMessageBox box;
    box.Show(MakeMessageCode(0x0101, 10002));
    const auto& request = OnlyRequest();
    EXPECT_EQ(request.text, "ID-10002-0101\nｷｬﾌﾟﾁｬの接続に失敗しました。\n");
    EXPECT_EQ(request.caption, "ﾋﾞﾃﾞｵｷｬﾌﾟﾁｬｿﾌﾄ");
}

TEST_F(AppMessageBoxShow, ReturnsTheAnswerOfTheBox)
{
    for (int answer : {IDOK, IDCANCEL, IDRETRY, IDYES, IDNO}) {
        m_answers.SetAnswer(answer);
        AppMessageBox box;
        EXPECT_EQ(box.Show(MakeMessageCode(0x0401, 11003)), answer);
    }
}

TEST_F(AppMessageBoxShow, OwnerIsTheMainWindowOrNone)
{
    {
        AppMessageBox box;
        box.Show(10002);
    }
    CWinApp app;
    auto* frame = new CFrameWnd;
    app.SetMainWnd(frame);
    {
        AppMessageBox box;
        box.Show(10002); // not shown, not active: the main window still owns the box
    }
    ASSERT_EQ(m_answers.requests.size(), 2u);
    EXPECT_EQ(m_answers.requests[0].owner, nullptr);
    EXPECT_EQ(WindowOfHandle(m_answers.requests[1].owner), frame);
    delete frame;
    EXPECT_EQ(WindowOfHandle(m_answers.requests[1].owner), nullptr);
}

TEST_F(AppMessageBoxShow, OverrideIsUsedForAnyIdAndResetAfterwards)
{
    const UINT forced = MB_OKCANCEL | MB_ICONQUESTION;
    for (DWORD code : {DWORD(10002), DWORD(10007), DWORD(11003), DWORD(12000), DWORD(42)}) {
        m_answers.requests.clear();
        AppMessageBox box;
        box.styleOverride = INT(forced);
        EXPECT_EQ(box.ChooseStyle(code), forced);
        box.Show(code);
        EXPECT_EQ(OnlyRequest().style, forced);
        EXPECT_EQ(box.styleOverride, -1);
        EXPECT_NE(box.ChooseStyle(code), forced);
    }
    // Override 0 is a style of its own (OK, no icon), not "unset".
    m_answers.requests.clear();
    AppMessageBox box;
    box.styleOverride = 0;
    box.Show(11003);
    EXPECT_EQ(OnlyRequest().style, 0u);
}

TEST_F(AppMessageBoxShow, OutOfMemoryShowsNothingReturnsZeroAndResetsOverride)
{
    vexol::platform::framework::SetMessageBoxHandler(
        [](const vexol::platform::framework::MessageBoxRequest&) -> int {
            throw std::bad_alloc();
        });
    AppMessageBox box;
    box.styleOverride = INT(MB_YESNO);
    EXPECT_EQ(box.Show(MakeMessageCode(0x0303, 10003)), 0);
    EXPECT_EQ(box.styleOverride, -1);
}

TEST_F(AppMessageBoxShow, InsertionsFillMarkersOfTheText)
{
    // 61714 is the one table text with markers; the Japanese one mixes them with
    // multi-byte characters ("%1 から %2 までの...").
    ScopedLanguage japanese(Language::Japanese);
    const struct
    {
        const char* insert1;
        const char* insert2;
        const char* text;
    } cases[] = {
        {"1", "10", "ID-61714-0000\n1 から 10 までの整数を入力してください。\n"},
        {nullptr, "9", "ID-61714-0000\n から 9 までの整数を入力してください。\n"},
        {nullptr, nullptr, "ID-61714-0000\n から  までの整数を入力してください。\n"},
    };
    for (const auto& c : cases) {
        m_answers.requests.clear();
        AppMessageBox box;
        box.Show(61714, c.insert1, c.insert2);
        EXPECT_EQ(OnlyRequest().text, c.text);
    }
}

TEST(ExpandMessageInsertions, FollowsTheInsertionRule)
{
    const struct
    {
        const char* text;
        const char* insert1;
        const char* insert2;
        const char* expected;
    } cases[] = {
        {"plain", "X", "Y", "plain"},
        {"a%1b%2c", "X", "Y", "aXbYc"},
        {"%2%1", "X", "Y", "YX"},
        {"%1", nullptr, "Y", ""},
        {"a%1b", "", nullptr, "ab"},
        {"%1%1", "ab", nullptr, "abab"},
        {"x%3y", "X", "Y", "x?y"},
        {"%9", nullptr, nullptr, "?"},
        {"%A%Z", nullptr, nullptr, "??"},
        {"%a%z", nullptr, nullptr, "%a%z"},
        {"%0", nullptr, nullptr, "%0"},
        {"100%", nullptr, nullptr, "100%"},
        {"%", nullptr, nullptr, "%"},
        {"% 1", "X", nullptr, "% 1"},
        {"%%1", "X", nullptr, "%X"},
        {"%%", nullptr, nullptr, "%%"},
        // Insertions are copied as they are, never expanded again.
        {"%1", "%2%3", "Y", "%2%3"},
        // Multi-byte characters pass through whole, next to markers too.
        {"ﾌｧｲﾙ%1を保存", "画像.bmp", nullptr, "ﾌｧｲﾙ画像.bmpを保存"},
        {"静止画%Q", nullptr, nullptr, "静止画?"},
        {"", "X", "Y", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ExpandMessageInsertions(c.text, c.insert1, c.insert2), c.expected) << c.text;
    }
}

} // namespace
