#include "FfprobeRunner.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>

namespace vexol::test {

namespace {

double Number(const QJsonObject& o, const char* key, double absent)
{
    const QJsonValue v = o.value(QLatin1String(key));
    if (v.isDouble()) {
        return v.toDouble();
    }
    bool ok = false;
    const double d = v.toString().toDouble(&ok);
    return ok ? d : absent;
}

double Rate(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char('/'));
    if (parts.size() != 2) {
        return 0;
    }
    const double den = parts[1].toDouble();
    return den != 0 ? parts[0].toDouble() / den : 0;
}

} // namespace

const FfprobeStream* FfprobeResult::Stream(const QString& type) const
{
    for (const FfprobeStream& s : streams) {
        if (s.codecType == type) {
            return &s;
        }
    }
    return nullptr;
}

namespace {

bool Run(const QStringList& args, QByteArray& out, QByteArray& err, int& exitCode)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("LC_ALL", "C");
    process.setProcessEnvironment(env);
    process.start("ffprobe", args);
    if (!process.waitForStarted(10000) || !process.waitForFinished(120000) ||
        process.exitStatus() != QProcess::NormalExit) {
        process.kill();
        process.waitForFinished(5000);
        return false;
    }
    exitCode = process.exitCode();
    out = process.readAllStandardOutput();
    err = process.readAllStandardError();
    return true;
}

} // namespace

std::vector<FfprobePacket> RunFfprobePackets(const QString& path, const QString& type)
{
    std::vector<FfprobePacket> packets;
    QByteArray out, err;
    int exitCode = -1;
    if (!Run({"-v", "error", "-select_streams", type + ":0", "-show_entries", "packet=pts,size",
              "-of", "json", path},
             out, err, exitCode) ||
        exitCode != 0) {
        return packets;
    }
    const QJsonObject root = QJsonDocument::fromJson(out).object();
    for (const QJsonValue& v : root.value("packets").toArray()) {
        const QJsonObject o = v.toObject();
        packets.push_back({(long long)Number(o, "pts", -1), (long long)Number(o, "size", -1)});
    }
    return packets;
}

FfprobeResult RunFfprobe(const QString& path, bool countPackets)
{
    FfprobeResult result;
    QStringList args{"-v", "error", "-count_frames"};
    if (countPackets) {
        args << "-count_packets";
    }
    args << "-show_streams"
         << "-show_format"
         << "-of"
         << "json" << path;
    QByteArray out, err;
    if (!Run(args, out, err, result.exitCode)) {
        return result;
    }
    result.ran = true;
    result.errors = QString::fromUtf8(err);
    const QJsonObject root = QJsonDocument::fromJson(out).object();
    const QJsonObject format = root.value("format").toObject();
    result.formatName = format.value("format_name").toString();
    result.formatDuration = Number(format, "duration", -1);
    result.formatSize = (long long)Number(format, "size", -1);
    for (const QJsonValue& v : root.value("streams").toArray()) {
        const QJsonObject o = v.toObject();
        FfprobeStream s;
        s.json = o;
        s.codecType = o.value("codec_type").toString();
        s.codecName = o.value("codec_name").toString();
        s.pixFmt = o.value("pix_fmt").toString();
        s.sampleFmt = o.value("sample_fmt").toString();
        s.width = int(Number(o, "width", 0));
        s.height = int(Number(o, "height", 0));
        s.sampleRate = int(Number(o, "sample_rate", 0));
        s.channels = int(Number(o, "channels", 0));
        s.bitsPerSample = int(Number(o, "bits_per_sample", 0));
        s.frameRate = Rate(o.value("r_frame_rate").toString());
        s.duration = Number(o, "duration", -1);
        s.nbFrames = (long long)Number(o, "nb_frames", -1);
        s.nbReadFrames = (long long)Number(o, "nb_read_frames", -1);
        s.nbReadPackets = (long long)Number(o, "nb_read_packets", -1);
        result.streams.push_back(s);
    }
    return result;
}

} // namespace vexol::test
