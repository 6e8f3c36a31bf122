// vexol-cap: the capture service from the command line, without the main window.
//
//   vexol-cap list
//   vexol-cap probe [--driver N]
//   vexol-cap still [--driver N] [--size WxH] [--depth B] --out FILE.bmp
//   vexol-cap record [--driver N] [--size WxH] [--depth B] [--fps F] [--seconds S] [--audio]
//                    [--allocate MB] --out FILE.avi
//   vexol-cap repair IN.avi OUT.avi
//
// Exit status: 0 on success, 1 when the capture fails, 2 for bad arguments.
#include "platform/FileTarget.h"
#include "platform/WindowRegistry.h"
#include "platform/capture/AviRebuild.h"
#include "platform/capture/CaptureService.h"
#include "platform/capture/DriverRegistry.h"
#include "platform/capture/FileTexts.h"
#include "platform/capture/RecordingFigures.h"
#include "platform/capture/v4l2/CameraList.h"
#include "platform/framework/Resources.h"
#include "platform/kernel/LiveLine.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
// The longest capture file name the capture service takes (a 261-byte buffer).
constexpr std::size_t kMaxCaptureFileName = 260;

const char* const kUsage =
    "Usage:\n"
    "  vexol-cap list\n"
    "      Lists the installed capture drivers: index, name and version. Cameras come\n"
    "      first, then the built-in test-pattern and shutter-switch cameras.\n"
    "  vexol-cap probe [--driver N]\n"
    "      Prints what camera N (default 0) offers: formats, sizes, frame rates,\n"
    "      controls and its snapshot button, for example to report a camera.\n"
    "  vexol-cap still [--driver N] [--size WxH] [--depth B] --out FILE.bmp\n"
    "      Connects driver N (default 0), grabs one frame and saves it as a BMP file.\n"
    "      --size WxH   image size to ask for, for example 640x480\n"
    "      --depth B    bits per pixel to ask for: 8, 16, 24 or 32\n"
    "      A driver that cannot deliver the size or depth uses the nearest it can.\n"
    "  vexol-cap record [--driver N] [--size WxH] [--depth B] [--fps F] [--seconds S]\n"
    "                   [--audio] [--allocate MB] --out FILE.avi\n"
    "      Records an AVI movie from driver N and prints the summary.\n"
    "      --fps F        frames per second (default 15)\n"
    "      --seconds S    stop after S seconds; without it, Ctrl+C stops the recording\n"
    "      --audio        record sound from the wave input device as well\n"
    "                     (ALSA \"default\", or the device named in VEXOL_AUDIO_DEVICE)\n"
    "      --allocate MB  pre-allocate the file to MB megabytes first\n"
    "      Ctrl+C, SIGTERM and SIGHUP (a closed terminal) end the recording cleanly.\n"
    "  vexol-cap repair IN.avi OUT.avi\n"
    "      Rebuilds a movie cut short (copied off a full disk, left by a crash) from the\n"
    "      whole frames in IN.avi into OUT.avi, with new indexes, and says what was kept.\n"
    "  vexol-cap --help\n"
    "      Shows this help.\n"
    "  vexol-cap --version\n"
    "      Shows the version.\n"
    "Options also take the form --name=value.\n";

int UsageError(const std::string& message)
{
    std::fprintf(stderr, "vexol-cap: %s\n\n%s", message.c_str(), kUsage);
    return kExitUsage;
}

std::optional<long> ParseNumber(const std::string& text, long min, long max)
{
    if (text.empty() || text.size() > 9) {
        return std::nullopt;
    }
    for (char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
    }
    const long value = std::strtol(text.c_str(), nullptr, 10);
    if (value < min || value > max) {
        return std::nullopt;
    }
    return value;
}

int ListDrivers()
{
    int count = 0;
    for (UINT index = 0; index < MAXVIDDRIVERS; ++index) {
        char name[100] = {};
        char version[100] = {};
        if (!capGetDriverDescriptionA(index, name, sizeof name, version, sizeof version)) {
            break;
        }
        std::printf("%u  %s  (%s)\n", index, name, version);
        ++count;
    }
    if (count == 0) {
        std::printf("No capture drivers are installed.\n");
    }
    return 0;
}

