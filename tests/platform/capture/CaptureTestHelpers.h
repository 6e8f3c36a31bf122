// Helpers for the capture service tests: a driver window under a parent widget, typed
// message wrappers, waiting with the event loop running, and callback procedures that
// record what the service reports.
#pragma once

#include "platform/WindowRegistry.h"
#include "platform/capture/CaptureService.h"
#include "platform/capture/DriverRegistry.h"
#include "platform/capture/DriverWindow.h"
#include "platform/capture/ShutterSwitchDriver.h"
#include "platform/capture/TestPatternDriver.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QWidget>
#include <atomic>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace capture_test {

using namespace vexol::platform::capture;

// Runs the event loop until `done` holds or `timeoutMs` passed; returns `done()`.
inline bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 5000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs) {
            return done();
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(2);
    }
    return true;
}

// Runs the event loop for `ms` milliseconds.
inline void PumpFor(int ms)
{
    WaitUntil([] { return false; }, ms);
}

struct RecordedFrame
{
    DWORD bufferLength;
    DWORD bytesUsed;
    DWORD timeCaptured;
    DWORD flags;
    BYTE lastByte;
    bool onCaptureThread;
};

// What the callback procedures saw. One instance; tests reset it.
class CallbackRecorder
{
public:
    static CallbackRecorder& Instance()
    {
        static CallbackRecorder recorder;
        return recorder;
    }

    void Reset()
    {
        std::lock_guard lock(mutex);
        statusIds.clear();
        statusTexts.clear();
        errorIds.clear();
        errorTexts.clear();
        frames.clear();
        yieldCalls = 0;
        yieldResult = 1;
        frameHook = nullptr;
        mainThread = QThread::currentThread();
    }

    std::vector<int> StatusIds()
    {
        std::lock_guard lock(mutex);
        return statusIds;
    }
    std::vector<int> ErrorIds()
    {
        std::lock_guard lock(mutex);
        return errorIds;
    }
    std::vector<RecordedFrame> Frames()
    {
        std::lock_guard lock(mutex);
        return frames;
    }
    std::size_t FrameCount()
    {
        std::lock_guard lock(mutex);
        return frames.size();
    }
    bool SawStatus(int id)
    {
        std::lock_guard lock(mutex);
        return std::find(statusIds.begin(), statusIds.end(), id) != statusIds.end();
    }

    static LRESULT StatusProc(HWND, int id, const char* text)
    {
        auto& r = Instance();
        std::lock_guard lock(r.mutex);
        r.statusIds.push_back(id);
        r.statusTexts.emplace_back(text ? text : "");
        return 1;
    }
    static LRESULT ErrorProc(HWND, int id, const char* text)
    {
        auto& r = Instance();
        std::lock_guard lock(r.mutex);
        r.errorIds.push_back(id);
        r.errorTexts.emplace_back(text ? text : "");
        return 1;
    }
    static LRESULT YieldProc(HWND)
    {
        auto& r = Instance();
        r.yieldCalls.fetch_add(1);
        return r.yieldResult.load();
    }
    static LRESULT VideoProc(HWND hwnd, VIDEOHDR* header)
    {
        auto& r = Instance();
        RecordedFrame f{header->dwBufferLength,
                        header->dwBytesUsed,
                        header->dwTimeCaptured,
                        header->dwFlags,
                        header->dwBytesUsed ? header->lpData[header->dwBytesUsed - 1] : BYTE(0),
                        QThread::currentThread() != r.mainThread};
        std::function<void(HWND, VIDEOHDR*)> hook;
        {
            std::lock_guard lock(r.mutex);
            r.frames.push_back(f);
            hook = r.frameHook;
        }
        if (hook) {
            hook(hwnd, header);
        }
        return 0;
    }

    std::mutex mutex; // guards the vectors and frameHook
    std::vector<int> statusIds;
    std::vector<std::string> statusTexts;
    std::vector<int> errorIds;
    std::vector<std::string> errorTexts;
    std::vector<RecordedFrame> frames;
    std::function<void(HWND, VIDEOHDR*)> frameHook; // runs inside the video callback
    std::atomic<int> yieldCalls{0};
    std::atomic<LRESULT> yieldResult{1};
    QThread* mainThread = nullptr;
};

