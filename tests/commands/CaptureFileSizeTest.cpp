// Capture file size (32786): the size arithmetic, the dialog's entry rule and
// messages, the measured file and free space, the allocation request in 64 bits, and
// the reports of the command.
#include "CommandTestSupport.h"

#include "commands/CaptureFileCommands.h"
#include "platform/kernel/DiskSpace.h"

namespace vexol::test {
namespace {

namespace cmd = vexol::commands;

TEST(CaptureFileSizesTest, DialogValuesFollowTheTruncatingDivisions)
{
    const struct
    {
        const char* name;
        std::int64_t length;
        LONG freeKB;
        INT size;
        INT available;
    } cases[] = {
        {"NoFile", 0, 2000000, 0, 1953},
        {"HundredMegabyteFile", 104857600, 51200, 100, 150},
        {"JustUnderOneAndAHalfMegabytes", 1572863, 0, 1, 1},
        {"FreeSpaceUnknown", 104857600, -1, 100, -1},
        {"LengthCountsInWholeKilobytes", 1023, 1023, 0, 0},
        {"FileOfFourGigabytes", std::int64_t(4096) << 20, 1024, 4096, 4097},
        {"BeyondTheFields", std::int64_t(1) << 52, 0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF},
    };
    for (const auto& c : cases) {
        const cmd::CaptureFileSizes sizes = cmd::SizesForDialog(c.length, c.freeKB);
        EXPECT_EQ(sizes.size, c.size) << c.name;
        EXPECT_EQ(sizes.available, c.available) << c.name;
    }
}

TEST(CaptureFileSizesTest, MegabytesBecomeBytesWithoutWrapping)
{
    EXPECT_EQ(cmd::MegabytesToBytes(8), 8388608u);
    EXPECT_EQ(cmd::MegabytesToBytes(4096), 4294967296u); // 0 in 32 bits
    EXPECT_EQ(cmd::MegabytesToBytes(102400), 107374182400u);
    EXPECT_EQ(cmd::MegabytesToBytes(0x7FFFFFFF), std::uint64_t(0x7FFFFFFF) << 20);
    EXPECT_EQ(cmd::MegabytesToBytes(0), 0u);
    EXPECT_EQ(cmd::MegabytesToBytes(-5), 0u);
}

class FileSizeDialogTest : public ::testing::Test
{
protected:
    ~FileSizeDialogTest() override { CDialog::SetModalAnswer(IDD_FILE_SIZE, {}); }

