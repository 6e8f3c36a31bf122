// The AVI scanner on damaged input: every damage gives ERROR_INVALID_DATA or a
// description whose extents lie inside the bytes given.
#include "platform/capture/AviScanner.h"
#include "platform/capture/AviWriter.h"
#include "support/AviTestSupport.h"

#include <QTemporaryDir>
#include <algorithm>
#include <gtest/gtest.h>
#include <random>

namespace vexol::platform::capture {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A small OpenDML movie with audio, a dropped frame and several parts.
Bytes SmallMovie()
{
    QTemporaryDir dir;
    const std::string path = QDir(dir.path()).filePath("m.avi").toStdString();
    AviStreamFormats formats;
    formats.video = test::MakeVideoFormat(4, 4, 8);
    formats.microSecPerFrame = 100000;
    formats.audio = test::MakePcmFormat(8000, 8, 1);
    AviWriterOptions options;
    options.syncOnCheckpoint = false;
    options.maxIndexEntries = 64;
    options.riffLimit = 1024;
    AviWriter writer;
    EXPECT_TRUE(writer.Open(path, formats, options).Ok());
    const Bytes sound(80, 0x80);
    for (int i = 0; i < 12; ++i) {
        const Bytes frame = test::MakeFrame(4, 4, 8, i);
        if (i == 5) {
            writer.WriteDroppedFrame();
        } else {
            writer.WriteVideoFrame(frame.data(), DWORD(frame.size()));
        }
        writer.WriteAudio(sound.data(), DWORD(sound.size()));
    }
    EXPECT_TRUE(writer.Close().Ok());
    return test::ReadFileBytes(path);
}

void ExpectWithin(const AviFileInfo& info, std::size_t size)
{
    EXPECT_LE(info.movieEnd, size);
    for (const AviRiffPart& p : info.parts) {
        EXPECT_LE(p.end, info.movieEnd);
        EXPECT_LE(p.moviEnd, p.end);
        EXPECT_LE(p.moviData, p.moviEnd);
    }
    for (const AviStreamInfo& s : info.streams) {
        EXPECT_LE(s.bytes, info.movieEnd);
    }
}

std::size_t Find(const Bytes& b, const char* code, std::size_t from = 0)
{
    const auto it = std::search(b.begin() + long(from), b.end(), code, code + 4);
    EXPECT_NE(it, b.end()) << code;
    return std::size_t(it - b.begin());
}

TEST(AviScannerTest, ReadsTheWritersMovieBack)
{
    const Bytes movie = SmallMovie();
    AviFileInfo info;
    ASSERT_TRUE(ScanAviMemory(movie.data(), movie.size(), info).Ok());
    EXPECT_GE(info.parts.size(), 3u);
    EXPECT_EQ(info.movieEnd, movie.size());
    EXPECT_EQ(info.microSecPerFrame, 100000u);
    EXPECT_EQ(info.width, 4u);
    ASSERT_EQ(info.streams.size(), 2u);
    EXPECT_EQ(info.streams[0].type, avi::kVids);
    EXPECT_EQ(info.streams[0].chunks, 12u);
    EXPECT_EQ(info.streams[0].emptyChunks, 1u);
    EXPECT_EQ(info.streams[0].format, test::MakeVideoFormat(4, 4, 8));
    EXPECT_EQ(info.streams[1].type, avi::kAuds);
    EXPECT_EQ(info.streams[1].chunks, 12u);
    EXPECT_EQ(info.streams[1].bytes, 960u);
    EXPECT_EQ(info.streams[1].scale, 1u);
    EXPECT_EQ(info.streams[1].rate, 8000u);
}

TEST(AviScannerTest, EveryTruncationIsRefusedOrStaysInside)
{
    const Bytes movie = SmallMovie();
    int accepted = 0;
    for (std::size_t cut = 0; cut < movie.size(); ++cut) {
        AviFileInfo info;
        const AviResult r = ScanAviMemory(movie.data(), cut, info);
        if (r.Ok()) {
            ++accepted;
            ExpectWithin(info, cut);
        } else {
            EXPECT_EQ(r.code, ERROR_INVALID_DATA) << cut;
            EXPECT_TRUE(info.streams.empty());
        }
    }
    // Only a cut between the parts could describe a shorter movie, and then the
    // super indexes point past it.
    EXPECT_EQ(accepted, 0);
}

struct Damage
{
    const char* name;
    void (*apply)(Bytes&);
};

class AviScannerDamageTest : public ::testing::TestWithParam<Damage>
{
};

TEST_P(AviScannerDamageTest, IsRefusedAsInvalidData)
{
    Bytes movie = SmallMovie();
    GetParam().apply(movie);
    AviFileInfo info;
    const AviResult r = ScanAviMemory(movie.data(), movie.size(), info);
    EXPECT_EQ(r.code, ERROR_INVALID_DATA);
    EXPECT_NE(r.text.find("not a readable AVI"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Damages, AviScannerDamageTest,
    ::testing::Values(Damage{"NotRiff", [](Bytes& b) { b[0] = 'X'; }},
                      Damage{"NotAvi", [](Bytes& b) { b[8] = 'W'; }},
                      Damage{"RiffLongerThanFile", [](Bytes& b) { avi::Put32(&b[4], 0x7FFFFFF0); }},
                      Damage{"SuperIndexPointsOutside",
                             [](Bytes& b) {
                                 avi::Put64(&b[Find(b, "indx") + 8 + 24], b.size() + 100);
                             }},
                      Damage{"SuperIndexClaimsTooMany",
                             [](Bytes& b) { avi::Put32(&b[Find(b, "indx") + 8 + 4], 0xFFFFFF); }},
                      Damage{"StdIndexEntryTooLong",
                             [](Bytes& b) {
                                 const std::size_t ix = Find(b, "ix00", 64);
                                 avi::Put32(&b[ix + 8 + 24 + 4], 0x7FFFFFFF);
                             }},
                      Damage{"Idx1EntryTooLong",
                             [](Bytes& b) {
                                 // Without OpenDML indexes idx1 is the index, and it is checked.
                                 const std::size_t indx = Find(b, "indx");
                                 avi::Put32(&b[indx + 8 + 4], 0);
                                 const std::size_t second = Find(b, "indx", indx + 4);
                                 avi::Put32(&b[second + 8 + 4], 0);
                                 avi::Put32(&b[Find(b, "idx1") + 8 + 12], 0x7FFFFFFF);
                             }},
                      Damage{"NoHeaderList", [](Bytes& b) { b[Find(b, "hdrl")] = 'x'; }},
                      Damage{"AvixPartCutOff",
                             [](Bytes& b) {
                                 const std::size_t avix = Find(b, "AVIX");
                                 avi::Put32(&b[avix - 4], 0x10000);
                             }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AviScannerTest, RandomDamageIsRefusedOrStaysInside)
{
    const Bytes movie = SmallMovie();
    std::mt19937 random(20240607);
    for (int round = 0; round < 3000; ++round) {
        Bytes damaged = movie;
        const int changes = 1 + int(random() % 8);
        for (int i = 0; i < changes; ++i) {
            damaged[random() % damaged.size()] = std::uint8_t(random());
        }
        AviFileInfo info;
        const AviResult r = ScanAviMemory(damaged.data(), damaged.size(), info);
        if (r.Ok()) {
            ExpectWithin(info, damaged.size());
        } else {
            ASSERT_EQ(r.code, ERROR_INVALID_DATA);
        }
    }
}

TEST(AviScannerTest, MissingFileAndFolderGiveTheirCodes)
{
    QTemporaryDir dir;
    AviFileInfo info;
    EXPECT_EQ(ScanAviFile(QDir(dir.path()).filePath("none.avi").toStdString(), info).code,
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(ScanAviFile(dir.path().toStdString(), info).code, ERROR_ACCESS_DENIED);
}

} // namespace
} // namespace vexol::platform::capture
