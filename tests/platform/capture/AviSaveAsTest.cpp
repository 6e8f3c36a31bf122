// Saving the captured movie: only the RIFF parts are copied, the destination is
// replaced whole or not at all, and bad sources are refused.
#include "platform/capture/AviSaveAs.h"
#include "platform/capture/AviAllocate.h"
#include "platform/capture/AviScanner.h"
#include "platform/capture/AviWriter.h"
#include "support/AviTestSupport.h"
#include "support/FfprobeRunner.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

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
    QStringList Names() const { return QDir(m_dir.path()).entryList(QDir::Files); }

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

    // A capture file whose movie was cut off, and one that is no AVI at all.
    const std::string cut = Path("cut.avi");
    auto bytes = test::ReadFileBytes(m_capture);
    bytes.resize(std::size_t(m_info.parts[1].offset + 100));
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

} // namespace
} // namespace vexol::platform::capture
