// Speed of the capture file writer: full-HD 24-bit frames written at full speed into a
// pre-allocated file in /tmp, with and without the per-checkpoint sync (the run without
// still ends with one sync, so that both measure the disk, not the page cache), beside
// a plain sequential write() loop of the same frames ending with one sync, and ffmpeg
// writing those frames into an AVI as the peer (-c:v rawvideo), its file synced too.
// Prints frames, writer CPU per frame and MB/s; asserts nothing.
// Usage: bench_avi [frames]   (default 300)
#include "platform/capture/AviAllocate.h"
#include "platform/capture/AviWriter.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace vexol::platform::capture;

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr DWORD kFrameBytes = DWORD(kWidth * 3 * kHeight);

struct Measure
{
    double seconds = 0;
    double cpuSeconds = 0;
};

double CpuSeconds(int who)
{
    rusage u{};
    ::getrusage(who, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

template <typename F> Measure Time(F&& work, int who = RUSAGE_SELF)
{
    const double cpu0 = CpuSeconds(who);
    const auto t0 = std::chrono::steady_clock::now();
    work();
    const auto t1 = std::chrono::steady_clock::now();
    return Measure{std::chrono::duration<double>(t1 - t0).count(), CpuSeconds(who) - cpu0};
}

std::vector<std::vector<std::uint8_t>> MakeFrames()
{
    // A few distinct frames reused in turn, so the loop measures writing, not drawing.
    std::vector<std::vector<std::uint8_t>> frames(4, std::vector<std::uint8_t>(kFrameBytes));
    for (std::size_t f = 0; f < frames.size(); ++f) {
        for (std::size_t i = 0; i < kFrameBytes; ++i) {
            frames[f][i] = std::uint8_t(i * 7 + f * 31);
        }
    }
    return frames;
}

bool RecordAvi(const std::string& path, int count, bool sync,
               const std::vector<std::vector<std::uint8_t>>& frames)
{
    BITMAPINFOHEADER h{};
    h.biSize = sizeof h;
    h.biWidth = kWidth;
    h.biHeight = kHeight;
    h.biPlanes = 1;
    h.biBitCount = 24;
    h.biSizeImage = kFrameBytes;
    AviStreamFormats formats;
    formats.video.assign(reinterpret_cast<const std::uint8_t*>(&h),
                         reinterpret_cast<const std::uint8_t*>(&h) + sizeof h);
    formats.microSecPerFrame = 33333;
    AviWriterOptions options;
    options.syncOnCheckpoint = sync;
    AviWriter writer;
    if (!writer.Open(path, formats, options).Ok()) {
        return false;
    }
    for (int i = 0; i < count; ++i) {
        const auto& frame = frames[std::size_t(i) % frames.size()];
        if (writer.WriteVideoFrame(frame.data(), kFrameBytes) != AviWrite::Written) {
            return false;
        }
    }
    if (!writer.Close().Ok()) {
        return false;
    }
    if (sync) {
        return true;
    }
    // Without checkpoint syncs the data may still sit in the page cache: one sync at the
    // end makes the figure the disk's.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    const bool ok = fd >= 0 && ::fdatasync(fd) == 0;
    if (fd >= 0) {
        ::close(fd);
    }
    return ok;
}

// Plain sequential writes of the frames; fdatasync every 500 ms when `periodicSync`, as
// the writer's checkpoints do, and once at the end in any case.
bool PlainWrite(const std::string& path, int count,
                const std::vector<std::vector<std::uint8_t>>& frames, bool periodicSync)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        return false;
    }
    bool ok = true;
    auto lastSync = std::chrono::steady_clock::now();
    for (int i = 0; i < count && ok; ++i) {
        if (periodicSync &&
            std::chrono::steady_clock::now() - lastSync >= std::chrono::milliseconds(500)) {
            ok = ::fdatasync(fd) == 0;
            lastSync = std::chrono::steady_clock::now();
        }
        const auto& frame = frames[std::size_t(i) % frames.size()];
        std::size_t done = 0;
        while (ok && done < kFrameBytes) {
            const ssize_t n = ::write(fd, frame.data() + done, kFrameBytes - done);
            ok = n > 0;
            done += ok ? std::size_t(n) : 0;
        }
    }
    ok = ::fdatasync(fd) == 0 && ok;
    return ::close(fd) == 0 && ok;
}

