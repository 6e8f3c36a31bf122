// Recording through the capture service at 1920 × 1080, 24-bit, into a file, each figure
// beside a reference doing the same work in the same run:
//  1. paced at 30 frames per second: the recording against a plain loop that writes the
//     same bytes in frame-sized blocks at the same pace and syncs every 500 ms, as the
//     capture file's checkpoints do: frames kept and late or dropped, CPU per frame;
//  2. as fast as the disk takes it (F frames per second requested): the frames per second
//     the recording keeps against a plain loop writing the same bytes unpaced with the
//     same syncs, and the disk's own rate (unpaced, one sync at the end);
//  3. stop latency of that fast recording: from WM_CAP_ABORT (what the Stop command
//     sends) and from WM_CAP_STOP until the service reports the capture ended, which is
//     when the file is complete.
//
// The recording's writer CPU per frame is the process CPU time of the recording minus
// that of a file-less frame stream of the same length (same driver, same capture thread).
//
//   bench_record [seconds] [fast fps]    (default 5 and 120; VEXOL_BENCH_DIR picks the folder)
#include "platform/WindowRegistry.h"
#include "platform/capture/CaptureService.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>
#include <QWidget>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <memory>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kWidth = 1920, kHeight = 1080;
constexpr std::size_t kFrameBytes = std::size_t(kWidth) * kHeight * 3;
constexpr DWORD kPacedPeriod = 33333;
constexpr auto kSyncInterval = std::chrono::milliseconds(500);

