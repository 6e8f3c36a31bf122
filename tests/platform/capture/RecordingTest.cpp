// Recording into the capture file (WM_CAP_SEQUENCE) through the real service: the ways a
// recording ends, the status and error reports, pre-allocation, save-as, write errors,
// dropped frames and audio from an ALSA test device. ffprobe reads every file written.
#include "CaptureTestHelpers.h"

#include "platform/FileTarget.h"
#include "platform/audio/WaveInput.h"
#include "platform/framework/Resources.h"
#include "support/AlsaTestDevices.h"
#include "support/AviTestSupport.h"
#include "support/FfprobeRunner.h"

#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <algorithm>
#include <csignal>
#include <sys/resource.h>
#include <thread>

namespace capture_test {
namespace {

constexpr int kWidth = 160;
constexpr int kHeight = 120;
constexpr DWORD kPeriod = 50000; // 20 frames per second

struct Recording
{
    CAPSTATUS status{};
    vexol::test::FfprobeResult probe;
};

class RecordingTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        vexol::res::SetLanguage(vexol::res::Language::English);
        Recorder().Reset();
        vexol::platform::audio::SetWaveInputDevice(vexol::test::kNullDevice);
        ASSERT_TRUE(f.Connect(kTestPatternIndex));
        ASSERT_EQ(f.SetFormat(kWidth, kHeight, 24), TRUE);
        f.RegisterRecorder(false);
        SetCaptureFile("capture.avi");
    }
    void TearDown() override
    {
        f.Send(WM_CAP_ABORT);
        f.WaitForCaptureEnd();
        Recorder().Reset();
        vexol::platform::audio::SetWaveInputDevice("");
        vexol::res::ResetLanguage();
    }

    CallbackRecorder& Recorder() { return CallbackRecorder::Instance(); }
    std::string Path(const char* name) const { return dir.filePath(name).toStdString(); }
    void SetCaptureFile(const char* name)
    {
        path = Path(name);
        ASSERT_EQ(f.Send(WM_CAP_FILE_SET_CAPTURE_FILE, 0, path.c_str()), TRUE);
    }
    // The setup the application forces for a recording: Esc and the right button stop it.
    void SetRecordSetup(UINT timeLimit = 0, BOOL audio = FALSE, DWORD indexSize = 34952)
    {
        CAPTUREPARMS p = f.Setup();
        p.dwRequestMicroSecPerFrame = kPeriod;
        p.fMakeUserHitOKToCapture = FALSE;
        p.wPercentDropForError = 10;
        p.fYield = TRUE;
        p.dwIndexSize = indexSize;
        p.wNumVideoRequested = 32;
        p.fCaptureAudio = audio;
        p.vKeyAbort = 27;
        p.fAbortLeftMouse = FALSE;
        p.fAbortRightMouse = TRUE;
        p.fLimitEnabled = timeLimit > 0;
        p.wTimeLimit = timeLimit;
        ASSERT_EQ(f.Send(WM_CAP_SET_SEQUENCE_SETUP, sizeof p, &p), TRUE);
    }
    // Waits for the end, then checks that the file holds what the service reported.
    Recording Finish(int timeoutMs = 10000)
    {
        Recording r;
        EXPECT_TRUE(f.WaitForCaptureEnd(timeoutMs));
        EXPECT_TRUE(WaitUntil([&] { return Recorder().SawStatus(IDS_CAP_END); }));
        r.status = f.Status();
        r.probe = vexol::test::RunFfprobe(QString::fromStdString(path), true);
        EXPECT_EQ(r.probe.exitCode, 0) << r.probe.errors.toStdString();
        const auto* v = r.probe.Stream("video");
        if (!v) {
            ADD_FAILURE() << "no video stream";
            return r;
        }
        EXPECT_EQ(v->codecName, "rawvideo");
        EXPECT_EQ(v->width, kWidth);
        EXPECT_EQ(v->height, kHeight);
        EXPECT_NEAR(v->frameRate, 1e6 / kPeriod, 0.01);
        // Every frame the service counts is in the file; dropped ones are empty entries.
        EXPECT_EQ(v->nbReadPackets, r.status.dwCurrentVideoFrame);
        EXPECT_GE(v->nbFrames, v->nbReadPackets);
        EXPECT_LE(v->nbFrames, r.status.dwCurrentVideoFrame + r.status.dwCurrentVideoFramesDropped);
        // The frame clock: about one entry per period of the capture time. Generous,
        // since a loaded machine may start the frames late. Above: the first frame may
        // be made just before the start, slots round to the nearest period, and the
        // elapsed time is whole milliseconds.
        const double periods = r.status.dwCurrentTimeElapsedMS * 1000.0 / kPeriod;
        EXPECT_LE(v->nbFrames, periods + 3);
        EXPECT_GE(v->nbFrames, periods * 0.5 - 2);
        return r;
    }

