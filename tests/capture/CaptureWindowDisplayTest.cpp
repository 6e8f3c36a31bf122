// Display modes, driver dialogs, fitting to the image and destruction of the capture
// window against the scripted service.
#include "platform/WindowRegistry.h"
#include "support/CaptureWindowFixture.h"

namespace vexol::test {
namespace {

using DisplayTest = CaptureWindowTest;

TEST_F(DisplayTest, OverlayTwiceSendsOnceButResumeSendsEachTime)
{
    ASSERT_TRUE(CreateWindow());
    EXPECT_TRUE(window->SetOverlay(TRUE));
    EXPECT_TRUE(window->SetOverlay(TRUE));
    EXPECT_EQ(Sent(), Names({WM_CAP_SET_PREVIEW, WM_CAP_SET_OVERLAY}));
    EXPECT_EQ(service.Messages()[0].wParam, WPARAM(FALSE));
    EXPECT_EQ(service.Messages()[1].wParam, WPARAM(TRUE));
    EXPECT_FALSE(window->IsPreviewActive());

    service.ClearMessages();
    window->ResumeDisplay(TRUE);
    window->ResumeDisplay(TRUE);
    EXPECT_EQ(Sent(), Names({WM_CAP_SET_PREVIEW, WM_CAP_SET_OVERLAY, WM_CAP_SET_PREVIEW,
                             WM_CAP_SET_OVERLAY}));

    service.ClearMessages();
    service.answers[WM_CAP_SET_PREVIEW] = FALSE;
    EXPECT_FALSE(window->ResumeDisplay(FALSE)) << "the result of switching preview on";
    EXPECT_EQ(Sent(), Names({WM_CAP_SET_OVERLAY, WM_CAP_SET_PREVIEW})) << "no rate, no scale";
    EXPECT_FALSE(window->IsOverlay());
}

TEST_F(DisplayTest, PreviewFromOverlaySetsTheRateAndScalesOnlyWhenSizesDiffer)
{
    // The application's window fits itself to the image: no scaling at 640 x 480.
    service.status.uiImageWidth = 640;
    service.status.uiImageHeight = 480;
    ASSERT_TRUE(CreateWindow({0, 0, 640, 480}));
    window->SetOverlay(TRUE);
    service.ClearMessages();
    EXPECT_TRUE(window->SetOverlay(FALSE));
    EXPECT_TRUE(window->SetOverlay(FALSE)) << "preview already active: nothing sent";
    EXPECT_EQ(Sent(), Names({WM_CAP_SET_OVERLAY, WM_CAP_SET_PREVIEW, WM_CAP_SET_PREVIEWRATE}));
    EXPECT_EQ(service.MessagesOf(WM_CAP_SET_PREVIEWRATE)[0].wParam, 66u);

    // The base window keeps the requested 320 x 240 image and scales when its fitted size
    // differs; the result is then the scale message's.
    for (const bool larger : {false, true}) {
        FakeCaptureService plain;
        CCaptureWindowBase base;
        base.SetServiceCalls(&plain);
        const RECT rect = larger ? RECT{0, 0, 640, 480} : RECT{0, 0, 320, 240};
        ASSERT_TRUE(base.Create(nullptr, "B", WS_CHILD, rect, &parent, 1));
        base.SetOverlay(TRUE);
        plain.ClearMessages();
        plain.answers[WM_CAP_SET_PREVIEWRATE] = FALSE;
        EXPECT_EQ(base.SetOverlay(FALSE), larger ? TRUE : FALSE);
        EXPECT_EQ(plain.Count(WM_CAP_SET_SCALE), larger ? 1u : 0u);
    }
}

TEST_F(DisplayTest, FreezeGrabsAStillAndUnfreezeResumesTheSelectedMode)
{
    ASSERT_TRUE(CreateWindow());
    window->SetOverlay(TRUE);
    service.ClearMessages();
    EXPECT_TRUE(window->Freeze(TRUE));
    EXPECT_EQ(Sent(), Names({WM_CAP_SET_PREVIEW, WM_CAP_SET_OVERLAY, WM_CAP_GRAB_FRAME}));
    EXPECT_TRUE(window->IsFrozen());
    EXPECT_FALSE(window->IsPreviewActive());

    service.ClearMessages();
    EXPECT_TRUE(window->ResumeDisplay(FALSE));
    EXPECT_EQ(Sent(), "") << "nothing resumes while frozen";
    window->SetDisplayEnabled(TRUE);
    EXPECT_EQ(Sent(), Names({WM_CAP_SET_OVERLAY})) << "a frozen picture is not preview";

    service.ClearMessages();
    EXPECT_TRUE(window->Freeze(FALSE));
    EXPECT_EQ(Sent(), Names({WM_CAP_SET_PREVIEW, WM_CAP_SET_OVERLAY}));
    EXPECT_EQ(service.MessagesOf(WM_CAP_SET_OVERLAY)[0].wParam, WPARAM(TRUE));
    EXPECT_FALSE(window->IsFrozen());
}

TEST_F(DisplayTest, ConnectingAnotherDriverReappliesTheModeOrGrabsANewStill)
{
    service.drivers = {{"A", "1"}, {"B", "2"}};
    ASSERT_TRUE(CreateWindow());
    window->SetOverlay(TRUE);
    service.ClearMessages();
    window->ConnectDriver(1);
    std::vector<UINT> sent = service.MessageIds();
    EXPECT_EQ(Names({sent.end() - 2, sent.end()}), Names({WM_CAP_SET_PREVIEW, WM_CAP_SET_OVERLAY}))
        << "overlay is sent again though already selected";

    window->Freeze(TRUE);
    service.ClearMessages();
    window->ConnectDriver(0);
    EXPECT_EQ(service.MessageIds().back(), WM_CAP_GRAB_FRAME);
    EXPECT_EQ(service.Count(WM_CAP_SET_PREVIEW), 1u) << "only preview off: no live video";
    EXPECT_TRUE(window->IsFrozen());
}

TEST_F(DisplayTest, DriverDialogsByKind)
{
    struct Case
    {
        int kind;
        UINT dialog;    // 0: none
        LRESULT answer; // the dialog's
        BOOL result;
        bool refreshes; // the video format is read again
        bool fits;      // FitToImage runs (a status read)
    };
    const Case cases[] = {
        {0, WM_CAP_DLG_VIDEOSOURCE, TRUE, TRUE, true, false},
        {0, WM_CAP_DLG_VIDEOSOURCE, FALSE, FALSE, false, false},
        {1, WM_CAP_DLG_VIDEOFORMAT, TRUE, TRUE, true, true},
        {1, WM_CAP_DLG_VIDEOFORMAT, FALSE, FALSE, false, true},
        {2, WM_CAP_DLG_VIDEODISPLAY, 5, TRUE, true, false},
        {3, 0, 0, TRUE, true, false},
        {-1, 0, 0, FALSE, false, false},
    };
    ASSERT_TRUE(CreateWindow());
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "kind " << c.kind << " answer " << c.answer);
        service.ClearMessages();
        service.answers.clear();
        if (c.dialog) {
            service.answers[c.dialog] = c.answer;
        }
        EXPECT_EQ(window->ShowDriverDialog(CCaptureWindow::DriverDialog(c.kind)), c.result);
        for (UINT d : {WM_CAP_DLG_VIDEOSOURCE, WM_CAP_DLG_VIDEOFORMAT, WM_CAP_DLG_VIDEODISPLAY}) {
            EXPECT_EQ(service.Count(d), d == c.dialog ? 1u : 0u);
        }
        EXPECT_EQ(service.Count(WM_CAP_GET_VIDEOFORMAT), c.refreshes ? 2u : 0u);
        EXPECT_EQ(service.Count(WM_CAP_GET_STATUS), c.fits ? 1u : 0u);
    }
}

