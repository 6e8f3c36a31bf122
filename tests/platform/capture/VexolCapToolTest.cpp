// vexol-cap run as a user runs it: the driver list, stills of every depth read back by
// Qt, and clear errors with a non-zero exit for bad arguments and absent drivers.
#include "platform/capture/AviFormat.h"
#include "platform/capture/AviScanner.h"
#include "support/AlsaTestDevices.h"
#include "support/AviTestSupport.h"
#include "support/FfprobeRunner.h"
#include "support/RefusedTargets.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

struct ToolRun
{
    int exitCode = -1;
    QString out;
    QString err;
};

void StartTool(QProcess& process, const QStringList& arguments)
{
    const QString program = QDir(QStringLiteral(VEXOL_BUILD_DIR)).filePath("vexol-cap");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("QT_QPA_PLATFORM"); // the tool must manage without a display of its own
    env.remove("DISPLAY");
    env.insert("LC_ALL", "C.UTF-8");
    process.setProcessEnvironment(env);
    process.start(program, arguments);
}

ToolRun Collect(QProcess& process, const QString& program)
{
    ToolRun run;
    if (!process.waitForFinished(30000)) {
        ADD_FAILURE() << program.toStdString() << " did not run (build the vexol-cap target)";
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

ToolRun RunTool(const QStringList& arguments)
{
    QProcess process;
    StartTool(process, arguments);
    return Collect(process, "vexol-cap");
}

TEST(VexolCapTool, ListsTheBuiltInCamerasWithIndexNameAndVersion)
{
    const ToolRun run = RunTool({"list"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains("Vexol Test Pattern Camera  (Version 1.0 (built-in))"))
        << run.out.toStdString();
    EXPECT_TRUE(run.out.contains("Vexol Shutter-Switch Camera")) << run.out.toStdString();
}

TEST(VexolCapTool, SavesStillsOfEveryDepth)
{
    QTemporaryDir dir;
    struct
    {
        QStringList arguments;
        QSize size;
    } const cases[] = {
        {{"--depth", "8"}, QSize(320, 240)},
        {{"--size", "640x480", "--depth", "16"}, QSize(640, 480)},
        {{"--size=160x120", "--depth=32"}, QSize(160, 120)},
        {{"--size", "1920x1080"}, QSize(1920, 1080)},
        {{"--driver", "1", "--size", "640x480"}, QSize(640, 480)},
    };
    int n = 0;
    for (const auto& c : cases) {
        const QString out = dir.filePath(QStringLiteral("still%1.bmp").arg(n++));
        const ToolRun run = RunTool(QStringList{"still"} + c.arguments + QStringList{"--out", out});
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
        EXPECT_TRUE(run.out.startsWith("Saved a")) << run.out.toStdString();
        const QImage image(out);
        EXPECT_EQ(image.size(), c.size);
    }
}

TEST(VexolCapTool, NearestFormatIsUsedAndNoted)
{
    QTemporaryDir dir;
    const QString out = dir.filePath("near.bmp");
    const ToolRun run = RunTool({"still", "--size", "700x500", "--out", out});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains("640x480")) << run.err.toStdString();
    EXPECT_EQ(QImage(out).size(), QSize(640, 480));
}

TEST(VexolCapTool, HelpAndBadArguments)
{
    const ToolRun help = RunTool({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.contains("vexol-cap still")) << help.out.toStdString();

    struct
    {
        QStringList arguments;
        const char* message;
    } const bad[] = {
        {{}, "no command"},
        {{"play"}, "unknown command 'play'"},
        {{"record"}, "record needs --out FILE.avi"},
        {{"record", "--fps", "0", "--out", "x.avi"}, "--fps needs a rate"},
        {{"record", "--seconds", "x", "--out", "x.avi"}, "--seconds needs whole seconds"},
        {{"record", "--allocate", "5000", "--out", "x.avi"}, "--allocate needs megabytes"},
        {{"still", "--audio", "--out", "x.bmp"}, "unknown argument '--audio'"},
        {{"list", "extra"}, "list takes no arguments"},
        {{"still"}, "still needs --out"},
        {{"still", "--out"}, "--out needs a value"},
        {{"still", "--depth", "12", "--out", "x.bmp"}, "--depth needs 8, 16, 24 or 32"},
        {{"still", "--size", "640", "--out", "x.bmp"}, "--size needs WIDTHxHEIGHT"},
        {{"still", "--size", "0x480", "--out", "x.bmp"}, "--size needs WIDTHxHEIGHT"},
        {{"still", "--driver", "-1", "--out", "x.bmp"}, "--driver needs an index"},
        {{"still", "--driver", "12", "--out", "x.bmp"}, "--driver needs an index"},
        {{"still", "--colour", "--out", "x.bmp"}, "unknown argument '--colour'"},
        {{"probe", "--driver"}, "--driver needs a value"},
        {{"probe", "--driver", "10"}, "--driver needs an index"},
        {{"probe", "--size", "1x1"}, "unknown argument '--size'"},
    };
    for (const auto& b : bad) {
        const ToolRun run = RunTool(b.arguments);
        EXPECT_EQ(run.exitCode, 2) << b.message;
        EXPECT_TRUE(run.err.contains(b.message)) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains("Usage:")) << b.message;
    }
}

TEST(VexolCapTool, ProbeOfABuiltInCameraSaysSo)
{
    // Without a camera on the machine the last driver is a built-in one; the probe of a
    // real camera is the same text as the camera driver's description (tested there).
    const ToolRun list = RunTool({"list"});
    const int last = int(list.out.count('\n')) - 1;
    ASSERT_GE(last, 0);
    const ToolRun run = RunTool({"probe", "--driver", QString::number(last)});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains("is a built-in camera")) << run.out.toStdString();
    const ToolRun none = RunTool({"probe", "--driver", "9"});
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_TRUE(none.err.contains("there is no driver 9")) << none.err.toStdString();
}

TEST(VexolCapTool, FailuresExitWithOneAndWriteNothing)
{
    QTemporaryDir dir;
    const QString out = dir.filePath("none.bmp");
    ToolRun run = RunTool({"still", "--driver", "7", "--out", out});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains("there is no driver 7")) << run.err.toStdString();
    EXPECT_FALSE(QFile::exists(out));

    run = RunTool({"still", "--out", dir.filePath("missing/folder/x.bmp")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains("could not write")) << run.err.toStdString();
}

// ---- record --------------------------------------------------------------------------

// Every frame is indexed: the header's frame count is what a reader finds, the frames
// dropped on a loaded machine being empty chunks that keep the time but are no packets.
void ExpectEveryFrameIndexed(const QString& path, const vexol::test::FfprobeStream& video)
{
    namespace cap = vexol::platform::capture;
    cap::AviFileInfo info;
    ASSERT_TRUE(cap::ScanAviFile(path.toStdString(), info).Ok());
    std::uint64_t empty = 0;
    for (const auto& stream : info.streams) {
        if (stream.type == cap::avi::kVids) {
            empty += stream.emptyChunks;
        }
    }
    EXPECT_EQ(video.nbFrames, video.nbReadPackets + (long long)empty) << "every frame indexed";
}

// ffprobe reads the movie: 160x120 raw video at `fps`, at least `minFrames` frames.
vexol::test::FfprobeResult CheckMovie(const QString& path, double fps, long long minFrames)
{
    const auto probe = vexol::test::RunFfprobe(path, true);
    EXPECT_EQ(probe.exitCode, 0) << probe.errors.toStdString();
    const auto* v = probe.Stream("video");
    if (!v) {
        ADD_FAILURE() << "no video stream in " << path.toStdString();
        return probe;
    }
    EXPECT_EQ(v->width, 160);
    EXPECT_EQ(v->height, 120);
    EXPECT_NEAR(v->frameRate, fps, 0.01);
    EXPECT_GE(v->nbReadPackets, minFrames);
    return probe;
}

TEST(VexolCapRecord, RecordsForTheGivenTimeWithSoundIntoAnAllocatedFile)
{
    vexol::test::ScopedAlsaTestDevices devices;
    qputenv("VEXOL_AUDIO_DEVICE", vexol::test::kNullDevice);
    QTemporaryDir dir;
    const QString out = dir.filePath("movie.avi");
    const ToolRun run = RunTool({"record", "--size", "160x120", "--fps", "20", "--seconds", "2",
                                 "--audio", "--allocate", "4", "--out", out});
    qunsetenv("VEXOL_AUDIO_DEVICE");
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.startsWith("Captured ")) << run.out.toStdString();
    EXPECT_TRUE(run.out.contains("Audio:")) << run.out.toStdString();
    // The live figures, a plain line a second when standard error is no terminal.
    const QRegularExpression figures(
        R"(REC 0:00:0\d \| \d+ frames \(\d+ dropped\) \| [\d.]+ fps \| [\d.]+ MB/s \| )"
        R"([\d.]+ [MGT]B free(: \d+ (s|min|h \d+ min) left)?\n)");
    EXPECT_TRUE(figures.match(run.err).hasMatch()) << run.err.toStdString();
    EXPECT_FALSE(run.err.contains('\r'));
    EXPECT_EQ(QFileInfo(out).size(), 4 << 20) << "the allocation stays";
    const auto probe = CheckMovie(out, 20, 15);
    const auto* v = probe.Stream("video");
    ASSERT_NE(v, nullptr);
    EXPECT_LE(v->nbFrames, 60) << "about 40 expected";
    ASSERT_NE(probe.Stream("audio"), nullptr);
    EXPECT_EQ(probe.Stream("audio")->sampleRate, 11025);
}

