// Saving the captured movie: only the RIFF parts are copied, the destination is
// replaced whole or not at all, bad sources and special destinations are refused, and a
// capture file cut short is rebuilt from the whole frames it holds.
#include "platform/capture/AviSaveAs.h"
#include "platform/capture/AviAllocate.h"
#include "platform/capture/AviScanner.h"
#include "platform/capture/AviWriter.h"
#include "support/AviTestSupport.h"
#include "support/ChildProcess.h"
#include "support/FfprobeRunner.h"

#include "platform/FileTarget.h"
#include "platform/capture/AviRebuild.h"
#include "support/RefusedTargets.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

namespace vexol::platform::capture {
namespace {

class AviSaveAsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_capture = Path("capture.avi");
        ASSERT_TRUE(AllocateCaptureFile(m_capture, 2u << 20).Ok());
        AviStreamFormats formats;
        formats.video = test::MakeVideoFormat(32, 24, 24);
        formats.microSecPerFrame = 50000;
        formats.audio = test::MakePcmFormat(11025, 16, 2);
        AviWriterOptions options;
        options.syncOnCheckpoint = false;
        options.riffLimit = 64 * 1024; // several parts
        AviWriter writer;
        ASSERT_TRUE(writer.Open(m_capture, formats, options).Ok());
        const std::vector<std::uint8_t> sound(2205, 1);
        for (int i = 0; i < 60; ++i) {
            const auto frame = test::MakeFrame(32, 24, 24, i);
            ASSERT_EQ(writer.WriteVideoFrame(frame.data(), DWORD(frame.size())), AviWrite::Written);
            ASSERT_EQ(writer.WriteAudio(sound.data(), DWORD(sound.size())), AviWrite::Written);
        }
        ASSERT_TRUE(writer.Close().Ok());
        ASSERT_TRUE(ScanAviFile(m_capture, m_info).Ok());
        ASSERT_GT(m_info.parts.size(), 2u);
    }
    std::string Path(const char* name) const
    {
        return QDir(m_dir.path()).filePath(name).toStdString();
    }
    // Names in the folder, to see that no temporary file is left behind.
    QStringList Names() const { return QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden); }

    QTemporaryDir m_dir;
    std::string m_capture;
    AviFileInfo m_info;
};

TEST_F(AviSaveAsTest, CopiesOnlyTheMovieAndReportsProgress)
{
    const std::string saved = Path("saved.avi");
    std::vector<std::pair<std::uint64_t, std::uint64_t>> calls;
    const AviResult r = SaveCaptureFileAs(m_capture, saved, [&](auto done, auto total) {
        calls.emplace_back(done, total);
        return true;
    });
    ASSERT_TRUE(r.Ok()) << r.text;
    EXPECT_EQ(test::FileSize(saved), (long long)m_info.movieEnd);
    EXPECT_EQ(test::FileSize(m_capture), 2 << 20);
    const auto capture = test::ReadFileBytes(m_capture);
    const auto copy = test::ReadFileBytes(saved);
    EXPECT_TRUE(std::equal(copy.begin(), copy.end(), capture.begin()));
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls.front().first, 0u);
    EXPECT_EQ(calls.back().first, m_info.movieEnd);
    for (std::size_t i = 0; i < calls.size(); ++i) {
        EXPECT_EQ(calls[i].second, m_info.movieEnd);
        if (i > 0) {
            EXPECT_GT(calls[i].first, calls[i - 1].first);
        }
    }
    const auto probe = test::RunFfprobe(QString::fromStdString(saved), true);
    EXPECT_TRUE(probe.errors.isEmpty()) << probe.errors.toStdString();
    EXPECT_EQ(probe.Stream("video")->nbReadFrames, 60);
    EXPECT_EQ(probe.Stream("audio")->nbReadPackets, 60);
    EXPECT_EQ(Names(), QStringList({"capture.avi", "saved.avi"}));
}

TEST_F(AviSaveAsTest, ReplacesAnExistingDestinationWhole)
{
    const std::string saved = Path("saved.avi");
    ASSERT_TRUE(test::WriteFileBytes(saved, std::vector<std::uint8_t>(10u << 20, 7)));
    ASSERT_TRUE(SaveCaptureFileAs(m_capture, saved).Ok());
    EXPECT_EQ(test::FileSize(saved), (long long)m_info.movieEnd);
    AviFileInfo info;
    EXPECT_TRUE(ScanAviFile(saved, info).Ok());
    EXPECT_EQ(info.streams[0].chunks, 60u);
}

TEST_F(AviSaveAsTest, CancelLeavesTheDestinationUntouched)
{
    const std::string saved = Path("saved.avi");
    const std::vector<std::uint8_t> old(1000, 5);
    ASSERT_TRUE(test::WriteFileBytes(saved, old));
    const AviResult r = SaveCaptureFileAs(m_capture, saved, [](auto done, auto) {
        return done == 0; // cancel after the first block
    });
    EXPECT_EQ(r.code, kErrorCancelled);
    EXPECT_EQ(test::ReadFileBytes(saved), old);
    EXPECT_EQ(Names(), QStringList({"capture.avi", "saved.avi"}));
}

