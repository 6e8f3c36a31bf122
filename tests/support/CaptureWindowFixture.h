// Shared pieces of the capture window tests: an owner that records what the window hands
// over, and a fixture with a parent widget, the scripted service and clock, and a
// capture window made on demand.
#pragma once

#include "capture/CCaptureWindow.h"
#include "capture/CaptureWindowOwner.h"
#include "capture/PendingStatusText.h"
#include "still/CDib.h"
#include "support/FakeCaptureService.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QWidget>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace vexol::test {

class RecordingOwner : public CaptureWindowOwner
{
public:
    void SetPendingStatusText(const char* text) override
    {
        pending.Set(text);
        std::lock_guard lock(mutex);
        texts.emplace_back(text ? text : "");
    }
    void SaveWaveFormat() override
    {
        ++saveWaveFormatCalls;
        if (onSaveWaveFormat) {
            onSaveWaveFormat();
        }
    }
    BOOL IsShutterSwitchEnabled() const override { return shutterSwitch ? TRUE : FALSE; }
    void SaveShutterStill(CDib& picture) override
    {
        std::lock_guard lock(mutex);
        stills.push_back(picture);
        if (onStill) {
            onStill(picture);
        }
    }
    std::vector<std::string> Texts()
    {
        std::lock_guard lock(mutex);
        return texts;
    }

    PendingStatusText pending;
    std::mutex mutex; // guards texts and stills, and serialises onStill
    std::vector<std::string> texts;
    std::vector<CDib> stills;
    std::function<void(CDib&)> onStill;
    std::function<void()> onSaveWaveFormat;
    int saveWaveFormatCalls = 0;
    bool shutterSwitch = false;
};

// Runs the event loop until `done` holds or `timeoutMs` passed; returns `done()`.
inline bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 5000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    return done();
}

class CaptureWindowTest : public ::testing::Test
{
protected:
    // Makes the window, creates it as a child of `parent` and forgets the messages sent.
    BOOL CreateWindow(RECT rect = {0, 0, 320, 240}, bool keepMessages = false)
    {
        window = std::make_unique<CCaptureWindow>();
        window->SetServiceCalls(&service);
        window->SetKernelCalls(&kernel);
        window->SetOwner(&owner);
        const BOOL created =
            window->Create(nullptr, "Capture Window", WS_CHILD | WS_VISIBLE, rect, &parent, 12345);
        if (!keepMessages) {
            service.ClearMessages();
        }
        return created;
    }
    std::string Sent() const { return Names(service.MessageIds()); }

    QWidget parent;
    FakeCaptureService service;
    FakeKernel kernel;
    RecordingOwner owner;
    std::unique_ptr<CCaptureWindow> window; // destroyed first: it uses the members above
};

} // namespace vexol::test