int Probe(const std::vector<std::string>& args)
{
    UINT driver = 0;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string value;
        if (args[i] == "--driver" && i + 1 < args.size()) {
            value = args[++i];
        } else if (args[i].rfind("--driver=", 0) == 0) {
            value = args[i].substr(9);
        } else {
            return UsageError(args[i] == "--driver" ? "--driver needs a value"
                                                    : "unknown argument '" + args[i] + "'");
        }
        const auto n = ParseNumber(value, 0, MAXVIDDRIVERS - 1);
        if (!n) {
            return UsageError("--driver needs an index from 0 to 9, not '" + value + "'");
        }
        driver = UINT(*n);
    }
    using namespace vexol::platform::capture;
    const std::vector<InstalledDriver> drivers = InstalledDrivers();
    if (driver >= drivers.size()) {
        std::fprintf(stderr, "vexol-cap: there is no driver %u ('vexol-cap list' shows them)\n",
                     driver);
        return kExitFailure;
    }
    if (drivers[driver].devicePath.empty()) {
        std::printf("Driver %u (%s) is a built-in camera, not a V4L2 camera; its sizes are "
                    "those of its format dialog.\n",
                    driver, drivers[driver].name.c_str());
        return 0;
    }
    const std::string text = v4l2::DescribeCamera(drivers[driver].devicePath);
    std::printf("%s", text.c_str());
    return text.rfind("Camera:", 0) == 0 ? 0 : kExitFailure;
}

struct StillOptions
{
    UINT driver = 0;
    int width = 0; // 0: keep the driver's size
    int height = 0;
    int depth = 0; // 0: keep the driver's depth
    std::string out;
    // record only
    double fps = 15;
    UINT seconds = 0; // 0: until Ctrl+C
    bool audio = false;
    DWORD allocateMb = 0;
};

// Parses "--name value" and "--name=value" arguments; returns an error text or empty.
std::string ParseOptions(const std::string& command, const std::vector<std::string>& args,
                         StillOptions& options)
{
    const bool record = command == "record";
    bool haveOut = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::string value;
        const std::size_t equals = name.find('=');
        if (record && name == "--audio") {
            options.audio = true;
            continue;
        }
        if (name.rfind("--", 0) == 0 && equals != std::string::npos) {
            value = name.substr(equals + 1);
            name = name.substr(0, equals);
        } else if (name == "--driver" || name == "--size" || name == "--depth" || name == "--out" ||
                   (record && (name == "--fps" || name == "--seconds" || name == "--allocate"))) {
            if (i + 1 >= args.size()) {
                return name + " needs a value";
            }
            value = args[++i];
        } else {
            return "unknown argument '" + name + "'";
        }
        if (name == "--driver") {
            const auto n = ParseNumber(value, 0, MAXVIDDRIVERS - 1);
            if (!n) {
                return "--driver needs an index from 0 to 9, not '" + value + "'";
            }
            options.driver = UINT(*n);
        } else if (name == "--size") {
            const std::size_t x = value.find_first_of("xX");
            const auto w =
                x == std::string::npos ? std::nullopt : ParseNumber(value.substr(0, x), 1, 16384);
            const auto h =
                x == std::string::npos ? std::nullopt : ParseNumber(value.substr(x + 1), 1, 16384);
            if (!w || !h) {
                return "--size needs WIDTHxHEIGHT, for example 640x480, not '" + value + "'";
            }
            options.width = int(*w);
            options.height = int(*h);
        } else if (name == "--depth") {
            const auto b = ParseNumber(value, 1, 32);
            if (!b || (*b != 8 && *b != 16 && *b != 24 && *b != 32)) {
                return "--depth needs 8, 16, 24 or 32, not '" + value + "'";
            }
            options.depth = int(*b);
        } else if (name == "--out") {
            if (value.empty()) {
                return "--out needs a file name";
            }
            options.out = value;
            haveOut = true;
        } else if (record && name == "--fps") {
            char* end = nullptr;
            const double fps = std::strtod(value.c_str(), &end);
            if (value.empty() || *end != '\0' || !(fps >= 0.1 && fps <= 240)) {
                return "--fps needs a rate from 0.1 to 240, not '" + value + "'";
            }
            options.fps = fps;
        } else if (record && name == "--seconds") {
            const auto n = ParseNumber(value, 1, 65535);
            if (!n) {
                return "--seconds needs whole seconds from 1 to 65535, not '" + value + "'";
            }
            options.seconds = UINT(*n);
        } else if (record && name == "--allocate") {
            const auto n = ParseNumber(value, 1, 4095);
            if (!n) {
                return "--allocate needs megabytes from 1 to 4095, not '" + value + "'";
            }
            options.allocateMb = DWORD(*n);
        } else {
            return "unknown argument '" + name + "'";
        }
    }
    return haveOut ? std::string() : command + " needs --out " + (record ? "FILE.avi" : "FILE.bmp");
}