// Ctrl+C, SIGTERM and a closed terminal (SIGHUP) end the recording with every frame
// indexed and the summary printed; SIGKILL leaves what the last checkpoint holds.
TEST(VexolCapRecord, SignalsStopCleanlyAndAKilledRecordingStaysPlayable)
{
    QTemporaryDir dir;
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGKILL}) {
        SCOPED_TRACE(strsignal(signal));
        const QString out = dir.filePath(QStringLiteral("open-ended-%1.avi").arg(signal));
        QProcess process;
        StartTool(process, {"record", "--size", "160x120", "--fps", "20", "--out", out});
        ASSERT_TRUE(process.waitForStarted());
        // Past a few checkpoints of the writer.
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 2000 && process.state() == QProcess::Running) {
            QThread::msleep(50);
        }
        ASSERT_EQ(process.state(), QProcess::Running)
            << process.readAllStandardError().toStdString();
        ::kill(pid_t(process.processId()), signal);
        const ToolRun run = Collect(process, "vexol-cap");
        if (signal != SIGKILL) {
            EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
            EXPECT_TRUE(run.out.startsWith("Captured ")) << run.out.toStdString();
            const auto probe = CheckMovie(out, 20, 20);
            if (const auto* v = probe.Stream("video")) {
                ExpectEveryFrameIndexed(out, *v);
            }
            EXPECT_EQ(QFileInfo(out).size(), probe.formatSize) << "no reserved space left over";
        } else {
            EXPECT_EQ(run.exitCode, -1);
            CheckMovie(out, 20, 5);
        }
    }
}

