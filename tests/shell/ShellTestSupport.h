// Test support for the application shell: a scripted capture service (installed
// drivers with gaps, drivers that refuse to connect, capabilities, the recording flag)
// and a fixture that starts the real application object on it, in English.
#pragma once

#include "capture/CaptureServiceCalls.h"
#include "platform/WindowRegistry.h"
#include "platform/framework/Menu.h"
#include "platform/framework/StatusBar.h"
#include "res/ResourceIds.h"
#include "shell/CMainFrame.h"
#include "shell/CVexolApp.h"
#include "shell/CVexolDoc.h"
#include "shell/CVexolView.h"
#include "support/MessageBoxAnswers.h"
#include "support/TempRegistry.h"

#include <QAction>
#include <QCoreApplication>
#include <QPointer>
#include <QWidget>
#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace vexol::test {

// A capture service whose driver window answers every WM_CAP_* message from a script.
class ScriptedCaptureService : public CaptureServiceCalls
{
public:
    struct Driver
    {
        std::string name;
        std::string version;
        bool connects = true;
        CAPDRIVERCAPS caps{};
        UINT width = 320;
        UINT height = 240;
    };

    // A driver that connects and has every dialog and an overlay.
    static Driver FullDriver(const std::string& name, const std::string& version)
    {
        Driver driver{name, version};
        driver.caps.fHasOverlay = TRUE;
        driver.caps.fHasDlgVideoSource = TRUE;
        driver.caps.fHasDlgVideoFormat = TRUE;
        driver.caps.fHasDlgVideoDisplay = TRUE;
        return driver;
    }

    // Drivers by index; a missing index is a gap.
    std::map<UINT, Driver> drivers;
    bool capturing = false;
    bool acceptCaptureFile = true;
    std::vector<UINT> messages; // every message sent, in order
    int connectedIndex = -1;

    int CountOf(UINT message) const
    {
        return int(std::count(messages.begin(), messages.end(), message));
    }

    HWND CreateCaptureWindow(const char* /*windowName*/, DWORD /*style*/, int x, int y, int width,
                             int height, HWND parent, int /*id*/) override
    {
        auto* window = new QWidget(WindowOfHandle(parent));
        window->setGeometry(x, y, width, height);
        window->show();
        m_window = window;
        return HandleOfWindow(window);
    }

    BOOL GetDriverDescription(UINT index, char* name, int nameSize, char* version,
                              int versionSize) override
    {
        const auto found = drivers.find(index);
        if (found == drivers.end()) {
            return FALSE;
        }
        CopyText(found->second.name, name, nameSize);
        CopyText(found->second.version, version, versionSize);
        return TRUE;
    }

    LRESULT Send(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (!IsWindow(hwnd)) {
            return 0;
        }
        messages.push_back(message);
        const Driver* driver = Connected();
        switch (message) {
        case WM_CAP_DRIVER_CONNECT: {
            const auto found = drivers.find(UINT(wParam));
            const bool ok = found != drivers.end() && found->second.connects;
            connectedIndex = ok ? int(wParam) : -1;
            return ok ? TRUE : FALSE;
        }
        case WM_CAP_DRIVER_DISCONNECT:
            connectedIndex = -1;
            return TRUE;
        case WM_CAP_DRIVER_GET_CAPS:
            if (!driver) {
                return FALSE;
            }
            CopyRecord(driver->caps, wParam, lParam);
            return TRUE;
        case WM_CAP_GET_STATUS: {
            if (!driver) {
                return FALSE;
            }
            CAPSTATUS status{};
            status.uiImageWidth = driver->width;
            status.uiImageHeight = driver->height;
            status.fLiveWindow = m_preview;
            status.fOverlayWindow = m_overlay;
            status.fCapturingNow = capturing ? TRUE : FALSE;
            CopyRecord(status, wParam, lParam);
            return TRUE;
        }
        case WM_CAP_GET_SEQUENCE_SETUP:
            CopyRecord(m_parms, wParam, lParam);
            return driver ? TRUE : FALSE;
        case WM_CAP_SET_SEQUENCE_SETUP:
            std::memcpy(&m_parms, reinterpret_cast<const void*>(lParam),
                        std::min<std::size_t>(wParam, sizeof m_parms));
            return driver ? TRUE : FALSE;
        case WM_CAP_GET_VIDEOFORMAT: {
            if (!driver) {
                return 0;
            }
            if (lParam) {
                BITMAPINFOHEADER header{};
                header.biSize = sizeof header;
                header.biWidth = LONG(driver->width);
                header.biHeight = LONG(driver->height);
                header.biPlanes = 1;
                header.biBitCount = 24;
                CopyRecord(header, wParam, lParam);
            }
            return sizeof(BITMAPINFOHEADER);
        }
        case WM_CAP_SET_PREVIEW:
            m_preview = wParam != 0;
            return driver ? TRUE : FALSE;
        case WM_CAP_SET_OVERLAY:
            m_overlay = wParam != 0;
            return driver && driver->caps.fHasOverlay ? TRUE : FALSE;
        case WM_CAP_FILE_SET_CAPTURE_FILE:
            return acceptCaptureFile ? TRUE : FALSE;
        case WM_CAP_SEQUENCE:
            capturing = driver != nullptr;
            return capturing ? TRUE : FALSE;
        case WM_CAP_STOP:
        case WM_CAP_ABORT:
            capturing = false;
            return TRUE;
        case WM_CAP_GET_AUDIOFORMAT:
            return 0;
        default:
            return driver ? TRUE : FALSE;
        }
    }