// Connects the driver and asks for the format; a failure is reported and gives false.
bool ConnectWithFormat(HWND window, const StillOptions& options, const char* name,
                       BITMAPINFOHEADER& actual)
{
    if (!SendMessageA(window, WM_CAP_DRIVER_CONNECT, options.driver, 0)) {
        std::fprintf(stderr, "vexol-cap: driver %u (%s) did not connect\n", options.driver, name);
        return false;
    }
    if (options.width > 0 || options.depth > 0) {
        const LRESULT size = SendMessageA(window, WM_CAP_GET_VIDEOFORMAT, 0, 0);
        std::vector<BYTE> format(std::size_t(std::max<LRESULT>(size, sizeof(BITMAPINFOHEADER))));
        SendMessageA(window, WM_CAP_GET_VIDEOFORMAT, format.size(), LPARAM(format.data()));
        BITMAPINFOHEADER header;
        std::memcpy(&header, format.data(), sizeof header);
        if (options.width > 0) {
            header.biWidth = options.width;
            header.biHeight = options.height;
        }
        if (options.depth > 0) {
            header.biBitCount = WORD(options.depth);
            header.biCompression = BI_RGB;
        }
        header.biSizeImage = 0;
        std::memcpy(format.data(), &header, sizeof header);
        if (!SendMessageA(window, WM_CAP_SET_VIDEOFORMAT, format.size(), LPARAM(format.data()))) {
            std::fprintf(stderr, "vexol-cap: driver %u refused the format\n", options.driver);
            return false;
        }
    }
    actual = {};
    SendMessageA(window, WM_CAP_GET_VIDEOFORMAT, sizeof actual, LPARAM(&actual));
    const int height = actual.biHeight < 0 ? -actual.biHeight : actual.biHeight;
    if ((options.width > 0 && (actual.biWidth != options.width || height != options.height)) ||
        (options.depth > 0 && actual.biCompression == BI_RGB &&
         actual.biBitCount != options.depth)) {
        std::fprintf(stderr, "vexol-cap: note: the driver delivers %dx%d %d-bit instead\n",
                     int(actual.biWidth), height, int(actual.biBitCount));
    }
    return true;
}

// Makes a driver window and connects the asked driver in the asked format; null, after
// saying why, when any step fails. `name` receives the driver's name.
std::unique_ptr<QWidget> OpenConnectedWindow(const StillOptions& options, char (&name)[100],
                                             BITMAPINFOHEADER& actual)
{
    char version[100] = {};
    if (!capGetDriverDescriptionA(options.driver, name, sizeof name, version, sizeof version)) {
        std::fprintf(stderr, "vexol-cap: there is no driver %u ('vexol-cap list' shows them)\n",
                     options.driver);
        return nullptr;
    }
    std::unique_ptr<QWidget> window(
        WindowOfHandle(capCreateCaptureWindowA("vexol-cap", 0, 0, 0, 320, 240, nullptr, 0)));
    if (!window) {
        std::fprintf(stderr, "vexol-cap: the capture window could not be made\n");
        return nullptr;
    }
    if (!ConnectWithFormat(HandleOfWindow(window.get()), options, name, actual)) {
        return nullptr;
    }
    return window;
}

int SaveStill(const StillOptions& options)
{
    char name[100] = {};
    BITMAPINFOHEADER actual{};
    const std::unique_ptr<QWidget> owner = OpenConnectedWindow(options, name, actual);
    if (!owner) {
        return kExitFailure;
    }
    HWND window = HandleOfWindow(owner.get());
    const int height = actual.biHeight < 0 ? -actual.biHeight : actual.biHeight;
    if (!SendMessageA(window, WM_CAP_GRAB_FRAME, 0, 0)) {
        std::fprintf(stderr, "vexol-cap: driver %u delivered no frame\n", options.driver);
        return kExitFailure;
    }
    errno = 0;
    if (!SendMessageA(window, WM_CAP_FILE_SAVEDIB, 0, LPARAM(options.out.c_str()))) {
        const int error = errno;
        // Say why: a name that may not be replaced, or the system's reason.
        const vexol::platform::FileCheck check = vexol::platform::CheckReplaceTarget(options.out);
        const auto language = vexol::res::UserLanguage();
        const std::string reason =
            !check.Ok()  ? vexol::platform::capture::texts::Refusal(language, check, false)
            : error != 0 ? vexol::platform::capture::texts::SystemError(language, error)
                         : std::string("the frame could not be converted");
        std::fprintf(stderr, "vexol-cap: could not write %s: %s\n", options.out.c_str(),
                     reason.c_str());
        return kExitFailure;
    }
    const int savedDepth = actual.biCompression == BI_RGB ? actual.biBitCount : 24;
    std::printf("Saved a %dx%d %d-bit frame of driver %u (%s) to %s\n", int(actual.biWidth), height,
                savedDepth, options.driver, name, options.out.c_str());
    return 0;
}