// Runs the tool with a file-size limit of `bytes`, as `ulimit -f` gives it.
ToolRun RunToolWithSizeLimit(const QStringList& arguments, rlim_t bytes)
{
    QProcess process;
    process.setChildProcessModifier([bytes] {
        rlimit limit{bytes, bytes};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    });
    StartTool(process, arguments);
    return Collect(process, "vexol-cap");
}

// Names in `dir`, hidden ones included.
QStringList NamesIn(const QTemporaryDir& dir)
{
    return QDir(dir.path())
        .entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::Dirs | QDir::NoDotAndDotDot);
}

// Special files, links and kernel files are never written through; each refusal says why.
TEST(VexolCapTool, RefusedTargetsAreLeftAloneAndTheReasonIsGiven)
{
    QTemporaryDir dir;
    vexol::test::RefusedTargets targets(dir.path().toStdString());
    for (const vexol::test::RefusedTarget& target : targets.All()) {
        SCOPED_TRACE(target.label);
        const QString path = QString::fromStdString(target.path);
        const ToolRun still = RunTool({"still", "--out", path});
        EXPECT_EQ(still.exitCode, 1);
        const ToolRun record = RunTool({"record", "--seconds", "1", "--out", path});
        EXPECT_EQ(record.exitCode, 1);
        const bool link = target.label.find("link") != std::string::npos;
        const bool kernel = target.label.find("kernel") != std::string::npos;
        const char* reason = link     ? "symbolic link"
                             : kernel ? "kernel pseudo file system"
                                      : "not a regular file";
        EXPECT_TRUE(still.err.contains(reason)) << still.err.toStdString();
        EXPECT_TRUE(record.err.contains(reason) ||
                    record.err.contains("cannot be the capture file"))
            << record.err.toStdString();
        EXPECT_FALSE(record.err.contains("recording 320x240")) << record.err.toStdString();
        EXPECT_EQ(targets.Changes(), "");
    }
}

