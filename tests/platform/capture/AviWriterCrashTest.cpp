// Recordings that end badly: a write error (the file size limit of the process) and a
// recording process killed outright. Both leave a file that ffprobe reads.
#include "platform/capture/AviScanner.h"
#include "platform/capture/AviWriter.h"
#include "support/AviTestSupport.h"
#include "support/ChildProcess.h"
#include "support/FfprobeRunner.h"

#include <QTemporaryDir>
#include <chrono>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <thread>

namespace vexol::platform::capture {
namespace {

using Clock = std::chrono::steady_clock;

AviStreamFormats Formats(int w, int h)
{
    AviStreamFormats f;
    f.video = test::MakeVideoFormat(w, h, 24);
    f.microSecPerFrame = 33333;
    f.audio = test::MakePcmFormat(8000, 16, 1);
    return f;
}

// Report from a child that recorded until its writer stopped.
struct ChildReport
{
    std::int32_t framesWritten = 0;
    std::int32_t failedWrite = 0; // 1 when a write was refused with Failed
    std::uint32_t errorCode = 0;  // of Error() and of Close()
    std::uint32_t closeCode = 0;
    std::int32_t textPresent = 0;
};

TEST(AviWriterCrashTest, WriteErrorStopsTheWriterAndLeavesEveryWrittenFramePlayable)
{
    QTemporaryDir dir;
    const std::string path = QDir(dir.path()).filePath("limited.avi").toStdString();
    test::ChildProcess child([&](int reportFd) {
        // The process may not make files larger than 300 KB: writes past it fail with
        // EFBIG, as on a full disk.
        test::LimitFileSize(300 * 1024);
        ChildReport report;
        AviWriter writer;
        AviWriterOptions options;
        options.syncOnCheckpoint = false;
        if (writer.Open(path, Formats(64, 48), options).Ok()) {
            const auto frame = test::MakeFrame(64, 48, 24, 1);
            const std::vector<std::uint8_t> sound(534, 0);
            for (int i = 0; i < 1000; ++i) {
                if (writer.WriteVideoFrame(frame.data(), DWORD(frame.size())) !=
                    AviWrite::Written) {
                    report.failedWrite = 1;
                    break;
                }
                ++report.framesWritten;
                if (writer.WriteAudio(sound.data(), DWORD(sound.size())) != AviWrite::Written) {
                    report.failedWrite = 1;
                    break;
                }
            }
            report.errorCode = writer.Error().code;
            report.textPresent = writer.Error().text.empty() ? 0 : 1;
            report.closeCode = writer.Close().code;
        }
        return test::Report(reportFd, report) ? 0 : 1;
    });
    ASSERT_TRUE(child.Started());
    ChildReport report;
    ASSERT_TRUE(child.Read(report));
    EXPECT_TRUE(child.ExitedWithZero());
    EXPECT_EQ(report.failedWrite, 1);
    EXPECT_EQ(report.errorCode, kErrorFileTooLarge);
    EXPECT_EQ(report.closeCode, kErrorFileTooLarge);
    EXPECT_EQ(report.textPresent, 1);
    EXPECT_GT(report.framesWritten, 10);
    EXPECT_LE(test::FileSize(path), 300 * 1024);

    const auto probe = test::RunFfprobe(QString::fromStdString(path), true);
    EXPECT_EQ(probe.exitCode, 0);
    ASSERT_NE(probe.Stream("video"), nullptr);
    EXPECT_EQ(probe.Stream("video")->nbReadFrames, report.framesWritten);
    AviFileInfo info;
    ASSERT_TRUE(ScanAviFile(path, info).Ok());
    EXPECT_EQ(info.streams[0].chunks, std::uint64_t(report.framesWritten));
    EXPECT_TRUE(info.hasIdx1);
}

TEST(AviWriterCrashTest, KilledRecordingKeepsTheFramesOlderThanASecond)
{
    QTemporaryDir dir;
    const std::string path = QDir(dir.path()).filePath("killed.avi").toStdString();
    test::ChildProcess child([&](int reportFd) {
        // Records at about 30 frames per second with the default checkpoints and
        // reports each frame once it is written, until it is killed.
        AviWriter writer;
        if (!writer.Open(path, Formats(64, 48)).Ok()) {
            return 1;
        }
        const std::vector<std::uint8_t> sound(534, 0);
        auto next = Clock::now();
        for (std::int32_t i = 1; i < 100000; ++i) {
            const auto frame = test::MakeFrame(64, 48, 24, i);
            if (writer.WriteVideoFrame(frame.data(), DWORD(frame.size())) != AviWrite::Written ||
                writer.WriteAudio(sound.data(), DWORD(sound.size())) != AviWrite::Written) {
                return 2;
            }
            test::Report(reportFd, i);
            next += std::chrono::microseconds(33333);
            std::this_thread::sleep_until(next);
        }
        return 3;
    });
    ASSERT_TRUE(child.Started());
    // Remember when each frame was reported; kill the child after about 2.5 s.
    std::vector<std::pair<Clock::time_point, std::int32_t>> reports;
    const auto start = Clock::now();
    std::int32_t frame = 0;
    while (Clock::now() - start < std::chrono::milliseconds(2500) && child.Read(frame)) {
        reports.emplace_back(Clock::now(), frame);
    }
    child.Kill(SIGKILL);
    const auto killedAt = Clock::now();
    const int status = child.Wait();
    ASSERT_TRUE(WIFSIGNALED(status)) << "the child ended by itself: " << status;

    std::int32_t olderThanASecond = 0;
    for (const auto& [when, frame] : reports) {
        if (killedAt - when > std::chrono::milliseconds(1000)) {
            olderThanASecond = frame;
        }
    }
    ASSERT_GT(olderThanASecond, 20);
    const auto probe = test::RunFfprobe(QString::fromStdString(path), true);
    EXPECT_EQ(probe.exitCode, 0);
    ASSERT_NE(probe.Stream("video"), nullptr);
    EXPECT_GE(probe.Stream("video")->nbReadFrames, olderThanASecond);
    EXPECT_GE(probe.Stream("video")->nbFrames, olderThanASecond); // the header is current
    AviFileInfo info;
    ASSERT_TRUE(ScanAviFile(path, info).Ok());
    EXPECT_GE(info.streams[0].chunks, std::uint64_t(olderThanASecond));
    EXPECT_GE(info.streams[1].chunks, std::uint64_t(olderThanASecond));
}

} // namespace
} // namespace vexol::platform::capture
