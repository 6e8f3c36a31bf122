// The size and parameter dialogs as built in each language: captions, texts with their
// mnemonics leading to the right fields, and the layout of the language's template.
#include "CommandTestSupport.h"

#include "res/DialogTemplate.h"

#include <QAbstractButton>
#include <QLabel>
#include <array>

namespace vexol::test {
namespace {

namespace fw = vexol::framework;

struct TemplateCase
{
    const char* name;
    res::Language language;
    UINT templateId;
    const char* caption;
    // A label's text and the control its mnemonic focuses.
    std::vector<std::pair<const char*, int>> labels;
    std::vector<std::pair<int, const char*>> buttons; // control and text
    std::vector<std::array<int, 3>> positions;        // control, x and y in dialog units
};

class DialogTemplateTest : public ::testing::TestWithParam<TemplateCase>
{
protected:
    ~DialogTemplateTest() override { CDialog::SetModalAnswer(GetParam().templateId, {}); }
};

TEST_P(DialogTemplateTest, BuildsTheLanguagesTextsAndLayout)
{
    const TemplateCase& c = GetParam();
    ScopedLanguage language(c.language);
    const res::DialogTemplate* tmpl = res::FindDialogTemplate(c.templateId, c.language);
    ASSERT_NE(tmpl, nullptr);
    CDialog dialog(c.templateId);
    CDialog::SetModalAnswer(c.templateId, [&](CDialog& shown) {
        EXPECT_EQ(shown.windowTitle().toStdString(), c.caption);
        const SIZE base = fw::DialogBaseUnits(shown.font());
        EXPECT_EQ(shown.width(), fw::DialogUnitsToPixelsX(tmpl->cx, base));
        for (const auto& [id, x, y] : c.positions) {
            QWidget* widget = shown.GetDlgItem(id);
            if (!widget) {
                ADD_FAILURE() << "no control " << id;
                continue;
            }
            EXPECT_EQ(widget->pos(),
                      QPoint(fw::DialogUnitsToPixelsX(x, base), fw::DialogUnitsToPixelsY(y, base)))
                << id;
        }
        const QList<QLabel*> labels = shown.findChildren<QLabel*>();
        for (const auto& [text, buddy] : c.labels) {
            const auto found = std::find_if(labels.begin(), labels.end(), [&](QLabel* label) {
                return label->text().toStdString() == text;
            });
            if (found == labels.end()) {
                ADD_FAILURE() << "no label " << text;
                continue;
            }
            EXPECT_EQ((*found)->buddy(), shown.GetDlgItem(buddy)) << text;
        }
        for (const auto& [id, text] : c.buttons) {
            auto* button = qobject_cast<QAbstractButton*>(shown.GetDlgItem(id));
            EXPECT_EQ(button ? button->text().toStdString() : std::string(), text) << id;
        }
        return IDCANCEL;
    });
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
}

INSTANTIATE_TEST_SUITE_P(
    Dialogs, DialogTemplateTest,
    ::testing::Values(TemplateCase{"SizeEnglish",
                                   res::Language::English,
                                   IDD_FILE_SIZE,
                                   "Capture file size setting",
                                   {{"Available disk space(&F)", IDC_AVAILABLE_SIZE},
                                    {"C&apture file size", IDC_FILE_SIZE}},
                                   {{IDOK, "OK"}, {IDCANCEL, "Cancel"}},
                                   {{IDC_AVAILABLE_SIZE, 97, 73}, {IDC_FILE_SIZE, 97, 93}}},
                      TemplateCase{"SizeJapanese",
                                   res::Language::Japanese,
                                   IDD_FILE_SIZE,
                                   "ｷｬﾌﾟﾁｬﾌｧｲﾙのｻｲｽﾞ設定",
                                   {{"空きﾃﾞｨｽｸ容量(&F)", IDC_AVAILABLE_SIZE},
                                    {"ｷｬﾌﾟﾁｬﾌｧｲﾙｻｲｽﾞ(&A)", IDC_FILE_SIZE}},
                                   {{IDOK, "OK"}, {IDCANCEL, "ｷｬﾝｾﾙ"}},
                                   {{IDC_AVAILABLE_SIZE, 97, 73}, {IDC_FILE_SIZE, 97, 93}}},
                      TemplateCase{"ParametersEnglish",
                                   res::Language::English,
                                   IDD_PARAMETERS,
                                   "Various Parameter Settings",
                                   {{"Number of &frames per second", IDC_FRAMES_PER_SECOND},
                                    {"&Second", IDC_TIME_LIMIT}},
                                   {{IDC_LIMIT_ENABLED, "Limit capture tim&e"},
                                    {IDC_CAPTURE_AUDIO, "&Capture audio"},
                                    {IDCANCEL, "Cancel"}},
                                   {{IDC_FRAMES_PER_SECOND, 108, 7},
                                    {IDC_TIME_LIMIT, 43, 40},
                                    {IDC_TIME_LIMIT_UNIT, 82, 43},
                                    {IDC_CAPTURE_AUDIO, 7, 55}}},
                      TemplateCase{"ParametersJapanese",
                                   res::Language::Japanese,
                                   IDD_PARAMETERS,
                                   "各種ﾊﾟﾗﾒﾀの設定",
                                   {{"1秒当たりのﾌﾚｰﾑ数(&F)", IDC_FRAMES_PER_SECOND},
                                    {"秒(&S)", IDC_TIME_LIMIT}},
                                   {{IDC_LIMIT_ENABLED, "ｷｬﾌﾟﾁｬの制限時間(&E)"},
                                    {IDC_CAPTURE_AUDIO, "ｵｰﾃﾞｨｵｷｬﾌﾟﾁｬ(&C)"},
                                    {IDCANCEL, "ｷｬﾝｾﾙ"}},
                                   {{IDC_FRAMES_PER_SECOND, 96, 7},
                                    {IDC_TIME_LIMIT, 43, 40},
                                    {IDC_TIME_LIMIT_UNIT, 82, 43},
                                    {IDC_CAPTURE_AUDIO, 7, 55}}}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace vexol::test
