// The capture file writer, checked by ffprobe and by our own scanner: video formats,
// PCM audio, dropped frames, OpenDML parts, index limits and pre-allocated files.
#include "platform/capture/AviWriter.h"
#include "platform/capture/AviAllocate.h"
#include "platform/capture/AviScanner.h"
#include "support/AviTestSupport.h"
#include "support/FfprobeRunner.h"

#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>

namespace vexol::platform::capture {
namespace {

using test::FrameBytes;
using test::MakeFrame;
using test::MakePcmFormat;
using test::MakeVideoFormat;
using test::RunFfprobe;

constexpr DWORD kPeriod = 40000; // 25 frames per second

class AviWriterTest : public ::testing::Test
{
protected:
    std::string Path(const char* name) const
    {
        return QDir(m_dir.path()).filePath(name).toStdString();
    }
    static AviStreamFormats Formats(int w, int h, int bits, std::vector<std::uint8_t> audio = {})
    {
        AviStreamFormats f;
        f.video = MakeVideoFormat(w, h, bits);
        f.microSecPerFrame = kPeriod;
        f.audio = std::move(audio);
        return f;
    }
    static AviWriterOptions Fast()
    {
        AviWriterOptions o;
        o.syncOnCheckpoint = false;
        return o;
    }
    // Records `frames` frames of w x h x bits, every `dropEvery`-th one dropped.
    static void Record(AviWriter& writer, int frames, int w, int h, int bits, int dropEvery = 0)
    {
        for (int i = 0; i < frames; ++i) {
            if (dropEvery > 0 && i % dropEvery == dropEvery - 1) {
                ASSERT_EQ(writer.WriteDroppedFrame(), AviWrite::Written);
            } else {
                const auto frame = MakeFrame(w, h, bits, i);
                ASSERT_EQ(writer.WriteVideoFrame(frame.data(), DWORD(frame.size())),
                          AviWrite::Written);
            }
        }
    }

