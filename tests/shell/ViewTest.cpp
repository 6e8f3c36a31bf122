// The view: the centring rule, the scroll range that follows the capture window, and
// placement after every size change.
#include "ShellTestSupport.h"

#include <QFrame>
#include <QScrollArea>

namespace vexol::test {
namespace {

struct CentringCase
{
    RECT client;
    RECT window;
    POINT expected;
};

TEST(CentredPositionTest, CentresTruncatesAndClampsAtZero)
{
    const CentringCase cases[] = {
        {{0, 0, 800, 600}, {0, 0, 320, 240}, {240, 180}},
        {{0, 0, 300, 200}, {0, 0, 320, 240}, {0, 0}},
        {{0, 0, 325, 240}, {0, 0, 320, 240}, {2, 0}},
        {{0, 0, 321, 243}, {0, 0, 320, 240}, {0, 1}},
        {{0, 0, 800, 100}, {0, 0, 320, 240}, {240, 0}},
        {{10, 20, 810, 620}, {-1000, -1000, -680, -760}, {240, 180}}, // size only counts
        {{0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0}},
    };
    for (const CentringCase& c : cases) {
        const POINT p = shell::CentredPosition(c.client, c.window);
        EXPECT_EQ(p.x, c.expected.x) << c.client.right << "x" << c.client.bottom;
        EXPECT_EQ(p.y, c.expected.y) << c.client.right << "x" << c.client.bottom;
    }
}

class ViewPlacementTest : public ShellTest
{
protected:
    void SetUp() override
    {
        InstallDrivers({0});
        StartUpAndSettle();
        view->GetScrollArea()->setFrameShape(QFrame::NoFrame);
    }

    // Resizes the main window until the view's client area is `width` x `height`
    // (scroll bars, when they appear, take their share afterwards).
    void SetClientSize(int width, int height)
    {
        for (int attempt = 0; attempt < 4; ++attempt) {
            const QSize viewport = view->GetScrollArea()->size();
            if (viewport == QSize(width, height)) {
                break;
            }
            frame->resize(frame->size() + QSize(width, height) - viewport);
            QCoreApplication::processEvents();
            QCoreApplication::sendPostedEvents();
        }
        ASSERT_EQ(view->GetScrollArea()->size(), QSize(width, height));
    }
};

TEST_F(ViewPlacementTest, ResizingTheViewCentresTheCaptureWindow)
{
    SetClientSize(800, 600);
    EXPECT_EQ(Capture().pos(), QPoint(240, 180));
    EXPECT_EQ(view->GetTotalSize().cx, 320);
    EXPECT_EQ(view->GetTotalSize().cy, 240);

    SetClientSize(325, 400);
    EXPECT_EQ(Capture().pos(), QPoint(2, 80));
}

TEST_F(ViewPlacementTest, LargerCaptureWindowStartsAtTheTopLeftAndScrolls)
{
    SetClientSize(300, 200);
    EXPECT_EQ(Capture().pos(), QPoint(0, 0));
    EXPECT_EQ(view->GetTotalSize().cx, 320);
    EXPECT_EQ(view->GetTotalSize().cy, 240);
    EXPECT_EQ(Capture().size(), QSize(320, 240)); // the view never resizes it
}

// While scrolled, a new size keeps the picture at the content's origin, so scrolling
// back shows all of it.
TEST_F(ViewPlacementTest, PlacementWhileScrolledKeepsThePictureReachable)
{
    SetClientSize(300, 200);
    view->ScrollToPosition(POINT{20, 40});
    ASSERT_TRUE(frame->SendCommand(ID_PLACE_CAPTURE_WINDOW));
    EXPECT_EQ(Capture().pos(), QPoint(0, 0));
}

// A capture window that is gone from the view leaves the view's operations idle.
TEST_F(ShellTest, WithoutCaptureWindowTheScrollRangeStays100By100)
{
    InstallDrivers({0});
    StartUpAndSettle();
    Capture().setParent(nullptr);
    ASSERT_EQ(view->GetCaptureWindow(), nullptr);
    view->OnInitialUpdate();
    EXPECT_TRUE(frame->SendCommand(ID_PLACE_CAPTURE_WINDOW));
    view->OnSize(SIZE_RESTORED, 10, 10);
    EXPECT_EQ(view->GetTotalSize().cx, 100);
    EXPECT_EQ(view->GetTotalSize().cy, 100);
}

TEST_F(ShellTest, FirstUpdateFitsAnExistingCaptureWindow)
{
    InstallDrivers({0});
    StartUpAndSettle();
    service.drivers[0].width = 640;
    service.drivers[0].height = 480;
    view->OnInitialUpdate();
    EXPECT_EQ(Capture().size(), QSize(640, 480));
    EXPECT_EQ(view->GetTotalSize().cx, 640);
    EXPECT_EQ(view->GetTotalSize().cy, 480);
}

} // namespace
} // namespace vexol::test
