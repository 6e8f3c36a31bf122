// String tables, LoadString and the choice of language.
#include "platform/framework/Resources.h"
#include "platform/framework/StringTable.h"
#include "support/MessageBoxAnswers.h"

#include <QStringDecoder>

#include <algorithm>
#include <cstdlib>
#include <gtest/gtest.h>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace {

using vexol::res::Language;
using vexol::res::StringTableEntry;
using vexol::test::ScopedLanguage;

std::string Load(UINT id)
{
    std::string text = "untouched";
    EXPECT_TRUE(LoadString(id, text)) << "id " << id;
    return text;
}

struct TextCase
{
    UINT id;
    const char* english;
    const char* japanese;
};

const TextCase kTexts[] = {
    {10002, "Capture connection failed.", "ｷｬﾌﾟﾁｬの接続に失敗しました。"},
    {10003, "Out of memory.  The process was not properly terminated.",
     "ﾒﾓﾘ不足が発生しました。処理は正常に終了しませんでした。"},
    {10004, "Invalid value entered.  Please reenter.",
     "入力された値は無効です。再入力してください。"},
    {10007, "連続静止画保存ﾌｧｲﾙ名を確定するために、1度ｷｬﾌﾟﾁｬ静止画を保存してください。",
     "連続静止画保存ﾌｧｲﾙ名を確定するために、一度ｷｬﾌﾟﾁｬ静止画を保存してください。"},
    {11003, "Not enough disk space.", "空きﾃﾞｨｽｸ容量が不足しています。"},
    {12000, "#####Resource ID for [Yes], [No] answers are after 12001. #####",
     "#####[はい][いいえ]応答ﾒｯｾｰｼﾞのﾘｿｰｽIDは12001以降です。#####"},
    {20000, "(Unknown)", "（不明）"},
    {20004, "AVI file(*avi)|*.avi||", "AVIﾌｧｲﾙ(*avi)|*.avi||"},
    {20012, "Now recording. (Press the Esc key to stop)",
     "録画中です。（停止する場合、Escｷｰを押してください）"},
    {20014, "Capture end.", "キャプチャ終了"},
    {57344, "Video capture software", "ﾋﾞﾃﾞｵｷｬﾌﾟﾁｬｿﾌﾄ"},
    {57345, "Ready", "ﾚﾃﾞｨ"},
    {59142, "KANA", "ｶﾅ"},
    {59137, "CAP", "CAP"},
    {61443, "無題", "無題"},
    {10008, "Failed saving the captured movie.", "ｷｬﾌﾟﾁｬ動画の保存に失敗しました。"},
    {61712, "Please enter an integer.", "整数を入力してください。"},
    {61714, "Please enter an integer between %1 and %2.",
     "%1 から %2 までの整数を入力してください。"},
    {128, "Video capture software\n\nVexol\n\n\nVexol.Document\nVexol Document",
     "ﾋﾞﾃﾞｵｷｬﾌﾟﾁｬｿﾌﾄ\n\nVexol\n\n\nVexol.Document\nVexol Document"},
    {32777, "Specifies audio format for capture\nAudio Format",
     "ｷｬﾌﾟﾁｬ時のｵｰﾃﾞｨｵ形式を指定します。"},
    {32809, "Selects capture device.\nSpecify capture device",
     "ｷｬﾌﾟﾁｬﾃﾞﾊﾞｲｽを選択します。\nｷｬﾌﾟﾁｬﾃﾞﾊﾞｲｽ選択"},
    {59393, "Show/hide status bar\nToggle Status Bar", "ｽﾃｰﾀｽ ﾊﾞｰの表示/非表示\nｽﾃｰﾀｽ ﾊﾞｰ"},
};

TEST(LoadString, GivesTheExactTextInEachLanguage)
{
    for (const TextCase& c : kTexts) {
        {
            ScopedLanguage english(Language::English);
            EXPECT_EQ(Load(c.id), c.english) << c.id;
        }
        ScopedLanguage japanese(Language::Japanese);
        EXPECT_EQ(Load(c.id), c.japanese) << c.id;
    }
}

