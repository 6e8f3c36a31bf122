// CDib conversions and BMP writing on a 1920 x 1080 picture, each beside a reference
// doing the same work: the same conversion by Qt, and the same file bytes written with
// plain POSIX calls into a temporary file that is synced and renamed into place, as a
// safe save does. Prints the median of several runs per operation.
#include "still/CDib.h"

#include <QImage>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <random>
#include <stdio.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr int kRuns = 15;

// Median milliseconds of `run`; `prepare` runs untimed before each run.
double MedianMs(const std::function<void()>& prepare, const std::function<void()>& run)
{
    std::vector<double> times;
    for (int i = 0; i < kRuns; ++i) {
        prepare();
        const auto start = std::chrono::steady_clock::now();
        run();
        const auto end = std::chrono::steady_clock::now();
        times.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// Median milliseconds of `ours` and of `reference`, run in turn so that both meet the
// same disk and machine load.
std::pair<double, double> MedianPairMs(const std::function<void()>& ours,
                                       const std::function<void()>& reference)
{
    std::vector<double> a, b;
    for (int i = 0; i < kRuns; ++i) {
        for (auto [run, times] : {std::pair{&ours, &a}, std::pair{&reference, &b}}) {
            const auto start = std::chrono::steady_clock::now();
            (*run)();
            const auto end = std::chrono::steady_clock::now();
            times->push_back(std::chrono::duration<double, std::milli>(end - start).count());
        }
    }
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    return {a[a.size() / 2], b[b.size() / 2]};
}

void Report(const char* name, double ours, double reference)
{
    std::printf("%-28s ours %8.3f ms   reference %8.3f ms   ratio %6.2f\n", name, ours, reference,
                ours / reference);
}

} // namespace

int main()
{
    std::mt19937 random(1);
    std::vector<BYTE> bytes(std::size_t(kWidth) * kHeight * 4);
    for (BYTE& b : bytes) {
        b = BYTE(random());
    }
    volatile std::size_t sink = 0;

    // 8-bit indexed -> 24-bit.
    {
        std::vector<BYTE> packed(40 + 1024 + std::size_t(kWidth) * kHeight);
        BITMAPINFOHEADER h{40, kWidth, kHeight, 1, 8, BI_RGB, 0, 0, 0, 0, 0};
        std::memcpy(packed.data(), &h, 40);
        std::memcpy(packed.data() + 40, bytes.data(), packed.size() - 40);
        CDib prototype;
        prototype.LoadPackedDib(packed.data(), DWORD(packed.size()));
        CDib work;
        const double ours = MedianMs([&] { work = prototype; }, [&] { work.ConvertTo24Bit(); });
        QImage indexed(bytes.data(), kWidth, kHeight, kWidth, QImage::Format_Indexed8);
        QList<QRgb> table;
        for (int i = 0; i < 256; ++i) {
            const BYTE* q = packed.data() + 40 + 4 * i;
            table.append(qRgb(q[2], q[1], q[0]));
        }
        indexed.setColorTable(table);
        const double reference = MedianMs(
            [] {}, [&] { sink = sink + indexed.convertToFormat(QImage::Format_BGR888).width(); });
        Report("ConvertTo24Bit from 8-bit", ours, reference);
    }

    // 16-bit 5-5-5 -> 24-bit.
    {
        CDib dib;
        const double ours =
            MedianMs([] {}, [&] { dib.CreateFrom16Bit(bytes.data(), kWidth, kHeight); });
        const QImage rgb555(bytes.data(), kWidth, kHeight, kWidth * 2, QImage::Format_RGB555);
        const double reference = MedianMs(
            [] {}, [&] { sink = sink + rgb555.convertToFormat(QImage::Format_BGR888).width(); });
        Report("CreateFrom16Bit", ours, reference);
    }

    // 32-bit -> 24-bit.
    {
        CDib dib;
        const double ours =
            MedianMs([] {}, [&] { dib.CreateFrom32Bit(bytes.data(), kWidth, kHeight); });
        const QImage rgb32(bytes.data(), kWidth, kHeight, kWidth * 4, QImage::Format_RGB32);
        const double reference = MedianMs(
            [] {}, [&] { sink = sink + rgb32.convertToFormat(QImage::Format_BGR888).width(); });
        Report("CreateFrom32Bit", ours, reference);
    }

    // BMP file of the 24-bit picture.
    {
        QTemporaryDir dir;
        CDib dib;
        dib.CreateFrom32Bit(bytes.data(), kWidth, kHeight);
        const std::string ours = dir.filePath("ours.bmp").toStdString();
        const std::string plain = dir.filePath("plain.bmp").toStdString();
        std::vector<BYTE> file(14 + dib.GetDataSize());
        const DWORD fileSize = DWORD(file.size());
        const DWORD offBits = 54;
        file[0] = 'B';
        file[1] = 'M';
        std::memcpy(&file[2], &fileSize, 4);
        std::memcpy(&file[10], &offBits, 4);
        std::memcpy(&file[14], dib.GetData(), dib.GetDataSize());
        const std::string plainTemp = plain + ".tmp";
        const auto [oursMs, plainMs] = MedianPairMs(
            [&] { dib.WriteBmpFile(ours.c_str()); },
            [&] {
                const int fd = ::open(plainTemp.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
                sink = sink + std::size_t(::write(fd, file.data(), file.size()));
                ::fsync(fd);
                ::close(fd);
                ::rename(plainTemp.c_str(), plain.c_str());
            });
        Report("WriteBmpFile (24-bit)", oursMs, plainMs);
    }
    return sink == 0 ? 1 : 0;
}