    BuiltInDriversOnly builtIns;
    QTemporaryDir dir;
    DriverWindowFixture f;
    std::string path;
};

TEST_F(RecordingTest, TimeLimitEndsARecordingWithTheStatusReportsInOrder)
{
    SetRecordSetup(1);
    ASSERT_EQ(f.Send(WM_CAP_SEQUENCE), TRUE);
    EXPECT_TRUE(f.Status().fCapturingNow) << "with yield, the send returns at once";
    const Recording r = Finish();
    EXPECT_GE(r.status.dwCurrentTimeElapsedMS, 1000u);
    EXPECT_LT(r.status.dwCurrentTimeElapsedMS, 4000u);
    EXPECT_GE(r.status.dwCurrentVideoFrame, 5u);
    EXPECT_EQ(r.probe.Stream("audio"), nullptr);

    const std::vector<int> ids = Recorder().StatusIds();
    std::vector<int> order;
    for (int id : {IDS_CAP_STAT_CAP_INIT, IDS_CAP_BEGIN, IDS_CAP_STAT_PROMPT, IDS_CAP_STAT_CAP_FINI,
                   IDS_CAP_STAT_VIDEOONLY, IDS_CAP_END}) {
        const auto at = std::find(ids.begin(), ids.end(), id);
        ASSERT_NE(at, ids.end()) << "status " << id;
        order.push_back(int(at - ids.begin()));
    }
    EXPECT_TRUE(std::is_sorted(order.begin(), order.end()));
    EXPECT_EQ(ids.back(), IDS_CAP_END);
    std::lock_guard lock(Recorder().mutex);
    const auto& statusTexts = Recorder().statusTexts;
    const auto prompt = std::find(ids.begin(), ids.end(), IDS_CAP_STAT_PROMPT) - ids.begin();
    EXPECT_EQ(statusTexts[prompt], "Press Esc or the right mouse button to stop.");
    const auto summary = std::find(ids.begin(), ids.end(), IDS_CAP_STAT_VIDEOONLY) - ids.begin();
    EXPECT_NE(statusTexts[summary].find(std::to_string(r.status.dwCurrentVideoFrame) + " frames"),
              std::string::npos)
        << statusTexts[summary];
    EXPECT_TRUE(Recorder().errorIds.empty());
}

TEST_F(RecordingTest, SummaryIsInTheUsersLanguage)
{
    vexol::res::SetLanguage(vexol::res::Language::Japanese);
    SetRecordSetup(1);
    ASSERT_EQ(f.Send(WM_CAP_SEQUENCE), TRUE);
    Finish();
    std::lock_guard lock(Recorder().mutex);
    const auto& ids = Recorder().statusIds;
    const auto at = std::find(ids.begin(), ids.end(), IDS_CAP_STAT_VIDEOONLY) - ids.begin();
    ASSERT_LT(std::size_t(at), ids.size());
    EXPECT_NE(Recorder().statusTexts[at].find("フレーム"), std::string::npos);
}

