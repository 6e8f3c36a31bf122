// Recording through the capture service at 1920 × 1080, 24-bit, 30 frames per second, into
// a file: frames captured and dropped, the writer's CPU time per frame and the data rate.
// Beside it, in the same run, the same bytes written by a plain sequential write loop.
//
// The writer's CPU per frame is the process CPU time of the recording minus that of a
// file-less frame stream of the same length (same driver, same capture thread), per frame.
//
//   bench_record [seconds]      (default 10; VEXOL_BENCH_DIR picks the folder)
#include "platform/capture/CaptureService.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>
#include <QWidget>
#include <atomic>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kWidth = 1920, kHeight = 1080;
constexpr DWORD kPeriod = 33333;

double ProcessCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

LRESULT CountFrame(HWND, VIDEOHDR*)
{
    return 0;
}

struct Run
{
    CAPSTATUS status{};
    double cpuSeconds = 0;
    double wallSeconds = 0;
};

Run Capture(HWND hwnd, bool toFile, unsigned seconds)
{
    CAPTUREPARMS p{};
    SendMessageA(hwnd, WM_CAP_GET_SEQUENCE_SETUP, sizeof p, LPARAM(&p));
    p.dwRequestMicroSecPerFrame = kPeriod;
    p.fYield = TRUE;
    p.fMakeUserHitOKToCapture = FALSE;
    p.vKeyAbort = 0;
    p.fAbortLeftMouse = FALSE;
    p.fAbortRightMouse = FALSE;
    p.fLimitEnabled = TRUE;
    p.wTimeLimit = seconds;
    p.wNumVideoRequested = 32;
    p.dwIndexSize = 40 * seconds + 1000;
    p.fCaptureAudio = FALSE;
    SendMessageA(hwnd, WM_CAP_SET_SEQUENCE_SETUP, sizeof p, LPARAM(&p));
    SendMessageA(hwnd, WM_CAP_SET_CALLBACK_VIDEOSTREAM, 0, toFile ? 0 : LPARAM(&CountFrame));
    Run run;
    const double cpu = ProcessCpuSeconds();
    QElapsedTimer timer;
    timer.start();
    if (!SendMessageA(hwnd, toFile ? WM_CAP_SEQUENCE : WM_CAP_SEQUENCE_NOFILE, 0, 0)) {
        std::fprintf(stderr, "bench_record: the capture did not start\n");
        return run;
    }
    do {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(20);
        SendMessageA(hwnd, WM_CAP_GET_STATUS, sizeof run.status, LPARAM(&run.status));
    } while (run.status.fCapturingNow);
    run.wallSeconds = timer.elapsed() / 1000.0;
    run.cpuSeconds = ProcessCpuSeconds() - cpu;
    return run;
}

// Writes `bytes` in frame-sized blocks and syncs: seconds taken.
double PlainWrite(const std::string& path, long long bytes, std::size_t block)
{
    std::vector<char> buffer(block, 'x');
    QElapsedTimer timer;
    timer.start();
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) {
        return -1;
    }
    for (long long done = 0; done < bytes;) {
        const ssize_t n = ::write(fd, buffer.data(),
                                  std::size_t(std::min<long long>(bytes - done, (long long)block)));
        if (n <= 0) {
            break;
        }
        done += n;
    }
    ::fdatasync(fd);
    ::close(fd);
    return timer.elapsed() / 1000.0;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    const unsigned seconds = argc > 1 ? unsigned(std::max(1, std::atoi(argv[1]))) : 10;
    const QString base = qEnvironmentVariable("VEXOL_BENCH_DIR", QDir::tempPath());
    QTemporaryDir dir(base + "/bench_record-XXXXXX");
    const std::string path = dir.filePath("record.avi").toStdString();

    auto parent = std::make_unique<QWidget>();
    HWND hwnd = capCreateCaptureWindowA("bench", WS_CHILD, 0, 0, 320, 240, parent.get(), 0);
    SendMessageA(hwnd, WM_CAP_DRIVER_CONNECT, 0, 0);
    BITMAPINFOHEADER h{};
    h.biSize = sizeof h;
    h.biWidth = kWidth;
    h.biHeight = kHeight;
    h.biPlanes = 1;
    h.biBitCount = 24;
    SendMessageA(hwnd, WM_CAP_SET_VIDEOFORMAT, sizeof h, LPARAM(&h));
    SendMessageA(hwnd, WM_CAP_FILE_SET_CAPTURE_FILE, 0, LPARAM(path.c_str()));

    const Run stream = Capture(hwnd, false, seconds);
    const Run record = Capture(hwnd, true, seconds);
    struct stat info
    {
    };
    ::stat(path.c_str(), &info);
    const long long bytes = info.st_size;
    const double plain = PlainWrite(dir.filePath("plain.bin").toStdString(), bytes,
                                    std::size_t(kWidth) * kHeight * 3);

    const double frames = record.status.dwCurrentVideoFrame;
    const double streamPerFrame =
        stream.cpuSeconds / std::max<double>(1, stream.status.dwCurrentVideoFrame);
    const double writerMs =
        frames > 0 ? (record.cpuSeconds / frames - streamPerFrame) * 1000.0 : 0.0;
    const double recordMBs = bytes / 1e6 / record.wallSeconds;
    const double plainMBs = plain > 0 ? bytes / 1e6 / plain : 0.0;
    std::printf("Recording %dx%d 24-bit at 30 fps for %u s into %s\n", kWidth, kHeight, seconds,
                path.c_str());
    std::printf("  frames captured        %lu\n", (unsigned long)record.status.dwCurrentVideoFrame);
    std::printf("  frames dropped         %lu\n",
                (unsigned long)record.status.dwCurrentVideoFramesDropped);
    std::printf("  file                   %.1f MB in %.2f s: %.1f MB/s\n", bytes / 1e6,
                record.wallSeconds, recordMBs);
    std::printf("  CPU per frame          %.2f ms recording, %.2f ms file-less stream\n",
                record.cpuSeconds / std::max(1.0, frames) * 1000.0, streamPerFrame * 1000.0);
    std::printf("  writer CPU per frame   %.2f ms\n", writerMs);
    std::printf("  plain write loop       %.1f MB in %.2f s: %.1f MB/s\n", bytes / 1e6, plain,
                plainMBs);
    std::printf("  ratio                  the recording's data rate is %.2f of the plain loop's\n",
                plainMBs > 0 ? recordMBs / plainMBs : 0.0);
    parent.reset();
    return 0;
}
