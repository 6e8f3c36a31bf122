// The update rules of the menu commands against the states that matter, the gating of
// menu, accelerator and posted commands, and the handlers of this part.
#include "ShellTestSupport.h"

#include "platform/framework/CommandIds.h"
#include "support/FileDialogAnswers.h"

#include <QKeySequence>
#include <QShortcut>

namespace vexol::test {
namespace {

struct RuleScenario
{
    const char* name;
    bool hasCaps;   // overlay and all three driver dialogs
    bool connected; // false: a driver that refuses was chosen afterwards
    bool recording;
    bool captureFile; // a capture file name is stored
    bool continuous;  // a numbered-still base name is fixed
    bool clickwand;
    std::map<UINT, bool> enabled; // expected enabled state per command
};

// Commands whose rule does not depend on the capture state.
const std::map<UINT, bool> kAlwaysEnabled = {{ID_APP_EXIT, true},    {ID_VIEW_STATUS_BAR, true},
                                             {ID_HELP_FINDER, true}, {ID_APP_ABOUT, true},
                                             {32800, true},          {32801, true}};

const RuleScenario kScenarios[] = {
    {"ConnectedIdleWithoutFileOrName",
     true,
     true,
     false,
     false,
     false,
     true,
     {{32771, true},
      {32786, false},
      {32787, true},
      {32772, true},
      {32774, true},
      {32775, true},
      {32776, true},
      {32777, true},
      {32778, true},
      {32779, true},
      {32780, true},
      {32793, true},
      {32795, false},
      {32810, false},
      {32794, true},
      {32811, true}}},
    {"ConnectedIdleWithFileAndName",
     true,
     true,
     false,
     true,
     true,
     true,
     {{32771, true},
      {32786, true},
      {32787, true},
      {32772, true},
      {32793, true},
      {32795, false},
      {32810, true},
      {32794, true},
      {32811, true}}},
    {"Recording",
     true,
     true,
     true,
     true,
     true,
     true,
     {{32771, false},
      {32786, false},
      {32787, false},
      {32772, false},
      {32774, false},
      {32775, false},
      {32776, false},
      {32777, false},
      {32778, false},
      {32779, true},
      {32780, true},
      {32793, false},
      {32795, true},
      {32810, false},
      {32794, false},
      {32811, false}}},
    {"WithoutCapabilities",
     false,
     true,
     false,
     true,
     true,
     true,
     {{32786, true},
      {32774, false},
      {32775, false},
      {32776, false},
      {32779, false},
      {32780, true},
      {32810, true},
      {32811, true}}},
    {"NotConnected",
     true,
     false,
     false,
     true,
     true,
     true,
     {{32771, false},
      {32786, false},
      {32787, false},
      {32772, false},
      {32774, false},
      {32775, false},
      {32776, false},
      {32777, true},
      {32778, true},
      {32779, false},
      {32780, false},
      {32793, false},
      {32795, false},
      {32810, false},
      {32794, false},
      {32811, false}}},
};

class UpdateRuleTest : public ShellTest, public ::testing::WithParamInterface<RuleScenario>
{
};

TEST_P(UpdateRuleTest, EachItemIsEnabledByItsRule)
{
    const RuleScenario& scenario = GetParam();
    if (scenario.clickwand) {
        EnableClickwand();
    }
    InstallDrivers({0, 1});
    service.drivers[1].connects = false;
    if (!scenario.hasCaps) {
        service.drivers[0].caps = CAPDRIVERCAPS{};
    }
    StartUpAndSettle();
    if (scenario.captureFile) {
        ASSERT_TRUE(Capture().SetCaptureFile("/tmp/capture.avi"));
    }
    if (scenario.continuous) {
        Store().m_strContinuousBase = "/tmp/still.jpg";
    }
    if (!scenario.connected) {
        ASSERT_TRUE(frame->SendCommand(32801));
        ASSERT_FALSE(Capture().IsDriverConnected());
    }
    service.capturing = scenario.recording;

    std::map<UINT, bool> expected = scenario.enabled;
    expected.insert(kAlwaysEnabled.begin(), kAlwaysEnabled.end());
    for (const auto& [id, enabled] : expected) {
        const ItemState state = StateOf(id);
        ASSERT_TRUE(state.present) << id;
        EXPECT_EQ(state.enabled, enabled) << "command " << id;
    }
}

INSTANTIATE_TEST_SUITE_P(States, UpdateRuleTest, ::testing::ValuesIn(kScenarios),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ShellTest, DisplayModesShowRadioMarks)
{
    InstallDrivers({0});
    StartUpAndSettle();
    EXPECT_TRUE(StateOf(ID_PREVIEW).radio);
    EXPECT_FALSE(StateOf(ID_OVERLAY).radio);

    ASSERT_TRUE(frame->SendCommand(ID_OVERLAY));
    EXPECT_TRUE(service.IsOverlayOn());
    EXPECT_TRUE(StateOf(ID_OVERLAY).radio);
    EXPECT_FALSE(StateOf(ID_PREVIEW).radio);

    ASSERT_TRUE(frame->SendCommand(ID_PREVIEW));
    EXPECT_TRUE(service.IsPreviewOn());
    EXPECT_FALSE(service.IsOverlayOn());
    EXPECT_TRUE(StateOf(ID_PREVIEW).radio);
    EXPECT_FALSE(StateOf(ID_OVERLAY).radio);
}

TEST_F(ShellTest, StillDisplayCheckMarkStartsClearedAndFollowsTheFrozenFlag)
{
    InstallDrivers({0});
    StartUpAndSettle();
    // The resource sets the check mark; the first update clears it.
    QAction* item = frame->GetMenu().FindCommand(ID_DISPLAY_STILL);
    ASSERT_NE(item, nullptr);
    EXPECT_TRUE(item->isChecked());
    EXPECT_FALSE(StateOf(ID_DISPLAY_STILL).checked);

    ASSERT_TRUE(frame->SendCommand(ID_DISPLAY_STILL));
    EXPECT_TRUE(Capture().IsFrozen());
    EXPECT_TRUE(StateOf(ID_DISPLAY_STILL).checked);
    EXPECT_FALSE(StateOf(ID_PREVIEW).radio);

    // Preview while frozen: live preview again, check mark cleared.
    ASSERT_TRUE(frame->SendCommand(ID_PREVIEW));
    EXPECT_FALSE(Capture().IsFrozen());
    EXPECT_TRUE(service.IsPreviewOn());
    EXPECT_FALSE(StateOf(ID_DISPLAY_STILL).checked);
}

// Ctrl+T twice returns to the mode used before, overlay or preview.
TEST_F(ShellTest, CtrlTTwiceReturnsToTheEarlierLiveMode)
{
    InstallDrivers({0});
    StartUpAndSettle();
    QShortcut* ctrlT = nullptr;
    for (QShortcut* shortcut : frame->findChildren<QShortcut*>()) {
        if (shortcut->key() == QKeySequence(Qt::CTRL | Qt::Key_T)) {
            ctrlT = shortcut;
        }
    }
    ASSERT_NE(ctrlT, nullptr);

    for (const UINT mode : {ID_OVERLAY, ID_PREVIEW}) {
        ASSERT_TRUE(frame->SendCommand(mode));
        const int grabs = service.CountOf(WM_CAP_GRAB_FRAME);
        emit ctrlT->activated();
        EXPECT_TRUE(Capture().IsFrozen());
        EXPECT_FALSE(service.IsPreviewOn());
        EXPECT_FALSE(service.IsOverlayOn());
        EXPECT_EQ(service.CountOf(WM_CAP_GRAB_FRAME), grabs + 1);
        emit ctrlT->activated();
        EXPECT_FALSE(Capture().IsFrozen());
        EXPECT_EQ(service.IsOverlayOn(), mode == ID_OVERLAY) << mode;
        EXPECT_EQ(service.IsPreviewOn(), mode == ID_PREVIEW) << mode;
    }
}

struct GateCase
{
    const char* name;
    bool recording;
    bool connected;
};

class StillDisplayGateTest : public ShellTest, public ::testing::WithParamInterface<GateCase>
{
};

// Ctrl+T, the menu and a post are all dropped by the rule of 32794.
TEST_P(StillDisplayGateTest, CommandIsDroppedBeforeItsHandler)
{
    InstallDrivers({0, 1});
    service.drivers[1].connects = false;
    StartUpAndSettle();
    if (!GetParam().connected) {
        ASSERT_TRUE(frame->SendCommand(32801));
    }
    service.capturing = GetParam().recording;
    const int grabs = service.CountOf(WM_CAP_GRAB_FRAME);

    EXPECT_FALSE(frame->SendCommand(ID_DISPLAY_STILL));
    frame->PostCommand(ID_DISPLAY_STILL);
    QCoreApplication::sendPostedEvents();
    for (QShortcut* shortcut : frame->findChildren<QShortcut*>()) {
        emit shortcut->activated();
    }
    EXPECT_FALSE(Capture().IsFrozen());
    EXPECT_EQ(service.CountOf(WM_CAP_GRAB_FRAME), grabs);
    // The handler's own test holds when it is called directly.
    frame->OnDisplayStill();
    EXPECT_FALSE(Capture().IsFrozen());
}

INSTANTIATE_TEST_SUITE_P(Cases, StillDisplayGateTest,
                         ::testing::Values(GateCase{"Recording", true, true},
                                           GateCase{"NoDriver", false, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ShellTest, PostedCommandWithoutCapabilityIsDropped)
{
    InstallDrivers({0});
    service.drivers[0].caps = CAPDRIVERCAPS{};
    StartUpAndSettle();
    frame->PostCommand(ID_OVERLAY);
    frame->PostCommand(ID_IMAGE_FORMAT);
    QCoreApplication::sendPostedEvents();
    EXPECT_FALSE(Capture().IsOverlay());
    EXPECT_EQ(service.CountOf(WM_CAP_DLG_VIDEOFORMAT), 0);
}

TEST_F(ShellTest, DriverDialogsGoToTheDriver)
{
    InstallDrivers({0});
    StartUpAndSettle();
    EXPECT_TRUE(frame->SendCommand(ID_VIDEO_INPUT));
    EXPECT_TRUE(frame->SendCommand(ID_IMAGE_FORMAT));
    EXPECT_TRUE(frame->SendCommand(ID_VIDEO_DISPLAY));
    EXPECT_EQ(service.CountOf(WM_CAP_DLG_VIDEOSOURCE), 1);
    EXPECT_EQ(service.CountOf(WM_CAP_DLG_VIDEOFORMAT), 1);
    EXPECT_EQ(service.CountOf(WM_CAP_DLG_VIDEODISPLAY), 1);
}

// The new format's size is placed by the posted 32792.
TEST_F(ShellTest, ImageFormatPlacesTheResizedPictureAgain)
{
    InstallDrivers({0});
    StartUpAndSettle();
    view->GetScrollArea()->resize(800, 600);
    QCoreApplication::sendPostedEvents();
    service.drivers[0].width = 160;
    service.drivers[0].height = 120;
    ASSERT_TRUE(frame->SendCommand(ID_IMAGE_FORMAT));
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(Capture().size(), QSize(160, 120));
    RECT client;
    view->GetClientRect(&client);
    EXPECT_EQ(Capture().pos(), QPoint((client.right - 160) / 2, (client.bottom - 120) / 2));
    EXPECT_EQ(view->GetTotalSize().cx, 160);
}

TEST_F(ShellTest, ChosenDriverIsCheckedEvenWhenItFailsToConnect)
{
    InstallDrivers({0, 1, 2, 3});
    service.drivers[3].connects = false;
    StartUpAndSettle();
    ASSERT_TRUE(frame->SendCommand(32803));
    EXPECT_EQ(Capture().GetDriverIndex(), 3);
    for (UINT id = 32800; id <= 32803; ++id) {
        EXPECT_EQ(StateOf(id).checked, id == 32803) << id;
        EXPECT_TRUE(StateOf(id).enabled) << id;
    }
    ASSERT_TRUE(frame->SendCommand(32801));
    EXPECT_TRUE(Capture().IsDriverConnected());
    EXPECT_TRUE(StateOf(32801).checked);
    EXPECT_FALSE(StateOf(32803).checked);
}

TEST_F(ShellTest, RecordWithoutCaptureFileStartsNothingWhenTheFileDialogIsCancelled)
{
    InstallDrivers({0});
    StartUpAndSettle();
    ScopedFileDialogAnswers files; // cancels
    ASSERT_TRUE(frame->SendCommand(ID_RECORD));
    ASSERT_EQ(files.shown.size(), 1u);
    EXPECT_EQ(files.shown[0].title, "Capture file setting");
    EXPECT_EQ(service.CountOf(WM_CAP_SEQUENCE), 0);
    EXPECT_FALSE(service.capturing);
}

TEST_F(ShellTest, RecordReleasesTheStillAndStopEndsTheRecording)
{
    InstallDrivers({0});
    StartUpAndSettle();
    ASSERT_TRUE(Capture().SetCaptureFile("/tmp/capture.avi"));
    ASSERT_TRUE(frame->SendCommand(ID_DISPLAY_STILL));
    ASSERT_TRUE(frame->SendCommand(ID_RECORD));
    EXPECT_FALSE(Capture().IsFrozen());
    EXPECT_EQ(service.CountOf(WM_CAP_SEQUENCE), 1);
    EXPECT_TRUE(service.capturing);
    // A second Record while recording is dropped.
    EXPECT_FALSE(frame->SendCommand(ID_RECORD));
    EXPECT_EQ(service.CountOf(WM_CAP_SEQUENCE), 1);

    ASSERT_TRUE(frame->SendCommand(ID_STOP_RECORDING));
    EXPECT_FALSE(service.capturing);
}

TEST_F(ShellTest, EditCopyIsEnabledOnlyWhileConnected)
{
    InstallDrivers({0, 1});
    service.drivers[1].connects = false;
    StartUpAndSettle();
    EXPECT_TRUE(frame->SendCommand(ID_EDIT_COPY));
    EXPECT_EQ(service.CountOf(WM_CAP_EDIT_COPY), 1);
    ASSERT_TRUE(frame->SendCommand(32801));
    EXPECT_FALSE(frame->SendCommand(ID_EDIT_COPY));
    EXPECT_EQ(service.CountOf(WM_CAP_EDIT_COPY), 1);
}

} // namespace
} // namespace vexol::test