TEST_F(RecordingTest, StopAndAbortKeepEveryWrittenFrame)
{
    for (UINT message : {WM_CAP_STOP, WM_CAP_ABORT}) {
        SCOPED_TRACE(message == WM_CAP_STOP ? "stop" : "abort");
        Recorder().Reset();
        SetRecordSetup();
        ASSERT_EQ(f.Send(WM_CAP_SEQUENCE), TRUE);
        ASSERT_TRUE(WaitUntil([&] { return f.Status().dwCurrentVideoFrame >= 5; }));
        EXPECT_EQ(f.Send(message), TRUE);
        const Recording r = Finish();
        EXPECT_GE(r.status.dwCurrentVideoFrame, 5u);
    }
}

void PressKey(QWidget* target, int key)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
}

void Click(QWidget* target, Qt::MouseButton button)
{
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), button, button,
                      Qt::NoModifier);
    QApplication::sendEvent(target, &press);
}

TEST_F(RecordingTest, EscAndRightButtonEndTheRecordingTheLeftButtonDoesNot)
{
    struct
    {
        const char* what;
        std::function<void(QWidget*)> input;
        bool ends;
    } const cases[] = {
        {"Esc", [](QWidget* w) { PressKey(w, Qt::Key_Escape); }, true},
        {"right button", [](QWidget* w) { Click(w, Qt::RightButton); }, true},
        {"left button", [](QWidget* w) { Click(w, Qt::LeftButton); }, false},
        {"another key", [](QWidget* w) { PressKey(w, Qt::Key_Space); }, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Recorder().Reset();
        SetRecordSetup();
        ASSERT_EQ(f.Send(WM_CAP_SEQUENCE), TRUE);
        ASSERT_TRUE(WaitUntil([&] { return f.Status().dwCurrentVideoFrame >= 3; }));
        c.input(f.parent.get());
        if (!c.ends) {
            PumpFor(300);
            EXPECT_TRUE(f.Status().fCapturingNow);
            f.Send(WM_CAP_STOP);
        }
        const Recording r = Finish();
        EXPECT_GE(r.status.dwCurrentVideoFrame, 3u);
    }
}

TEST_F(RecordingTest, AFullIndexEndsTheRecordingWithAPlayableFile)
{
    SetRecordSetup(0, FALSE, 12);
    ASSERT_EQ(f.Send(WM_CAP_SEQUENCE), TRUE);
    const Recording r = Finish();
    EXPECT_EQ(Recorder().ErrorIds(), std::vector<int>{IDS_CAP_INDEX_FULL});
    ASSERT_NE(r.probe.Stream("video"), nullptr);
    EXPECT_LE(r.probe.Stream("video")->nbFrames, 12);
    EXPECT_GE(r.probe.Stream("video")->nbFrames, 10);
}

TEST_F(RecordingTest, PreAllocatedFileIsReusedAndSaveAsCopiesOnlyTheMovie)
{
    constexpr long long kAllocated = 8ll << 20;
    ASSERT_EQ(f.Send(WM_CAP_FILE_ALLOCATE, 0, LPARAM(kAllocated)), TRUE);
    EXPECT_EQ(vexol::test::FileSize(path), kAllocated);
    EXPECT_TRUE(f.Status().fCapFileExists);

    SetRecordSetup(1);
    ASSERT_EQ(f.Send(WM_CAP_SEQUENCE), TRUE);
    const Recording first = Finish();
    EXPECT_EQ(vexol::test::FileSize(path), kAllocated) << "written in place";

    Recorder().Reset();
    SetRecordSetup();
    ASSERT_EQ(f.Send(WM_CAP_SEQUENCE), TRUE);
    ASSERT_TRUE(WaitUntil([&] { return f.Status().dwCurrentVideoFrame >= 3; }));
    f.Send(WM_CAP_STOP);
    const Recording second = Finish();
    EXPECT_EQ(vexol::test::FileSize(path), kAllocated);
    ASSERT_NE(second.probe.Stream("video"), nullptr);
    ASSERT_NE(first.probe.Stream("video"), nullptr);
    EXPECT_LT(second.probe.Stream("video")->nbReadPackets,
              first.probe.Stream("video")->nbReadPackets);

    const std::string saved = Path("saved.avi");
    ASSERT_EQ(f.Send(WM_CAP_FILE_SAVEAS, 0, saved.c_str()), TRUE);
    const long long savedSize = vexol::test::FileSize(saved);
    const long long frameBytes = kWidth * kHeight * 3;
    EXPECT_GT(savedSize, second.status.dwCurrentVideoFrame * frameBytes);
    EXPECT_LT(savedSize, (second.status.dwCurrentVideoFrame + 2) * frameBytes + (256 << 10))
        << "the movie, not the allocation";
    const auto probe = vexol::test::RunFfprobe(QString::fromStdString(saved), true);
    EXPECT_EQ(probe.exitCode, 0) << probe.errors.toStdString();
    ASSERT_NE(probe.Stream("video"), nullptr);
    EXPECT_EQ(probe.Stream("video")->nbReadPackets, second.probe.Stream("video")->nbReadPackets);
}

// Save-as of a capture file cut short (copied off a full disk) rebuilds the movie and
// says, through the error callback, how many frames it kept.
TEST_F(RecordingTest, SaveAsOfACaptureFileCutShortRebuildsItAndSaysWhatWasKept)
{
    SetRecordSetup(1);
    ASSERT_EQ(f.Send(WM_CAP_SEQUENCE), TRUE);
    const Recording recorded = Finish();
    auto bytes = vexol::test::ReadFileBytes(path);
    bytes.resize(bytes.size() / 2);
    ASSERT_TRUE(vexol::test::WriteFileBytes(path, bytes));
    Recorder().Reset();
    const std::string saved = Path("saved.avi");
    ASSERT_EQ(f.Send(WM_CAP_FILE_SAVEAS, 0, saved.c_str()), TRUE);
    const auto probe = vexol::test::RunFfprobe(QString::fromStdString(saved), true);
    ASSERT_EQ(probe.exitCode, 0) << probe.errors.toStdString();
    const long long kept = probe.Stream("video")->nbReadPackets;
    EXPECT_GT(kept, 0);
    EXPECT_LT(kept, recorded.probe.Stream("video")->nbReadPackets);
    EXPECT_EQ(Recorder().ErrorIds(), std::vector<int>{IDS_CAP_FILE_REBUILT});
    std::lock_guard lock(Recorder().mutex);
    ASSERT_EQ(Recorder().errorTexts.size(), 1u);
    EXPECT_NE(Recorder().errorTexts[0].find(std::to_string(kept) + " frames"), std::string::npos)
        << Recorder().errorTexts[0];
}

TEST_F(RecordingTest, FileOperationsThatCannotWorkAnswerFalseWithAnError)
{
    // Save-as onto the capture file itself, and an allocation in a missing folder.
    EXPECT_EQ(f.Send(WM_CAP_FILE_SAVEAS, 0, path.c_str()), FALSE);
    SetCaptureFile("missing/folder/capture.avi");
    EXPECT_EQ(f.Send(WM_CAP_FILE_ALLOCATE, 0, LPARAM(1 << 20)), FALSE);
    SetRecordSetup(1);
    EXPECT_EQ(f.Send(WM_CAP_SEQUENCE), FALSE);
    EXPECT_FALSE(f.Status().fCapturingNow);
    const std::vector<int> errors = Recorder().ErrorIds();
    EXPECT_EQ(std::count(errors.begin(), errors.end(), IDS_CAP_FILE_ERROR), 3);
    std::lock_guard lock(Recorder().mutex);
    for (const std::string& text : Recorder().errorTexts) {
        EXPECT_FALSE(text.empty());
    }
}

// A capture file that cannot be recorded into is refused before anything is reported
// as started, with the reason in the user's language: another writer holds it, it is a
// link or a kernel file, or not even the first frame fits. Allocation and save-as meet
// the same lock. The file refused is left as it was.
TEST_F(RecordingTest, RefusedCaptureFilesSayWhyBeforeTheStartInBothLanguages)
{
    const std::string victim = Path("victim.txt");
    ASSERT_TRUE(vexol::test::WriteFileBytes(victim, {'k', 'e', 'e', 'p'}));
    ASSERT_EQ(::symlink("victim.txt", Path("link.avi").c_str()), 0);
    vexol::platform::LockedFile held;
    ASSERT_TRUE(vexol::platform::LockedFile::OpenForWriting(Path("held.avi"), held).Ok());
    struct Case
    {
        const char* capture;
        bool sizeLimit;
        const char* english;
        const char* japanese;
    };
    const Case cases[] = {
        {"held.avi", false, "the capture file is in use", "キャプチャファイルは使用中です"},
        {"link.avi", false, "it is a symbolic link", "シンボリックリンクです"},
        {"/proc/self/stat", false, "kernel pseudo file system", "疑似ファイルシステム"},
        {"first.avi", true, "the first frame does not fit", "最初のフレーム"},
    };
    for (const auto language : {vexol::res::Language::English, vexol::res::Language::Japanese}) {
        vexol::res::SetLanguage(language);
        for (const Case& c : cases) {
            SCOPED_TRACE(c.capture);
            Recorder().Reset();
            path = c.capture[0] == '/' ? std::string(c.capture) : Path(c.capture);
            ASSERT_EQ(f.Send(WM_CAP_FILE_SET_CAPTURE_FILE, 0, path.c_str()), TRUE);
            SetRecordSetup(1);
            rlimit saved{};
            ::getrlimit(RLIMIT_FSIZE, &saved);
            const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
            if (c.sizeLimit) {
                rlimit limit = saved;
                limit.rlim_cur = 20 * 1024; // the header fits, a 160x120 frame does not
                ::setrlimit(RLIMIT_FSIZE, &limit);
            }
            const LRESULT started = f.Send(WM_CAP_SEQUENCE);
            ::setrlimit(RLIMIT_FSIZE, &saved);
            std::signal(SIGXFSZ, previousHandler);
            EXPECT_EQ(started, FALSE);
            f.WaitForCaptureEnd();
            EXPECT_FALSE(Recorder().SawStatus(IDS_CAP_BEGIN));
            std::lock_guard lock(Recorder().mutex);
            ASSERT_EQ(Recorder().errorTexts.size(), 1u);
            const std::string& text = Recorder().errorTexts[0];
            const char* expected =
                language == vexol::res::Language::English ? c.english : c.japanese;
            EXPECT_NE(text.find(expected), std::string::npos) << text;
            EXPECT_EQ(text.find("system error"), std::string::npos) << text;
        }
    }
    // The held file also keeps allocation and save-as out, at once.
    vexol::res::SetLanguage(vexol::res::Language::English);
    Recorder().Reset();
    path = Path("held.avi");
    ASSERT_EQ(f.Send(WM_CAP_FILE_SET_CAPTURE_FILE, 0, path.c_str()), TRUE);
    EXPECT_EQ(f.Send(WM_CAP_FILE_ALLOCATE, 0, LPARAM(1 << 20)), FALSE);
    EXPECT_EQ(f.Send(WM_CAP_FILE_SAVEAS, 0, Path("copy.avi").c_str()), FALSE);
    {
        std::lock_guard lock(Recorder().mutex);
        ASSERT_EQ(Recorder().errorTexts.size(), 2u);
        for (const std::string& text : Recorder().errorTexts) {
            EXPECT_NE(text.find("the capture file is in use"), std::string::npos) << text;
        }
    }
    EXPECT_EQ(vexol::test::FileSize(Path("held.avi")), 0);
    EXPECT_EQ(vexol::test::ReadFileBytes(victim), (std::vector<std::uint8_t>{'k', 'e', 'e', 'p'}));
    EXPECT_FALSE(QFile::exists(dir.filePath("copy.avi")));
    EXPECT_FALSE(QFile::exists(dir.filePath("first.avi")))
        << "made for a recording that never began";
}

TEST_F(RecordingTest, AWriteErrorEndsTheRecordingWithAnErrorAndAPlayableFile)
{
    // Files of this process may not grow past 400 KB: writes past it fail as on a full disk.
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = saved;
    limit.rlim_cur = 400 * 1024;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    SetRecordSetup(10);
    ASSERT_EQ(f.Send(WM_CAP_SEQUENCE), TRUE);
    EXPECT_TRUE(f.WaitForCaptureEnd(10000));
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    const Recording r = Finish();
    EXPECT_LT(r.status.dwCurrentTimeElapsedMS, 9000u) << "ended by the error, not the limit";
    EXPECT_EQ(Recorder().ErrorIds(), std::vector<int>{IDS_CAP_FILE_ERROR});
    ASSERT_NE(r.probe.Stream("video"), nullptr);
    EXPECT_GE(r.probe.Stream("video")->nbReadPackets, 2);
}

LRESULT SlowYield(HWND)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(40));
    CallbackRecorder::Instance().yieldCalls.fetch_add(1);
    return 1;
}

