// The live figures of a recording: readings joined from the two driver messages, rates
// over the last seconds, the time the room lasts, and the line in both languages.
#include "platform/capture/RecordingFigures.h"

#include <gtest/gtest.h>

namespace vexol::platform::capture {
namespace {

using res::Language;

RecordingSample Sample(DWORD ms, DWORD frames, std::uint64_t bytes, std::uint64_t room = 1e12)
{
    RecordingSample s;
    s.elapsedMs = ms;
    s.frames = frames;
    s.bytesWritten = bytes;
    s.roomKnown = true;
    s.roomBytes = room;
    return s;
}

TEST(RecordingFigures, ReadingJoinsStatusAndFileFigures)
{
    struct Case
    {
        const char* name;
        BOOL capturing;
        LRESULT fileAnswer; // FALSE: a capture without a file
        BOOL volumeKnown;
        bool expected;
    } const cases[] = {
        {"recording into a file", TRUE, TRUE, TRUE, true},
        {"volume not known", TRUE, TRUE, FALSE, true},
        {"nothing running", FALSE, TRUE, TRUE, false},
        {"frame stream without a file", TRUE, FALSE, TRUE, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const DriverSend send = [&](UINT message, WPARAM size, LPARAM record) -> LRESULT {
            if (message == WM_CAP_GET_STATUS) {
                EXPECT_EQ(size, sizeof(CAPSTATUS));
                auto* status = reinterpret_cast<CAPSTATUS*>(record);
                status->fCapturingNow = c.capturing;
                status->dwCurrentVideoFrame = 300;
                status->dwCurrentVideoFramesDropped = 4;
                status->dwCurrentTimeElapsedMS = 10000;
                return TRUE;
            }
            EXPECT_EQ(message, WM_CAP_GET_FILE_FIGURES);
            EXPECT_EQ(size, sizeof(CAPFILEFIGURES));
            auto* file = reinterpret_cast<CAPFILEFIGURES*>(record);
            file->qwBytesWritten = 5000000;
            file->qwBytesRoomInFile = 2000000;
            file->qwBytesFreeOnVolume = 7000000000;
            file->fVolumeKnown = c.volumeKnown;
            return c.fileAnswer;
        };
        RecordingSample sample;
        ASSERT_EQ(ReadRecordingSample(send, sample), c.expected);
        if (!c.expected) {
            continue;
        }
        EXPECT_EQ(sample.elapsedMs, 10000u);
        EXPECT_EQ(sample.frames, 300u);
        EXPECT_EQ(sample.dropped, 4u);
        EXPECT_EQ(sample.bytesWritten, 5000000u);
        EXPECT_EQ(sample.roomKnown, c.volumeKnown != FALSE);
        // The file's own room counts: a pre-allocated file lasts beyond the free space.
        EXPECT_EQ(sample.roomBytes, c.volumeKnown ? 7002000000u : 0u);
    }
}

TEST(RecordingFigures, RatesCoverTheLastFiveSeconds)
{
    RecordingMeter meter;
    // The first reading: averages since the start.
    RecordingFigures f = meter.Add(Sample(2000, 60, 2000000));
    EXPECT_DOUBLE_EQ(f.framesPerSecond, 30);
    EXPECT_DOUBLE_EQ(f.bytesPerSecond, 1e6);
    // Ten seconds at 30 fps and 1 MB/s, then ten at 10 fps and 4 MB/s.
    DWORD frames = 60;
    std::uint64_t bytes = 2000000;
    for (DWORD ms = 3000; ms <= 12000; ms += 1000) {
        f = meter.Add(Sample(ms, frames += 30, bytes += 1000000));
    }
    EXPECT_DOUBLE_EQ(f.framesPerSecond, 30);
    for (DWORD ms = 13000; ms <= 17000; ms += 1000) {
        f = meter.Add(Sample(ms, frames += 10, bytes += 4000000));
    }
    EXPECT_DOUBLE_EQ(f.framesPerSecond, 10) << "only the slow seconds are in the window";
    EXPECT_DOUBLE_EQ(f.bytesPerSecond, 4e6);
    EXPECT_EQ(f.frames, frames);
    EXPECT_DOUBLE_EQ(f.elapsedSeconds, 17);
    // Readings that do not arrive on the second still span the whole window.
    f = meter.Add(Sample(17500, frames + 5, bytes + 2000000));
    EXPECT_NEAR(f.framesPerSecond, 55.0 / 5.5, 1e-9);

    // A reading older than the last is a new recording: its own average.
    f = meter.Add(Sample(1000, 25, 500000));
    EXPECT_DOUBLE_EQ(f.framesPerSecond, 25);
    EXPECT_DOUBLE_EQ(f.bytesPerSecond, 500000);
    // Nothing elapsed yet: no rate rather than a division by zero.
    meter.Reset();
    f = meter.Add(Sample(0, 0, 0));
    EXPECT_EQ(f.framesPerSecond, 0);
    EXPECT_FALSE(f.secondsLeft);
}

TEST(RecordingFigures, TimeLeftAndTheOneMinuteWarning)
{
    struct Case
    {
        const char* name;
        std::uint64_t room;
        double rate;
        std::optional<double> left;
        bool low;
    } const cases[] = {
        {"an hour", 3600000000, 1e6, 3600, false},
        {"exactly a minute", 60000000, 1e6, 60, false},
        {"just under a minute", 59999999, 1e6, 59.999999, true},
        {"full", 0, 1e6, 0, true},
        {"full while nothing is written", 0, 0, 0, true},
        {"room but nothing written yet", 1000, 0, std::nullopt, false},
        {"beyond 32 bits", 8000000000000, 2e6, 4e6, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<double> left = SecondsLeft(c.room, c.rate);
        ASSERT_EQ(left.has_value(), c.left.has_value());
        if (left) {
            EXPECT_NEAR(*left, *c.left, 1e-6);
        }
        // Through the meter: two readings one second apart writing `rate` bytes.
        RecordingMeter meter;
        meter.Add(Sample(1000, 10, 0, c.room));
        const RecordingFigures f = meter.Add(Sample(2000, 20, std::uint64_t(c.rate), c.room));
        EXPECT_EQ(f.lowSpace, c.low);
        EXPECT_EQ(f.secondsLeft.has_value(), c.left.has_value());
    }
    // Writing stalls (an error box holds the capture): the rate shown drops to nothing,
    // the time left is reckoned at the average and the warning stays.
    RecordingMeter stalled;
    stalled.Add(Sample(10000, 300, 10000000, 30000000));
    const RecordingFigures held = stalled.Add(Sample(11000, 300, 10000000, 30000000));
    EXPECT_EQ(held.bytesPerSecond, 0);
    ASSERT_TRUE(held.secondsLeft);
    EXPECT_NEAR(*held.secondsLeft, 33, 1e-9);
    EXPECT_TRUE(held.lowSpace);

    // Without knowing the volume there is neither a time nor a warning.
    RecordingSample unknown = Sample(1000, 10, 1000, 0);
    unknown.roomKnown = false;
    const RecordingFigures f = RecordingMeter().Add(unknown);
    EXPECT_FALSE(f.secondsLeft);
    EXPECT_FALSE(f.lowSpace);
}

TEST(RecordingFigures, LineInBothLanguages)
{
    RecordingFigures normal;
    normal.elapsedSeconds = 83.9;
    normal.frames = 1234;
    normal.dropped = 2;
    normal.framesPerSecond = 29.97;
    normal.bytesPerSecond = 18.44e6;
    normal.roomKnown = true;
    normal.roomBytes = 12300000000;
    normal.secondsLeft = 667;

    RecordingFigures low = normal;
    low.roomBytes = 900000000;
    low.secondsLeft = 48.8;
    low.lowSpace = true;

    RecordingFigures unknownRoom = normal;
    unknownRoom.roomKnown = false;
    unknownRoom.secondsLeft.reset();

    RecordingFigures noRate = normal;
    noRate.bytesPerSecond = 0.004e6;
    noRate.framesPerSecond = 0;
    noRate.secondsLeft.reset();

    RecordingFigures hours = normal;
    hours.elapsedSeconds = 3 * 3600 + 7 * 60 + 9;
    hours.bytesPerSecond = 250e6;
    hours.roomBytes = 2500000000000;
    hours.secondsLeft = 2 * 3600 + 5 * 60 + 59;

    struct Case
    {
        const char* name;
        const RecordingFigures& figures;
        const char* english;
        const char* japanese;
    } const cases[] = {
        {"normal", normal,
         "REC 0:01:23 | 1234 frames (2 dropped) | 30.0 fps | 18.4 MB/s | 12.3 GB free: 11 min left",
         "録画 0:01:23 | 1234 フレーム (欠落 2) | 30.0 fps | 18.4 MB/s | 空き 12.3 GB: 残り 11 分"},
        {"under a minute", low,
         "Disk full in 48 s! (900 MB free) | REC 0:01:23 | 1234 frames (2 dropped) | 30.0 fps | "
         "18.4 MB/s",
         "あと 48 秒でディスクがいっぱいです (空き 900 MB) | 録画 0:01:23 | 1234 フレーム (欠落 "
         "2) | 30.0 fps | 18.4 MB/s"},
        {"volume unknown", unknownRoom,
         "REC 0:01:23 | 1234 frames (2 dropped) | 30.0 fps | 18.4 MB/s",
         "録画 0:01:23 | 1234 フレーム (欠落 2) | 30.0 fps | 18.4 MB/s"},
        {"nothing written yet", noRate,
         "REC 0:01:23 | 1234 frames (2 dropped) | 0.0 fps | 0.00 MB/s | 12.3 GB free",
         "録画 0:01:23 | 1234 フレーム (欠落 2) | 0.0 fps | 0.00 MB/s | 空き 12.3 GB"},
        {"hours", hours,
         "REC 3:07:09 | 1234 frames (2 dropped) | 30.0 fps | 250 MB/s | 2.50 TB free: 2 h 05 min "
         "left",
         "録画 3:07:09 | 1234 フレーム (欠落 2) | 30.0 fps | 250 MB/s | 空き 2.50 TB: 残り 2 時間 "
         "05 "
         "分"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(texts::RecordingFiguresText(Language::English, c.figures), c.english);
        EXPECT_EQ(texts::RecordingFiguresText(Language::Japanese, c.figures), c.japanese);
    }
}

TEST(RecordingFigures, DurationsAndSizesRoundDown)
{
    struct Case
    {
        double seconds;
        const char* english;
        const char* japanese;
    } const cases[] = {
        {-3, "0 s", "0 秒"},
        {59.99, "59 s", "59 秒"},
        {60, "1 min", "1 分"},
        {3599, "59 min", "59 分"},
        {3600, "1 h 00 min", "1 時間 00 分"},
        {99 * 3600 + 59 * 60 + 59, "99 h 59 min", "99 時間 59 分"},
        {100 * 3600, "over 100 h", "100 時間以上"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.seconds);
        EXPECT_EQ(texts::DurationText(Language::English, c.seconds), c.english);
        EXPECT_EQ(texts::DurationText(Language::Japanese, c.seconds), c.japanese);
    }
    EXPECT_EQ(texts::ElapsedText(0), "0:00:00");
    EXPECT_EQ(texts::ElapsedText(36000 + 59.9), "10:00:59");
    EXPECT_EQ(texts::SizeText(999499999), "999 MB");
    EXPECT_EQ(texts::SizeText(999999999), "1.0 GB");
    EXPECT_EQ(texts::SizeText(999949999999), "999.9 GB");
    EXPECT_EQ(texts::SizeText(999999999999), "1.00 TB");
    EXPECT_EQ(texts::SizeText(std::uint64_t(18) << 40), "19.79 TB");
}

} // namespace
} // namespace vexol::platform::capture
