// Runs the peer reader ffprobe on a file and returns what it reports, parsed from its
// JSON output: `ffprobe -v error -count_frames -show_streams -show_format -of json`.
#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <vector>

namespace vexol::test {

struct FfprobeStream
{
    QString codecType; // "video", "audio"
    QString codecName; // "rawvideo", "pcm_s16le", ...
    QString pixFmt;
    QString sampleFmt;
    int width = 0;
    int height = 0;
    int sampleRate = 0;
    int channels = 0;
    int bitsPerSample = 0;
    double frameRate = 0;         // r_frame_rate as a number
    double duration = -1;         // seconds, -1 when not reported
    long long nbFrames = -1;      // from the headers
    long long nbReadFrames = -1;  // decoded while counting
    long long nbReadPackets = -1; // with countPackets
    QJsonObject json;
};

struct FfprobeResult
{
    bool ran = false; // the process started and ended normally
    int exitCode = -1;
    QString errors; // what ffprobe wrote to stderr
    QString formatName;
    double formatDuration = -1;
    long long formatSize = -1;
    std::vector<FfprobeStream> streams;

    const FfprobeStream* Stream(const QString& type) const;
};

// `countPackets` adds -count_packets (packets are counted without decoding).
FfprobeResult RunFfprobe(const QString& path, bool countPackets = false);

struct FfprobePacket
{
    long long pts = -1;
    long long size = -1;
};

// The packets of the first stream of `type` ("v" or "a") in file order, as ffprobe's
// -show_packets lists them; empty when ffprobe fails.
std::vector<FfprobePacket> RunFfprobePackets(const QString& path, const QString& type);

} // namespace vexol::test
