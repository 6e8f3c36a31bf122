// The camera path at 1920 × 1080, each figure beside the library it rests on, measured in
// the same run (median of several runs; asserts nothing):
//  - YUYV → RGB for the picture: ours (FrameToImage) and libyuv's YUY2ToARGB directly;
//  - MJPEG → RGB at full size and decoder-scaled to half: ours and tjDecompress2 directly;
//  - CPU time of the whole path from a scripted 1080p30 MJPEG camera through the real
//    driver to the live picture (painted scaled to half size) and to a recording,
//    per camera frame and as a share of one core.
#include "platform/WindowRegistry.h"
#include "platform/capture/CaptureService.h"
#include "platform/capture/DriverWindow.h"
#include "platform/capture/FrameConversion.h"
#include "platform/capture/v4l2/CameraFrames.h"
#include "scripted/ScriptedCamera.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>
#include <QWidget>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <functional>
#include <libyuv/convert_argb.h>
#include <linux/videodev2.h>
#include <turbojpeg.h>
#include <vector>

namespace {

using namespace vexol::platform::capture;
using namespace vexol::platform::capture::v4l2;

constexpr int kWidth = 1920, kHeight = 1080;
constexpr int kRuns = 31;

double MedianMs(const std::function<void()>& work)
{
    work(); // warm up
    std::vector<double> times;
    for (int i = 0; i < kRuns; ++i) {
        const auto start = std::chrono::steady_clock::now();
        work();
        times.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

double ProcessCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

void Pump(int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
}

// A natural-looking 1080p picture as a camera would send it: gradients and texture.
std::vector<std::uint8_t> CameraJpeg()
{
    std::vector<std::uint8_t> rgb(std::size_t(kWidth) * kHeight * 3);
    std::uint32_t seed = 7;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            seed = seed * 1664525u + 1013904223u;
            std::uint8_t* p = &rgb[(std::size_t(y) * kWidth + x) * 3];
            p[0] = std::uint8_t(x * 255 / kWidth + (seed >> 28));
            p[1] = std::uint8_t(y * 255 / kHeight + (seed >> 29));
            p[2] = std::uint8_t((x + y) / 12 + (seed >> 30));
        }
    }
    tjhandle h = tjInitCompress();
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    tjCompress2(h, rgb.data(), kWidth, 0, kHeight, TJPF_RGB, &jpeg, &size, TJSAMP_422, 85, 0);
    std::vector<std::uint8_t> bytes(jpeg, jpeg + size);
    tjFree(jpeg);
    tjDestroy(h);
    return bytes;
}

VideoFrame Frame(std::uint32_t fourcc, const std::vector<std::uint8_t>& bytes)
{
    VideoFrame f;
    f.format = std::make_shared<const VideoFormat>(
        *PublishedFormat(fourcc, kWidth, kHeight, kWidth * kHeight * 2));
    f.data = bytes;
    f.data.resize(std::max<std::size_t>(bytes.size(), f.format->FrameBytes()));
    f.bytesUsed = DWORD(bytes.size());
    return f;
}

void Conversions()
{
    std::vector<std::uint8_t> yuyv(std::size_t(kWidth) * kHeight * 2);
    for (std::size_t i = 0; i < yuyv.size(); ++i) {
        yuyv[i] = std::uint8_t(i % 2 ? 128 + (i / 4096) % 64 : 16 + (i / 3) % 200);
    }
    const VideoFrame yuyvFrame = Frame(V4L2_PIX_FMT_YUYV, yuyv);
    QImage direct(kWidth, kHeight, QImage::Format_RGB32);
    if (FrameToImage(yuyvFrame).isNull()) {
        std::printf("YUYV conversion failed\n");
    }
    const double oursYuyv = MedianMs([&] { QImage i = FrameToImage(yuyvFrame); });
    const double libYuyv = MedianMs([&] {
        QImage i(kWidth, kHeight, QImage::Format_RGB32);
        libyuv::YUY2ToARGB(yuyv.data(), kWidth * 2, i.bits(), int(i.bytesPerLine()), kWidth,
                           kHeight);
    });
    std::printf("YUYV 1920x1080 -> RGB:       ours %7.2f ms   libyuv   %7.2f ms   ratio %.2f\n",
                oursYuyv, libYuyv, oursYuyv / libYuyv);

    const std::vector<std::uint8_t> jpeg = CameraJpeg();
    const VideoFrame jpegFrame = Frame(V4L2_PIX_FMT_MJPEG, jpeg);
    if (FrameToImage(jpegFrame).isNull()) {
        std::printf("MJPEG conversion failed\n");
    }
    tjhandle handle = tjInitDecompress();
    for (int divisor : {1, 2}) {
        const int w = kWidth / divisor, h = kHeight / divisor;
        const QSize fit = divisor == 1 ? QSize() : QSize(w, h);
        const double ours = MedianMs([&] { QImage i = FrameToImage(jpegFrame, fit); });
        const double lib = MedianMs([&] {
            QImage i(w, h, QImage::Format_RGB32);
            tjDecompress2(handle, jpeg.data(), jpeg.size(), i.bits(), w, int(i.bytesPerLine()), h,
                          TJPF_BGRX, TJFLAG_STOPONWARNING);
        });
        std::printf("MJPEG 1920x1080 -> %4dx%-4d ours %7.2f ms   turbojpeg %7.2f ms  ratio %.2f\n",
                    w, h, ours, lib, ours / lib);
    }
    tjDestroy(handle);
    std::printf("(JPEG frame of %zu bytes, 4:2:2)\n\n", jpeg.size());
}

// CPU share of one core and per camera frame while the scripted camera streams 1080p30
// MJPEG through the real driver, for `seconds`.
void CameraPath(bool record, int seconds)
{
    scripted::ScriptedCameraScope scope;
    scope.Io().Plug("/dev/video0", scripted::ScriptedCamera::TypicalWebcam());
    QWidget parent;
    parent.resize(kWidth / 2, kHeight / 2);
    HWND hwnd = capCreateCaptureWindowA("bench", WS_CHILD | WS_VISIBLE, 0, 0, kWidth / 2,
                                        kHeight / 2, HandleOfWindow(&parent), 0);
    parent.show();
    SendMessageA(hwnd, WM_CAP_DRIVER_CONNECT, 0, 0);
    BITMAPINFOHEADER h{};
    h.biSize = sizeof h;
    h.biWidth = kWidth;
    h.biHeight = kHeight;
    h.biBitCount = 24;
    h.biCompression = FOURCC_MJPG;
    SendMessageA(hwnd, WM_CAP_SET_VIDEOFORMAT, sizeof h, LPARAM(&h));
    SendMessageA(hwnd, WM_CAP_SET_SCALE, TRUE, 0);
    QTemporaryDir dir;
    const std::string path = dir.filePath("bench.avi").toStdString();
    if (record) {
        SendMessageA(hwnd, WM_CAP_FILE_SET_CAPTURE_FILE, 0, LPARAM(path.c_str()));
        CAPTUREPARMS p{};
        SendMessageA(hwnd, WM_CAP_GET_SEQUENCE_SETUP, sizeof p, LPARAM(&p));
        p.dwRequestMicroSecPerFrame = 33333;
        p.fYield = TRUE;
        p.vKeyAbort = 0;
        p.fAbortLeftMouse = p.fAbortRightMouse = FALSE;
        p.wNumVideoRequested = 32;
        p.dwIndexSize = 100000;
        SendMessageA(hwnd, WM_CAP_SET_SEQUENCE_SETUP, sizeof p, LPARAM(&p));
    }
    SendMessageA(hwnd, WM_CAP_SET_PREVIEWRATE, 66, 0);
    SendMessageA(hwnd, WM_CAP_SET_PREVIEW, record ? FALSE : TRUE, 0);
    if (record) {
        SendMessageA(hwnd, WM_CAP_SEQUENCE, 0, 0);
    }
    Pump(1000); // the camera's pictures are made once, at the start
    const std::uint64_t framesBefore = scope.Io().FramesMade("/dev/video0");
    const double cpuBefore = ProcessCpuSeconds();
    const auto wallBefore = std::chrono::steady_clock::now();
    Pump(seconds * 1000);
    const double cpu = ProcessCpuSeconds() - cpuBefore;
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wallBefore).count();
    const std::uint64_t frames = scope.Io().FramesMade("/dev/video0") - framesBefore;
    const long long shown = static_cast<DriverWindow*>(WindowOfHandle(hwnd))->ShownFrameNumber();
    CAPSTATUS s{};
    SendMessageA(hwnd, WM_CAP_GET_STATUS, sizeof s, LPARAM(&s));
    SendMessageA(hwnd, WM_CAP_STOP, 0, 0);
    Pump(300);
    std::printf("%-34s %4llu frames in %.1f s: %.2f ms CPU per frame, %.1f %% of one core%s\n",
                record ? "1080p30 MJPEG camera -> recording:" : "1080p30 MJPEG camera -> picture:",
                static_cast<unsigned long long>(frames), wall,
                frames ? cpu * 1000 / double(frames) : 0.0, cpu / wall * 100,
                record ? "" : " (shown at 15 Hz, scaled to 960x540)");
    if (!record && shown < 0) {
        std::printf("  (no frame was shown)\n");
    }
    if (record) {
        std::printf("%-34s %lu frames written, %lu dropped\n", "",
                    static_cast<unsigned long>(s.dwCurrentVideoFrame),
                    static_cast<unsigned long>(s.dwCurrentVideoFramesDropped));
    }
    delete WindowOfHandle(hwnd);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    Conversions();
    CameraPath(false, seconds);
    CameraPath(true, seconds);
    return 0;
}