TEST_F(RecordingTest, DroppedFramesKeepTheTimeAndTooManyAreReported)
{
    // A yield procedure slower than the frame period and two buffers: frames must drop.
    f.Send(WM_CAP_SET_CALLBACK_YIELD, 0, reinterpret_cast<LPARAM>(&SlowYield));
    SetRecordSetup(2);
    CAPTUREPARMS p = f.Setup();
    p.dwRequestMicroSecPerFrame = 20000;
    p.wNumVideoRequested = 2;
    ASSERT_EQ(f.Send(WM_CAP_SET_SEQUENCE_SETUP, sizeof p, &p), TRUE);
    ASSERT_EQ(f.Send(WM_CAP_SEQUENCE), TRUE);
    ASSERT_TRUE(f.WaitForCaptureEnd(10000));
    ASSERT_TRUE(WaitUntil([&] { return Recorder().SawStatus(IDS_CAP_END); }));
    const CAPSTATUS s = f.Status();
    EXPECT_GT(s.dwCurrentVideoFramesDropped, 0u);
    EXPECT_EQ(Recorder().ErrorIds(), std::vector<int>{IDS_CAP_STAT_FRAMESDROPPED});
    const auto probe = vexol::test::RunFfprobe(QString::fromStdString(path), true);
    ASSERT_NE(probe.Stream("video"), nullptr);
    const auto& v = *probe.Stream("video");
    EXPECT_EQ(v.nbReadPackets, s.dwCurrentVideoFrame);
    EXPECT_GT(v.nbFrames, v.nbReadPackets) << "dropped frames are empty entries";
    // With the empty entries the movie lasts about as long as the capture.
    const double periods = s.dwCurrentTimeElapsedMS / 20.0;
    EXPECT_GE(v.nbFrames, periods * 0.6);
    EXPECT_LE(v.nbFrames, periods + 2);
}

