// Speed of JpegEncoderCompress on a full-HD still at the three save qualities, beside
// TurboJPEG called directly with the same parameters in the same run, compressing into
// one buffer made once and reused, as a program encoding many pictures would. Prints the
// median of several runs; asserts nothing.
#include "platform/jpeg/JpegEncoder.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <turbojpeg.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr int kRuns = 21;
constexpr int kWarmUp = 2;

// A packed 24-bit DIB with smooth gradients, a few soft discs and mild sensor-like noise.
std::vector<std::uint8_t> MakePicture()
{
    const int stride = (kWidth * 24 + 31) / 32 * 4;
    std::vector<std::uint8_t> dib(sizeof(BITMAPINFOHEADER) + std::size_t(stride) * kHeight, 0);
    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = kWidth;
    header.biHeight = kHeight;
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    header.biSizeImage = DWORD(stride) * kHeight;
    std::memcpy(dib.data(), &header, sizeof header);

    std::uint32_t seed = 12345;
    auto noise = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return int(seed >> 28) - 8; // -8..7
    };
    struct Disc
    {
        double cx, cy, r;
        int red, green, blue;
    };
    const Disc discs[] = {{400, 300, 180, 220, 180, 60},
                          {1300, 700, 260, 40, 120, 200},
                          {1600, 250, 120, 200, 60, 80},
                          {800, 850, 200, 90, 200, 110}};
    for (int y = 0; y < kHeight; ++y) {
        std::uint8_t* row = dib.data() + sizeof header + std::size_t(kHeight - 1 - y) * stride;
        for (int x = 0; x < kWidth; ++x) {
            double r = 60 + 120.0 * x / kWidth + 40 * std::sin(y / 90.0);
            double g = 80 + 100.0 * y / kHeight + 30 * std::cos(x / 150.0);
            double b = 140 - 60.0 * x / kWidth + 50.0 * y / kHeight;
            for (const Disc& d : discs) {
                const double dist = std::hypot(x - d.cx, y - d.cy);
                const double w = std::clamp((d.r - dist) / 12.0, 0.0, 1.0);
                r += w * (d.red - r);
                g += w * (d.green - g);
                b += w * (d.blue - b);
            }
            auto clamp8 = [](double v) { return std::uint8_t(std::clamp(v, 0.0, 255.0)); };
            row[3 * x] = clamp8(b + noise());
            row[3 * x + 1] = clamp8(g + noise());
            row[3 * x + 2] = clamp8(r + noise());
        }
    }
    return dib;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// On a busy machine the fastest run is the one least disturbed.
double Fastest(const std::vector<double>& values)
{
    return *std::min_element(values.begin(), values.end());
}

double MillisecondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

int Subsampling(int factorX, int factorY)
{
    if (factorX == 1 && factorY == 1) {
        return TJSAMP_444;
    }
    if (factorX == 2 && factorY == 1) {
        return TJSAMP_422;
    }
    if (factorX == 1 && factorY == 2) {
        return TJSAMP_440;
    }
    return TJSAMP_420;
}

} // namespace

int main()
{
    const std::vector<std::uint8_t> dib = MakePicture();
    const unsigned char* pixels = dib.data() + sizeof(BITMAPINFOHEADER);
    const int stride = (kWidth * 24 + 31) / 32 * 4;
    tjhandle reference = tjInitCompress();
    if (reference == nullptr) {
        std::printf("tjInitCompress failed\n");
        return 1;
    }

    struct Setting
    {
        int compression, factorX, factorY;
    };
    std::printf("JPEG encode, %dx%d 24-bit, median of %d runs\n", kWidth, kHeight, kRuns);
    for (const Setting s : {Setting{5, 1, 1}, Setting{20, 2, 2}, Setting{75, 2, 2}}) {
        const JpegEncodeParams params{kWidth, kHeight, s.factorX, s.factorY, s.compression, 0};
        std::vector<double> ours, theirs;
        unsigned long oursBytes = 0, theirsBytes = 0;
        bool failed = false;
        const int subsampling = Subsampling(s.factorX, s.factorY);
        const unsigned long capacity = tjBufSize(kWidth, kHeight, subsampling);
        unsigned char* reused = tjAlloc(int(capacity));
        if (reused == nullptr) {
            std::printf("tjAlloc failed\n");
            return 1;
        }
        // Ours and the reference alternate so that both see the same machine load.
        for (int run = 0; run < kWarmUp + kRuns && !failed; ++run) {
            JPEGHANDLE handle = 0;
            auto start = std::chrono::steady_clock::now();
            const DWORD rc = JpegEncoderCompress(dib.data(), &handle, &params);
            const double oursMs = MillisecondsSince(start);
            JpegEncoderFree(&handle);

            unsigned char* jpeg = reused;
            unsigned long size = capacity;
            start = std::chrono::steady_clock::now();
            const int tjrc = tjCompress2(reference, pixels, kWidth, stride, kHeight, TJPF_BGR,
                                         &jpeg, &size, subsampling, 100 - s.compression,
                                         TJFLAG_BOTTOMUP | TJFLAG_NOREALLOC);
            const double theirsMs = MillisecondsSince(start);
            if (rc != JPEGENC_OK || tjrc != 0) {
                std::printf("encode failed: ours 0x%08X, reference %d\n", unsigned(rc), tjrc);
                failed = true;
                break;
            }
            theirsBytes = size;
            if (run >= kWarmUp) {
                ours.push_back(oursMs);
                theirs.push_back(theirsMs);
            }
        }
        tjFree(reused);
        if (failed) {
            return 1;
        }
        // Our output size, as written to a file by the library.
        {
            JPEGHANDLE handle = 0;
            char path[] = "/tmp/vexol-bench-jpeg-XXXXXX";
            const int fd = ::mkstemp(path);
            if (fd >= 0) {
                ::close(fd);
                std::error_code error;
                if (JpegEncoderCompress(dib.data(), &handle, &params) == JPEGENC_OK &&
                    JpegEncoderWriteFile(path, handle, &params) == JPEGENC_OK) {
                    oursBytes = static_cast<unsigned long>(std::filesystem::file_size(path, error));
                }
                std::filesystem::remove(path, error);
            }
            JpegEncoderFree(&handle);
        }
        const double oursMedian = Median(ours);
        const double theirsMedian = Median(theirs);
        std::printf("compression %2d, factors %d,%d (quality %d): ours %.2f ms, reference %.2f "
                    "ms, ratio %.3f (fastest runs %.2f and %.2f ms, ratio %.3f), bytes ours "
                    "%lu, reference %lu\n",
                    s.compression, s.factorX, s.factorY, 100 - s.compression, oursMedian,
                    theirsMedian, oursMedian / theirsMedian, Fastest(ours), Fastest(theirs),
                    Fastest(ours) / Fastest(theirs), oursBytes, theirsBytes);
    }
    tjDestroy(reference);
    return 0;
}
