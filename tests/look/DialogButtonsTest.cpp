// Where the OK and Cancel buttons of the size, parameter and shutter-wait dialogs go.
#include "look/DialogButtons.h"

#include <gtest/gtest.h>

namespace {

bool operator==(POINT a, POINT b)
{
    return a.x == b.x && a.y == b.y;
}

TEST(DialogButtonsTest, PlacementsFollowTheClientAndButtonSizes)
{
    const struct
    {
        const char* name;
        OkCancelPlacement (*place)(SIZE, SIZE, SIZE);
        SIZE client, ok, cancel;
        POINT okAt, cancelAt;
    } cases[] = {
        {"SideBySideCentred",
         PlaceOkCancelSideBySide,
         {250, 216},
         {70, 20},
         {70, 20},
         {52, 191},
         {127, 191}},
        {"SideBySideOddWidthTruncates",
         PlaceOkCancelSideBySide,
         {251, 216},
         {70, 20},
         {70, 20},
         {53, 191},
         {128, 191}},
        {"SideBySideTallerButtonSetsTheTop",
         PlaceOkCancelSideBySide,
         {250, 216},
         {70, 20},
         {70, 30},
         {52, 181},
         {127, 181}},
        {"SideBySideTooNarrowStopsAtZero" /* -45 / 2 truncates to -22 */,
         PlaceOkCancelSideBySide,
         {100, 10},
         {70, 20},
         {70, 20},
         {0, 0},
         {53, 0}},
        {"RightEdgeStacked",
         PlaceOkCancelAtRightEdge,
         {273, 125},
         {70, 20},
         {70, 20},
         {198, 75},
         {198, 100}},
        {"OkBottomRight", PlaceOkAtBottomRight, {353, 89}, {70, 20}, {0, 0}, {278, 64}, {0, 0}},
        {"OkBottomRightTooSmallStopsAtZero",
         PlaceOkAtBottomRight,
         {50, 10},
         {70, 20},
         {0, 0},
         {0, 0},
         {0, 0}},
        {"RightEdgeTooSmallStopsAtZero",
         PlaceOkCancelAtRightEdge,
         {60, 30},
         {70, 20},
         {70, 20},
         {0, 0},
         {0, 5}},
        {"OkCentredOddWidthTruncates",
         PlaceOkCentredAtBottom,
         {281, 78},
         {75, 26},
         {},
         {103, 47},
         {0, 0}},
        {"OkCentredTooSmallStopsAtZero",
         PlaceOkCentredAtBottom,
         {60, 20},
         {75, 26},
         {},
         {0, 0},
         {0, 0}},
    };
    for (const auto& c : cases) {
        const OkCancelPlacement at = c.place(c.client, c.ok, c.cancel);
        EXPECT_TRUE(at.ok == c.okAt) << c.name << ": " << at.ok.x << "," << at.ok.y;
        EXPECT_TRUE(at.cancel == c.cancelAt) << c.name << ": " << at.cancel.x << "," << at.cancel.y;
    }
}

} // namespace
