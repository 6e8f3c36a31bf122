// Start-up and shutdown: the driver items of the Option menu for scripted driver
// lists, the failure report without a connectable driver, the settings written at
// shutdown, and the capture window placed inside the view.
#include "ShellTestSupport.h"

#include "platform/capture/v4l2/CameraList.h"
#include "platform/framework/CommandIds.h"

#include <QElapsedTimer>
#include <QThread>
#include <functional>

namespace vexol::test {
namespace {

// Runs the event loop until `done` holds, for at most five seconds.
bool WaitFor(const std::function<bool()>& done)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < 5000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return done();
}

// The Option popup's items after its last separator: (command ID, text).
std::vector<std::pair<UINT, std::string>> DriverItems(CMainFrame& frame)
{
    CMenu option = frame.GetMenu().GetSubMenu(1);
    std::vector<std::pair<UINT, std::string>> items;
    for (int i = option.GetMenuItemCount() - 1; i >= 0; --i) {
        const UINT id = option.GetMenuItemID(i);
        if (id == 0) {
            break; // the last separator
        }
        std::string text;
        option.GetMenuString(UINT(i), text, MF_BYPOSITION);
        items.insert(items.begin(), {id, text});
    }
    return items;
}

struct DriverListCase
{
    const char* name;
    std::vector<UINT> installed;
    std::vector<UINT> listed; // indexes that get menu items
};

class DriverListTest : public ShellTest, public ::testing::WithParamInterface<DriverListCase>
{
};

TEST_P(DriverListTest, OptionMenuEndsWithOneItemPerListedDriver)
{
    for (UINT index : GetParam().installed) {
        InstallDrivers({index});
    }
    ASSERT_TRUE(StartUp());
    std::vector<std::pair<UINT, std::string>> expected;
    for (UINT index : GetParam().listed) {
        expected.emplace_back(32800 + index,
                              "Driver " + std::to_string(index) + ",   1." + std::to_string(index));
    }
    EXPECT_EQ(DriverItems(*frame), expected);
    for (const auto& [id, text] : expected) {
        const ItemState state = StateOf(id);
        EXPECT_TRUE(state.enabled) << id;
        EXPECT_EQ(state.checked, id == 32800) << id; // driver 0 connected
    }
}

INSTANTIATE_TEST_SUITE_P(Lists, DriverListTest,
                         ::testing::Values(DriverListCase{"One", {0}, {0}},
                                           DriverListCase{"Three", {0, 1, 2}, {0, 1, 2}},
                                           DriverListCase{"GapStopsTheList", {0, 1, 3}, {0, 1}},
                                           DriverListCase{"OnlyTenOfTwelve",
                                                          {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11},
                                                          {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}}),
                         [](const auto& info) { return std::string(info.param.name); });

struct FailureCase
{
    const char* name;
    bool installed;
};

class NoConnectableDriverTest : public ShellTest, public ::testing::WithParamInterface<FailureCase>
{
};

// No installed driver, or one that refuses: one box, start-up fails, and shutdown
// writes the application settings but no capture settings.
TEST_P(NoConnectableDriverTest, ReportsOnceAndWritesNoCaptureSettings)
{
    if (GetParam().installed) {
        InstallDrivers({0});
        service.drivers[0].connects = false;
    }
    ScopedMessageBoxAnswers boxes;
    EXPECT_FALSE(StartUp());
    ASSERT_EQ(boxes.requests.size(), 1u);
    EXPECT_EQ(boxes.requests[0].text.rfind("ID-10002-0101\n", 0), 0u) << boxes.requests[0].text;
    EXPECT_NE(boxes.requests[0].text.find("Capture connection failed."), std::string::npos);
    // The main window was already shown behind the box.
    ASSERT_NE(frame, nullptr);
    EXPECT_TRUE(frame->isVisible());
    EXPECT_EQ(DriverItems(*frame).size(), GetParam().installed ? 1u : 0u);

    app->ExitInstance();
    const std::string hive = registry.ReadHive();
    EXPECT_NE(hive.find("Window Info"), std::string::npos);
    EXPECT_EQ(hive.find("Settings Info"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Cases, NoConnectableDriverTest,
                         ::testing::Values(FailureCase{"NoDriver", false},
                                           FailureCase{"DriverRefuses", true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ShellTest, LaterDriverConnectsWhenTheFirstRefuses)
{
    InstallDrivers({0, 1});
    service.drivers[0].connects = false;
    ScopedMessageBoxAnswers boxes;
    ASSERT_TRUE(StartUp());
    EXPECT_TRUE(boxes.requests.empty());
    EXPECT_TRUE(StateOf(32801).checked);
    EXPECT_FALSE(StateOf(32800).checked);
}

TEST_F(ShellTest, CamerasThatComeAndGoUpdateTheOptionMenuWithoutDisconnecting)
{
    InstallDrivers({0, 1});
    StartUpAndSettle();
    ASSERT_TRUE(app->GetCaptureWindow().ConnectDriver(1));
    const int connects = service.CountOf(WM_CAP_DRIVER_CONNECT);
    const auto changed = [&](std::vector<std::pair<UINT, std::string>> expected) {
        vexol::platform::capture::v4l2::NotifyCamerasChangedForTesting();
        return WaitFor([&] { return DriverItems(*frame) == expected; });
    };

    // A camera plugged in takes the first place; the connected driver moves with it.
    service.drivers[2] = service.drivers[1];
    service.drivers[1] = service.drivers[0];
    service.drivers[0] = ScriptedCaptureService::FullDriver("Camera", "6.1");
    ASSERT_TRUE(changed(
        {{32800, "Camera,   6.1"}, {32801, "Driver 0,   1.0"}, {32802, "Driver 1,   1.1"}}));
    EXPECT_TRUE(app->GetCaptureWindow().IsDriverConnected());
    EXPECT_EQ(app->GetCaptureWindow().GetDriverName(), "Driver 1");
    EXPECT_TRUE(StateOf(32802).checked);
    EXPECT_FALSE(StateOf(32801).checked);
    EXPECT_EQ(service.CountOf(WM_CAP_DRIVER_CONNECT), connects) << "no reconnection";

    // The connected camera pulled out: listed no more, still connected, nothing checked.
    service.drivers.erase(2);
    ASSERT_TRUE(changed({{32800, "Camera,   6.1"}, {32801, "Driver 0,   1.0"}}));
    EXPECT_TRUE(app->GetCaptureWindow().IsDriverConnected());
    EXPECT_FALSE(StateOf(32800).checked);
    EXPECT_FALSE(StateOf(32801).checked);
    // Choosing an item connects what it shows.
    frame->SendCommand(32800);
    EXPECT_EQ(app->GetCaptureWindow().GetDriverName(), "Camera");
}

TEST_F(ShellTest, ShutdownWritesCaptureSettingsWhileConnected)
{
    InstallDrivers({0});
    StartUpAndSettle();
    app->ExitInstance();
    const std::string hive = registry.ReadHive();
    EXPECT_NE(hive.find("Window Info"), std::string::npos);
    EXPECT_NE(hive.find("Settings Info"), std::string::npos);
}

TEST_F(ShellTest, CaptureWindowIsTheViewsVisibleChild12345)
{
    InstallDrivers({0});
    StartUpAndSettle();
    CCaptureWindow* window = view->GetCaptureWindow();
    ASSERT_EQ(window, &Capture());
    EXPECT_EQ(window->parentWidget(), view);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->size(), QSize(320, 240));
    EXPECT_TRUE(service.IsPreviewOn());
}

// The view goes before the application object: the capture window must survive it.
TEST_F(ShellTest, ClosingTheMainWindowLeavesTheCaptureWindowToTheApplication)
{
    InstallDrivers({0});
    StartUpAndSettle();
    service.capturing = true;
    QPointer<CMainFrame> closing = frame;
    frame->SendCommand(ID_APP_EXIT);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(closing.isNull());
    EXPECT_EQ(Capture().parentWidget(), nullptr);
    EXPECT_FALSE(service.capturing);            // the running recording was stopped
    EXPECT_TRUE(Capture().IsDriverConnected()); // so shutdown still saves its settings
    frame = nullptr;
}

TEST_F(ShellTest, ClickwandSettingDecidesWhetherItsItemExists)
{
    InstallDrivers({0});
    ASSERT_TRUE(StartUp());
    EXPECT_FALSE(StateOf(ID_SHUTTER_SAVE).present);
    EXPECT_EQ(frame->GetMenu().GetSubMenu(5).GetMenuItemCount(), 1);
    app.reset();

    EnableClickwand();
    ASSERT_TRUE(StartUp());
    EXPECT_TRUE(StateOf(ID_SHUTTER_SAVE).present);
    EXPECT_EQ(frame->GetMenu().GetSubMenu(5).GetMenuItemCount(), 2);
}

TEST_F(ShellTest, StatusBarHasTheMessagePaneAndFourIndicators)
{
    InstallDrivers({0});
    StartUpAndSettle();
    CStatusBar& bar = frame->GetStatusBar();
    ASSERT_EQ(bar.GetCount(), 5);
    const UINT expected[] = {0, 59142, 59137, 59138, 59139};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(bar.GetItemID(i), expected[i]);
    }
    EXPECT_EQ(bar.GetDlgCtrlID(), 59393u);
}

} // namespace
} // namespace vexol::test