LRESULT RecordYieldThread(HWND)
{
    auto& r = CallbackRecorder::Instance();
    r.yieldCalls.fetch_add(QThread::currentThread() == r.mainThread ? 1 : 1000);
    return 1;
}

TEST_F(RecordingTest, WithoutYieldTheSendReturnsAfterTheRecordingAndYieldsOnItsThread)
{
    f.Send(WM_CAP_SET_CALLBACK_YIELD, 0, reinterpret_cast<LPARAM>(&RecordYieldThread));
    SetRecordSetup(1);
    CAPTUREPARMS p = f.Setup();
    p.fYield = FALSE;
    ASSERT_EQ(f.Send(WM_CAP_SET_SEQUENCE_SETUP, sizeof p, &p), TRUE);
    ASSERT_EQ(f.Send(WM_CAP_SEQUENCE), TRUE);
    EXPECT_FALSE(f.Status().fCapturingNow);
    EXPECT_TRUE(Recorder().SawStatus(IDS_CAP_END)) << "the last report came before the return";
    const int calls = Recorder().yieldCalls.load();
    EXPECT_GE(calls, 3);
    EXPECT_LT(calls, 1000) << "the yield procedure ran on another thread";
    Finish();
}

TEST_F(RecordingTest, AudioFromTheTestDeviceIsInterleavedAndInStep)
{
    vexol::test::ScopedAlsaTestDevices devices;
    const auto format = vexol::test::MakePcmFormat(22050, 16, 1);
    ASSERT_EQ(f.Send(WM_CAP_SET_AUDIOFORMAT, format.size(), format.data()), TRUE);
    EXPECT_TRUE(f.Status().fAudioHardware);
    SetRecordSetup(2, TRUE);
    ASSERT_EQ(f.Send(WM_CAP_SEQUENCE), TRUE);
    const Recording r = Finish();
    EXPECT_TRUE(Recorder().SawStatus(IDS_CAP_STAT_VIDEOAUDIO));
    EXPECT_FALSE(Recorder().SawStatus(IDS_CAP_STAT_VIDEOONLY));
    const auto* a = r.probe.Stream("audio");
    const auto* v = r.probe.Stream("video");
    ASSERT_NE(a, nullptr);
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(a->codecName, "pcm_s16le");
    EXPECT_EQ(a->sampleRate, 22050);
    EXPECT_EQ(a->channels, 1);
    // The device has no clock: it is held to real time, and nothing follows the stop.
    const double audioSeconds = double(a->nbFrames) / 22050;
    const double videoSeconds = v->nbFrames * kPeriod / 1e6;
    const double captureSeconds = r.status.dwCurrentTimeElapsedMS / 1000.0;
    EXPECT_NEAR(audioSeconds, captureSeconds, 0.4);
    EXPECT_LE(audioSeconds, captureSeconds + 0.1);
    EXPECT_NEAR(audioSeconds, videoSeconds, 0.5);
    // Interleaved: audio chunks come between the video frames, not all at the end.
    const auto packets = vexol::test::RunFfprobePackets(QString::fromStdString(path), "a");
    EXPECT_GE(packets.size(), 6u);
}