TEST(LoadString, MissingIdGivesFalseAndEmptyText)
{
    for (Language language : {Language::English, Language::Japanese}) {
        ScopedLanguage scoped(language);
        for (UINT id : {0u, 20008u, 10009u, 32773u, 0xFFFFFFFFu}) {
            std::string text = "stale";
            EXPECT_FALSE(LoadString(id, text)) << id;
            EXPECT_TRUE(text.empty()) << id;
        }
    }
}

// Every ID the application loads, in both tables.
std::vector<UINT> RequiredIds()
{
    std::vector<UINT> ids = {128,   10000, 10001, 10002, 10003, 10004, 10005, 10006, 10007, 10008,
                             11000, 11003, 12000, 32771, 32772, 32774, 32775, 32776, 32777, 32778,
                             32779, 32780, 32783, 32784, 32785, 32786, 32787, 32790, 32791, 32793,
                             32794, 32795, 32810, 32811, 57344, 57345, 57664, 57665, 57667, 59137,
                             59138, 59139, 59142, 59393, 61443, 61712, 61714, 61720};
    for (UINT id = 20000; id <= 20014; ++id) {
        if (id != 20008) {
            ids.push_back(id);
        }
    }
    for (UINT id = 32800; id <= 32809; ++id) {
        ids.push_back(id);
    }
    return ids;
}

std::set<UINT> IdsOf(std::span<const StringTableEntry> table)
{
    std::set<UINT> ids;
    for (const StringTableEntry& entry : table) {
        ids.insert(entry.id);
    }
    return ids;
}

const char* TextOf(std::span<const StringTableEntry> table, UINT id)
{
    for (const StringTableEntry& entry : table) {
        if (entry.id == id) {
            return entry.text;
        }
    }
    return nullptr;
}

TEST(StringTables, HoldEveryRequiredIdAndNothingElse)
{
    const std::vector<UINT> required = RequiredIds();
    const std::set<UINT> expected(required.begin(), required.end());
    EXPECT_EQ(IdsOf(vexol::res::EnglishStrings()), expected);
    EXPECT_EQ(IdsOf(vexol::res::JapaneseStrings()), expected);
}

TEST(StringTables, AreSortedWithoutDuplicates)
{
    for (auto table : {vexol::res::EnglishStrings(), vexol::res::JapaneseStrings()}) {
        EXPECT_TRUE(std::adjacent_find(table.begin(), table.end(), [](auto& a, auto& b) {
                        return a.id >= b.id;
                    }) == table.end());
    }
}

// A text identical in both tables is a copy-and-paste slip unless it is one of these.
TEST(StringTables, TranslateEveryTextExceptTheSharedOnes)
{
    const std::set<UINT> shared = {20001, 20009, 20010, 20011, 32811, 59137, 59138, 59139, 61443};
    for (const StringTableEntry& entry : vexol::res::EnglishStrings()) {
        const char* japanese = TextOf(vexol::res::JapaneseStrings(), entry.id);
        ASSERT_NE(japanese, nullptr) << entry.id;
        if (shared.count(entry.id)) {
            EXPECT_STREQ(entry.text, japanese) << entry.id;
        } else {
            EXPECT_STRNE(entry.text, japanese) << entry.id;
        }
    }
}

TEST(StringTables, TextsAreValidUtf8AndMessagesFitTheirBuffer)
{
    for (auto table : {vexol::res::EnglishStrings(), vexol::res::JapaneseStrings()}) {
        for (const StringTableEntry& entry : table) {
            QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
            const QString decoded = decoder(QByteArray(entry.text));
            EXPECT_FALSE(decoder.hasError()) << entry.id;
            if (entry.id >= 10000 && entry.id <= 12999) {
                EXPECT_LE(std::string(entry.text).size(), 255u) << entry.id;
            }
        }
    }
}

TEST(StringTables, PromptStringsCarryAShortNameExceptJapaneseAudioFormat)
{
    for (Language language : {Language::English, Language::Japanese}) {
        auto table = language == Language::English ? vexol::res::EnglishStrings()
                                                   : vexol::res::JapaneseStrings();
        for (const StringTableEntry& entry : table) {
            const bool prompt = (entry.id >= 32771 && entry.id <= 32811) || entry.id == 57664 ||
                                entry.id == 57665 || entry.id == 57667 || entry.id == 59393;
            if (!prompt) {
                continue;
            }
            const std::string text = entry.text;
            const bool expectShortName = !(language == Language::Japanese && entry.id == 32777);
            const std::size_t split = text.find('\n');
            EXPECT_EQ(split != std::string::npos, expectShortName) << entry.id;
            if (split != std::string::npos) {
                EXPECT_GT(split, 0u) << entry.id;
                EXPECT_LT(split + 1, text.size()) << entry.id;
                EXPECT_EQ(text.find('\n', split + 1), std::string::npos) << entry.id;
            }
        }
    }
}