// A driver window under a parent widget, connected to one driver.
class DriverWindowFixture
{
public:
    DriverWindowFixture()
    {
        parent = std::make_unique<QWidget>();
        parent->resize(640, 480);
        hwnd = capCreateCaptureWindowA("Test", WS_CHILD | WS_VISIBLE, 0, 0, 320, 240,
                                       HandleOfWindow(parent.get()), 0);
    }
    ~DriverWindowFixture()
    {
        if (IsWindow(hwnd)) {
            SendMessageA(hwnd, WM_CAP_ABORT, 0, 0);
        }
        parent.reset();
    }

    LRESULT Send(UINT message, WPARAM w = 0, LPARAM l = 0)
    {
        return SendMessageA(hwnd, message, w, l);
    }
    template <typename T> LRESULT Send(UINT message, WPARAM w, T* pointer)
    {
        return SendMessageA(hwnd, message, w, reinterpret_cast<LPARAM>(pointer));
    }

    bool Connect(UINT index) { return Send(WM_CAP_DRIVER_CONNECT, index) == TRUE; }

    BITMAPINFOHEADER Format()
    {
        BITMAPINFOHEADER h{};
        Send(WM_CAP_GET_VIDEOFORMAT, sizeof h, &h);
        return h;
    }
    LRESULT SetFormat(int width, int height, int bits, DWORD compression = BI_RGB)
    {
        BITMAPINFOHEADER h{};
        h.biSize = sizeof h;
        h.biWidth = width;
        h.biHeight = height;
        h.biPlanes = 1;
        h.biBitCount = WORD(bits);
        h.biCompression = compression;
        return Send(WM_CAP_SET_VIDEOFORMAT, sizeof h, &h);
    }
    CAPSTATUS Status()
    {
        CAPSTATUS s{};
        Send(WM_CAP_GET_STATUS, sizeof s, &s);
        return s;
    }
    CAPTUREPARMS Setup()
    {
        CAPTUREPARMS p{};
        Send(WM_CAP_GET_SEQUENCE_SETUP, sizeof p, &p);
        return p;
    }
    // A frame stream setup: given period, no abort input, yield on, no limit.
    void SetStreamSetup(DWORD microSecPerFrame, UINT buffers = 64)
    {
        CAPTUREPARMS p = Setup();
        p.dwRequestMicroSecPerFrame = microSecPerFrame;
        p.fYield = TRUE;
        p.vKeyAbort = 0;
        p.fAbortLeftMouse = FALSE;
        p.fAbortRightMouse = FALSE;
        p.fLimitEnabled = FALSE;
        p.fMakeUserHitOKToCapture = FALSE;
        p.wNumVideoRequested = buffers;
        ASSERT_EQ(Send(WM_CAP_SET_SEQUENCE_SETUP, sizeof p, &p), TRUE);
    }
    void RegisterRecorder(bool video = true)
    {
        Send(WM_CAP_SET_CALLBACK_STATUS, 0,
             reinterpret_cast<LPARAM>(&CallbackRecorder::StatusProc));
        Send(WM_CAP_SET_CALLBACK_ERROR, 0, reinterpret_cast<LPARAM>(&CallbackRecorder::ErrorProc));
        Send(WM_CAP_SET_CALLBACK_YIELD, 0, reinterpret_cast<LPARAM>(&CallbackRecorder::YieldProc));
        if (video) {
            Send(WM_CAP_SET_CALLBACK_VIDEOSTREAM, 0,
                 reinterpret_cast<LPARAM>(&CallbackRecorder::VideoProc));
        }
    }
    bool WaitForCaptureEnd(int timeoutMs = 5000)
    {
        return WaitUntil([&] { return !Status().fCapturingNow; }, timeoutMs);
    }

    DriverWindow* Window() { return static_cast<DriverWindow*>(WindowOfHandle(hwnd)); }
    TestPatternDriver* TestPattern()
    {
        return dynamic_cast<TestPatternDriver*>(Window()->Driver());
    }
    ShutterSwitchDriver* Shutter()
    {
        return dynamic_cast<ShutterSwitchDriver*>(Window()->Driver());
    }

    std::unique_ptr<QWidget> parent;
    HWND hwnd = nullptr;
};

// Indexes of the built-in drivers while no camera is attached.
inline constexpr UINT kTestPatternIndex = 0;
inline constexpr UINT kShutterSwitchIndex = 1;

// Installs the built-in drivers alone, whatever cameras the machine has.
class BuiltInDriversOnly
{
public:
    BuiltInDriversOnly() { SetInstalledDriversForTesting(BuiltInDrivers()); }
    ~BuiltInDriversOnly() { SetInstalledDriversForTesting(std::nullopt); }
};

} // namespace capture_test
