// Path names: the split into drive, folder, name and extension in both path families,
// the repair of a doubled separator after the root, full paths and the folder that
// holds a path that does not exist yet.
#include "platform/kernel/PathNames.h"

#include <QDir>
#include <QTemporaryDir>
#include <filesystem>
#include <gtest/gtest.h>

namespace vexol::platform::kernel {
namespace {

struct SplitCase
{
    const char* name;
    const char* path;
    const char* drive;
    const char* directory;
    const char* fileName;
    const char* extension;
};

class SplitPathTest : public ::testing::TestWithParam<SplitCase>
{
};

TEST_P(SplitPathTest, GivesTheFourPartsOfTheCLibrarySplit)
{
    const SplitCase& c = GetParam();
    const PathParts parts = SplitPath(c.path);
    EXPECT_EQ(parts.drive, c.drive);
    EXPECT_EQ(parts.directory, c.directory);
    EXPECT_EQ(parts.name, c.fileName);
    EXPECT_EQ(parts.extension, c.extension);
    EXPECT_EQ(parts.Folder(), std::string(c.drive) + c.directory);
    EXPECT_EQ(parts.FileName(), std::string(c.fileName) + c.extension);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, SplitPathTest,
    ::testing::Values(
        SplitCase{"DriveForm", "C:\\cap\\capture.avi", "C:", "\\cap\\", "capture", ".avi"},
        SplitCase{"DriveRoot", "D:\\take3.avi", "D:", "\\", "take3", ".avi"},
        SplitCase{"DriveFormWithSlashes", "D:/movies/take1.avi", "D:", "/movies/", "take1", ".avi"},
        SplitCase{"NetworkForm", "\\\\server\\share\\cap\\x.avi", "", "\\\\server\\share\\cap\\",
                  "x", ".avi"},
        SplitCase{"Posix", "/home/user/cap/capture.avi", "", "/home/user/cap/", "capture", ".avi"},
        SplitCase{"PosixFolderOnly", "/home/user/", "", "/home/user/", "", ""},
        SplitCase{"NameOnly", "capture.avi", "", "", "capture", ".avi"},
        SplitCase{"BackslashIsAPosixCharacter", "/tmp/a\\b.avi", "", "/tmp/", "a\\b", ".avi"},
        SplitCase{"DotInFolderOnly", "/tmp/v1.2/movie", "", "/tmp/v1.2/", "movie", ""},
        SplitCase{"LastDotCounts", "/tmp/take.1.avi", "", "/tmp/", "take.1", ".avi"},
        SplitCase{"Empty", "", "", "", "", ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RemoveDoubledSeparatorAfterRootTest, RepairsOnlyTheSeparatorRightAfterTheRoot)
{
    const struct
    {
        const char* path;
        const char* repaired;
    } cases[] = {
        {"C:\\\\capture.avi", "C:\\capture.avi"},
        {"D:\\\\take3.avi", "D:\\take3.avi"},
        {"C:\\\\\\x.avi", "C:\\\\x.avi"}, // only one separator goes
        {"//tmp/capture.avi", "/tmp/capture.avi"},
        {"/tmp//capture.avi", "/tmp//capture.avi"},
        {"C:\\cap\\\\x.avi", "C:\\cap\\\\x.avi"},
        {"\\\\server\\share\\x.avi", "\\\\server\\share\\x.avi"},
        {"C:", "C:"},
        {"/", "/"},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RemoveDoubledSeparatorAfterRoot(c.path), c.repaired) << c.path;
    }
}

TEST(RemoveDoubledSeparatorAfterRootTest, TheRepairedPathGivesTheRootAsFolder)
{
    EXPECT_EQ(SplitPath(RemoveDoubledSeparatorAfterRoot("D:\\\\take3.avi")).Folder(), "D:\\");
    EXPECT_EQ(SplitPath(RemoveDoubledSeparatorAfterRoot("C:\\\\x.jpg")).Folder(), "C:\\");
    EXPECT_EQ(SplitPath(RemoveDoubledSeparatorAfterRoot("//x.avi")).Folder(), "/");
}

TEST(FullPathNameTest, TakesRelativeNamesFromTheCurrentFolderAndFoldsDots)
{
    const std::string current = std::filesystem::current_path().string();
    EXPECT_EQ(FullPathName("capture.avi"), current + "/capture.avi");
    EXPECT_EQ(FullPathName("./a/../capture.avi"), current + "/capture.avi");
    EXPECT_EQ(FullPathName("/tmp//x/./y/../capture.avi"), "/tmp/x/capture.avi");
    EXPECT_EQ(FullPathName("/tmp/"), "/tmp");
    EXPECT_EQ(FullPathName("/"), "/");
    EXPECT_EQ(FullPathName(""), "");
}

TEST(NearestExistingFolderTest, WalksUpToAFolderThatExists)
{
    QTemporaryDir temp;
    const std::string folder = QDir(temp.path()).canonicalPath().toStdString();
    ASSERT_TRUE(QDir(temp.path()).mkdir("sub"));
    EXPECT_EQ(NearestExistingFolder(folder + "/capture.avi"), folder);
    EXPECT_EQ(NearestExistingFolder(folder + "/sub"), folder + "/sub");
    EXPECT_EQ(NearestExistingFolder(folder + "/no/such/folders/capture.avi"), folder);
    EXPECT_EQ(NearestExistingFolder("/"), "/");
    EXPECT_EQ(NearestExistingFolder(""), "");
}

} // namespace
} // namespace vexol::platform::kernel