// Sets LC_ALL, LC_MESSAGES and LANG (nullopt: unset) and puts the old values back.
class ScopedLocaleEnvironment
{
public:
    using Value = std::optional<std::string>;
    ScopedLocaleEnvironment(Value lcAll, Value lcMessages, Value lang)
    {
        const Value values[3] = {lcAll, lcMessages, lang};
        for (int i = 0; i < 3; ++i) {
            const char* old = std::getenv(kNames[i]);
            m_saved[i] = old ? Value(old) : std::nullopt;
            Apply(kNames[i], values[i]);
        }
    }
    ~ScopedLocaleEnvironment()
    {
        for (int i = 0; i < 3; ++i) {
            Apply(kNames[i], m_saved[i]);
        }
    }

private:
    static void Apply(const char* name, const Value& value)
    {
        value ? ::setenv(name, value->c_str(), 1) : ::unsetenv(name);
    }
    static constexpr const char* kNames[3] = {"LC_ALL", "LC_MESSAGES", "LANG"};
    Value m_saved[3];
};

TEST(UserLanguage, FollowsTheFirstSetLocaleVariable)
{
    using std::nullopt;
    const struct
    {
        std::optional<std::string> lcAll, lcMessages, lang;
        Language expected;
    } cases[] = {
        {nullopt, nullopt, nullopt, Language::English},
        {nullopt, nullopt, "ja_JP.UTF-8", Language::Japanese},
        {nullopt, nullopt, "ja", Language::Japanese},
        {nullopt, nullopt, "ja_JP", Language::Japanese},
        {nullopt, nullopt, "ja_JP.eucJP", Language::Japanese},
        {nullopt, nullopt, "en_US.UTF-8", Language::English},
        {nullopt, nullopt, "C", Language::English},
        {nullopt, nullopt, "C.UTF-8", Language::English},
        {nullopt, nullopt, "jam_JM", Language::English}, // another language starting "ja"
        {"en_US.UTF-8", "ja_JP.UTF-8", "ja_JP.UTF-8", Language::English},
        {"ja_JP.UTF-8", "en_US.UTF-8", "en_US.UTF-8", Language::Japanese},
        {nullopt, "ja_JP.UTF-8", "en_US.UTF-8", Language::Japanese},
        {nullopt, "C", "ja_JP.UTF-8", Language::English},
        {"", "ja_JP.UTF-8", "C", Language::Japanese}, // empty values are skipped
        {"", "", "ja_JP.UTF-8", Language::Japanese},
        {"", "", "", Language::English},
    };
    vexol::res::ResetLanguage();
    for (const auto& c : cases) {
        ScopedLocaleEnvironment environment(c.lcAll, c.lcMessages, c.lang);
        EXPECT_EQ(vexol::res::UserLanguage(), c.expected)
            << c.lcAll.value_or("<unset>") << " / " << c.lcMessages.value_or("<unset>") << " / "
            << c.lang.value_or("<unset>");
    }
}

TEST(UserLanguage, SetLanguageOverridesTheLocaleUntilReset)
{
    ScopedLocaleEnvironment environment(std::nullopt, std::nullopt, "ja_JP.UTF-8");
    vexol::res::SetLanguage(Language::English);
    EXPECT_EQ(vexol::res::UserLanguage(), Language::English);
    EXPECT_EQ(Load(57345), "Ready");
    vexol::res::ResetLanguage();
    EXPECT_EQ(vexol::res::UserLanguage(), Language::Japanese);
    EXPECT_EQ(Load(57345), "ﾚﾃﾞｨ");
    vexol::res::SetLanguage(Language::Japanese);
    ::setenv("LANG", "en_US.UTF-8", 1);
    EXPECT_EQ(vexol::res::UserLanguage(), Language::Japanese);
    vexol::res::ResetLanguage();
}

} // namespace