TEST_F(RecordingTest, WithoutAnAudioDeviceTheRecordingIsVideoOnlyAndSaysSo)
{
    vexol::test::ScopedAlsaTestDevices devices;
    vexol::platform::audio::SetWaveInputDevice(vexol::test::kMissingDevice);
    EXPECT_FALSE(f.Status().fAudioHardware);
    SetRecordSetup(1, TRUE);
    ASSERT_EQ(f.Send(WM_CAP_SEQUENCE), TRUE);
    const Recording r = Finish();
    EXPECT_EQ(r.probe.Stream("audio"), nullptr);
    std::lock_guard lock(Recorder().mutex);
    const auto& ids = Recorder().statusIds;
    const auto at = std::find(ids.begin(), ids.end(), IDS_CAP_STAT_VIDEOONLY) - ids.begin();
    ASSERT_LT(std::size_t(at), ids.size());
    EXPECT_NE(Recorder().statusTexts[at].find("No audio was recorded"), std::string::npos);
}

TEST_F(RecordingTest, NoChangesWhileRecording)
{
    SetRecordSetup();
    ASSERT_EQ(f.Send(WM_CAP_SEQUENCE), TRUE);
    ASSERT_TRUE(WaitUntil([&] { return f.Status().dwCurrentVideoFrame >= 2; }));
    EXPECT_EQ(f.Send(WM_CAP_SEQUENCE), FALSE);
    EXPECT_EQ(f.Send(WM_CAP_FILE_ALLOCATE, 0, LPARAM(1 << 20)), FALSE);
    EXPECT_EQ(f.Send(WM_CAP_FILE_SAVEAS, 0, Path("copy.avi").c_str()), FALSE);
    EXPECT_EQ(f.Send(WM_CAP_FILE_SET_CAPTURE_FILE, 0, Path("other.avi").c_str()), FALSE);
    f.Send(WM_CAP_STOP);
    Finish();
}

} // namespace
} // namespace capture_test
