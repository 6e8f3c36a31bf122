// The settings hive at start-up: the application settings loaded from hostile and
// large hive files, beside a reference measured in the same run, reading the same file's
// bytes. Prints the median of several runs.
#include "platform/registry/HiveFile.h"
#include "settings/RegistryStore.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kRuns = 5;

double MedianMs(const std::function<void()>& prepare, const std::function<void()>& run)
{
    std::vector<double> times;
    for (int i = 0; i < kRuns; ++i) {
        prepare();
        const auto start = std::chrono::steady_clock::now();
        run();
        times.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

std::string Nested(std::size_t depth)
{
    std::string text = "REGEDIT4\n\n[HKEY_LOCAL_MACHINE";
    for (std::size_t i = 0; i < depth; ++i) {
        text += "\\k";
    }
    return text + "]\n\"Jpeg Mode\"=dword:00000003\n";
}

// `count` keys in random order beside the program's own settings.
std::string ManyKeys(std::size_t count)
{
    std::mt19937 random(7);
    std::string text = "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Torvane\\Vexol\\Window Info]\n"
                       "\"Save Folder\"=\"/home/user/Videos/\"\n\"Jpeg Mode\"=dword:00000002\n\n";
    for (std::size_t i = 0; i < count; ++i) {
        text += "[HKEY_LOCAL_MACHINE\\Software\\Other\\Key" + std::to_string(random()) + "]\n";
        text += "\"v\"=dword:" + std::to_string(10000000 + i) + "\n\n";
    }
    return text;
}

void Write(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

std::size_t ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return bytes.size();
}

} // namespace

int main()
{
    char folder[] = "/tmp/bench-registry-XXXXXX";
    if (!::mkdtemp(folder)) {
        return 1;
    }
    const std::string path = std::string(folder) + "/registry.reg";
    ::setenv("VEXOL_REGISTRY", path.c_str(), 1);
    struct Case
    {
        const char* name;
        std::string text;
    };
    const Case cases[] = {
        {"1,000,000 levels (2 MB)", Nested(1000000)},
        {"10,000 levels", Nested(10000)},
        {"20,000 unsorted keys", ManyKeys(20000)},
        {"200,000 unsorted keys", ManyKeys(200000)},
    };
    std::printf("LoadAppSettings + LoadAppSettings again, against reading the file's bytes once\n");
    for (const Case& c : cases) {
        std::size_t sink = 0;
        const double ours = MedianMs(
            [&] {
                ::system(("rm -f " + path + "*").c_str());
                Write(path, c.text);
            },
            [&] {
                RegistryStore store;
                store.LoadAppSettings();
                store.LoadAppSettings();
                sink += std::size_t(store.m_nJpegMode);
            });
        const double reference =
            MedianMs([&] { Write(path, c.text); }, [&] { sink += ReadBytes(path); });
        std::printf("%-26s ours %9.2f ms   reference %8.2f ms   ratio %7.1f   (%zu)\n", c.name,
                    ours, reference, ours / reference, sink % 10);
    }
    ::system((std::string("rm -rf ") + folder).c_str());
    return 0;
}
