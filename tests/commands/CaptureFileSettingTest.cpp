// Capture file setting (32771) and Record's use of it: the file dialog as set up from
// the driver's file, the name given to the driver, the caption, the size dialog for a
// new file only, and the refused file.
#include "CommandTestSupport.h"

namespace vexol::test {
namespace {

using FileCaptureSettingTest = FileCommandTest;

TEST_F(FileCaptureSettingTest, DialogStartsAtTheDriversFileAndCancelChangesNothing)
{
    files.driverFile = "/var/cap/capture.avi";
    Start();
    ASSERT_TRUE(frame->SendCommand(ID_CAPTURE_FILE_SETTING));
    ASSERT_EQ(dialogs.shown.size(), 1u);
    const auto& shown = dialogs.shown[0];
    EXPECT_EQ(shown.runtimeClass, "CFileDialogEx");
    EXPECT_FALSE(shown.open);
    EXPECT_EQ(shown.title, "Capture file setting");
    EXPECT_EQ(shown.filter, "AVI file(*avi)|*.avi||");
    EXPECT_EQ(shown.defaultExtension, "avi");
    EXPECT_EQ(shown.flags & 0xFFFF, 0x8806u);
    EXPECT_EQ(shown.initialFolder, "/var/cap/");
    EXPECT_EQ(shown.fileName, "capture.avi");
    EXPECT_EQ(shown.maxFile, 261u);
    EXPECT_TRUE(files.setFiles.empty());
    EXPECT_TRUE(Capture().GetCaptureFile(FALSE).empty());
    EXPECT_TRUE(boxes.requests.empty());
}

TEST_F(FileCaptureSettingTest, NewFileIsSetShownInTheCaptionAndSizedAtOnce)
{
    Start();
    const std::string path = InTemp("movie");
    dialogs.Choose(path); // typed without extension
    SizeDialogSeen size;
    AnswerSizeDialog(size,
                     [](CDialog& dialog) { return EnterAndConfirm(dialog, IDC_FILE_SIZE, "8"); });
    ASSERT_TRUE(frame->SendCommand(ID_CAPTURE_FILE_SETTING));

    ASSERT_EQ(files.setFiles, std::vector<std::string>{path + ".avi"});
    EXPECT_EQ(Capture().GetCaptureFile(FALSE), path + ".avi");
    EXPECT_EQ(size.runs, 1);
    EXPECT_EQ(size.size, "0");
    EXPECT_EQ(files.allocations, std::vector<LPARAM>{8 << 20});
    QCoreApplication::sendPostedEvents(); // the posted 32790
    EXPECT_NE(frame->windowTitle().toStdString().find("movie.avi"), std::string::npos)
        << frame->windowTitle().toStdString();
    EXPECT_TRUE(boxes.requests.empty());
}

TEST_F(FileCaptureSettingTest, ExistingFileIsConfirmedAndNotSized)
{
    Start();
    const std::string path = InTemp("old.avi");
    WriteBytes(path, 100);
    dialogs.Choose(path);
    SizeDialogSeen size;
    AnswerSizeDialog(size, [](CDialog&) { return IDCANCEL; });
    boxes.SetAnswer(IDYES); // replace it
    ASSERT_TRUE(frame->SendCommand(ID_CAPTURE_FILE_SETTING));
    EXPECT_EQ(files.setFiles, std::vector<std::string>{path});
    EXPECT_EQ(size.runs, 0);
    ASSERT_EQ(boxes.requests.size(), 1u);
    EXPECT_EQ(boxes.requests[0].style, MB_YESNO | MB_ICONEXCLAMATION);
}

TEST_F(FileCaptureSettingTest, RefusedFileKeepsTheEarlierOneAndIsReported)
{
    Start();
    ASSERT_TRUE(Capture().SetCaptureFile("/earlier/capture.avi"));
    files.acceptCaptureFile = false;
    dialogs.Choose(InTemp("new.avi"));
    SizeDialogSeen size;
    AnswerSizeDialog(size, [](CDialog&) { return IDCANCEL; });
    ASSERT_TRUE(frame->SendCommand(ID_CAPTURE_FILE_SETTING));
    EXPECT_EQ(BoxFirstLines(), std::vector<std::string>{"ID-10003-0301"});
    EXPECT_EQ(Capture().GetCaptureFile(FALSE), "/earlier/capture.avi");
    EXPECT_EQ(size.runs, 0);
    QCoreApplication::sendPostedEvents();
    EXPECT_NE(frame->windowTitle().toStdString().find("capture.avi"), std::string::npos);
}

TEST_F(FileCaptureSettingTest, RecordWithoutFileChoosesSizesThenRecords)
{
    Start();
    dialogs.Choose(InTemp("first.avi"));
    SizeDialogSeen size;
    AnswerSizeDialog(size,
                     [](CDialog& dialog) { return EnterAndConfirm(dialog, IDC_FILE_SIZE, "1"); });
    ASSERT_TRUE(frame->SendCommand(ID_RECORD));
    EXPECT_EQ(size.runs, 1);
    EXPECT_EQ(files.allocations.size(), 1u);
    EXPECT_EQ(files.CountOf(WM_CAP_SEQUENCE), 1);
    // With the file set, the next Record asks nothing.
    files.capturing = false;
    ASSERT_TRUE(frame->SendCommand(ID_RECORD));
    EXPECT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(files.CountOf(WM_CAP_SEQUENCE), 2);
}

} // namespace
} // namespace vexol::test
