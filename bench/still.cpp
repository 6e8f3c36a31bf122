// Speed of stills, each beside a reference measured in the same run:
//  - a marked 640 × 480 PL41 frame of the shutter-switch mode to a 24-bit picture, in
//    bulk beside the colour rule applied pixel by pixel (YuvToRgb and CDib::SetPixel);
//  - that frame to a JPEG (Medium) file and to a BMP file, the whole way: against the
//    same way with the per-pixel conversion, and against libjpeg-turbo compressing the
//    same picture into a buffer made once, plus writing and flushing those bytes;
//  - a 1920 × 1080 BMP still through the driver of the built-in camera (the frame
//    written to a temporary file, read back, written under its name), against writing
//    and flushing the same bytes once.
// Files go to the temporary folder. Prints medians; asserts nothing.
#include "capture/CCaptureWindow.h"
#include "platform/capture/CaptureService.h"
#include "platform/capture/DriverRegistry.h"
#include "platform/capture/TestPatternRenderer.h"
#include "platform/kernel/TempFiles.h"
#include "still/CDib.h"
#include "still/StillImages.h"
#include "still/YuvToRgb.h"

#include <QApplication>
#include <QWidget>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <turbojpeg.h>
#include <unistd.h>
#include <vector>

namespace {

namespace cap = vexol::platform::capture;
namespace still = vexol::still;

constexpr int kRuns = 15;

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Median milliseconds of each function; the functions take turns in every round so that
// both see the same machine load.
std::vector<double> MedianMs(const std::vector<std::function<void()>>& runs)
{
    std::vector<std::vector<double>> times(runs.size());
    for (int round = 0; round < kRuns + 1; ++round) {
        for (std::size_t i = 0; i < runs.size(); ++i) {
            const auto start = std::chrono::steady_clock::now();
            runs[i]();
            const auto end = std::chrono::steady_clock::now();
            if (round > 0) { // the first round warms up
                times[i].push_back(std::chrono::duration<double, std::milli>(end - start).count());
            }
        }
    }
    std::vector<double> medians;
    for (const auto& t : times) {
        medians.push_back(Median(t));
    }
    return medians;
}

void Report(const char* name, double ours, const char* referenceName, double reference)
{
    std::printf("%-34s %8.2f ms   %-30s %8.2f ms   ratio %5.2f\n", name, ours, referenceName,
                reference, ours / reference);
}

// Writes `size` bytes to a new file and flushes it to the disk, as every still writer does.
void WriteAndFlush(const std::string& path, const void* data, std::size_t size)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd >= 0) {
        const ssize_t written = ::write(fd, data, size);
        (void)written;
        ::fsync(fd);
        ::close(fd);
    }
}

// The colour rule pixel by pixel, each pixel through SetPixel.
void PerPixel(const std::vector<BYTE>& frame, int w, int h, CDib& dib)
{
    dib.Create(24, w, h, nullptr, 0);
    const BYTE* cb = frame.data() + w * h;
    const BYTE* cr = cb + w * h / 4;
    for (int row = 0; row < h; ++row) {
        for (int x = 0; x < w; ++x) {
            const int sample = (w / 2) * (row / 2) + x / 2;
            dib.SetPixel(x, h - 1 - row, YuvToRgb(frame[row * w + x], cb[sample], cr[sample]));
        }
    }
}