    QTemporaryDir m_dir;
};

struct VideoCase
{
    int bits;
    const char* pixFmt;
};

class AviWriterVideoTest : public AviWriterTest, public ::testing::WithParamInterface<VideoCase>
{
};

TEST_P(AviWriterVideoTest, PeerAndScannerReadEveryFrameInItsFormat)
{
    const VideoCase c = GetParam();
    const std::string path = Path("video.avi");
    AviWriter writer;
    const AviStreamFormats formats = Formats(20, 14, c.bits);
    ASSERT_TRUE(writer.Open(path, formats, Fast()).Ok());
    Record(writer, 12, 20, 14, c.bits);
    ASSERT_TRUE(writer.Close().Ok());

    const auto probe = RunFfprobe(QString::fromStdString(path));
    ASSERT_TRUE(probe.ran);
    EXPECT_EQ(probe.exitCode, 0);
    EXPECT_TRUE(probe.errors.isEmpty()) << probe.errors.toStdString();
    ASSERT_EQ(probe.streams.size(), 1u);
    const auto& v = probe.streams[0];
    EXPECT_EQ(v.codecName, "rawvideo");
    EXPECT_EQ(v.pixFmt, c.pixFmt);
    EXPECT_EQ(v.width, 20);
    EXPECT_EQ(v.height, 14);
    EXPECT_NEAR(v.frameRate, 25.0, 1e-9);
    EXPECT_EQ(v.nbFrames, 12);
    EXPECT_EQ(v.nbReadFrames, 12);

    AviFileInfo info;
    ASSERT_TRUE(ScanAviFile(path, info).Ok());
    ASSERT_EQ(info.streams.size(), 1u);
    EXPECT_EQ(info.streams[0].format, formats.video); // header and whole colour table
    EXPECT_EQ(info.streams[0].chunks, 12u);
    EXPECT_EQ(info.streams[0].idx1Chunks, 12u);
    EXPECT_EQ(info.streams[0].suggestedBufferSize, FrameBytes(20, 14, c.bits));
    EXPECT_EQ(info.streams[0].handler, avi::kDib);
    EXPECT_EQ(info.movieEnd, info.fileSize);
}

INSTANTIATE_TEST_SUITE_P(Depths, AviWriterVideoTest,
                         ::testing::Values(VideoCase{8, "pal8"}, VideoCase{16, "rgb555le"},
                                           VideoCase{24, "bgr24"}, VideoCase{32, "bgra"}),
                         [](const auto& info) { return std::to_string(info.param.bits) + "bit"; });

struct AudioCase
{
    WORD bits;
    WORD channels;
    DWORD rate;
    const char* codec;
};

class AviWriterAudioTest : public AviWriterTest, public ::testing::WithParamInterface<AudioCase>
{
};

TEST_P(AviWriterAudioTest, PcmStreamHasItsFormatAndDuration)
{
    const AudioCase c = GetParam();
    const std::string path = Path("audio.avi");
    AviWriter writer;
    ASSERT_TRUE(
        writer.Open(path, Formats(16, 8, 24, MakePcmFormat(c.rate, c.bits, c.channels)), Fast())
            .Ok());
    // 25 frames (one second) with buffers of odd sizes: partial sample frames wait
    // for the next buffer instead of being lost or written torn.
    const DWORD block = DWORD(c.bits / 8 * c.channels);
    std::vector<std::uint8_t> sound(c.rate * block / 25 + 3, 0x40);
    std::uint64_t given = 0;
    for (int i = 0; i < 25; ++i) {
        const auto frame = MakeFrame(16, 8, 24, i);
        ASSERT_EQ(writer.WriteVideoFrame(frame.data(), DWORD(frame.size())), AviWrite::Written);
        ASSERT_EQ(writer.WriteAudio(sound.data(), DWORD(sound.size())), AviWrite::Written);
        given += sound.size();
    }
    ASSERT_TRUE(writer.Close().Ok());
    const AviSummary summary = writer.Summary();
    EXPECT_EQ(summary.audioBytes, given - given % block);
    EXPECT_EQ(summary.audioBlocks, given / block);
    EXPECT_NEAR(summary.audioMilliseconds, 1000.0 * double(given / block) / c.rate, 1.0);
    EXPECT_EQ(summary.videoMilliseconds, 1000u);

    const auto probe = RunFfprobe(QString::fromStdString(path), true);
    ASSERT_TRUE(probe.ran);
    EXPECT_TRUE(probe.errors.isEmpty()) << probe.errors.toStdString();
    const auto* a = probe.Stream("audio");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->codecName, c.codec);
    EXPECT_EQ(a->channels, c.channels);
    EXPECT_EQ(a->sampleRate, int(c.rate));
    EXPECT_EQ(a->nbFrames, (long long)(given / block)); // stream length in sample frames
    EXPECT_GE(a->nbReadPackets, 25);                    // the reader may split large chunks
    long long bytes = 0;
    for (const auto& p : test::RunFfprobePackets(QString::fromStdString(path), "a")) {
        EXPECT_EQ(p.size % block, 0);
        bytes += p.size;
    }
    EXPECT_EQ(bytes, (long long)(given - given % block));
    const auto* v = probe.Stream("video");
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->nbReadFrames, 25);
    EXPECT_NEAR(probe.formatDuration, 1.0, 0.01);
}

INSTANTIATE_TEST_SUITE_P(
    Pcm, AviWriterAudioTest,
    ::testing::Values(AudioCase{8, 1, 11025, "pcm_u8"}, AudioCase{8, 2, 22050, "pcm_u8"},
                      AudioCase{16, 1, 22050, "pcm_s16le"}, AudioCase{16, 2, 44100, "pcm_s16le"}),
    [](const auto& info) {
        return std::to_string(info.param.bits) + "bit" + std::to_string(info.param.channels) + "ch";
    });

TEST_F(AviWriterTest, DroppedFramesKeepTheTimeOfLaterFrames)
{
    const std::string path = Path("dropped.avi");
    AviWriter writer;
    ASSERT_TRUE(writer.Open(path, Formats(16, 8, 24), Fast()).Ok());
    Record(writer, 20, 16, 8, 24, 4); // frames 3, 7, 11, 15, 19 dropped
    ASSERT_TRUE(writer.Close().Ok());
    EXPECT_EQ(writer.Summary().framesCaptured, 20u);
    EXPECT_EQ(writer.Summary().framesDropped, 5u);

    const auto probe = RunFfprobe(QString::fromStdString(path), true);
    ASSERT_EQ(probe.streams.size(), 1u);
    EXPECT_EQ(probe.streams[0].nbFrames, 20);
    EXPECT_EQ(probe.streams[0].nbReadPackets, 15);
    EXPECT_NEAR(probe.formatDuration, 20 * kPeriod / 1e6, 1e-3);
    std::vector<long long> pts;
    for (const auto& p : test::RunFfprobePackets(QString::fromStdString(path), "v")) {
        pts.push_back(p.pts);
    }
    const std::vector<long long> expected{0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, 16, 17, 18};
    EXPECT_EQ(pts, expected);

    AviFileInfo info;
    ASSERT_TRUE(ScanAviFile(path, info).Ok());
    EXPECT_EQ(info.streams[0].emptyChunks, 5u);
    EXPECT_EQ(info.streams[0].keyChunks, 15u);
}

