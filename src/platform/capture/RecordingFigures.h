// Live figures of a recording into a file: elapsed time, frames captured and dropped,
// the achieved frame rate, the data rate, and the room left for the file with the time
// it lasts at the current rate.
//
// The capture service answers WM_CAP_GET_FILE_FIGURES with the file's side (bytes
// written, room in the file, free space on its volume); ReadRecordingSample joins it with
// the capture status; a RecordingMeter turns readings into rates over the last few
// seconds; RecordingFiguresText puts them on one line in the user's language. The main
// window's status bar and vexol-cap show the same line.
#pragma once

#include "platform/capture/CaptureTypes.h"
#include "platform/framework/Resources.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>

// Our own message, outside the published range: the file side of a capture into a file.
// lParam points to a CAPFILEFIGURES of wParam bytes. TRUE while the driver window holds
// a capture into a file (running, or ended and not yet replaced); FALSE otherwise.
inline constexpr UINT WM_CAP_GET_FILE_FIGURES = WM_USER + 0x300;

struct CAPFILEFIGURES
{
    std::uint64_t qwBytesWritten;      // the file's data so far, headers and index included
    std::uint64_t qwBytesRoomInFile;   // allocated or reserved beyond the data, not yet used
    std::uint64_t qwBytesFreeOnVolume; // free to this user on the file's volume
    BOOL fVolumeKnown;                 // FALSE when the volume could not be asked
};

namespace vexol::platform::capture {

// One reading of a running recording.
struct RecordingSample
{
    DWORD elapsedMs = 0;
    DWORD frames = 0;  // frames written
    DWORD dropped = 0; // frames lost
    std::uint64_t bytesWritten = 0;
    bool roomKnown = false;
    std::uint64_t roomBytes = 0; // what the file can still take: its own room plus the volume's
};

// Reads the capture status and the file figures through `send` (a SendMessage to the
// driver window). False when no capture into a file is running.
using DriverSend = std::function<LRESULT(UINT message, WPARAM wParam, LPARAM lParam)>;
bool ReadRecordingSample(const DriverSend& send, RecordingSample& sample);

struct RecordingFigures
{
    double elapsedSeconds = 0;
    DWORD frames = 0;
    DWORD dropped = 0;
    double framesPerSecond = 0;
    double bytesPerSecond = 0;
    bool roomKnown = false;
    std::uint64_t roomBytes = 0;
    std::optional<double> secondsLeft; // none while room is left and nothing is written
    bool lowSpace = false;             // less than kLowSpaceSeconds left
};

inline constexpr double kLowSpaceSeconds = 60;

// How long `roomBytes` last at `bytesPerSecond`: 0 without room; none when there is
// room and the rate is not positive.
std::optional<double> SecondsLeft(std::uint64_t roomBytes, double bytesPerSecond);

// Rates over the readings of the last kWindowMs; a reading older than the one before
// (a new recording) starts afresh.
class RecordingMeter
{
public:
    static constexpr DWORD kWindowMs = 5000;

    RecordingFigures Add(const RecordingSample& sample);
    void Reset() { m_samples.clear(); }

private:
    std::deque<RecordingSample> m_samples;
};

namespace texts {

// "0:01:23": hours, minutes, seconds.
std::string ElapsedText(double seconds);
// "45 s", "11 min", "2 h 05 min" (and the Japanese forms); whole units, rounded down.
std::string DurationText(res::Language language, double seconds);
// "12.3 GB", "840 MB" (decimal units).
std::string SizeText(std::uint64_t bytes);
// The whole line.
std::string RecordingFiguresText(res::Language language, const RecordingFigures& figures);

} // namespace texts
} // namespace vexol::platform::capture