    ScopedLanguage language{res::Language::English};
    ScopedMessageBoxAnswers boxes;
};

TEST_F(FileSizeDialogTest, RefusedEntriesKeepTheDialogOpenWithTheFocusOnTheSize)
{
    const struct
    {
        const char* entry;
        const char* firstLine; // of the box
    } cases[] = {
        {"0", "ID-10004-0501"},
        {"151", "ID-10004-0501"},
        {"-5", "ID-10004-0501"},
        {"3000000000", "ID-10004-0501"}, // beyond 32 bits: a size, but too large
        {"eight", "Please enter an integer."},
    };
    for (const auto& c : cases) {
        boxes.requests.clear();
        CFileSizeDlg dialog;
        dialog.m_nAvailable = 150;
        CDialog::SetModalAnswer(IDD_FILE_SIZE, [&](CDialog& shown) {
            EXPECT_EQ(EnterAndConfirm(shown, IDC_FILE_SIZE, c.entry), -1);
            auto* size = qobject_cast<QLineEdit*>(shown.GetDlgItem(IDC_FILE_SIZE));
            EXPECT_EQ(shown.focusWidget(), size) << c.entry;
            EXPECT_EQ(size->selectedText().toStdString(), c.entry);
            return EnterAndConfirm(shown, IDC_FILE_SIZE, "150");
        });
        EXPECT_EQ(dialog.DoModal(), IDOK) << c.entry;
        EXPECT_EQ(dialog.m_nSize, 150);
        ASSERT_EQ(boxes.requests.size(), 1u) << c.entry;
        EXPECT_EQ(boxes.requests[0].text.substr(0, boxes.requests[0].text.find('\n')), c.firstLine);
    }
}

TEST_F(FileSizeDialogTest, OpensWithTheSizeToType)
{
    CFileSizeDlg dialog;
    dialog.m_nSize = 100;
    dialog.m_nAvailable = 1953;
    CDialog::SetModalAnswer(IDD_FILE_SIZE, [&](CDialog& shown) {
        auto* size = qobject_cast<QLineEdit*>(shown.GetDlgItem(IDC_FILE_SIZE));
        auto* available = qobject_cast<QLineEdit*>(shown.GetDlgItem(IDC_AVAILABLE_SIZE));
        EXPECT_EQ(size->text(), "100");
        EXPECT_EQ(available->text(), "1953");
        EXPECT_TRUE(available->isReadOnly());
        EXPECT_EQ(shown.focusWidget(), size);
        return IDCANCEL;
    });
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_TRUE(boxes.requests.empty());
}

using CaptureFileSizeCommandTest = FileCommandTest;

TEST_F(CaptureFileSizeCommandTest, ExistingFileAndFreeSpaceGiveTheDialogsFigures)
{
    Start();
    const std::string path = InTemp("capture.avi");
    WriteBytes(path, 3 << 20);
    ASSERT_TRUE(Capture().SetCaptureFile(path.c_str()));
    const LONG freeKB = platform::kernel::FreeDiskSpaceKB(path.c_str());
    SizeDialogSeen seen;
    AnswerSizeDialog(seen,
                     [](CDialog& dialog) { return EnterAndConfirm(dialog, IDC_FILE_SIZE, "2"); });
    ASSERT_TRUE(frame->SendCommand(ID_CAPTURE_FILE_SIZE));
    ASSERT_EQ(seen.runs, 1);
    EXPECT_EQ(seen.size, "3");
    // The free space moves while others write: compare within a few megabytes.
    EXPECT_NEAR(std::stod(seen.available), (freeKB + 3 * 1024) / 1024, 8);
    EXPECT_EQ(files.allocations, std::vector<LPARAM>{2 << 20});
    EXPECT_TRUE(boxes.requests.empty());
}

TEST_F(CaptureFileSizeCommandTest, FailedAllocationIsReported)
{
    Start();
    ASSERT_TRUE(Capture().SetCaptureFile(InTemp("capture.avi").c_str()));
    files.allocationSucceeds = false;
    SizeDialogSeen seen;
    AnswerSizeDialog(seen,
                     [](CDialog& dialog) { return EnterAndConfirm(dialog, IDC_FILE_SIZE, "1"); });
    ASSERT_TRUE(frame->SendCommand(ID_CAPTURE_FILE_SIZE));
    EXPECT_EQ(BoxFirstLines(), std::vector<std::string>{"ID-10005-0304"});
}

TEST_F(CaptureFileSizeCommandTest, FileThatCannotBeMeasuredEndsTheCommandWithoutDialog)
{
    Start();
    ASSERT_TRUE(Capture().SetCaptureFile("/proc/self/status"));
    SizeDialogSeen seen;
    AnswerSizeDialog(seen, [](CDialog&) { return IDCANCEL; });
    ASSERT_TRUE(frame->SendCommand(ID_CAPTURE_FILE_SIZE));
    EXPECT_EQ(seen.runs, 0);
    EXPECT_EQ(BoxFirstLines(), std::vector<std::string>{"ID-10003-0304"});
}

TEST_F(CaptureFileSizeCommandTest, WithoutCaptureFileTheCommandDoesNothing)
{
    Start();
    SizeDialogSeen seen;
    AnswerSizeDialog(seen, [](CDialog&) { return IDCANCEL; });
    // Called directly: the update rule would drop the command.
    frame->OnCaptureFileSize();
    EXPECT_EQ(seen.runs, 0);
    EXPECT_TRUE(boxes.requests.empty());
}

TEST(FreeSpaceReportTest, AVolumeThatCannotBeAskedIsReportedAsRetryCancel)
{
    ScopedLanguage english(res::Language::English);
    ScopedMessageBoxAnswers boxes(IDRETRY);
    EXPECT_EQ(GetFreeDiskSpaceKB(""), -1);
    ASSERT_EQ(boxes.requests.size(), 1u);
    EXPECT_EQ(boxes.requests[0].text, "ID-11003-0401\nNot enough disk space.\n");
    EXPECT_EQ(boxes.requests[0].style, MB_RETRYCANCEL | MB_ICONHAND);
    boxes.requests.clear();
    EXPECT_GE(GetFreeDiskSpaceKB("/tmp/capture.avi"), 0);
    EXPECT_TRUE(boxes.requests.empty());
}

} // namespace
} // namespace vexol::test