TEST_F(AviWriterTest, OpenDmlPartsPastTheRiffLimitKeepEveryFrame)
{
    const std::string path = Path("odml.avi");
    AviWriterOptions options = Fast();
    options.riffLimit = 40 * 1024;
    AviWriter writer;
    ASSERT_TRUE(writer.Open(path, Formats(32, 24, 24, MakePcmFormat(8000, 8, 1)), options).Ok());
    const std::vector<std::uint8_t> sound(320, 0x80);
    for (int i = 0; i < 150; ++i) {
        if (i % 10 == 9) {
            ASSERT_EQ(writer.WriteDroppedFrame(), AviWrite::Written);
        } else {
            const auto frame = MakeFrame(32, 24, 24, i);
            ASSERT_EQ(writer.WriteVideoFrame(frame.data(), DWORD(frame.size())), AviWrite::Written);
        }
        ASSERT_EQ(writer.WriteAudio(sound.data(), DWORD(sound.size())), AviWrite::Written);
        if (i % 7 == 0) {
            ASSERT_TRUE(writer.Flush().Ok()); // checkpoints in the middle of parts
        }
    }
    ASSERT_TRUE(writer.Close().Ok());

    const auto probe = RunFfprobe(QString::fromStdString(path), true);
    EXPECT_TRUE(probe.errors.isEmpty()) << probe.errors.toStdString();
    const auto* v = probe.Stream("video");
    const auto* a = probe.Stream("audio");
    ASSERT_TRUE(v && a);
    EXPECT_EQ(v->nbFrames, 150);
    EXPECT_EQ(v->nbReadFrames, 135);
    EXPECT_EQ(a->nbReadPackets, 150);
    EXPECT_NEAR(probe.formatDuration, 150 * kPeriod / 1e6, 1e-3);

    AviFileInfo info;
    ASSERT_TRUE(ScanAviFile(path, info).Ok());
    ASSERT_GE(info.parts.size(), 4u);
    EXPECT_EQ(info.parts[0].form, avi::kAvi);
    for (std::size_t i = 0; i < info.parts.size(); ++i) {
        EXPECT_LE(info.parts[i].end - info.parts[i].offset, options.riffLimit + 8) << i;
        if (i > 0) {
            EXPECT_EQ(info.parts[i].form, avi::kAviX);
            EXPECT_EQ(info.parts[i].offset, info.parts[i - 1].end);
        }
    }
    EXPECT_TRUE(info.hasOdmlHeader);
    EXPECT_EQ(info.odmlTotalFrames, 150u);
    EXPECT_EQ(info.streams[0].length, 150u);
    EXPECT_EQ(info.streams[0].chunks, 150u);
    EXPECT_EQ(info.streams[0].emptyChunks, 15u);
    EXPECT_EQ(info.streams[1].chunks, 150u);
    EXPECT_EQ(info.streams[1].length, 150u * 320u);
    // idx1 covers the first part only, as does the main header's frame count.
    EXPECT_GT(info.totalFrames, 0u);
    EXPECT_LT(info.totalFrames, 150u);
    EXPECT_EQ(info.streams[0].idx1Chunks, info.totalFrames);
    EXPECT_EQ(info.movieEnd, info.fileSize);
}

TEST_F(AviWriterTest, ManyCheckpointsAndFullStandardIndexesStayConsistent)
{
    // Tiny frames with a checkpoint after each: the current standard index is
    // rewritten every time and passes its entry limit twice.
    const std::string path = Path("checkpoints.avi");
    AviWriterOptions options = Fast();
    options.checkpointInterval = std::chrono::milliseconds(0);
    AviWriter writer;
    ASSERT_TRUE(writer.Open(path, Formats(2, 2, 24), options).Ok());
    Record(writer, 2500, 2, 2, 24, 0);
    ASSERT_TRUE(writer.Close().Ok());

    AviFileInfo info;
    ASSERT_TRUE(ScanAviFile(path, info).Ok());
    EXPECT_EQ(info.streams[0].chunks, 2500u);
    EXPECT_EQ(info.streams[0].superIndexEntries, 3u);
    const auto probe = RunFfprobe(QString::fromStdString(path), true);
    EXPECT_EQ(probe.streams.at(0).nbReadPackets, 2500);
}

