// The routing table of the capture messages: every message the headers declare has
// exactly one row, and each row answers on the threads it says.
#include "CaptureTestHelpers.h"

#include "platform/capture/CaptureMessageRoutes.h"
#include "platform/capture/RecordingFigures.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <future>
#include <map>
#include <regex>
#include <set>
#include <sstream>

namespace capture_test {
namespace {

// Every `WM_CAP_<name> = WM_CAP_START + n` (or WM_USER + n) the source headers declare,
// read from the headers themselves so that a message added there is walked here too.
std::map<std::string, UINT> DeclaredCaptureMessages()
{
    static const std::regex declaration(
        R"(constexpr\s+UINT\s+(WM_CAP_\w+)\s*=\s*(WM_CAP_START|WM_USER)\s*\+\s*(0x[0-9A-Fa-f]+|\d+)\s*;)");
    std::map<std::string, UINT> messages;
    const std::filesystem::path root = std::filesystem::path(VEXOL_SOURCE_DIR) / "src";
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        if (entry.path().extension() != ".h") {
            continue;
        }
        std::ifstream in(entry.path());
        std::stringstream text;
        text << in.rdbuf();
        const std::string content = text.str();
        for (std::sregex_iterator m(content.begin(), content.end(), declaration), end; m != end;
             ++m) {
            const UINT offset = UINT(std::stoul((*m)[3].str(), nullptr, 0));
            messages[(*m)[1].str()] = WM_USER + offset; // WM_CAP_START is WM_USER
        }
    }
    return messages;
}

TEST(CaptureMessageRoutes, EveryDeclaredMessageHasExactlyOneRow)
{
    static_assert(WM_CAP_START == WM_USER);
    const std::map<std::string, UINT> declared = DeclaredCaptureMessages();
    // The scan reads the headers right: known names come out with their numbers.
    ASSERT_EQ(declared.count("WM_CAP_GET_STATUS"), 1u);
    EXPECT_EQ(declared.at("WM_CAP_GET_STATUS"), WM_CAP_GET_STATUS);
    EXPECT_EQ(declared.at("WM_CAP_GET_FILE_FIGURES"), WM_CAP_GET_FILE_FIGURES);
    EXPECT_GE(declared.size(), 38u);

    const auto rows = CaptureMessageRoutes();
    std::set<UINT> declaredNumbers;
    for (const auto& [name, declaredNumber] : declared) {
        const UINT number = declaredNumber; // a lambda below captures it
        declaredNumbers.insert(number);
        const CaptureMessageRoute* route = FindCaptureMessageRoute(number);
        ASSERT_NE(route, nullptr) << name << " has no row, so it would answer 0";
        EXPECT_EQ(route->message, number) << name;
        EXPECT_NE(route->handler, nullptr) << name;
        EXPECT_EQ(std::count_if(rows.begin(), rows.end(),
                                [&](const CaptureMessageRoute& r) { return r.message == number; }),
                  1)
            << name;
    }
    EXPECT_EQ(rows.size(), declared.size()) << "a row for a message no header declares";
    for (std::size_t i = 1; i < rows.size(); ++i) {
        EXPECT_LT(rows[i - 1].message, rows[i].message) << "rows out of order at " << i;
    }
    // Numbers between and around the declared ones have no row.
    for (UINT number = WM_USER - 1; number <= WM_CAP_GET_FILE_FIGURES + 1; ++number) {
        if (!declaredNumbers.count(number)) {
            EXPECT_EQ(FindCaptureMessageRoute(number), nullptr) << std::hex << number;
        }
    }
}

TEST(CaptureMessageRoutes, EachRowAnswersOnTheThreadsItNames)
{
    BuiltInDriversOnly builtIns;
    DriverWindowFixture f;
    ASSERT_TRUE(f.Connect(kTestPatternIndex));
    const HWND hwnd = f.hwnd;
    CaptureDriver* const driver = f.Window()->Driver();

    for (const CaptureMessageRoute& route : CaptureMessageRoutes()) {
        SCOPED_TRACE(testing::Message() << "message 0x" << std::hex << route.message);
        if (route.thread == MessageThread::Window) {
            // From another thread: 0, and the arguments are not looked at.
            const LRESULT answer = std::async(std::launch::async, [&] {
                                       return SendMessageA(hwnd, route.message, 1, LPARAM(0x10));
                                   }).get();
            EXPECT_EQ(answer, 0);
            continue;
        }
        // An any-thread message answers the same on another thread as on the window's.
        std::array<BYTE, 512> here{}, there{};
        const LRESULT onWindowThread =
            SendMessageA(hwnd, route.message, here.size(), LPARAM(here.data()));
        const LRESULT onOtherThread =
            std::async(std::launch::async, [&] {
                return SendMessageA(hwnd, route.message, there.size(), LPARAM(there.data()));
            }).get();
        EXPECT_EQ(onOtherThread, onWindowThread);
        EXPECT_EQ(there, here);
    }
    // The callback rows registered the scratch buffer's address: clear them.
    for (UINT message : {WM_CAP_SET_CALLBACK_ERROR, WM_CAP_SET_CALLBACK_STATUS,
                         WM_CAP_SET_CALLBACK_YIELD, WM_CAP_SET_CALLBACK_VIDEOSTREAM}) {
        f.Send(message, 0, LPARAM(0));
    }
    EXPECT_EQ(f.Window()->Driver(), driver) << "no driver action ran from another thread";
    EXPECT_FALSE(f.Status().fLiveWindow);
}

} // namespace
} // namespace capture_test