    BOOL IsWindow(HWND hwnd) override
    {
        return hwnd && hwnd == HandleOfWindow(m_window.data()) ? TRUE : FALSE;
    }
    LONG_PTR GetUserData(HWND hwnd) override { return m_userData[hwnd]; }
    LONG_PTR SetUserData(HWND hwnd, LONG_PTR value) override
    {
        const LONG_PTR previous = m_userData[hwnd];
        m_userData[hwnd] = value;
        return previous;
    }

    bool IsPreviewOn() const { return m_preview; }
    bool IsOverlayOn() const { return m_overlay; }

private:
    const Driver* Connected() const
    {
        const auto found = drivers.find(UINT(connectedIndex));
        return connectedIndex >= 0 && found != drivers.end() ? &found->second : nullptr;
    }
    static void CopyText(const std::string& text, char* buffer, int size)
    {
        if (buffer && size > 0) {
            const std::size_t n = std::min<std::size_t>(text.size(), std::size_t(size - 1));
            std::memcpy(buffer, text.data(), n);
            buffer[n] = '\0';
        }
    }
    template <class Record> static void CopyRecord(const Record& record, WPARAM size, LPARAM to)
    {
        if (to) {
            std::memcpy(reinterpret_cast<void*>(to), &record,
                        std::min<std::size_t>(size, sizeof record));
        }
    }

    QPointer<QWidget> m_window;
    std::map<HWND, LONG_PTR> m_userData;
    CAPTUREPARMS m_parms{};
    bool m_preview = false;
    bool m_overlay = false;
};

// Starts the real application object on a scripted service in a private registry.
class ShellTest : public ::testing::Test
{
protected:
    ~ShellTest() override
    {
        service.capturing = false; // the capture window's shutdown need not wait
        app.reset();
        QCoreApplication::sendPostedEvents();
    }

    // Drivers "Driver n" / "1.n" at each of `indexes`.
    void InstallDrivers(std::initializer_list<UINT> indexes)
    {
        for (UINT index : indexes) {
            service.drivers[index] = ScriptedCaptureService::FullDriver(
                "Driver " + std::to_string(index), "1." + std::to_string(index));
        }
    }

    // Stores the "Clickwand" setting on, as a user would in the registry.
    static void EnableClickwand()
    {
        RegistryStore store;
        store.WriteString("Window Info", "Clickwand", "1");
    }

    // Runs start-up; the posted commands stay queued.
    BOOL StartUp()
    {
        app = std::make_unique<CVexolApp>();
        app->GetCaptureWindow().SetServiceCalls(&service);
        const BOOL started = app->InitInstance();
        frame = app->GetMainFrame();
        if (frame) {
            view = dynamic_cast<CVexolView*>(frame->GetActiveView());
            document = dynamic_cast<CVexolDoc*>(frame->GetActiveDocument());
        }
        return started;
    }

    // Start-up that must succeed, with the posted commands delivered.
    void StartUpAndSettle()
    {
        ASSERT_TRUE(StartUp());
        ASSERT_NE(frame, nullptr);
        ASSERT_NE(view, nullptr);
        QCoreApplication::sendPostedEvents();
    }

    CCaptureWindow& Capture() { return app->GetCaptureWindow(); }
    RegistryStore& Store() { return app->GetRegistryStore(); }

    // The state a menu item shows after its popup's update rules ran.
    struct ItemState
    {
        bool present = false;
        bool enabled = false;
        bool checked = false;
        bool radio = false;
    };
    ItemState StateOf(UINT id)
    {
        ItemState state;
        CMenu bar = frame->GetMenu();
        QAction* action = bar.FindCommand(id);
        if (!action) {
            return state;
        }
        // Popup items are updated as their popup opens, bar commands while idle.
        for (int i = 0; i < bar.GetMenuItemCount(); ++i) {
            CMenu popup = bar.GetSubMenu(i);
            if (!popup.IsNull() && popup.FindCommand(id)) {
                frame->UpdateMenuItems(popup);
            }
        }
        frame->OnUpdateIdle();
        state.present = true;
        state.enabled = action->isEnabled();
        state.checked = action->isCheckable() && action->isChecked();
        state.radio = action->actionGroup() != nullptr && action->isChecked();
        return state;
    }

    std::string PaneText() { return frame->GetStatusBar().GetPaneText(0); }

    ScopedLanguage language{res::Language::English};
    TempRegistry registry;
    ScriptedCaptureService service;
    std::unique_ptr<CVexolApp> app;
    CMainFrame* frame = nullptr;
    CVexolView* view = nullptr;
    CVexolDoc* document = nullptr;
};

} // namespace vexol::test
