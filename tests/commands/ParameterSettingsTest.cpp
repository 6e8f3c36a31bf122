// Various parameter settings (32778): the rate conversions both ways, the fields to and
// from the sequence setup, the enable rule of the time limit, the order of the range
// checks, and the command's record sent to the driver.
#include "CommandTestSupport.h"

#include "commands/ParameterCommand.h"

#include <QCheckBox>

namespace vexol::test {
namespace {

namespace cmd = vexol::commands;

TEST(FrameRateConversionTest, PeriodToFramesPerSecondRoundsHalfUp)
{
    const struct
    {
        DWORD period;
        INT fps;
    } cases[] = {{66666, 15},  {33333, 30}, {33367, 30},  {3000000, 0}, {0, 0},
                 {1, 1000000}, {40000, 25}, {2000000, 1}, {1333333, 1}};
    for (const auto& c : cases) {
        EXPECT_EQ(cmd::FramesPerSecondFromPeriod(c.period), c.fps) << c.period;
    }
}

TEST(FrameRateConversionTest, FramesPerSecondToPeriodRoundsHalfUp)
{
    const struct
    {
        INT fps;
        DWORD period;
    } cases[] = {{15, 66667},  {30, 33333},  {29, 34483}, {25, 40000},
                 {10, 100000}, {1, 1000000}, {0, 66666},  {-1, 66666}};
    for (const auto& c : cases) {
        EXPECT_EQ(cmd::PeriodFromFramesPerSecond(c.fps), c.period) << c.fps;
    }
}

// The four fields of the sequence setup that the dialog edits.
struct FourFields
{
    DWORD period;
    BOOL audio;
    BOOL limitEnabled;
    UINT limit;
};

TEST(ParameterFieldsTest, FillAndReadBackFollowTheStoredRecord)
{
    const struct
    {
        const char* name;
        FourFields stored;
        INT fps, limit, limitEnabled, audio; // what the dialog shows
        FourFields written;                  // after OK without changes
    } cases[] = {
        {"Defaults", {66666, 0, 0, 0}, 15, 5, 0, 0, {66667, 0, 0, 0}},
        {"LimitOnWithAudio", {33333, 1, 1, 120}, 30, 120, 1, 1, {33333, 1, 1, 120}},
        {"StoredLimitWithoutTheSwitchIsDropped",
         {100000, 0, 0, 45},
         10,
         45,
         0,
         0,
         {100000, 0, 0, 0}},
        {"ZeroPeriod", {0, 0, 0, 0}, 0, 5, 0, 0, {66666, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        CAPTUREPARMS record{};
        record.dwRequestMicroSecPerFrame = c.stored.period;
        record.fCaptureAudio = c.stored.audio;
        record.fLimitEnabled = c.stored.limitEnabled;
        record.wTimeLimit = c.stored.limit;
        record.dwIndexSize = 27000; // other fields pass unchanged
        CParameterDlg dialog;
        cmd::FillParameterDialog(record, dialog);
        EXPECT_EQ(dialog.m_nFramesPerSecond, c.fps) << c.name;
        EXPECT_EQ(dialog.m_nTimeLimit, c.limit) << c.name;
        EXPECT_EQ(dialog.m_nLimitEnabled, c.limitEnabled) << c.name;
        EXPECT_EQ(dialog.m_nCaptureAudio, c.audio) << c.name;
        cmd::ReadParameterDialog(dialog, record);
        EXPECT_EQ(record.dwRequestMicroSecPerFrame, c.written.period) << c.name;
        EXPECT_EQ(record.fCaptureAudio, c.written.audio) << c.name;
        EXPECT_EQ(record.fLimitEnabled, c.written.limitEnabled) << c.name;
        EXPECT_EQ(record.wTimeLimit, c.written.limit) << c.name;
        EXPECT_EQ(record.dwIndexSize, 27000u) << c.name;
    }
}

class ParameterDialogTest : public ::testing::Test
{
protected:
    ~ParameterDialogTest() override { CDialog::SetModalAnswer(IDD_PARAMETERS, {}); }

    static QCheckBox* Check(CDialog& dialog, int id)
    {
        return qobject_cast<QCheckBox*>(dialog.GetDlgItem(id));
    }
    static bool LimitControlsEnabled(CDialog& dialog)
    {
        const bool field = dialog.GetDlgItem(IDC_TIME_LIMIT)->isEnabled();
        EXPECT_EQ(dialog.GetDlgItem(IDC_TIME_LIMIT_UNIT)->isEnabled(), field);
        return field;
    }

    ScopedLanguage language{res::Language::English};
    ScopedMessageBoxAnswers boxes;
};

TEST_F(ParameterDialogTest, TimeLimitIsEnabledExactlyWhileTheSwitchIsTicked)
{
    const struct
    {
        INT limitEnabled;
        bool enabled;
    } cases[] = {{0, false}, {1, true}, {2, false}, {7, false}};
    for (const auto& c : cases) {
        CParameterDlg dialog;
        dialog.m_nLimitEnabled = c.limitEnabled;
        dialog.m_nTimeLimit = 5;
        CDialog::SetModalAnswer(IDD_PARAMETERS, [&](CDialog& shown) {
            EXPECT_EQ(LimitControlsEnabled(shown), c.enabled) << c.limitEnabled;
            EXPECT_EQ(Text(shown, IDC_TIME_LIMIT), "5"); // kept while greyed
            Check(shown, IDC_LIMIT_ENABLED)->click();
            EXPECT_EQ(LimitControlsEnabled(shown),
                      Check(shown, IDC_LIMIT_ENABLED)->checkState() == Qt::Checked);
            Check(shown, IDC_LIMIT_ENABLED)->click();
            EXPECT_EQ(LimitControlsEnabled(shown),
                      Check(shown, IDC_LIMIT_ENABLED)->checkState() == Qt::Checked);
            return IDCANCEL;
        });
        dialog.DoModal();
    }
}

TEST_F(ParameterDialogTest, RangesAreCheckedInOrderAlsoForTheGreyedLimit)
{
    const struct
    {
        const char* fps;
        const char* limit;
        const char* message;
        int focused; // 0: the control is greyed and cannot take the focus
    } cases[] = {
        {"31", "0", "Please enter an integer between 0 and 30.", IDC_FRAMES_PER_SECOND},
        {"-1", "5", "Please enter an integer between 0 and 30.", IDC_FRAMES_PER_SECOND},
        {"30", "10000", "Please enter an integer between 1 and 9999.", 0},
        {"x", "5", "Please enter an integer.", IDC_FRAMES_PER_SECOND},
    };
    for (const auto& c : cases) {
        boxes.requests.clear();
        CParameterDlg dialog; // limit switch off: the field is greyed
        CDialog::SetModalAnswer(IDD_PARAMETERS, [&](CDialog& shown) {
            qobject_cast<QLineEdit*>(shown.GetDlgItem(IDC_TIME_LIMIT))->setText(c.limit);
            EXPECT_EQ(EnterAndConfirm(shown, IDC_FRAMES_PER_SECOND, c.fps), -1);
            if (c.focused != 0) {
                EXPECT_EQ(shown.focusWidget(), shown.GetDlgItem(c.focused));
            }
            return IDCANCEL;
        });
        dialog.DoModal();
        ASSERT_EQ(boxes.requests.size(), 1u) << c.fps << " " << c.limit;
        EXPECT_EQ(boxes.requests[0].text, c.message);
    }
}

using ParameterCommandTest = FileCommandTest;

TEST_F(ParameterCommandTest, ConfirmedDialogGoesToTheDriverAndThePictureIsPlacedAgain)
{
    Start();
    CDialog::SetModalAnswer(IDD_PARAMETERS, [](CDialog& shown) {
        EXPECT_EQ(Text(shown, IDC_FRAMES_PER_SECOND), "15");
        qobject_cast<QCheckBox*>(shown.GetDlgItem(IDC_LIMIT_ENABLED))->click();
        qobject_cast<QLineEdit*>(shown.GetDlgItem(IDC_TIME_LIMIT))->setText("2");
        return EnterAndConfirm(shown, IDC_FRAMES_PER_SECOND, "10");
    });
    files.setups.clear();
    Capture().move(0, 0);
    ASSERT_TRUE(frame->SendCommand(ID_PARAMETER_SETTINGS));
    ASSERT_EQ(files.setups.size(), 1u);
    EXPECT_EQ(files.setups[0].dwRequestMicroSecPerFrame, 100000u);
    EXPECT_EQ(files.setups[0].fLimitEnabled, TRUE);
    EXPECT_EQ(files.setups[0].wTimeLimit, 2u);
    EXPECT_EQ(files.setups[0].fCaptureAudio, FALSE);
    QCoreApplication::sendPostedEvents();
    RECT client;
    view->GetClientRect(&client);
    EXPECT_EQ(Capture().pos(), QPoint(std::max(0, (client.right - Capture().width()) / 2),
                                      std::max(0, (client.bottom - Capture().height()) / 2)));
}

TEST_F(ParameterCommandTest, CancelSendsNothing)
{
    Start();
    CDialog::SetModalAnswer(IDD_PARAMETERS, [](CDialog&) { return IDCANCEL; });
    files.setups.clear();
    ASSERT_TRUE(frame->SendCommand(ID_PARAMETER_SETTINGS));
    EXPECT_TRUE(files.setups.empty());
}

} // namespace
} // namespace vexol::test