// ---- record --------------------------------------------------------------------------

std::atomic<bool> g_interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free);

void OnInterrupt(int)
{
    g_interrupted = true;
}

// What the capture service reported, from its capture thread.
struct RecordReports
{
    std::mutex mutex; // guards the fields below
    std::string summary;
    bool failed = false;
};
RecordReports g_reports;

LRESULT RecordStatus(HWND, int id, const char* text)
{
    if (id == IDS_CAP_STAT_VIDEOAUDIO || id == IDS_CAP_STAT_VIDEOONLY) {
        std::lock_guard lock(g_reports.mutex);
        g_reports.summary = text ? text : "";
    }
    return 1;
}

// The live figures of a recording, on standard error.
vexol::platform::kernel::LiveLine& FiguresLine()
{
    static vexol::platform::kernel::LiveLine line(stderr);
    return line;
}

LRESULT RecordError(HWND, int id, const char* text)
{
    if (id == 0 || !text) {
        return 1;
    }
    FiguresLine().Message(std::string("vexol-cap: ") + text);
    if (id != IDS_CAP_STAT_FRAMESDROPPED) {
        std::lock_guard lock(g_reports.mutex);
        g_reports.failed = true;
    }
    return 1;
}

int Record(const StillOptions& options)
{
    char name[100] = {};
    BITMAPINFOHEADER actual{};
    const std::unique_ptr<QWidget> owner = OpenConnectedWindow(options, name, actual);
    if (!owner) {
        return kExitFailure;
    }
    HWND window = HandleOfWindow(owner.get());
    SendMessageA(window, WM_CAP_SET_CALLBACK_STATUS, 0, LPARAM(&RecordStatus));
    SendMessageA(window, WM_CAP_SET_CALLBACK_ERROR, 0, LPARAM(&RecordError));
    if (!SendMessageA(window, WM_CAP_FILE_SET_CAPTURE_FILE, 0, LPARAM(options.out.c_str()))) {
        const char* why = options.out.size() > kMaxCaptureFileName
                              ? ": the name is longer than 260 bytes, the most a capture file "
                                "name may have"
                              : "";
        std::fprintf(stderr, "vexol-cap: %s cannot be the capture file%s\n", options.out.c_str(),
                     why);
        return kExitFailure;
    }
    if (options.allocateMb > 0 && !SendMessageA(window, WM_CAP_FILE_ALLOCATE, 0,
                                                LPARAM(std::uint64_t(options.allocateMb) << 20))) {
        return kExitFailure; // the error callback has said why
    }
    if (options.audio) {
        CAPSTATUS status{};
        SendMessageA(window, WM_CAP_GET_STATUS, sizeof status, LPARAM(&status));
        if (!status.fAudioHardware) {
            std::fprintf(stderr, "vexol-cap: note: there is no audio capture device; recording "
                                 "video only\n");
        }
    }
    CAPTUREPARMS parms{};
    SendMessageA(window, WM_CAP_GET_SEQUENCE_SETUP, sizeof parms, LPARAM(&parms));
    const double fps = options.fps;
    parms.dwRequestMicroSecPerFrame = DWORD(std::lround(1e6 / fps));
    parms.fMakeUserHitOKToCapture = FALSE;
    parms.fYield = TRUE;
    parms.vKeyAbort = 0; // no window to press keys in: Ctrl+C stops
    parms.fAbortLeftMouse = FALSE;
    parms.fAbortRightMouse = FALSE;
    parms.fLimitEnabled = options.seconds > 0;
    parms.wTimeLimit = options.seconds;
    parms.fCaptureAudio = options.audio;
    parms.wNumVideoRequested = 100; // the service caps the queue's memory
    // Room for every video frame and about four audio chunks a second, with a margin; an
    // open-ended recording gets an hour's worth.
    const double seconds = options.seconds > 0 ? options.seconds : 3600.0;
    parms.dwIndexSize = DWORD(std::min(4.0 * 1024 * 1024, (fps + 8) * seconds + 1000));
    SendMessageA(window, WM_CAP_SET_SEQUENCE_SETUP, sizeof parms, LPARAM(&parms));

    // A closed terminal (SIGHUP) ends the recording like Ctrl+C: the file is finished.
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        std::signal(signal, OnInterrupt);
    }
    if (!SendMessageA(window, WM_CAP_SEQUENCE, 0, 0)) {
        std::fprintf(stderr, "vexol-cap: the recording did not start\n");
        return kExitFailure;
    }
    std::fprintf(stderr, "vexol-cap: recording %dx%d at %.2f frames per second to %s%s\n",
                 int(actual.biWidth), int(actual.biHeight < 0 ? -actual.biHeight : actual.biHeight),
                 fps, options.out.c_str(), options.seconds > 0 ? "" : " (Ctrl+C stops)");
    bool stopSent = false;
    using namespace vexol::platform::capture;
    RecordingMeter meter;
    // In place on a terminal twice a second; a plain line a second otherwise.
    const qint64 figuresIntervalMs = FiguresLine().IsTerminal() ? 500 : 1000;
    QElapsedTimer sinceFigures;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        CAPSTATUS status{};
        SendMessageA(window, WM_CAP_GET_STATUS, sizeof status, LPARAM(&status));
        if (!status.fCapturingNow) {
            QCoreApplication::quit();
            return;
        }
        if (g_interrupted && !stopSent) {
            stopSent = true;
            SendMessageA(window, WM_CAP_STOP, 0, 0);
        }
        if (!sinceFigures.isValid() || sinceFigures.elapsed() >= figuresIntervalMs) {
            RecordingSample sample;
            const auto send = [window](UINT message, WPARAM wParam, LPARAM lParam) {
                return SendMessageA(window, message, wParam, lParam);
            };
            if (ReadRecordingSample(send, sample)) {
                sinceFigures.start();
                FiguresLine().Show(
                    texts::RecordingFiguresText(vexol::res::UserLanguage(), meter.Add(sample)));
            }
        }
    });
    poll.start(20);
    QCoreApplication::exec();
    FiguresLine().Finish();
    // Let the window collect its capture thread before it goes.
    SendMessageA(window, WM_CAP_SET_CALLBACK_STATUS, 0, 0);
    SendMessageA(window, WM_CAP_SET_CALLBACK_ERROR, 0, 0);
    std::lock_guard lock(g_reports.mutex);
    if (!g_reports.summary.empty()) {
        std::printf("%s\n", g_reports.summary.c_str());
    }
    return g_reports.failed ? kExitFailure : 0;
}