TEST_F(AviWriterTest, FullIndexRefusesFurtherChunksAndKeepsTheFilePlayable)
{
    const std::string path = Path("full.avi");
    AviWriterOptions options = Fast();
    options.maxIndexEntries = 9;
    AviWriter writer;
    ASSERT_TRUE(writer.Open(path, Formats(8, 8, 24, MakePcmFormat(8000, 16, 1)), options).Ok());
    const auto frame = MakeFrame(8, 8, 24, 0);
    const std::vector<std::uint8_t> sound(640, 0);
    int written = 0;
    for (int i = 0; i < 10 && !writer.IsIndexFull(); ++i) {
        ASSERT_EQ(writer.WriteVideoFrame(frame.data(), DWORD(frame.size())), AviWrite::Written);
        ++written;
        if (!writer.IsIndexFull()) {
            ASSERT_EQ(writer.WriteAudio(sound.data(), DWORD(sound.size())), AviWrite::Written);
        }
    }
    EXPECT_EQ(written, 5); // 5 video + 4 audio entries
    EXPECT_TRUE(writer.IsIndexFull());
    EXPECT_EQ(writer.WriteVideoFrame(frame.data(), DWORD(frame.size())), AviWrite::IndexFull);
    EXPECT_EQ(writer.WriteDroppedFrame(), AviWrite::IndexFull);
    EXPECT_EQ(writer.WriteAudio(sound.data(), DWORD(sound.size())), AviWrite::IndexFull);
    EXPECT_TRUE(writer.Close().Ok());

    const auto probe = RunFfprobe(QString::fromStdString(path), true);
    EXPECT_EQ(probe.Stream("video")->nbReadFrames, 5);
    EXPECT_EQ(probe.Stream("audio")->nbReadPackets, 4);
}

TEST_F(AviWriterTest, PreallocatedFileReusedByAShorterRecordingShowsOnlyTheNewMovie)
{
    const std::string path = Path("capture.avi");
    const DWORD allocation = 1 << 20;
    ASSERT_TRUE(AllocateCaptureFile(path, allocation).Ok());
    {
        AviWriter writer;
        ASSERT_TRUE(writer.Open(path, Formats(32, 24, 24), Fast()).Ok());
        Record(writer, 100, 32, 24, 24);
        ASSERT_TRUE(writer.Close().Ok());
    }
    EXPECT_EQ(test::FileSize(path), allocation);
    {
        AviWriter writer;
        ASSERT_TRUE(writer.Open(path, Formats(16, 8, 8), Fast()).Ok());
        Record(writer, 7, 16, 8, 8);
        ASSERT_TRUE(writer.Close().Ok());
    }
    EXPECT_EQ(test::FileSize(path), allocation);
    const auto probe = RunFfprobe(QString::fromStdString(path), true);
    EXPECT_TRUE(probe.errors.isEmpty()) << probe.errors.toStdString();
    ASSERT_EQ(probe.streams.size(), 1u);
    EXPECT_EQ(probe.streams[0].width, 16);
    EXPECT_EQ(probe.streams[0].nbReadPackets, 7);

    AviFileInfo info;
    ASSERT_TRUE(ScanAviFile(path, info).Ok());
    EXPECT_LT(info.movieEnd, info.fileSize);
    // The tail is one JUNK chunk reaching exactly to the end of the allocation.
    const auto bytes = test::ReadFileBytes(path);
    ASSERT_GE(bytes.size(), info.movieEnd + 8);
    EXPECT_EQ(avi::Get32(&bytes[info.movieEnd]), avi::kJunk);
    EXPECT_EQ(info.movieEnd + 8 + avi::Get32(&bytes[info.movieEnd + 4]), bytes.size());
}

TEST_F(AviWriterTest, RecordingPastTheAllocationGrowsTheFileToTheMovie)
{
    const std::string path = Path("small.avi");
    ASSERT_TRUE(AllocateCaptureFile(path, 16 * 1024).Ok());
    AviWriter writer;
    ASSERT_TRUE(writer.Open(path, Formats(32, 24, 24), Fast()).Ok());
    Record(writer, 40, 32, 24, 24);
    ASSERT_TRUE(writer.Close().Ok());
    AviFileInfo info;
    ASSERT_TRUE(ScanAviFile(path, info).Ok());
    EXPECT_EQ(info.movieEnd, info.fileSize); // the space reserved ahead is given back
    EXPECT_EQ(info.streams[0].chunks, 40u);
}