void ShutterFrames(const std::string& folder)
{
    constexpr int w = 640, h = 480;
    cap::PatternSettings settings;
    settings.markerOn = true;
    std::vector<BYTE> frame(w * h * 3 / 2 + 1);
    cap::TestPatternRenderer(settings, w, h, 42).RenderPlanarYuv(frame.data());
    frame.back() = 1;

    std::printf("Marked %dx%d PL41 frame, median of %d runs\n", w, h, kRuns);
    CDib bulk, perPixel;
    const auto convert =
        MedianMs({[&] { still::PlanarFrameToDib(frame.data(), frame.size(), w, h, bulk); },
                  [&] { PerPixel(frame, w, h, perPixel); }});
    Report("to 24-bit, in bulk", convert[0], "pixel by pixel", convert[1]);

    tjhandle tj = tjInitCompress();
    const unsigned long capacity = tjBufSize(w, h, TJSAMP_420);
    unsigned char* reused = tjAlloc(int(capacity));
    const BYTE* pixels = bulk.GetData() + sizeof(BITMAPINFOHEADER);
    auto tjCompress = [&](unsigned long& size) {
        unsigned char* out = reused;
        size = capacity;
        tjCompress2(tj, pixels, w, int(bulk.GetStride()), h, TJPF_BGR, &out, &size, TJSAMP_420, 80,
                    TJFLAG_BOTTOMUP | TJFLAG_NOREALLOC);
    };
    const JpegEncodeParams medium = still::JpegParamsFor(still::kJpegMedium, w, h);
    const auto compress = MedianMs({[&] {
                                        JPEGHANDLE handle = 0;
                                        JpegEncoderCompress(bulk.GetData(), &handle, &medium);
                                        JpegEncoderFree(&handle);
                                    },
                                    [&] {
                                        unsigned long size = 0;
                                        tjCompress(size);
                                    }});
    Report("JPEG Medium compression", compress[0], "libjpeg-turbo, reused buffer", compress[1]);

    const std::string jpeg = folder + "vexol-bench-still.jpg";
    const std::string bmp = folder + "vexol-bench-still.bmp";
    auto toFile = [&](bool inBulk, const std::string& path) {
        CDib picture;
        if (inBulk) {
            still::PlanarFrameToDib(frame.data(), frame.size(), w, h, picture);
        } else {
            PerPixel(frame, w, h, picture);
        }
        still::SaveStillImage(path.c_str(), &picture, still::kJpegMedium, nullptr);
    };
    const auto jpegFile = MedianMs({[&] { toFile(true, jpeg); }, [&] { toFile(false, jpeg); },
                                    [&] {
                                        unsigned long size = 0;
                                        tjCompress(size);
                                        WriteAndFlush(jpeg, reused, size);
                                    }});
    Report("frame to JPEG file, bulk", jpegFile[0], "per-pixel conversion", jpegFile[1]);
    Report("frame to JPEG file, bulk", jpegFile[0], "libjpeg-turbo + write + fsync", jpegFile[2]);
    std::vector<BYTE> bmpBytes(14 + bulk.GetDataSize());
    const auto bmpFile = MedianMs({[&] { toFile(true, bmp); }, [&] { toFile(false, bmp); },
                                   [&] { WriteAndFlush(bmp, bmpBytes.data(), bmpBytes.size()); }});
    Report("frame to BMP file, bulk", bmpFile[0], "per-pixel conversion", bmpFile[1]);
    Report("frame to BMP file, bulk", bmpFile[0], "write + fsync of the bytes", bmpFile[2]);
    std::printf("goal: marked frame to file under 33 ms (one still per frame at 30 fps)\n\n");
    tjFree(reused);
    tjDestroy(tj);
    ::unlink(jpeg.c_str());
    ::unlink(bmp.c_str());
}

void DriverStill(const std::string& folder)
{
    constexpr int w = 1920, h = 1080;
    cap::SetInstalledDriversForTesting(cap::BuiltInDrivers());
    QWidget parent;
    CCaptureWindow window;
    if (!window.Create(nullptr, "Capture Window", WS_CHILD, {0, 0, w, h}, &parent, 1)) {
        std::printf("no capture window\n");
        return;
    }
    const BITMAPINFOHEADER format{40, w, h, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    SendMessageA(window.GetDriverWindow(), WM_CAP_SET_VIDEOFORMAT, sizeof format,
                 reinterpret_cast<LPARAM>(&format));
    window.Freeze(TRUE);

    const std::string path = folder + "vexol-bench-driver.bmp";
    const std::string plain = folder + "vexol-bench-plain.bmp";
    const std::vector<BYTE> bytes(14 + 40 + std::size_t(w) * h * 3, 0x5A);
    std::printf("%dx%d 24-bit still from the built-in camera's driver, median of %d runs\n", w, h,
                kRuns);
    const auto driverDib = MedianMs({[&] {
                                         SendMessageA(window.GetDriverWindow(), WM_CAP_FILE_SAVEDIB,
                                                      0, reinterpret_cast<LPARAM>(path.c_str()));
                                     },
                                     [&] { WriteAndFlush(plain, bytes.data(), bytes.size()); }});
    Report("driver writes the frame (BMP)", driverDib[0], "write + fsync of the bytes",
           driverDib[1]);
    const auto still = MedianMs(
        {[&] { still::SaveStillImage(path.c_str(), nullptr, still::kJpegMedium, &window); },
         [&] { WriteAndFlush(plain, bytes.data(), bytes.size()); }});
    Report("BMP still through the driver", still[0], "write + fsync of the bytes", still[1]);
    std::printf("goal: the BMP still at most 1.5 times the write + fsync\n");
    ::unlink(path.c_str());
    ::unlink(plain.c_str());
    cap::SetInstalledDriversForTesting(std::nullopt);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    const std::string folder = vexol::platform::kernel::TemporaryFolder();
    ShutterFrames(folder);
    DriverStill(folder);
    return 0;
}
