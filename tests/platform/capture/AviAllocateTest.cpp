// Pre-allocation of the capture file: sizes, kept bytes, and refused paths.
#include "platform/capture/AviAllocate.h"
#include "support/AviTestSupport.h"
#include "support/ChildProcess.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace vexol::platform::capture {
namespace {

class AviAllocateTest : public ::testing::Test
{
protected:
    std::string Path(const char* name) const
    {
        return QDir(m_dir.path()).filePath(name).toStdString();
    }
    static long long AllocatedBytes(const std::string& path)
    {
        struct stat st
        {
        };
        return ::stat(path.c_str(), &st) == 0 ? (long long)st.st_blocks * 512 : -1;
    }
    QTemporaryDir m_dir;
};

struct SizeCase
{
    const char* name;
    long long existing; // -1: no file
    DWORD requested;
};

class AviAllocateSizeTest : public AviAllocateTest, public ::testing::WithParamInterface<SizeCase>
{
};

TEST_P(AviAllocateSizeTest, FileTakesTheRequestedSizeWithItsBlocksAndKeepsItsBytes)
{
    const SizeCase c = GetParam();
    const std::string path = Path("capture.avi");
    std::vector<std::uint8_t> old;
    if (c.existing >= 0) {
        old.resize(std::size_t(c.existing));
        for (std::size_t i = 0; i < old.size(); ++i) {
            old[i] = std::uint8_t(i * 7 + 1);
        }
        ASSERT_TRUE(test::WriteFileBytes(path, old));
    }
    const AviResult r = AllocateCaptureFile(path, c.requested);
    ASSERT_TRUE(r.Ok()) << r.text;
    EXPECT_EQ(test::FileSize(path), (long long)c.requested);
    EXPECT_GE(AllocatedBytes(path), (long long)c.requested);
    const auto now = test::ReadFileBytes(path);
    const std::size_t kept = std::min<std::size_t>(old.size(), c.requested);
    EXPECT_TRUE(std::equal(old.begin(), old.begin() + long(kept), now.begin()));
    EXPECT_TRUE(std::all_of(now.begin() + long(kept), now.end(), [](auto b) { return b == 0; }));
}

INSTANTIATE_TEST_SUITE_P(Sizes, AviAllocateSizeTest,
                         ::testing::Values(SizeCase{"NewFile", -1, 3u << 20},
                                           SizeCase{"GrowsSmallerFile", 5000, 1u << 20},
                                           SizeCase{"CutsLargerFileDown", 300000, 65536},
                                           SizeCase{"SameSize", 65536, 65536},
                                           SizeCase{"OneByte", 100, 1}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(AviAllocateTest, ZeroBytesIsRefusedAndLeavesTheFileAlone)
{
    // A size of 4096 MB computed in 32 bits wraps to zero; it must not empty the file.
    const std::string path = Path("capture.avi");
    ASSERT_TRUE(test::WriteFileBytes(path, std::vector<std::uint8_t>(1000, 9)));
    EXPECT_EQ(AllocateCaptureFile(path, 0).code, ERROR_INVALID_PARAMETER);
    EXPECT_EQ(test::FileSize(path), 1000);
    EXPECT_EQ(AllocateCaptureFile("", 100).code, ERROR_INVALID_PARAMETER);
}

TEST_F(AviAllocateTest, UnusablePathsGiveClearResults)
{
    EXPECT_EQ(AllocateCaptureFile(Path("no/such/folder/capture.avi"), 4096).code,
              kErrorPathNotFound);
    EXPECT_EQ(AllocateCaptureFile(m_dir.path().toStdString(), 4096).code, ERROR_ACCESS_DENIED);
    // A fifo is refused before it is opened, so the call cannot block on it.
    const std::string fifo = Path("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const AviResult r = AllocateCaptureFile(fifo, 4096);
    EXPECT_EQ(r.code, ERROR_ACCESS_DENIED);
    EXPECT_FALSE(r.text.empty());
}

TEST_F(AviAllocateTest, SizeBeyondTheLimitFailsAndRemovesTheNewFile)
{
    // In a child whose file size limit is 1 MB: a new 4 MB file fails as "too large"
    // and is not left behind; an existing file keeps its length.
    const std::string fresh = Path("fresh.avi");
    const std::string existing = Path("existing.avi");
    ASSERT_TRUE(test::WriteFileBytes(existing, std::vector<std::uint8_t>(5000, 3)));
    test::ChildProcess child([&](int) {
        test::LimitFileSize(1 << 20);
        const bool ok = AllocateCaptureFile(fresh, 4u << 20).code == kErrorFileTooLarge &&
                        AllocateCaptureFile(existing, 4u << 20).code == kErrorFileTooLarge;
        return ok ? 0 : 1;
    });
    EXPECT_TRUE(child.ExitedWithZero());
    EXPECT_EQ(test::FileSize(fresh), -1);
    EXPECT_EQ(test::FileSize(existing), 5000);
}

TEST_F(AviAllocateTest, CancelAfterAPieceLeavesTheEarlierFileOrNone)
{
    // The first piece is reserved, then the progress callback cancels.
    const std::vector<std::uint8_t> earlier(5000, 7);
    for (const bool existed : {true, false}) {
        const std::string path = Path(existed ? "existing.avi" : "fresh.avi");
        if (existed) {
            ASSERT_TRUE(test::WriteFileBytes(path, earlier));
        }
        std::vector<std::uint64_t> reported;
        const AviResult r = AllocateCaptureFile(path, kAllocationPieceBytes + 4096,
                                                [&](std::uint64_t done, std::uint64_t total) {
                                                    EXPECT_EQ(total, kAllocationPieceBytes + 4096);
                                                    reported.push_back(done);
                                                    return done == 0;
                                                });
        EXPECT_EQ(r.code, kErrorCancelled) << existed;
        EXPECT_EQ(reported, (std::vector<std::uint64_t>{0, kAllocationPieceBytes}));
        if (existed) {
            EXPECT_EQ(test::ReadFileBytes(path), earlier);
        } else {
            EXPECT_EQ(test::FileSize(path), -1);
        }
    }
}

} // namespace
} // namespace vexol::platform::capture
