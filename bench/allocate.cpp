// Speed of pre-allocating the capture file: AllocateCaptureFile, which reserves the
// blocks in pieces so that the user can cancel between them, beside one posix_fallocate
// of the whole size followed by the same fsync, each into a new file in /tmp. Prints the
// seconds of each and their ratio; asserts nothing.
// Usage: bench_allocate [megabytes]   (default 4096)
#include "platform/capture/AviAllocate.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>

using namespace vexol::platform::capture;

namespace {

template <typename F> double Seconds(F&& work)
{
    const auto t0 = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

bool WholeFallocate(const std::string& path, std::uint64_t bytes)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        return false;
    }
    const bool ok = ::posix_fallocate(fd, 0, off_t(bytes)) == 0 && ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    const long megabytes = argc > 1 ? std::max(1L, std::atol(argv[1])) : 4096;
    const std::uint64_t bytes = std::uint64_t(megabytes) << 20;
    char folder[] = "/tmp/vexol-bench-allocate-XXXXXX";
    if (::mkdtemp(folder) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string ours = std::string(folder) + "/capture.avi";
    const std::string reference = std::string(folder) + "/reference.avi";
    int pieces = 0;
    bool ok = true;
    const double oursSeconds = Seconds([&] {
        ok = AllocateCaptureFile(ours, bytes, [&](std::uint64_t, std::uint64_t) {
                 ++pieces;
                 return true;
             }).Ok();
    });
    ::unlink(ours.c_str());
    const double referenceSeconds = Seconds([&] { ok = WholeFallocate(reference, bytes) && ok; });
    ::unlink(reference.c_str());
    ::rmdir(folder);
    if (!ok) {
        std::fprintf(stderr, "allocation failed (not enough space in /tmp?)\n");
        return 1;
    }
    std::printf("%ld MB: AllocateCaptureFile %.3f s (%d progress reports), "
                "one posix_fallocate %.3f s, ratio %.2f\n",
                megabytes, oursSeconds, pieces, referenceSeconds,
                referenceSeconds > 0 ? oursSeconds / referenceSeconds : 0.0);
    return 0;
}
