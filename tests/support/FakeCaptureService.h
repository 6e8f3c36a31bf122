// A scripted capture service for capture-window tests: one fake driver window (a plain
// child widget) that records every message with its wParam and lParam and the records
// that matter, and answers from its script and its driver state. Also a tick clock that
// advances only when code sleeps on it.
#pragma once

#include "capture/CaptureServiceCalls.h"
#include "capture/KernelCalls.h"
#include "platform/WindowRegistry.h"

#include <QPointer>
#include <QWidget>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace vexol::test {

// One message as the driver window received it.
struct SentMessage
{
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    std::vector<BYTE> record; // the wParam bytes a SET_* record message carried
    std::string text;         // the name a file message carried
};

struct FakeDriver
{
    std::string name; // empty: an index the service does not report
    std::string version;
    bool connects = true;
};

class FakeCaptureService : public CaptureServiceCalls
{
public:
    FakeCaptureService();
    ~FakeCaptureService() override;

    // ---- Script ----
    std::vector<FakeDriver> drivers{{"Fake Camera", "1.0", true}};
    bool failCreate = false;
    CAPSTATUS status{};            // answered to GET_STATUS (320 x 240 at first)
    CAPDRIVERCAPS caps{};          // answered to DRIVER_GET_CAPS
    CAPTUREPARMS driverSetup{};    // answered to GET_SEQUENCE_SETUP; SET stores here
    std::vector<BYTE> videoFormat; // 40-byte header of 640 x 480 x 24 at first
    std::vector<BYTE> audioFormat; // 18-byte PCM at first; SET stores here
    bool acceptCaptureFile = true;
    // Answers used instead of the default one (state updates still happen); a queued
    // answer is used once, before a fixed one.
    std::map<UINT, LRESULT> answers;
    std::map<UINT, std::deque<LRESULT>> queuedAnswers;
    // Called after each message is recorded (any thread).
    std::function<void(const SentMessage&)> onMessage;

    // ---- What happened ----
    std::vector<SentMessage> Messages() const;
    std::vector<UINT> MessageIds() const;
    std::vector<SentMessage> MessagesOf(UINT message) const;
    std::size_t Count(UINT message) const { return MessagesOf(message).size(); }
    void ClearMessages();

    HWND Window() const { return HandleOfWindow(m_window.data()); }
    struct CreateCall
    {
        std::string windowName;
        DWORD style = 0;
        int width = 0, height = 0;
        HWND parent = nullptr;
        int id = -1;
    };
    std::optional<CreateCall> created;
    LONG_PTR userData = 0;

    // The procedure registered with `setMessage` now (0 when none).
    LPARAM Callback(UINT setMessage) const;
    // Calls the registered procedure as the service would, on this thread; -1 when none.
    // Like the real service, changing a registration waits until calls of the old
    // procedure on other threads have returned.
    LRESULT FireStatus(int id, const char* text);
    LRESULT FireError(int id, const char* text);
    LRESULT FireYield();
    LRESULT FireFrame(VIDEOHDR* header);

    void SetVideoFormat(LONG width, LONG height, WORD bits, DWORD compression = BI_RGB);

    // CaptureServiceCalls.
    HWND CreateCaptureWindow(const char* windowName, DWORD style, int x, int y, int width,
                             int height, HWND parent, int id) override;
    BOOL GetDriverDescription(UINT index, char* name, int nameSize, char* version,
                              int versionSize) override;
    LRESULT Send(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL IsWindow(HWND hwnd) override;
    LONG_PTR GetUserData(HWND hwnd) override { return IsWindow(hwnd) ? userData : 0; }
    LONG_PTR SetUserData(HWND hwnd, LONG_PTR value) override;

private:
    LRESULT DefaultAnswer(UINT message, WPARAM wParam, LPARAM lParam);
    template <typename Procedure, typename... Args> LRESULT Fire(UINT setMessage, Args... args);

    mutable std::mutex m_mutex; // guards the messages, the script maps and the state
    std::vector<SentMessage> m_messages;
    std::map<UINT, LPARAM> m_callbacks;
    std::map<UINT, int> m_runningCalls; // calls in progress per registration message
    std::condition_variable m_callReturned;
    QPointer<QWidget> m_window;
};

// A tick count that moves only when code sleeps: Sleep(n) adds n.
class FakeKernel : public KernelCalls
{
public:
    DWORD TickCount() override { return now; }
    void Sleep(DWORD milliseconds) override
    {
        sleeps.push_back(milliseconds);
        now += milliseconds;
    }
    BOOL GetVersionEx(OSVERSIONINFOA* info) override;
    DWORD Slept() const;

    DWORD now = 1000;
    std::vector<DWORD> sleeps;
    DWORD platformId = VER_PLATFORM_LINUX; // what the version query reports
    DWORD majorVersion = 6;
    bool versionQueryFails = false;
};

// "0x43e, 0x440, ..." for failure output.
std::string Names(const std::vector<UINT>& ids);

} // namespace vexol::test