// ---- repair --------------------------------------------------------------------------

int Repair(const std::string& in, const std::string& out)
{
    using namespace vexol::platform::capture;
    AviRebuildSummary summary;
    const AviResult result = RebuildAviFile(in, out, &summary);
    if (!result.Ok()) {
        std::fprintf(stderr, "vexol-cap: %s\n", result.text.c_str());
        return kExitFailure;
    }
    std::printf("%s\n", texts::Rebuilt(vexol::res::UserLanguage(),
                                       static_cast<unsigned long>(summary.videoFrames),
                                       static_cast<unsigned long>(summary.audioChunks), false)
                            .c_str());
    std::printf("Wrote %s\n", out.c_str());
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        return UsageError("no command given");
    }
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        std::printf("%s", kUsage);
        return 0;
    }
    if (args[0] == "--version") {
        std::printf("vexol-cap %s\n", VEXOL_VERSION);
        return 0;
    }
    const std::string command = args[0];
    args.erase(args.begin());
    if (command != "list" && command != "probe" && command != "still" && command != "record" &&
        command != "repair") {
        return UsageError("unknown command '" + command + "'");
    }
    // A file-size limit makes writes fail with EFBIG, which every writer reports and
    // survives, instead of killing the process mid-file.
    std::signal(SIGXFSZ, SIG_IGN);
    if (command == "repair") {
        if (args.size() != 2 || args[0].empty() || args[1].empty()) {
            return UsageError("repair needs IN.avi OUT.avi");
        }
        return Repair(args[0], args[1]);
    }
    StillOptions options;
    if (command == "list" && !args.empty()) {
        return UsageError("list takes no arguments");
    }
    if (command == "still" || command == "record") {
        const std::string error = ParseOptions(command, args, options);
        if (!error.empty()) {
            return UsageError(error);
        }
    }
    // Qt's own notices (about the display platform, for example) are not for the user of
    // a command-line tool; real failures are reported by the tool itself.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type == QtCriticalMsg || type == QtFatalMsg) {
            std::fprintf(stderr, "vexol-cap: %s\n", qPrintable(text));
        }
    });
    // The tool shows no window, so it needs no display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    QApplication app(qtArgc, qtArgv);
    if (command == "probe") {
        return Probe(args);
    }
    if (command == "record") {
        return Record(options);
    }
    return command == "list" ? ListDrivers() : SaveStill(options);
}