// Two recordings into one file: the second is refused at once, in the user's
// language, and the first one's movie is whole.
TEST(VexolCapRecord, ASecondRecordingIntoTheSameFileIsRefusedAtOnce)
{
    QTemporaryDir dir;
    const QString out = dir.filePath("same.avi");
    QProcess first;
    StartTool(first,
              {"record", "--size", "160x120", "--fps", "20", "--seconds", "3", "--out", out});
    ASSERT_TRUE(first.waitForStarted());
    QElapsedTimer timer;
    timer.start();
    while (!first.readAllStandardError().contains("recording") && timer.elapsed() < 10000) {
        first.waitForReadyRead(100);
    }
    for (const char* language : {"C.UTF-8", "ja_JP.UTF-8"}) {
        QProcess second;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("LC_ALL", language);
        second.setProcessEnvironment(env);
        second.start(QDir(QStringLiteral(VEXOL_BUILD_DIR)).filePath("vexol-cap"),
                     {"record", "--size", "160x120", "--seconds", "3", "--out", out});
        const ToolRun run = Collect(second, "vexol-cap");
        EXPECT_EQ(run.exitCode, 1);
        const QString expected = QString::fromUtf8(std::string(language) == "C.UTF-8"
                                                       ? "the capture file is in use"
                                                       : "キャプチャファイルは使用中です");
        EXPECT_TRUE(run.err.contains(expected)) << run.err.toStdString();
    }
    const ToolRun run = Collect(first, "vexol-cap");
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    const auto probe = CheckMovie(out, 20, 30);
    if (const auto* v = probe.Stream("video")) {
        ExpectEveryFrameIndexed(out, *v);
        EXPECT_TRUE(run.out.contains(QStringLiteral("Captured %1 frames").arg(v->nbReadPackets)))
            << run.out.toStdString();
    }
}