TEST_F(AviSaveAsTest, RefusedSourcesAndDestinationsLoseNothing)
{
    const std::string saved = Path("saved.avi");
    const std::vector<std::uint8_t> old(1000, 5);
    ASSERT_TRUE(test::WriteFileBytes(saved, old));

    // A file that is no AVI at all, and one whose header list is cut off.
    const std::string cut = Path("cut.avi");
    auto bytes = test::ReadFileBytes(m_capture);
    bytes.resize(200);
    ASSERT_TRUE(test::WriteFileBytes(cut, bytes));
    const std::string text = Path("text.avi");
    ASSERT_TRUE(test::WriteFileBytes(text, {'h', 'e', 'l', 'l', 'o'}));

    struct Case
    {
        std::string source;
        std::string destination;
        DWORD code;
    } cases[] = {
        {cut, saved, ERROR_INVALID_DATA},
        {text, saved, ERROR_INVALID_DATA},
        {Path("missing.avi"), saved, ERROR_FILE_NOT_FOUND},
        {m_capture, m_capture, ERROR_INVALID_PARAMETER},
        {m_capture, "", ERROR_INVALID_PARAMETER},
        {m_capture, Path("no/folder/x.avi"), kErrorPathNotFound},
        {m_capture, m_dir.path().toStdString(), ERROR_ACCESS_DENIED},
    };
    for (const Case& c : cases) {
        const AviResult r = SaveCaptureFileAs(c.source, c.destination);
        EXPECT_EQ(r.code, c.code) << c.source << " -> " << c.destination << ": " << r.text;
        EXPECT_FALSE(r.text.empty());
    }
    EXPECT_EQ(test::ReadFileBytes(saved), old);
    EXPECT_EQ(test::FileSize(m_capture), 2 << 20);
    EXPECT_EQ(Names(), QStringList({"capture.avi", "cut.avi", "saved.avi", "text.avi"}));
}

// No capture-file writer writes through a special file, a link or a kernel file.
TEST_F(AviSaveAsTest, SpecialFilesAreNeverWrittenByAnyCaptureFileWriter)
{
    QTemporaryDir other;
    test::RefusedTargets targets(other.path().toStdString());
    AviStreamFormats formats;
    formats.video = test::MakeVideoFormat(32, 24, 24);
    formats.microSecPerFrame = 50000;
    for (const test::RefusedTarget& target : targets.All()) {
        SCOPED_TRACE(target.label);
        const AviResult saved = SaveCaptureFileAs(m_capture, target.path);
        const AviResult allocated = AllocateCaptureFile(target.path, 1u << 20);
        AviWriter writer;
        const AviResult opened = writer.Open(target.path, formats);
        for (const AviResult* r : {&saved, &allocated, &opened}) {
            EXPECT_EQ(r->code, ERROR_ACCESS_DENIED) << r->text;
            EXPECT_EQ(r->text.find("system error"), std::string::npos) << r->text;
        }
        EXPECT_EQ(targets.Changes(), "");
    }
}

// The frames a reader decodes from `path`, rows top-down, BGR.
std::vector<std::vector<std::uint8_t>> DecodedFrames(const std::string& path, int width, int height)
{
    QProcess ffmpeg;
    ffmpeg.start("ffmpeg", {"-v", "error", "-i", QString::fromStdString(path), "-f", "rawvideo",
                            "-pix_fmt", "bgr24", "-"});
    ffmpeg.waitForFinished(30000);
    const QByteArray bytes = ffmpeg.readAllStandardOutput();
    const std::size_t frameBytes = std::size_t(width) * height * 3;
    std::vector<std::vector<std::uint8_t>> frames;
    for (std::size_t at = 0; at + frameBytes <= std::size_t(bytes.size()); at += frameBytes) {
        frames.emplace_back(bytes.begin() + qsizetype(at),
                            bytes.begin() + qsizetype(at + frameBytes));
    }
    return frames;
}

// Frame `index` of the test pattern as a reader shows it: the rows turned top-down.
std::vector<std::uint8_t> ShownFrame(int index)
{
    const std::vector<std::uint8_t> dib = test::MakeFrame(32, 24, 24, index);
    std::vector<std::uint8_t> shown;
    for (int row = 23; row >= 0; --row) {
        shown.insert(shown.end(), dib.begin() + row * 96, dib.begin() + (row + 1) * 96);
    }
    return shown;
}

