// Free disk space and the measuring of a file: the rounding to kilobytes, the volume of
// a path that does not exist yet, and files that cannot or must not be measured.
#include "platform/kernel/DiskSpace.h"
#include "platform/kernel/FileStatus.h"

#include <QDir>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vexol::platform::kernel {
namespace {

TEST(FreeClustersToKBTest, RoundsToTheNearestKilobyteWithHalvesUp)
{
    const struct
    {
        DWORD clusterBytes;
        DWORD freeClusters;
        LONG kilobytes;
    } cases[] = {
        {512, 3, 2},  // 1,536 bytes: 1.5 KB goes up
        {1535, 1, 1}, // 1.499 KB
        {512, 1, 1},  // 0.5 KB goes up
        {511, 1, 0},
        {4096, 0, 0},
        {4096, 500000, 2000000},        // 2,000,000 KB
        {4096, 0xFFFFFFFF, 0x7FFFFFFF}, // 16 TB does not fit: the largest figure
        {512, 0xFFFFFFFF, 0x7FFFFFFF},  // 2 TB - 512 bytes rounds up to the limit
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FreeClustersToKB(c.clusterBytes, c.freeClusters), c.kilobytes)
            << c.clusterBytes << " x " << c.freeClusters;
    }
}

TEST(FreeDiskSpaceKBTest, AsksTheVolumeOfTheNearestExistingFolder)
{
    QTemporaryDir temp;
    const std::string folder = temp.path().toStdString();
    const QStorageInfo volume(temp.path());
    const double expected = double(volume.bytesAvailable()) / 1024;
    // Other programs write meanwhile: allow a few megabytes of difference.
    for (const std::string& path :
         {folder, folder + "/capture.avi", folder + "/no/such/folder/capture.avi"}) {
        const LONG free = FreeDiskSpaceKB(path.c_str());
        ASSERT_GE(free, 0) << path;
        EXPECT_NEAR(double(free), std::min(expected, double(kMaxFreeSpaceKB)), 8192) << path;
    }
    EXPECT_EQ(FreeDiskSpaceKB(""), -1);
    EXPECT_EQ(FreeDiskSpaceKB(nullptr), -1);
    EXPECT_FALSE(GetDiskFreeSpaceA("", nullptr, nullptr, nullptr, nullptr));
}

class MeasureFileLengthTest : public ::testing::Test
{
protected:
    std::string Path(const char* name) const
    {
        return QDir(m_dir.path()).filePath(name).toStdString();
    }
    void Write(const std::string& path, std::size_t bytes) const
    {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::ftruncate(fd, off_t(bytes)), 0);
        ::close(fd);
    }
    QTemporaryDir m_dir;
};

TEST_F(MeasureFileLengthTest, GivesTheLengthOfARegularFileOnly)
{
    const std::string file = Path("capture.avi");
    Write(file, 1572863);
    std::int64_t length = -1;
    EXPECT_EQ(MeasureFileLength(file.c_str(), length), FileLength::Measured);
    EXPECT_EQ(length, 1572863);
    EXPECT_TRUE(FileExists(file.c_str()));

    const std::string fifo = Path("fifo.avi");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path : {Path("missing.avi"), fifo, Path("")}) {
        length = -1;
        EXPECT_EQ(MeasureFileLength(path.c_str(), length), FileLength::NotOpened) << path;
        EXPECT_EQ(length, -1);
    }
    EXPECT_FALSE(FileExists(Path("missing.avi").c_str()));
    EXPECT_FALSE(FileExists(""));
}

TEST_F(MeasureFileLengthTest, AFileLockedByAWriterDoesNotOpen)
{
    const std::string file = Path("capture.avi");
    Write(file, 4096);
    const int writer = ::open(file.c_str(), O_RDWR);
    ASSERT_GE(writer, 0);
    ASSERT_EQ(::flock(writer, LOCK_EX), 0);
    std::int64_t length = -1;
    EXPECT_EQ(MeasureFileLength(file.c_str(), length), FileLength::NotOpened);
    ::close(writer);
    EXPECT_EQ(MeasureFileLength(file.c_str(), length), FileLength::Measured);
    EXPECT_EQ(length, 4096);
}

TEST_F(MeasureFileLengthTest, AFileThatCannotSeekToItsEndFails)
{
    // Kernel status files are regular files whose end cannot be sought.
    std::int64_t length = -1;
    EXPECT_EQ(MeasureFileLength("/proc/self/status", length), FileLength::Failed);
    EXPECT_EQ(length, -1);
}

} // namespace
} // namespace vexol::platform::kernel