bool RunFfmpeg(const std::string& raw, const std::string& out)
{
    const pid_t child = ::fork();
    if (child == 0) {
        ::execlp("ffmpeg", "ffmpeg", "-nostdin", "-y", "-v", "error", "-f", "rawvideo", "-pix_fmt",
                 "bgr24", "-s", "1920x1080", "-r", "30", "-i", raw.c_str(), "-c:v", "rawvideo",
                 out.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return false;
    }
    // "-c copy" of bgr24 makes ffmpeg write only a header ("cannot be written to avi"),
    // so the frames pass its rawvideo encoder, which copies them. Its file is then
    // synced like ours.
    const int fd = ::open(out.c_str(), O_RDONLY | O_CLOEXEC);
    const bool ok = fd >= 0 && ::fdatasync(fd) == 0;
    if (fd >= 0) {
        ::close(fd);
    }
    return ok;
}

void Print(const char* name, const Measure& m, int frames)
{
    const double mb = double(kFrameBytes) * frames / 1e6;
    std::printf("%-34s %8.3f s %9.2f MB/s %8.3f ms CPU/frame\n", name, m.seconds, mb / m.seconds,
                m.cpuSeconds * 1000 / frames);
}

} // namespace

int main(int argc, char** argv)
{
    const int frames = argc > 1 ? std::max(1, std::atoi(argv[1])) : 300;
    char folder[] = "/tmp/vexol-bench-avi-XXXXXX";
    if (::mkdtemp(folder) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string dir = folder;
    const std::string capture = dir + "/capture.avi";
    const std::string raw = dir + "/frames.raw";
    const std::string peer = dir + "/peer.avi";
    const auto images = MakeFrames();
    const std::uint64_t movie = std::uint64_t(kFrameBytes + 8) * frames + (16u << 20);
    const DWORD allocation = DWORD(std::min<std::uint64_t>(movie, 0xFFF00000u));

    std::printf("%d frames of %dx%d 24-bit (%.1f MB each), files in /tmp\n", frames, kWidth,
                kHeight, kFrameBytes / 1e6);
    bool ok = AllocateCaptureFile(capture, allocation).Ok();
    Measure synced, unsynced, plainSynced, plain, ffmpeg;
    if (ok) {
        synced = Time([&] { ok = RecordAvi(capture, frames, true, images); });
    }
    if (ok) {
        unsynced = Time([&] { ok = RecordAvi(capture, frames, false, images) && ok; });
    }
    if (ok) {
        plainSynced = Time([&] { ok = PlainWrite(raw, frames, images, true); });
    }
    if (ok) {
        plain = Time([&] { ok = PlainWrite(raw, frames, images, false); });
    }
    if (ok) {
        ffmpeg = Time([&] { ok = RunFfmpeg(raw, peer); }, RUSAGE_CHILDREN);
    }
    ::unlink(capture.c_str());
    ::unlink(raw.c_str());
    ::unlink(peer.c_str());
    ::rmdir(dir.c_str());
    if (!ok) {
        std::fprintf(stderr, "a run failed\n");
        return 1;
    }
    Print("AviWriter (sync each checkpoint)", synced, frames);
    Print("AviWriter (one sync at the end)", unsynced, frames);
    Print("plain write(), sync every 500 ms", plainSynced, frames);
    Print("plain write(), one sync at the end", plain, frames);
    Print("ffmpeg rawvideo (process+fdatasync)", ffmpeg, frames);
    std::printf("time ratio writer/plain: %.2f (both syncing every 500 ms), %.2f (both one "
                "sync at the end)\n",
                synced.seconds / plainSynced.seconds, unsynced.seconds / plain.seconds);
    std::printf("time ratio writer/ffmpeg: %.2f (checkpoint syncs), %.2f (one sync)\n",
                synced.seconds / ffmpeg.seconds, unsynced.seconds / ffmpeg.seconds);
    std::printf("CPU ratio writer/plain: %.2f, writer/ffmpeg: %.2f\n",
                synced.cpuSeconds / plainSynced.cpuSeconds, synced.cpuSeconds / ffmpeg.cpuSeconds);
    return 0;
}