// A capture file cut short (copied off a full disk): save-as and repair rebuild a movie
// of exactly the whole frames before the cut, in order, with their sound.
TEST_F(AviSaveAsTest, CutShortCaptureFilesAreRebuiltFromTheirWholeFrames)
{
    const std::vector<std::uint8_t> whole = test::ReadFileBytes(m_capture);
    // Where each frame's data lies, found by its bytes.
    std::vector<std::size_t> frameAt;
    for (int i = 0; i < 60; ++i) {
        const auto frame = test::MakeFrame(32, 24, 24, i);
        const auto found = std::search(whole.begin(), whole.end(), frame.begin(), frame.end());
        ASSERT_NE(found, whole.end());
        frameAt.push_back(std::size_t(found - whole.begin()));
    }
    const char idx1[] = {'i', 'd', 'x', '1'};
    const std::size_t idx1At =
        std::size_t(std::search(whole.begin(), whole.end(), idx1, idx1 + 4) - whole.begin());
    const std::size_t inFirstPart = std::size_t(
        std::count_if(frameAt.begin(), frameAt.end(), [&](auto at) { return at < idx1At; }));
    struct Case
    {
        const char* label;
        std::size_t cut;
        std::size_t frames;
        std::size_t audioAtLeast; // each frame is followed by its sound
    };
    const Case cases[] = {
        {"inside frame 3", frameAt[3] + 100, 3, 3},
        {"inside frame 30, a later part", frameAt[30] + 1000, 30, 30},
        {"right after frame 45", frameAt[45] + test::FrameBytes(32, 24, 24), 46, 45},
        {"inside the first part's index", idx1At + 20, inFirstPart, inFirstPart - 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const std::string cut = Path("cut.avi");
        ASSERT_TRUE(test::WriteFileBytes(cut, {whole.begin(), whole.begin() + long(c.cut)}));
        const std::string saved = Path("saved.avi");
        AviSaveSummary summary;
        const AviResult r = SaveCaptureFileAs(cut, saved, {}, &summary);
        ASSERT_TRUE(r.Ok()) << r.text;
        EXPECT_TRUE(summary.rebuilt);
        EXPECT_EQ(summary.videoFrames, c.frames);
        const auto probe = test::RunFfprobe(QString::fromStdString(saved), true);
        ASSERT_EQ(probe.exitCode, 0) << probe.errors.toStdString();
        EXPECT_TRUE(probe.errors.isEmpty()) << probe.errors.toStdString();
        EXPECT_EQ(probe.Stream("video")->nbReadFrames, (long long)c.frames);
        EXPECT_EQ(probe.Stream("video")->nbFrames, (long long)c.frames);
        EXPECT_GE(probe.Stream("audio")->nbReadPackets, (long long)c.audioAtLeast);
        EXPECT_LE(probe.Stream("audio")->nbReadPackets, (long long)c.frames);
        const auto decoded = DecodedFrames(saved, 32, 24);
        ASSERT_EQ(decoded.size(), c.frames);
        for (std::size_t i = 0; i < decoded.size(); ++i) {
            EXPECT_EQ(decoded[i], ShownFrame(int(i))) << "frame " << i;
        }
        // The same through the repair command's routine, and a rebuild of the rebuilt
        // movie changes nothing.
        AviRebuildSummary repaired;
        ASSERT_TRUE(RebuildAviFile(cut, Path("repaired.avi"), &repaired).Ok());
        EXPECT_EQ(repaired.videoFrames, c.frames);
        EXPECT_EQ(repaired.audioChunks, summary.audioChunks);
        ASSERT_TRUE(RebuildAviFile(Path("repaired.avi"), Path("again.avi")).Ok());
        EXPECT_EQ(test::ReadFileBytes(Path("again.avi")),
                  test::ReadFileBytes(Path("repaired.avi")));
    }
    EXPECT_EQ(Names(),
              QStringList({"again.avi", "capture.avi", "cut.avi", "repaired.avi", "saved.avi"}));
}

// A recording killed after its last checkpoint: the copy holds what the headers say,
// the repair also the frames written after them.
TEST_F(AviSaveAsTest, RepairKeepsFramesWrittenAfterTheLastCheckpoint)
{
    const std::string killed = Path("killed.avi");
    test::ChildProcess child([&](int) {
        AviStreamFormats formats;
        formats.video = test::MakeVideoFormat(32, 24, 24);
        formats.microSecPerFrame = 50000;
        AviWriterOptions options;
        options.syncOnCheckpoint = false;
        options.checkpointInterval = std::chrono::hours(1);
        AviWriter writer;
        if (!writer.Open(killed, formats, options).Ok()) {
            return 1;
        }
        for (int i = 0; i < 50; ++i) {
            const auto frame = test::MakeFrame(32, 24, 24, i);
            writer.WriteVideoFrame(frame.data(), DWORD(frame.size()));
            if (i == 39) {
                writer.Flush();
            }
        }
        ::_exit(0); // ends as if killed: no Close, no destructor
    });
    ASSERT_TRUE(child.ExitedWithZero());
    ASSERT_TRUE(SaveCaptureFileAs(killed, Path("copied.avi")).Ok());
    EXPECT_EQ(
        test::RunFfprobe(QString::fromStdString(Path("copied.avi"))).Stream("video")->nbReadFrames,
        40);
    AviRebuildSummary summary;
    ASSERT_TRUE(RebuildAviFile(killed, Path("repaired.avi"), &summary).Ok());
    EXPECT_EQ(summary.videoFrames, 50u);
    const auto decoded = DecodedFrames(Path("repaired.avi"), 32, 24);
    ASSERT_EQ(decoded.size(), 50u);
    EXPECT_EQ(decoded[49], ShownFrame(49));
}

} // namespace
} // namespace vexol::platform::capture