double CpuSeconds(clockid_t clock)
{
    timespec t{};
    clock_gettime(clock, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

double SecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

LRESULT CountFrame(HWND, VIDEOHDR*)
{
    return 0;
}

CAPSTATUS Status(HWND hwnd)
{
    CAPSTATUS s{};
    SendMessageA(hwnd, WM_CAP_GET_STATUS, sizeof s, LPARAM(&s));
    return s;
}

void SetUp(HWND hwnd, DWORD period, unsigned limitSeconds, bool toFile)
{
    CAPTUREPARMS p{};
    SendMessageA(hwnd, WM_CAP_GET_SEQUENCE_SETUP, sizeof p, LPARAM(&p));
    p.dwRequestMicroSecPerFrame = period;
    p.fYield = TRUE;
    p.fMakeUserHitOKToCapture = FALSE;
    p.vKeyAbort = 0;
    p.fAbortLeftMouse = FALSE;
    p.fAbortRightMouse = FALSE;
    p.fLimitEnabled = limitSeconds > 0;
    p.wTimeLimit = limitSeconds;
    p.wNumVideoRequested = 32; // what the application asks for when capturing to disk
    p.dwIndexSize = 324000;
    p.fCaptureAudio = FALSE;
    SendMessageA(hwnd, WM_CAP_SET_SEQUENCE_SETUP, sizeof p, LPARAM(&p));
    SendMessageA(hwnd, WM_CAP_SET_CALLBACK_VIDEOSTREAM, 0, toFile ? 0 : LPARAM(&CountFrame));
}

void WaitForEnd(HWND hwnd)
{
    while (Status(hwnd).fCapturingNow) {
        QThread::msleep(1);
    }
    QCoreApplication::processEvents(); // the window collects the capture thread
}

struct Paced
{
    CAPSTATUS status{};
    double cpuSeconds = 0;
};

// A capture limited to `seconds` at the paced period.
Paced CapturePaced(HWND hwnd, bool toFile, unsigned seconds)
{
    SetUp(hwnd, kPacedPeriod, seconds, toFile);
    Paced run;
    const double cpu = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    if (!SendMessageA(hwnd, toFile ? WM_CAP_SEQUENCE : WM_CAP_SEQUENCE_NOFILE, 0, 0)) {
        std::fprintf(stderr, "bench_record: the capture did not start\n");
        return run;
    }
    do {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(20);
        run.status = Status(hwnd);
    } while (run.status.fCapturingNow);
    run.cpuSeconds = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - cpu;
    QCoreApplication::processEvents();
    return run;
}

struct Fast
{
    CAPSTATUS atEnd{};
    double seconds = 0; // from the start until the capture had ended, the file complete
    double stopMs = 0;
};

// A capture at `period` for `seconds`, then ended by `stopMessage`.
Fast CaptureFast(HWND hwnd, DWORD period, unsigned seconds, UINT stopMessage)
{
    SetUp(hwnd, period, 0, true);
    Fast run;
    const auto start = Clock::now();
    if (!SendMessageA(hwnd, WM_CAP_SEQUENCE, 0, 0)) {
        std::fprintf(stderr, "bench_record: the capture did not start\n");
        return run;
    }
    const auto until = start + std::chrono::seconds(seconds);
    while (Clock::now() < until) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(20);
    }
    const auto stop = Clock::now();
    SendMessageA(hwnd, stopMessage, 0, 0);
    while (Status(hwnd).fCapturingNow) {
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    run.stopMs = SecondsSince(stop) * 1000.0;
    run.seconds = SecondsSince(start);
    run.atEnd = Status(hwnd);
    WaitForEnd(hwnd);
    return run;
}

struct Plain
{
    double seconds = 0;
    double cpuSeconds = 0;
    long frames = 0;
    long late = 0; // paced: frames written more than one period after their time
};

// Frame-sized blocks into a new file: at `period` (0: unpaced) until `frames` were written
// (paced) or `seconds` passed (unpaced); fdatasync every 500 ms when `periodicSync`, and
// once at the end in any case.
Plain PlainWrite(const std::string& path, DWORD period, long frames, double seconds,
                 bool periodicSync)
{
    std::vector<std::vector<char>> blocks(4, std::vector<char>(kFrameBytes));
    for (std::size_t b = 0; b < blocks.size(); ++b) {
        for (std::size_t i = 0; i < kFrameBytes; i += 64) {
            blocks[b][i] = char(i * 7 + b * 31);
        }
    }
    Plain run;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        return run;
    }
    const double cpu = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    const auto start = Clock::now();
    auto lastSync = start;
    for (long i = 0;; ++i) {
        if (period > 0) {
            if (i >= frames) {
                break;
            }
            const auto due = start + std::chrono::microseconds(std::uint64_t(period) * i);
            std::this_thread::sleep_until(due);
            if (Clock::now() > due + std::chrono::microseconds(period)) {
                ++run.late;
            }
        } else if (SecondsSince(start) >= seconds) {
            break;
        }
        const std::vector<char>& block = blocks[std::size_t(i) % blocks.size()];
        for (std::size_t done = 0; done < kFrameBytes;) {
            const ssize_t n = ::write(fd, block.data() + done, kFrameBytes - done);
            if (n <= 0) {
                ::close(fd);
                return run;
            }
            done += std::size_t(n);
        }
        ++run.frames;
        if (periodicSync && Clock::now() - lastSync >= kSyncInterval) {
            ::fdatasync(fd);
            lastSync = Clock::now();
        }
    }
    ::fdatasync(fd);
    run.seconds = SecondsSince(start);
    run.cpuSeconds = CpuSeconds(CLOCK_THREAD_CPUTIME_ID) - cpu;
    ::close(fd);
    ::unlink(path.c_str());
    return run;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    const unsigned seconds = argc > 1 ? unsigned(std::max(1, std::atoi(argv[1]))) : 5;
    const unsigned fastFps = argc > 2 ? unsigned(std::max(1, std::atoi(argv[2]))) : 120;
    const DWORD fastPeriod = DWORD(1000000 / fastFps);
    const QString base = qEnvironmentVariable("VEXOL_BENCH_DIR", QDir::tempPath());
    QTemporaryDir dir(base + "/bench_record-XXXXXX");
    const std::string path = dir.filePath("record.avi").toStdString();
    const std::string plainPath = dir.filePath("plain.bin").toStdString();

    auto parent = std::make_unique<QWidget>();
    HWND hwnd =
        capCreateCaptureWindowA("bench", WS_CHILD, 0, 0, 320, 240, HandleOfWindow(parent.get()), 0);
    SendMessageA(hwnd, WM_CAP_DRIVER_CONNECT, 0, 0);
    BITMAPINFOHEADER h{};
    h.biSize = sizeof h;
    h.biWidth = kWidth;
    h.biHeight = kHeight;
    h.biPlanes = 1;
    h.biBitCount = 24;
    SendMessageA(hwnd, WM_CAP_SET_VIDEOFORMAT, sizeof h, LPARAM(&h));
    SendMessageA(hwnd, WM_CAP_FILE_SET_CAPTURE_FILE, 0, LPARAM(path.c_str()));
    const double frameMB = kFrameBytes / 1e6;

    // 1. Paced.
    const Paced stream = CapturePaced(hwnd, false, seconds);
    const Paced record = CapturePaced(hwnd, true, seconds);
    const long pacedFrames = long(seconds) * 1000000 / kPacedPeriod;
    const Plain plainPaced = PlainWrite(plainPath, kPacedPeriod, pacedFrames, 0, true);
    const double frames = record.status.dwCurrentVideoFrame;
    const double streamPerFrame =
        stream.cpuSeconds / std::max<double>(1, stream.status.dwCurrentVideoFrame);
    std::printf("%dx%d 24-bit (%.1f MB a frame), %u s each, files in %s\n", kWidth, kHeight,
                frameMB, seconds, qPrintable(dir.path()));
    std::printf("1. Paced at 30 fps\n");
    std::printf("   recording    %5.0f frames kept, %4lu dropped, CPU %.2f ms/frame "
                "(writer %.2f ms after the file-less stream's %.2f)\n",
                frames, (unsigned long)record.status.dwCurrentVideoFramesDropped,
                record.cpuSeconds / std::max(1.0, frames) * 1000.0,
                (record.cpuSeconds / std::max(1.0, frames) - streamPerFrame) * 1000.0,
                streamPerFrame * 1000.0);
    std::printf("   plain loop   %5ld frames written, %4ld late, CPU %.2f ms/frame\n",
                plainPaced.frames, plainPaced.late,
                plainPaced.cpuSeconds / std::max(1L, plainPaced.frames) * 1000.0);

    // 2 and 3. Fast.
    const Fast aborted = CaptureFast(hwnd, fastPeriod, seconds, WM_CAP_ABORT);
    const Fast stopped = CaptureFast(hwnd, fastPeriod, seconds, WM_CAP_STOP);
    const Plain plainSynced = PlainWrite(plainPath, 0, 0, seconds, true);
    const Plain plainDisk = PlainWrite(plainPath, 0, 0, seconds, false);
    // Frames in the file over the time until it was complete, like the plain loop's
    // frames over the time until its last sync.
    auto keptFps = [](const Fast& run) {
        return run.seconds > 0 ? run.atEnd.dwCurrentVideoFrame / run.seconds : 0.0;
    };
    auto droppedShare = [](const CAPSTATUS& s) {
        const double total = double(s.dwCurrentVideoFrame) + s.dwCurrentVideoFramesDropped;
        return total > 0 ? 100.0 * s.dwCurrentVideoFramesDropped / total : 0.0;
    };
    std::printf("2. As fast as the disk takes it (%u fps requested)\n", fastFps);
    for (const Fast* run : {&aborted, &stopped}) {
        std::printf("   recording    %6.1f fps kept (%6.1f MB/s), %4.1f %% dropped, ended by %s\n",
                    keptFps(*run), keptFps(*run) * frameMB, droppedShare(run->atEnd),
                    run == &aborted ? "abort" : "stop");
    }
    std::printf("   plain loop   %6.1f fps (%6.1f MB/s), syncing every 500 ms\n",
                plainSynced.frames / plainSynced.seconds,
                plainSynced.frames / plainSynced.seconds * frameMB);
    std::printf("   disk         %6.1f fps (%6.1f MB/s), one sync at the end\n",
                plainDisk.frames / plainDisk.seconds,
                plainDisk.frames / plainDisk.seconds * frameMB);
    std::printf("3. Stop latency of the fast recording, until the capture has ended\n");
    std::printf("   WM_CAP_ABORT %7.1f ms\n", aborted.stopMs);
    std::printf("   WM_CAP_STOP  %7.1f ms (writes the queued frames first)\n", stopped.stopMs);
    parent.reset();
    return 0;
}