TEST_F(DisplayTest, FitToImageSizesBothWindowsToTheImage)
{
    ASSERT_TRUE(CreateWindow());
    service.status.uiImageWidth = 640;
    service.status.uiImageHeight = 480;
    window->FitToImage();
    EXPECT_EQ(window->geometry(), QRect(0, 0, 640, 480));
    EXPECT_EQ(WindowOfHandle(service.Window())->size(), QSize(640, 480));
    EXPECT_EQ(window->GetPictureRect().right, 640);
}

TEST_F(DisplayTest, DestroyStopsAbortsUnregistersAndWaitsAtMostThreeSeconds)
{
    ASSERT_TRUE(CreateWindow());
    service.status.fCapturingNow = TRUE; // the capture never ends
    window.reset();
    const std::vector<SentMessage> m = service.Messages();
    ASSERT_GT(m.size(), 8u);
    std::vector<UINT> head;
    for (std::size_t i = 0; i < 8; ++i) {
        head.push_back(m[i].message);
    }
    EXPECT_EQ(Names(head),
              Names({WM_CAP_STOP, WM_CAP_ABORT, WM_CAP_SET_PREVIEW, WM_CAP_SET_CALLBACK_VIDEOSTREAM,
                     WM_CAP_SET_CALLBACK_ERROR, WM_CAP_SET_CALLBACK_STATUS,
                     WM_CAP_SET_CALLBACK_YIELD, WM_CAP_GET_STATUS}));
    EXPECT_EQ(m[2].wParam, WPARAM(TRUE));
    for (std::size_t i = 3; i < 7; ++i) {
        EXPECT_EQ(m[i].lParam, 0) << "unregistered";
    }
    EXPECT_EQ(service.Count(WM_CAP_GET_STATUS), m.size() - 7) << "then only status reads";
    EXPECT_GE(kernel.Slept(), 3000u);
    EXPECT_LT(kernel.Slept(), 3000u + CCaptureWindowBase::kDestroyPollMs);
}

TEST_F(DisplayTest, DestroyEndsTheWaitWhenTheCaptureEnds)
{
    ASSERT_TRUE(CreateWindow());
    service.status.fCapturingNow = TRUE;
    int reads = 0;
    service.onMessage = [&](const SentMessage& m) {
        if (m.message == WM_CAP_GET_STATUS && ++reads == 3) {
            service.status.fCapturingNow = FALSE;
        }
    };
    window.reset();
    EXPECT_EQ(reads, 3);
    EXPECT_EQ(kernel.sleeps.size(), 2u);
}

TEST_F(DisplayTest, ParentDestructionDestroysTheWindowAndItsDriverWindow)
{
    auto owned = std::make_unique<QWidget>();
    auto* child = new CCaptureWindow; // owned by its parent from Create on
    child->SetServiceCalls(&service);
    child->SetKernelCalls(&kernel);
    ASSERT_TRUE(child->Create(nullptr, "W", WS_CHILD, {0, 0, 320, 240}, owned.get(), 12345));
    service.ClearMessages();
    owned.reset();
    EXPECT_EQ(service.Count(WM_CAP_STOP), 1u);
    EXPECT_EQ(service.Window(), nullptr);
}

} // namespace
} // namespace vexol::test
