// Save Captured Movie (32787): where the dialog opens, the copy request, the save folder
// after every confirmed choice, and which failures are reported.
#include "CommandTestSupport.h"

namespace vexol::test {
namespace {

using SaveMovieTest = FileCommandTest;

TEST_F(SaveMovieTest, FirstSaveOpensInTheCaptureFilesFolderWithAnEmptyName)
{
    Start();
    ASSERT_TRUE(Capture().SetCaptureFile("/var/cap/capture.avi"));
    ASSERT_TRUE(frame->SendCommand(ID_SAVE_MOVIE));
    ASSERT_EQ(dialogs.shown.size(), 1u);
    const auto& shown = dialogs.shown[0];
    EXPECT_EQ(shown.runtimeClass, "CFileDialogEx");
    EXPECT_FALSE(shown.open);
    EXPECT_EQ(shown.title, "Save captured movie");
    EXPECT_EQ(shown.filter, "AVI file(*avi)|*.avi||");
    EXPECT_EQ(shown.defaultExtension, "avi");
    EXPECT_EQ(shown.flags & 0xFFFF, 0x8806u);
    EXPECT_EQ(shown.initialFolder, "/var/cap/");
    EXPECT_EQ(shown.fileName, "");
    EXPECT_EQ(shown.maxFile, 261u);
    // Cancelled: nothing copied, no save folder.
    EXPECT_TRUE(files.savedAs.empty());
    EXPECT_TRUE(Store().m_strSaveFolder.empty());
}

TEST_F(SaveMovieTest, SavedFolderIsTheNextStartAndReachesTheRegistryAtExit)
{
    Start();
    ASSERT_TRUE(Capture().SetCaptureFile("/var/cap/capture.avi"));
    dialogs.Choose(InTemp("take2")); // without extension
    ASSERT_TRUE(frame->SendCommand(ID_SAVE_MOVIE));
    EXPECT_EQ(files.savedAs, std::vector<std::string>{InTemp("take2.avi")});
    EXPECT_EQ(Store().m_strSaveFolder, TempFolder());

    ASSERT_TRUE(frame->SendCommand(ID_SAVE_MOVIE));
    ASSERT_EQ(dialogs.shown.size(), 2u);
    EXPECT_EQ(dialogs.shown[1].initialFolder, TempFolder());

    app->ExitInstance();
    RegistryStore fresh;
    fresh.LoadAppSettings();
    EXPECT_EQ(fresh.m_strSaveFolder, TempFolder());
    EXPECT_TRUE(boxes.requests.empty());
}

TEST_F(SaveMovieTest, FailedCopyIsReportedACancelledOneIsNotAndTheFolderIsKeptInBoth)
{
    const struct
    {
        FileCommandService::SaveOutcome outcome;
        std::vector<std::string> firstLines; // of the boxes, in order
    } cases[] = {
        {FileCommandService::SaveOutcome::Refused, {"", "ID-10008-0302"}},
        {FileCommandService::SaveOutcome::Cancelled, {}},
    };
    Start();
    ASSERT_TRUE(Capture().SetCaptureFile("/var/cap/capture.avi"));
    for (const auto& c : cases) {
        boxes.requests.clear();
        Store().m_strSaveFolder.clear();
        files.saveOutcome = c.outcome;
        dialogs.Choose(InTemp("take.avi"));
        ASSERT_TRUE(frame->SendCommand(ID_SAVE_MOVIE));
        // The service's own box has no identification line; ours follows it.
        std::vector<std::string> lines = BoxFirstLines();
        if (!lines.empty()) {
            EXPECT_EQ(boxes.requests[0].text, "The movie cannot be saved: disk full.");
            lines[0].clear();
        }
        EXPECT_EQ(lines, c.firstLines);
        EXPECT_EQ(Store().m_strSaveFolder, TempFolder());
    }
}

} // namespace
} // namespace vexol::test
