#include "platform/capture/RecordingFigures.h"

#include <cmath>
#include <cstdio>

namespace vexol::platform::capture {

bool ReadRecordingSample(const DriverSend& send, RecordingSample& sample)
{
    CAPSTATUS status{};
    if (!send(WM_CAP_GET_STATUS, sizeof status, LPARAM(&status)) || !status.fCapturingNow) {
        return false;
    }
    CAPFILEFIGURES file{};
    if (!send(WM_CAP_GET_FILE_FIGURES, sizeof file, LPARAM(&file))) {
        return false; // a capture without a file
    }
    sample.elapsedMs = status.dwCurrentTimeElapsedMS;
    sample.frames = status.dwCurrentVideoFrame;
    sample.dropped = status.dwCurrentVideoFramesDropped;
    sample.bytesWritten = file.qwBytesWritten;
    sample.roomKnown = file.fVolumeKnown != FALSE;
    sample.roomBytes = sample.roomKnown ? file.qwBytesRoomInFile + file.qwBytesFreeOnVolume : 0;
    return true;
}

std::optional<double> SecondsLeft(std::uint64_t roomBytes, double bytesPerSecond)
{
    if (roomBytes == 0) {
        return 0.0; // full, whatever the rate
    }
    if (!(bytesPerSecond > 0)) {
        return std::nullopt;
    }
    return double(roomBytes) / bytesPerSecond;
}

RecordingFigures RecordingMeter::Add(const RecordingSample& sample)
{
    if (!m_samples.empty()) {
        const RecordingSample& last = m_samples.back();
        if (sample.elapsedMs < last.elapsedMs || sample.frames < last.frames ||
            sample.bytesWritten < last.bytesWritten) {
            m_samples.clear();
        }
    }
    m_samples.push_back(sample);
    // Keep one reading at or before the window's start, so the span covers the window.
    while (m_samples.size() > 2 && m_samples[1].elapsedMs + kWindowMs <= sample.elapsedMs) {
        m_samples.pop_front();
    }

    RecordingFigures figures;
    figures.elapsedSeconds = sample.elapsedMs / 1000.0;
    figures.frames = sample.frames;
    figures.dropped = sample.dropped;
    figures.roomKnown = sample.roomKnown;
    figures.roomBytes = sample.roomBytes;
    const RecordingSample& base = m_samples.front();
    if (sample.elapsedMs > base.elapsedMs) {
        const double span = (sample.elapsedMs - base.elapsedMs) / 1000.0;
        figures.framesPerSecond = (sample.frames - base.frames) / span;
        figures.bytesPerSecond = double(sample.bytesWritten - base.bytesWritten) / span;
    } else if (sample.elapsedMs > 0) {
        // The first reading: the average since the start.
        const double span = sample.elapsedMs / 1000.0;
        figures.framesPerSecond = sample.frames / span;
        figures.bytesPerSecond = double(sample.bytesWritten) / span;
    }
    if (figures.roomKnown) {
        // While writing stalls (an error box holds the capture, say) the time left is
        // reckoned at the recording's average rate, so a warning does not go away.
        const double average =
            sample.elapsedMs > 0 ? double(sample.bytesWritten) * 1000.0 / sample.elapsedMs : 0.0;
        figures.secondsLeft = SecondsLeft(
            figures.roomBytes, figures.bytesPerSecond > 0 ? figures.bytesPerSecond : average);
        figures.lowSpace = figures.secondsLeft && *figures.secondsLeft < kLowSpaceSeconds;
    }
    return figures;
}

namespace texts {
namespace {

std::string Format(const char* format, auto... args)
{
    char buffer[256];
    std::snprintf(buffer, sizeof buffer, format, args...);
    return buffer;
}

std::string RateText(double bytesPerSecond)
{
    const double mb = bytesPerSecond / 1e6;
    return Format(mb < 10 ? "%.2f MB/s" : mb < 100 ? "%.1f MB/s" : "%.0f MB/s", mb);
}

} // namespace

std::string ElapsedText(double seconds)
{
    const long long whole = seconds > 0 ? (long long)std::floor(seconds) : 0;
    return Format("%lld:%02lld:%02lld", whole / 3600, whole / 60 % 60, whole % 60);
}

std::string DurationText(res::Language language, double seconds)
{
    const bool japanese = language == res::Language::Japanese;
    const long long whole = seconds > 0 ? (long long)std::floor(seconds) : 0;
    if (whole < 60) {
        return Format(japanese ? "%lld 秒" : "%lld s", whole);
    }
    if (whole < 3600) {
        return Format(japanese ? "%lld 分" : "%lld min", whole / 60);
    }
    if (whole < 100 * 3600) {
        return Format(japanese ? "%lld 時間 %02lld 分" : "%lld h %02lld min", whole / 3600,
                      whole / 60 % 60);
    }
    return japanese ? "100 時間以上" : "over 100 h";
}

std::string SizeText(std::uint64_t bytes)
{
    // Each unit up to where its rounded figure would reach the next unit.
    const double b = double(bytes);
    if (b < 999.5e6) {
        return Format("%.0f MB", b / 1e6);
    }
    if (b < 999.95e9) {
        return Format("%.1f GB", b / 1e9);
    }
    return Format("%.2f TB", b / 1e12);
}

std::string RecordingFiguresText(res::Language language, const RecordingFigures& f)
{
    const bool japanese = language == res::Language::Japanese;
    std::string line = (japanese ? "録画 " : "REC ") + ElapsedText(f.elapsedSeconds);
    line += japanese ? Format(" | %lu フレーム (欠落 %lu)", (unsigned long)f.frames,
                              (unsigned long)f.dropped)
                     : Format(" | %lu frames (%lu dropped)", (unsigned long)f.frames,
                              (unsigned long)f.dropped);
    line += Format(" | %.1f fps | ", f.framesPerSecond) + RateText(f.bytesPerSecond);
    if (!f.roomKnown) {
        return line;
    }
    const std::string room = SizeText(f.roomBytes);
    if (f.lowSpace) {
        // The warning comes first, so that a narrow window cannot cut it off.
        const std::string left = DurationText(language, *f.secondsLeft);
        return (japanese ? "あと " + left + "でディスクがいっぱいです (空き " + room + ") | "
                         : "Disk full in " + left + "! (" + room + " free) | ") +
               line;
    }
    if (f.secondsLeft) {
        const std::string left = DurationText(language, *f.secondsLeft);
        return line + (japanese ? " | 空き " + room + ": 残り " + left
                                : " | " + room + " free: " + left + " left");
    }
    return line + (japanese ? " | 空き " + room : " | " + room + " free");
}

} // namespace texts
} // namespace vexol::platform::capture
