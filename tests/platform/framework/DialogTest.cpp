// Dialogs from templates: dialog units, the version dialog in both languages, data
// exchange with the integer and range messages, the modal answers for tests, and a
// real modal run driven through its controls.
#include "platform/framework/Dialog.h"
#include "platform/WindowRegistry.h"
#include "platform/framework/CommandIds.h"
#include "platform/framework/ControlId.h"
#include "platform/framework/DataExchange.h"
#include "platform/framework/DialogTemplate.h"
#include "res/ResourceIds.h"
#include "support/MessageBoxAnswers.h"

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

namespace vexol::test {
namespace {

namespace fw = vexol::platform::framework;

TEST(DialogUnitsTest, ConvertWithRoundingToNearest)
{
    const SIZE base{6, 13};
    const struct
    {
        int units, x, y;
    } cases[] = {
        {0, 0, 0},    {4, 6, 7},    {1, 2, 2},   {235, 353, 382},
        {55, 83, 89}, {-3, -5, -5}, {8, 12, 13}, {14, 21, 23},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(fw::DialogUnitsToPixelsX(c.units, base), c.x) << c.units;
        EXPECT_EQ(fw::DialogUnitsToPixelsY(c.units, base), c.y) << c.units;
    }
}

// Runs the dialog through the modal answer and hands it to `inspect`.
void WithAnsweredDialog(CDialog& dialog, const std::function<void(CDialog&)>& inspect)
{
    CDialog::SetModalAnswer(dialog.GetTemplateId(), [&](CDialog& shown) {
        inspect(shown);
        return IDOK;
    });
    EXPECT_EQ(dialog.DoModal(), IDOK);
    CDialog::SetModalAnswer(dialog.GetTemplateId(), {});
}

TEST(VersionDialogTemplateTest, ControlsFollowTheTemplateOfEachLanguage)
{
    for (const res::Language language : {res::Language::English, res::Language::Japanese}) {
        ScopedLanguage scoped(language);
        const res::DialogTemplate* tmpl = res::FindDialogTemplate(IDD_ABOUTBOX, language);
        ASSERT_NE(tmpl, nullptr);
        CDialog dialog(IDD_ABOUTBOX);
        WithAnsweredDialog(dialog, [&](CDialog& shown) {
            EXPECT_EQ(shown.windowTitle().toStdString(), tmpl->caption);
            const SIZE base = fw::DialogBaseUnits(shown.font());
            EXPECT_EQ(shown.width(), fw::DialogUnitsToPixelsX(235, base));
            EXPECT_EQ(shown.height(), fw::DialogUnitsToPixelsY(55, base));
            for (const res::DialogControlTemplate& control : tmpl->controls) {
                if (control.id == res::kNoControlId) {
                    continue;
                }
                QWidget* widget = shown.GetDlgItem(control.id);
                ASSERT_NE(widget, nullptr) << control.id;
                EXPECT_EQ(widget->geometry(), QRect(fw::DialogUnitsToPixelsX(control.x, base),
                                                    fw::DialogUnitsToPixelsY(control.y, base),
                                                    fw::DialogUnitsToPixelsX(control.cx, base),
                                                    fw::DialogUnitsToPixelsY(control.cy, base)))
                    << control.id;
            }
            auto* version = qobject_cast<QLabel*>(shown.GetDlgItem(IDC_VERSION_TEXT));
            ASSERT_NE(version, nullptr);
            EXPECT_EQ(version->text().toStdString(), language == res::Language::English
                                                         ? "Video capture software Version 1.2"
                                                         : "ﾋﾞﾃﾞｵｷｬﾌﾟﾁｬｿﾌﾄ Version 1.2");
            auto* ok = qobject_cast<QPushButton*>(shown.GetDlgItem(IDOK));
            ASSERT_NE(ok, nullptr);
            EXPECT_EQ(ok->text(), "OK");
            EXPECT_EQ(shown.focusWidget(), ok); // the first control that takes the focus
        });
    }
}

TEST(VersionDialogTemplateTest, EnterEndsWithOkAndEscWithCancel)
{
    ScopedLanguage english(res::Language::English);
    const struct
    {
        Qt::Key key;
        int result;
    } cases[] = {{Qt::Key_Return, IDOK}, {Qt::Key_Escape, IDCANCEL}};
    for (const auto& c : cases) {
        CDialog dialog(IDD_ABOUTBOX);
        CDialog::SetModalAnswer(IDD_ABOUTBOX, [&](CDialog& shown) {
            shown.GetDlgItem(IDC_COPYRIGHT_TEXT)->setFocus(); // no button has the focus
            QKeyEvent press(QEvent::KeyPress, c.key, Qt::NoModifier);
            QApplication::sendEvent(&shown, &press);
            return shown.GetEndResult();
        });
        EXPECT_EQ(dialog.DoModal(), c.result) << c.key;
        CDialog::SetModalAnswer(IDD_ABOUTBOX, {});
    }
}

TEST(DialogTemplateTest, MissingTemplateFailsDoModal)
{
    CDialog dialog(4242);
    EXPECT_EQ(dialog.DoModal(), -1);
}

TEST(IntegerParseTest, AcceptsOnlyADecimalIntegerInRange)
{
    const struct
    {
        const char* text;
        bool ok;
        int value;
    } cases[] = {
        {"12", true, 12},
        {"  -7 ", true, -7},
        {"+3", true, 3},
        {"0", true, 0},
        {"2147483647", true, INT32_MAX},
        {"-2147483648", true, INT32_MIN},
        {"2147483648", false, 0},
        {"99999999999999999999", false, 0},
        {"", false, 0},
        {" ", false, 0},
        {"abc", false, 0},
        {"12a", false, 0},
        {"1 2", false, 0},
        {"-", false, 0},
        {"1.5", false, 0},
        {"０", false, 0},
    };
    for (const auto& c : cases) {
        int value = -1;
        EXPECT_EQ(fw::ParseDialogInteger(c.text, value), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(value, c.value) << c.text;
        }
    }
}

// A dialog with two numbers and a check box, exchanged as the parameter dialog does.
constexpr int kRateEdit = 1004;
constexpr int kLimitEdit = 1006;
constexpr int kLimitCheck = 1005;

const res::DialogControlTemplate kNumberControls[] = {
    {res::ControlKind::Static, res::kNoControlId, "&Rate", 7, 7, 40, 10, 0, 0},
    {res::ControlKind::Edit, kRateEdit, "", 50, 7, 36, 12, res::ctl::Border | res::ctl::TabStop, 0},
    {res::ControlKind::Edit, kLimitEdit, "", 50, 25, 36, 12, res::ctl::Border | res::ctl::TabStop,
     0},
    {res::ControlKind::CheckBox, kLimitCheck, "&Limit", 7, 40, 60, 12, res::ctl::TabStop, 0},
    {res::ControlKind::PushButton, IDOK, "OK", 100, 7, 50, 14, res::ctl::TabStop, 0},
    {res::ControlKind::PushButton, IDCANCEL, "Cancel", 100, 25, 50, 14, res::ctl::TabStop, 0},
};
const res::DialogTemplate kNumberTemplate{
    9133,           "Numbers", "MS Sans Serif", 9, 160, 60, res::dlg::Modal | res::dlg::Caption,
    kNumberControls};

class NumberDialog : public CDialog
{
public:
    NumberDialog() : CDialog(&kNumberTemplate) {}
    int rate = 0;
    int limit = 0;
    int limitEnabled = 0;

protected:
    void DoDataExchange(CDataExchange* pDX) override
    {
        DDX_Text(pDX, kRateEdit, rate);
        DDV_MinMaxInt(pDX, rate, 0, 30);
        DDX_Text(pDX, kLimitEdit, limit);
        DDV_MinMaxInt(pDX, limit, 1, 9999);
        DDX_Check(pDX, kLimitCheck, limitEnabled);
    }
};

QLineEdit* Edit(CDialog& dialog, int id)
{
    return qobject_cast<QLineEdit*>(dialog.GetDlgItem(id));
}

class DataExchangeTest : public ::testing::Test
{
protected:
    void TearDown() override { CDialog::SetModalAnswer(kNumberTemplate.id, {}); }