// A file-size limit ends a recording cleanly with the reason (the signal it raises is
// ignored), refuses one whose first frame does not fit before it starts, and leaves no
// temporary file of a still.
TEST(VexolCapRecord, AFileSizeLimitEndsCleanlyWithTheReason)
{
    QTemporaryDir dir;
    const QString movie = dir.filePath("limited.avi");
    ToolRun run = RunToolWithSizeLimit(
        {"record", "--size", "160x120", "--fps", "20", "--seconds", "5", "--out", movie},
        600 * 1024);
    EXPECT_EQ(run.exitCode, 1) << "ended by a signal?";
    EXPECT_TRUE(run.err.contains("the file has reached the largest size allowed"))
        << run.err.toStdString();
    EXPECT_TRUE(run.out.startsWith("Captured ")) << run.out.toStdString();
    const auto probe = CheckMovie(movie, 20, 5);
    if (const auto* v = probe.Stream("video")) {
        ExpectEveryFrameIndexed(movie, *v);
    }

    run = RunToolWithSizeLimit({"record", "--size", "160x120", "--out", dir.filePath("first.avi")},
                               20 * 1024);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains("the first frame does not fit")) << run.err.toStdString();
    EXPECT_FALSE(run.err.contains("recording 160x120")) << run.err.toStdString();

    run = RunToolWithSizeLimit({"still", "--out", dir.filePath("still.bmp")}, 100 * 1024);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains("largest size")) << run.err.toStdString();
    EXPECT_EQ(NamesIn(dir), QStringList({"limited.avi"}));
}

// Names: a legal long name takes a still; an overlong capture file name says why.
TEST(VexolCapTool, LongNamesWorkOrSayWhyNot)
{
    QTemporaryDir dir;
    const QString still = dir.filePath(QString(246, 'n') + ".bmp");
    ToolRun run = RunTool({"still", "--out", still});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(QImage(still).size(), QSize(320, 240));
    run = RunTool({"record", "--seconds", "1", "--out", QString(300, 'a') + ".avi"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains("longer than 260 bytes")) << run.err.toStdString();
}

// A temporary file left by a writer that died is removed by the next still in its
// folder; one that is not ours stays.
TEST(VexolCapTool, TheNextStillRemovesTemporaryFilesOfDeadWriters)
{
    QTemporaryDir dir;
    const timespec past[2] = {{::time(nullptr) - 60, 0}, {::time(nullptr) - 60, 0}};
    for (const char* name : {".vexol-tmp-Ab12Cd", "other.tmp-Ab12Cd"}) {
        ASSERT_TRUE(vexol::test::WriteFileBytes(dir.filePath(name).toStdString(), {1, 2, 3}));
        ::utimensat(AT_FDCWD, dir.filePath(name).toLocal8Bit().constData(), past, 0);
    }
    const ToolRun run = RunTool({"still", "--out", dir.filePath("x.bmp")});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(NamesIn(dir), QStringList({"other.tmp-Ab12Cd", "x.bmp"}));
}

// vexol-cap repair rebuilds a movie cut short and says how many frames it kept.
TEST(VexolCapTool, RepairRebuildsAMovieCutShort)
{
    QTemporaryDir dir;
    const QString whole = dir.filePath("whole.avi");
    ASSERT_EQ(
        RunTool({"record", "--size", "160x120", "--fps", "20", "--seconds", "1", "--out", whole})
            .exitCode,
        0);
    auto bytes = vexol::test::ReadFileBytes(whole.toStdString());
    bytes.resize(bytes.size() * 2 / 3);
    const QString cut = dir.filePath("cut.avi");
    ASSERT_TRUE(vexol::test::WriteFileBytes(cut.toStdString(), bytes));
    const QString fixed = dir.filePath("fixed.avi");
    ToolRun run = RunTool({"repair", cut, fixed});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const auto probe = CheckMovie(fixed, 20, 5);
    const auto* v = probe.Stream("video");
    ASSERT_NE(v, nullptr);
    ExpectEveryFrameIndexed(fixed, *v);
    EXPECT_TRUE(run.out.contains(QStringLiteral("%1 frames").arg(v->nbReadPackets)))
        << run.out.toStdString();
    run = RunTool({"repair", dir.filePath("missing.avi"), fixed});
    EXPECT_EQ(run.exitCode, 1);
    run = RunTool({"repair", cut});
    EXPECT_EQ(run.exitCode, 2);
}

} // namespace