TEST_F(AviWriterTest, SummaryCountsFramesBytesAndTime)
{
    AviWriter writer;
    ASSERT_TRUE(writer.Open(Path("summary.avi"), Formats(10, 10, 8), Fast()).Ok());
    Record(writer, 50, 10, 10, 8, 10);
    const AviSummary s = writer.Summary();
    EXPECT_EQ(s.framesCaptured, 50u);
    EXPECT_EQ(s.framesDropped, 5u);
    EXPECT_EQ(s.videoBytes, 45u * FrameBytes(10, 10, 8));
    EXPECT_EQ(s.videoMilliseconds, 2000u);
    EXPECT_EQ(s.riffParts, 1u);
    EXPECT_TRUE(writer.Close().Ok());
}

struct BadFormatCase
{
    const char* name;
    void (*spoil)(AviStreamFormats&);
};

class AviWriterBadFormatTest : public AviWriterTest,
                               public ::testing::WithParamInterface<BadFormatCase>
{
};

TEST_P(AviWriterBadFormatTest, IsRefusedWithoutCreatingAFile)
{
    AviStreamFormats formats = Formats(16, 16, 8, MakePcmFormat(8000, 16, 2));
    GetParam().spoil(formats);
    const std::string path = Path("bad.avi");
    AviWriter writer;
    const AviResult r = writer.Open(path, formats);
    EXPECT_EQ(r.code, ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(r.text.empty());
    EXPECT_FALSE(writer.IsOpen());
    EXPECT_EQ(test::FileSize(path), -1);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, AviWriterBadFormatTest,
    ::testing::Values(
        BadFormatCase{"ShortHeader", [](AviStreamFormats& f) { f.video.resize(30); }},
        BadFormatCase{"MissingPalette", [](AviStreamFormats& f) { f.video.resize(40 + 100); }},
        BadFormatCase{"ZeroPeriod", [](AviStreamFormats& f) { f.microSecPerFrame = 0; }},
        BadFormatCase{"ZeroWidth", [](AviStreamFormats& f) { avi::Put32(&f.video[4], 0); }},
        BadFormatCase{"OddBitDepth", [](AviStreamFormats& f) { avi::Put16(&f.video[14], 7); }},
        BadFormatCase{"ShortAudio", [](AviStreamFormats& f) { f.audio.resize(10); }},
        BadFormatCase{"ZeroBlockAlign", [](AviStreamFormats& f) { avi::Put16(&f.audio[12], 0); }},
        BadFormatCase{"MissingAudioExtra",
                      [](AviStreamFormats& f) { avi::Put16(&f.audio[16], 4); }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(AviWriterTest, UnusablePathsGiveClearResults)
{
    AviWriter writer;
    EXPECT_EQ(writer.Open(Path("missing/capture.avi"), Formats(8, 8, 24)).code, kErrorPathNotFound);
    EXPECT_EQ(writer.Open(m_dir.path().toStdString(), Formats(8, 8, 24)).code, ERROR_ACCESS_DENIED);
    EXPECT_FALSE(writer.IsOpen());
    const auto frame = MakeFrame(8, 8, 24, 0);
    EXPECT_EQ(writer.WriteVideoFrame(frame.data(), DWORD(frame.size())), AviWrite::Failed);
    EXPECT_EQ(writer.Flush().code, ERROR_INVALID_HANDLE);
}

TEST_F(AviWriterTest, MjpegFramesAreRecordedUnderTheirCode)
{
    AviStreamFormats formats = Formats(16, 16, 24);
    formats.video = MakeVideoFormat(16, 16, 24, avi::kMjpg);
    const std::string path = Path("mjpeg.avi");
    AviWriter writer;
    ASSERT_TRUE(writer.Open(path, formats, Fast()).Ok());
    const std::vector<std::uint8_t> data(301, 0xAB); // odd: the chunk gets a pad byte
    ASSERT_EQ(writer.WriteVideoFrame(data.data(), DWORD(data.size())), AviWrite::Written);
    ASSERT_EQ(writer.WriteVideoFrame(data.data(), DWORD(data.size())), AviWrite::Written);
    ASSERT_TRUE(writer.Close().Ok());
    AviFileInfo info;
    ASSERT_TRUE(ScanAviFile(path, info).Ok());
    EXPECT_EQ(info.streams[0].handler, avi::kMjpg);
    EXPECT_EQ(info.streams[0].bytes, 602u);
    const auto probe = RunFfprobe(QString::fromStdString(path), true);
    EXPECT_EQ(probe.streams.at(0).codecName, "mjpeg");
    EXPECT_EQ(probe.streams.at(0).nbReadPackets, 2);
}

} // namespace
} // namespace vexol::platform::capture