    ScopedLanguage language{res::Language::English};
    ScopedMessageBoxAnswers boxes;
};

TEST_F(DataExchangeTest, InitialisationFillsTheControls)
{
    const struct
    {
        int check;
        Qt::CheckState state;
    } checks[] = {
        {0, Qt::Unchecked}, {1, Qt::Checked}, {2, Qt::PartiallyChecked}, {7, Qt::Unchecked}};
    for (const auto& c : checks) {
        NumberDialog dialog;
        dialog.rate = 15;
        dialog.limit = -4;
        dialog.limitEnabled = c.check;
        CDialog::SetModalAnswer(kNumberTemplate.id, [&](CDialog& shown) {
            EXPECT_EQ(Edit(shown, kRateEdit)->text(), "15");
            EXPECT_EQ(Edit(shown, kLimitEdit)->text(), "-4");
            EXPECT_EQ(qobject_cast<QCheckBox*>(shown.GetDlgItem(kLimitCheck))->checkState(),
                      c.state)
                << c.check;
            return IDCANCEL;
        });
        EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    }
    EXPECT_TRUE(boxes.requests.empty());
}

TEST_F(DataExchangeTest, TextThatIsNoIntegerShowsTheIntegerMessageAndKeepsFocus)
{
    NumberDialog dialog;
    CDialog::SetModalAnswer(kNumberTemplate.id, [&](CDialog& shown) {
        Edit(shown, kRateEdit)->setText("12");
        Edit(shown, kLimitEdit)->setText("ten");
        shown.SendCommand(IDOK);
        EXPECT_EQ(shown.GetEndResult(), -1); // still open
        EXPECT_EQ(shown.focusWidget(), Edit(shown, kLimitEdit));
        EXPECT_EQ(Edit(shown, kLimitEdit)->selectedText(), "ten");
        return IDCANCEL;
    });
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    ASSERT_EQ(boxes.requests.size(), 1u);
    EXPECT_EQ(boxes.requests[0].text, "Please enter an integer.");
    EXPECT_EQ(boxes.requests[0].caption, "Video capture software");
    EXPECT_EQ(boxes.requests[0].style, MB_OK | MB_ICONEXCLAMATION);
    EXPECT_EQ(WindowOfHandle(boxes.requests[0].owner), &dialog);
    EXPECT_EQ(dialog.limit, 0); // the field keeps its value
}

TEST_F(DataExchangeTest, ValueOutOfRangeShowsTheBoundsAndKeepsFocus)
{
    const struct
    {
        const char* rate;
        const char* limit;
        const char* message;
        int focused;
    } cases[] = {
        {"31", "5", "Please enter an integer between 0 and 30.", kRateEdit},
        {"-1", "5", "Please enter an integer between 0 and 30.", kRateEdit},
        {"30", "0", "Please enter an integer between 1 and 9999.", kLimitEdit},
        {"0", "10000", "Please enter an integer between 1 and 9999.", kLimitEdit},
    };
    for (const auto& c : cases) {
        boxes.requests.clear();
        NumberDialog dialog;
        CDialog::SetModalAnswer(kNumberTemplate.id, [&](CDialog& shown) {
            Edit(shown, kRateEdit)->setText(c.rate);
            Edit(shown, kLimitEdit)->setText(c.limit);
            shown.SendCommand(IDOK);
            EXPECT_EQ(shown.GetEndResult(), -1);
            EXPECT_EQ(shown.focusWidget(), Edit(shown, c.focused)) << c.rate << " " << c.limit;
            return IDCANCEL;
        });
        dialog.DoModal();
        ASSERT_EQ(boxes.requests.size(), 1u) << c.rate << " " << c.limit;
        EXPECT_EQ(boxes.requests[0].text, c.message);
    }
}

TEST_F(DataExchangeTest, ValidValuesEndWithOkAndReachTheFields)
{
    NumberDialog dialog;
    CDialog::SetModalAnswer(kNumberTemplate.id, [&](CDialog& shown) {
        Edit(shown, kRateEdit)->setText(" 30");
        Edit(shown, kLimitEdit)->setText("9999");
        qobject_cast<QCheckBox*>(shown.GetDlgItem(kLimitCheck))->setChecked(true);
        shown.SendCommand(IDOK);
        return shown.GetEndResult();
    });
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(dialog.rate, 30);
    EXPECT_EQ(dialog.limit, 9999);
    EXPECT_EQ(dialog.limitEnabled, 1);
    EXPECT_TRUE(boxes.requests.empty());
}

TEST_F(DataExchangeTest, RealModalDialogStaysOpenUntilTheEntryIsValid)
{
    NumberDialog dialog;
    bool wasVisible = false;
    bool stayedOpen = false;
    QTimer::singleShot(0, &dialog, [&] {
        wasVisible = dialog.isVisible();
        Edit(dialog, kRateEdit)->setText("45");
        Edit(dialog, kLimitEdit)->setText("60");
        qobject_cast<QPushButton*>(dialog.GetDlgItem(IDOK))->click();
        stayedOpen = dialog.isVisible();
        Edit(dialog, kRateEdit)->setText("25");
        qobject_cast<QPushButton*>(dialog.GetDlgItem(IDOK))->click();
    });
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_TRUE(wasVisible);
    EXPECT_TRUE(stayedOpen);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.rate, 25);
    EXPECT_EQ(dialog.limit, 60);
    ASSERT_EQ(boxes.requests.size(), 1u);
    EXPECT_EQ(boxes.requests[0].text, "Please enter an integer between 0 and 30.");
}

TEST(DialogTemplateTest, StaticTextTooLongForItsRectangleIsShownSmaller)
{
    const res::DialogControlTemplate controls[] = {
        {res::ControlKind::Static, 3001, "Fits", 7, 7, 100, 10, 0, 0},
        {res::ControlKind::Static, 3002, "Number of frames per second", 7, 20, 60, 10, 0, 0},
    };
    const res::DialogTemplate tmpl{
        9300, "Fit", "MS Sans Serif", 9, 120, 40, res::dlg::Modal | res::dlg::Caption, controls};
    CDialog dialog(&tmpl);
    CDialog::SetModalAnswer(tmpl.id, [](CDialog& shown) {
        auto* fits = qobject_cast<QLabel*>(shown.GetDlgItem(3001));
        auto* tight = qobject_cast<QLabel*>(shown.GetDlgItem(3002));
        EXPECT_EQ(fits->font().pointSizeF(), shown.font().pointSizeF());
        EXPECT_LT(tight->font().pointSizeF(), shown.font().pointSizeF());
        EXPECT_GE(tight->font().pointSizeF(), shown.font().pointSizeF() * 0.7);
        return IDCANCEL;
    });
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    CDialog::SetModalAnswer(tmpl.id, {});
}

} // namespace
} // namespace vexol::test
