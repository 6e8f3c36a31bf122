// Frame delivery cost of the capture service at 1920 × 1080, 24-bit, each beside a
// reference doing the same work (the names end in "Reference"):
//  - how fast the test-pattern camera draws frames (one thread), beside copying a whole
//    prepared frame, the least work that yields a new frame;
//  - one streamed frame drawn and handed to the video-stream callback, beside that copy
//    and the private copy the callback gets;
//  - frames per second delivered to a video-stream callback by a running frame stream
//    (driver thread and capture thread), and the CPU time each frame costs, so that
//    1000 / (CPU ms per frame) is the rate one core sustains, beside the rate asked for;
//  - the preview's CPU time per painted frame: conversion and drawing, unscaled and
//    scaled to a smaller window, beside Qt converting and drawing the same frame;
//  - the conversion alone, beside Qt converting the same bytes (and turning the
//    bottom-up rows the right way up, as the conversion does).
#include "platform/WindowRegistry.h"
#include "platform/capture/CaptureService.h"
#include "platform/capture/CaptureSession.h"
#include "platform/capture/DriverWindow.h"
#include "platform/capture/FrameConversion.h"
#include "platform/capture/TestPatternDriver.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <atomic>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstring>
#include <ctime>
#include <memory>
#include <thread>

namespace {

using namespace vexol::platform::capture;

constexpr int kWidth = 1920, kHeight = 1080;

double ProcessCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

struct Window
{
    Window(int width, int height)
    {
        parent = std::make_unique<QWidget>();
        hwnd = capCreateCaptureWindowA("bench", WS_CHILD | WS_VISIBLE, 0, 0, width, height,
                                       HandleOfWindow(parent.get()), 0);
        SendMessageA(hwnd, WM_CAP_DRIVER_CONNECT, 0, 0);
        BITMAPINFOHEADER h{};
        h.biSize = sizeof h;
        h.biWidth = kWidth;
        h.biHeight = kHeight;
        h.biPlanes = 1;
        h.biBitCount = 24;
        SendMessageA(hwnd, WM_CAP_SET_VIDEOFORMAT, sizeof h, LPARAM(&h));
    }
    std::unique_ptr<QWidget> parent;
    HWND hwnd = nullptr;
};

void BM_TestPatternDraw(benchmark::State& state)
{
    TestPatternDriver driver;
    driver.Open();
    driver.SetFormat({kWidth, kHeight, 24, BI_RGB});
    std::uint64_t n = 0;
    for (auto _ : state) {
        FramePtr frame = driver.RenderFrameNumber(n++);
        benchmark::DoNotOptimize(frame->data.data());
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["fps"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_TestPatternDraw)->Unit(benchmark::kMillisecond);

// A whole frame copied from a prepared one into a frame buffer.
void BM_TestPatternDrawReference(benchmark::State& state)
{
    TestPatternDriver driver;
    driver.Open();
    driver.SetFormat({kWidth, kHeight, 24, BI_RGB});
    const FramePtr prepared = driver.RenderFrameNumber(1);
    std::vector<BYTE> target(prepared->data.size());
    for (auto _ : state) {
        std::memcpy(target.data(), prepared->data.data(), target.size());
        benchmark::DoNotOptimize(target.data());
        benchmark::ClobberMemory();
    }
    state.counters["fps"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_TestPatternDrawReference)->Unit(benchmark::kMillisecond);

std::atomic<std::uint64_t> g_delivered{0};

LRESULT CountFrame(HWND, VIDEOHDR* header)
{
    benchmark::DoNotOptimize(header->lpData[header->dwBytesUsed - 1]);
    g_delivered.fetch_add(1, std::memory_order_relaxed);
    return 0;
}

// The work of one streamed frame on one thread: draw it, then hand it to the video-stream
// callback as the capture thread does (a private copy described by a VIDEOHDR).
void BM_DrawAndDeliverOneCore(benchmark::State& state)
{
    TestPatternDriver driver;
    driver.Open();
    driver.SetFormat({kWidth, kHeight, 24, BI_RGB});
    CaptureSessionConfig config;
    config.callbacks = std::make_shared<CallbackTable>();
    config.callbacks->Set(CallbackKind::VideoStream, LPARAM(&CountFrame));
    config.format = driver.CurrentFormat();
    auto consumer = std::make_unique<StreamCallbackConsumer>();
    StreamCallbackConsumer& deliver = *consumer;
    CaptureSession session(config, std::move(consumer));
    std::uint64_t n = 0;
    for (auto _ : state) {
        const FramePtr frame = driver.RenderFrameNumber(n);
        deliver.Consume(session, *frame, DWORD(n), n);
        ++n;
    }
    state.counters["fps"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DrawAndDeliverOneCore)->Unit(benchmark::kMillisecond);

// A frame copied from a prepared one, then copied again for the callback.
void BM_DrawAndDeliverOneCoreReference(benchmark::State& state)
{
    TestPatternDriver driver;
    driver.Open();
    driver.SetFormat({kWidth, kHeight, 24, BI_RGB});
    const FramePtr prepared = driver.RenderFrameNumber(1);
    std::vector<BYTE> frame(prepared->data.size());
    std::vector<BYTE> copy(prepared->data.size());
    VIDEOHDR header{};
    for (auto _ : state) {
        std::memcpy(frame.data(), prepared->data.data(), frame.size());
        std::memcpy(copy.data(), frame.data(), copy.size());
        header.lpData = copy.data();
        header.dwBytesUsed = DWORD(copy.size());
        CountFrame(nullptr, &header);
    }
    state.counters["fps"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DrawAndDeliverOneCoreReference)->Unit(benchmark::kMillisecond);

// A real frame stream at 1000 frames per second requested, two seconds per iteration:
// the driver's thread draws, the capture thread delivers.
void BM_FrameStreamToCallback(benchmark::State& state)
{
    Window window(320, 240);
    CAPTUREPARMS p{};
    SendMessageA(window.hwnd, WM_CAP_GET_SEQUENCE_SETUP, sizeof p, LPARAM(&p));
    p.dwRequestMicroSecPerFrame = 1000;
    p.fYield = TRUE;
    p.vKeyAbort = 0;
    p.fAbortLeftMouse = p.fAbortRightMouse = FALSE;
    p.wNumVideoRequested = 16;
    SendMessageA(window.hwnd, WM_CAP_SET_SEQUENCE_SETUP, sizeof p, LPARAM(&p));
    SendMessageA(window.hwnd, WM_CAP_SET_CALLBACK_VIDEOSTREAM, 0, LPARAM(&CountFrame));
    double frames = 0, cpu = 0, wall = 0;
    for (auto _ : state) {
        g_delivered = 0;
        const double cpuStart = ProcessCpuSeconds();
        const auto start = std::chrono::steady_clock::now();
        SendMessageA(window.hwnd, WM_CAP_SEQUENCE_NOFILE, 0, 0);
        std::this_thread::sleep_for(std::chrono::seconds(2));
        SendMessageA(window.hwnd, WM_CAP_STOP, 0, 0);
        CAPSTATUS s{};
        do {
            SendMessageA(window.hwnd, WM_CAP_GET_STATUS, sizeof s, LPARAM(&s));
        } while (s.fCapturingNow);
        wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        cpu += ProcessCpuSeconds() - cpuStart;
        frames += double(g_delivered.load());
        QCoreApplication::processEvents(); // lets the window stop its driver
    }
    state.counters["delivered_fps"] = frames / wall;
    state.counters["requested_fps_reference"] = 1000;
    state.counters["cpu_ms_per_frame"] = frames > 0 ? 1000.0 * cpu / frames : 0;
}
BENCHMARK(BM_FrameStreamToCallback)->Iterations(2)->Unit(benchmark::kSecond)->UseRealTime();

// One painted preview frame: the new frame converted and drawn into the window.
void BM_PreviewPaint(benchmark::State& state)
{
    const bool scaled = state.range(0) != 0;
    Window window(scaled ? 640 : kWidth, scaled ? 360 : kHeight);
    SendMessageA(window.hwnd, WM_CAP_SET_SCALE, scaled, 0);
    QWidget* shown = WindowOfHandle(window.hwnd);
    QImage target(shown->size(), QImage::Format_RGB32);
    for (auto _ : state) {
        state.PauseTiming();
        SendMessageA(window.hwnd, WM_CAP_GRAB_FRAME_NOSTOP, 0, 0); // a new frame on display
        state.ResumeTiming();
        shown->render(&target);
    }
    state.SetLabel(scaled ? "scaled to 640x360" : "unscaled 1920x1080");
    state.counters["frames_per_s"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PreviewPaint)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// Qt's way with the same frame: the bottom-up BGR rows converted and turned, then drawn.
QImage QtConverted(const VideoFrame& frame)
{
    const VideoFormat& f = *frame.format;
    const int bits = f.header.biBitCount;
    const QImage::Format format = bits == 8    ? QImage::Format_Indexed8
                                  : bits == 16 ? QImage::Format_RGB555
                                  : bits == 24 ? QImage::Format_BGR888
                                               : QImage::Format_RGB32;
    QImage wrapped(frame.data.data(), f.Width(), f.Height(),
                   qsizetype(VideoFormat::RgbStride(f.Width(), bits)), format);
    if (bits == 8) {
        QList<QRgb> table;
        for (const RGBQUAD& q : f.colours) {
            table.append(qRgb(q.rgbRed, q.rgbGreen, q.rgbBlue));
        }
        table.resize(256);
        wrapped.setColorTable(table);
    }
    return wrapped.convertToFormat(QImage::Format_RGB32).mirrored(false, true);
}

void BM_PreviewPaintReference(benchmark::State& state)
{
    const bool scaled = state.range(0) != 0;
    TestPatternDriver driver;
    driver.Open();
    driver.SetFormat({kWidth, kHeight, 24, BI_RGB});
    QImage target(scaled ? 640 : kWidth, scaled ? 360 : kHeight, QImage::Format_RGB32);
    std::uint64_t n = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const FramePtr frame = driver.RenderFrameNumber(n++);
        state.ResumeTiming();
        const QImage image = QtConverted(*frame);
        QPainter painter(&target);
        if (scaled) {
            painter.drawImage(target.rect(), image);
        } else {
            painter.drawImage(QPoint(0, 0), image);
        }
    }
    state.SetLabel(scaled ? "scaled to 640x360" : "unscaled 1920x1080");
    state.counters["frames_per_s"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PreviewPaintReference)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The conversion alone, the part of painting that grows with the frame size.
void BM_FrameToImage(benchmark::State& state)
{
    TestPatternDriver driver;
    driver.Open();
    driver.SetFormat({kWidth, kHeight, int(state.range(0)), BI_RGB});
    const FramePtr frame = driver.RenderFrameNumber(1);
    for (auto _ : state) {
        QImage image = FrameToImage(*frame);
        benchmark::DoNotOptimize(image.constBits());
    }
    state.SetLabel(std::to_string(state.range(0)) + "-bit");
}
BENCHMARK(BM_FrameToImage)->Arg(8)->Arg(16)->Arg(24)->Arg(32)->Unit(benchmark::kMillisecond);

void BM_FrameToImageReference(benchmark::State& state)
{
    TestPatternDriver driver;
    driver.Open();
    driver.SetFormat({kWidth, kHeight, int(state.range(0)), BI_RGB});
    const FramePtr frame = driver.RenderFrameNumber(1);
    for (auto _ : state) {
        QImage image = QtConverted(*frame);
        benchmark::DoNotOptimize(image.constBits());
    }
    state.SetLabel(std::to_string(state.range(0)) + "-bit, Qt");
}
BENCHMARK(BM_FrameToImageReference)
    ->Arg(8)
    ->Arg(16)
    ->Arg(24)
    ->Arg(32)
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
