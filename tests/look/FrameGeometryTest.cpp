// Layout of the skinned frame: caption pieces, border, buttons, icon and title.
#include "look/FrameGeometry.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace frame;

std::string Text(const RECT& r)
{
    return std::to_string(r.left) + "," + std::to_string(r.top) + "-" + std::to_string(r.right) +
           "," + std::to_string(r.bottom);
}

constexpr DWORD kMainWindow = kCaption | kSysMenu | kThickFrame | kMinimizeBox | kMaximizeBox;
constexpr DWORD kModalDialog = kPopup | kCaption | kSysMenu;

TEST(FrameGeometry, CaptionPiecesFillTheCaption)
{
    const struct
    {
        const char* name;
        int width, buttons, slant;
        CaptionPieceWidths expected;
    } cases[] = {
        {"WideOneButton", 300, 18, 79, {3, 99, 79, 118, 1}},
        {"WideOddRemainder", 301, 18, 79, {3, 100, 79, 118, 1}},
        {"ExactlyButtonsAndSlant", 101, 18, 79, {3, 0, 79, 18, 1}},
        {"NarrowSlantSqueezed", 120, 54, 79, {3, 0, 62, 54, 1}},
        {"TooNarrowNoSlant", 50, 54, 79, {3, 0, -8, 54, 1}},
        {"ToolWindow", 200, 12, 58, {3, 63, 58, 75, 1}},
        {"ToolWindowNarrow", 60, 24, 58, {3, 0, 32, 24, 1}},
    };
    for (const auto& c : cases) {
        const CaptionPieceWidths p = CaptionPieces(c.width, c.buttons, c.slant);
        EXPECT_EQ(p.left, c.expected.left) << c.name;
        EXPECT_EQ(p.body, c.expected.body) << c.name;
        EXPECT_EQ(p.slant, c.expected.slant) << c.name;
        EXPECT_EQ(p.rail, c.expected.rail) << c.name;
        EXPECT_EQ(p.end, c.expected.end) << c.name;
        // Whenever the slant fits, the pieces cover the caption exactly.
        if (p.slant >= 0) {
            EXPECT_EQ(p.left + p.body + p.slant + p.rail + p.end, c.width) << c.name;
        }
        EXPECT_GE(p.rail, c.buttons) << c.name;
    }
}

TEST(FrameGeometry, BorderAndCaptionByStyle)
{
    const Metrics m = StandardMetrics();
    const struct
    {
        const char* name;
        DWORD style, exStyle;
        size_t fills;
        RECT caption; // empty: no caption
        RECT client;
    } cases[] = {
        {"SizingBorder", kMainWindow, 0, 16, {4, 4, 636, 22}, {4, 23, 636, 476}},
        {"DialogFrame", kModalDialog, 0, 16, {3, 3, 637, 21}, {3, 22, 637, 477}},
        {"ToolWindow", kMainWindow, kExToolWindow, 16, {4, 4, 636, 19}, {4, 20, 636, 476}},
        {"SizingWithoutCaption", kPopup | kThickFrame, 0, 12, {}, {4, 4, 636, 476}},
        {"Bare", kPopup, 0, 0, {}, {0, 0, 640, 480}},
    };
    for (const auto& c : cases) {
        const FrameLayout f =
            LayOutFrame(WindowFacts{{640, 480}, c.style, c.exStyle, false, true, false}, m);
        EXPECT_EQ(f.fills.size(), c.fills) << c.name;
        const bool captioned = c.caption.right > c.caption.left;
        EXPECT_EQ(f.hasCaption, captioned) << c.name;
        if (captioned) {
            EXPECT_EQ(Text(f.caption), Text(c.caption)) << c.name;
        }
        EXPECT_EQ(Text(f.client), Text(c.client)) << c.name;
    }
}

TEST(FrameGeometry, BorderStepsFromOutsideIn)
{
    const FrameLayout f =
        LayOutFrame(WindowFacts{{100, 80}, kMainWindow, 0, false, true, false}, StandardMetrics());
    ASSERT_GE(f.fills.size(), 12u);
    const struct
    {
        size_t index;
        RECT rect;
        Brush brush;
    } expected[] = {
        {0, {0, 0, 1, 79}, Brush::Highlight}, {1, {99, 0, 100, 79}, Brush::DarkShadow},
        {2, {1, 0, 99, 1}, Brush::Highlight}, {3, {0, 79, 100, 80}, Brush::DarkShadow},
        {4, {1, 1, 2, 78}, Brush::Light},     {7, {1, 78, 99, 79}, Brush::Shadow},
        {8, {2, 2, 3, 77}, Brush::Face},      {11, {2, 77, 98, 78}, Brush::Face},
    };
    for (const auto& e : expected) {
        EXPECT_EQ(Text(f.fills[e.index].rect), Text(e.rect)) << e.index;
        EXPECT_EQ(int(f.fills[e.index].brush), int(e.brush)) << e.index;
    }
}

TEST(FrameGeometry, ButtonsIconAndTitleArea)
{
    const Metrics m = StandardMetrics();
    const struct
    {
        const char* name;
        DWORD style, exStyle;
        bool maximized;
        bool icon;
        POINT iconAt;
        std::vector<ButtonPlace> buttons;
        RECT title;
    } cases[] = {
        {"MainWindow",
         kMainWindow,
         0,
         false,
         true,
         {7, 5},
         {{CaptionButton::Close, 0, {618, 6, 634, 20}},
          {CaptionButton::MaximizeRestore, 0, {600, 6, 616, 20}},
          {CaptionButton::Minimize, 0, {584, 6, 600, 20}}},
         {22, 4, 584, 22}},
        {"MaximizedShowsRestore",
         kMainWindow,
         0,
         true,
         true,
         {7, 5},
         {{CaptionButton::Close, 0, {618, 6, 634, 20}},
          {CaptionButton::MaximizeRestore, 3, {600, 6, 616, 20}},
          {CaptionButton::Minimize, 0, {584, 6, 600, 20}}},
         {22, 4, 584, 22}},
        {"DialogHasNoIcon",
         kModalDialog,
         0,
         false,
         false,
         {},
         {{CaptionButton::Close, 0, {619, 5, 635, 19}}},
         {3, 3, 619, 21}},
        {"HelpTouchesClose",
         kModalDialog,
         kExContextHelp,
         false,
         false,
         {},
         {{CaptionButton::Close, 0, {619, 5, 635, 19}},
          {CaptionButton::Help, 0, {603, 5, 619, 19}}},
         {3, 3, 603, 21}},
        {"NoSystemMenuNoIconNoRoomForButtons",
         kCaption | kThickFrame,
         0,
         false,
         false,
         {},
         {{CaptionButton::Close, 0, {636, 6, 634, 2}}}, // empty: not painted
         {4, 4, 636, 22}},
        {"ToolWindowSmallButtons",
         kCaption | kSysMenu | kThickFrame,
         kExToolWindow,
         false,
         true,
         {4 + 2 + (12 - 15) / 2, 5},
         {{CaptionButton::Close, 0, {624, 6, 634, 14}}},
         {16, 4, 624, 19}},
    };
    for (const auto& c : cases) {
        const FrameLayout f =
            LayOutFrame(WindowFacts{{640, 480}, c.style, c.exStyle, c.maximized, true, false}, m);
        EXPECT_EQ(f.hasIcon, c.icon) << c.name;
        if (c.icon) {
            EXPECT_EQ(f.icon.x, c.iconAt.x) << c.name;
            EXPECT_EQ(f.icon.y, c.iconAt.y) << c.name;
        }
        ASSERT_EQ(f.buttons.size(), c.buttons.size()) << c.name;
        for (size_t i = 0; i < c.buttons.size(); ++i) {
            EXPECT_EQ(int(f.buttons[i].button), int(c.buttons[i].button)) << c.name << i;
            EXPECT_EQ(f.buttons[i].cell, c.buttons[i].cell) << c.name << i;
            EXPECT_EQ(Text(f.buttons[i].rect), Text(c.buttons[i].rect)) << c.name << i;
        }
        EXPECT_TRUE(f.hasTitle) << c.name;
        EXPECT_EQ(Text(f.titleArea), Text(c.title)) << c.name;
    }
}

TEST(FrameGeometry, PiecesOfAFullPaintAndOfACaptionRefresh)
{
    const Metrics m = StandardMetrics();
    // A 308-pixel main window: a 300-pixel caption with three 18-pixel buttons.
    const FrameLayout full =
        LayOutFrame(WindowFacts{{308, 200}, kMainWindow, 0, false, true, false}, m);
    const struct
    {
        int sourceLeft, sourceWidth;
        RECT target;
    } fullPieces[] = {{0, 3, {4, 4, 7, 22}},
                      {3, 1, {7, 4, 88, 22}},
                      {4, 79, {88, 4, 167, 22}},
                      {83, 1, {167, 4, 303, 22}},
                      {84, 1, {303, 4, 304, 22}}};
    ASSERT_EQ(full.pieces.size(), std::size(fullPieces));
    for (size_t i = 0; i < std::size(fullPieces); ++i) {
        EXPECT_EQ(full.pieces[i].sourceLeft, fullPieces[i].sourceLeft) << i;
        EXPECT_EQ(full.pieces[i].sourceWidth, fullPieces[i].sourceWidth) << i;
        EXPECT_EQ(Text(full.pieces[i].target), Text(fullPieces[i].target)) << i;
    }
    // The refresh: no border, no title, the rail from 4 pixels left of the buttons.
    const FrameLayout refresh =
        LayOutFrame(WindowFacts{{308, 200}, kMainWindow, 0, false, true, true}, m);
    EXPECT_TRUE(refresh.fills.empty());
    EXPECT_FALSE(refresh.hasTitle);
    ASSERT_EQ(refresh.pieces.size(), 2u);
    EXPECT_EQ(Text(refresh.pieces[0].target), Text(RECT{246, 4, 303, 22}));
    EXPECT_EQ(Text(refresh.pieces[1].target), Text(RECT{303, 4, 304, 22}));
    EXPECT_EQ(refresh.buttons.size(), 3u);
    // Without the images only the border, the ring and the title remain.
    const FrameLayout bare =
        LayOutFrame(WindowFacts{{308, 200}, kMainWindow, 0, false, false, false}, m);
    EXPECT_TRUE(bare.pieces.empty());
    EXPECT_TRUE(bare.buttons.empty());
    EXPECT_FALSE(bare.hasIcon);
    EXPECT_EQ(Text(bare.titleArea), Text(RECT{4, 4, 304, 22}));
    EXPECT_EQ(bare.fills.size(), 16u);
}

TEST(FrameGeometry, TitleCentredInTheGrownArea)
{
    const struct
    {
        RECT area;
        int textHeight, top;
    } cases[] = {{{0, 4, 100, 22}, 13, 7}, {{0, 4, 100, 22}, 14, 6}, {{0, 4, 100, 22}, 30, -1}};
    for (const auto& c : cases) {
        EXPECT_EQ(TitleTop(c.area, c.textHeight), c.top) << c.textHeight;
    }
}

} // namespace

namespace {

const char* ZoneName(HitZone zone)
{
    static const char* const names[] = {
        "Client", "Caption", "Icon",     "Button",     "Left",        "Right", "Top",
        "Bottom", "TopLeft", "TopRight", "BottomLeft", "BottomRight", "Border"};
    return names[int(zone)];
}

// The sizing border (4 pixels, corners 22 pixels along each side), the caption parts
// and the client area of a 400 x 300 main window, maximised or not, and of a dialog.
TEST(FrameGeometry, HitTestFindsBorderZonesCaptionPartsAndClient)
{
    const struct
    {
        const char* name;
        DWORD style;
        bool maximized;
        POINT at;
        HitZone zone;
        CaptionButton button = CaptionButton::Close;
    } cases[] = {
        {"TopLeftCorner", kMainWindow, false, {0, 0}, HitZone::TopLeft},
        {"TopLeftAlongTop", kMainWindow, false, {21, 0}, HitZone::TopLeft},
        {"TopAfterCorner", kMainWindow, false, {22, 0}, HitZone::Top},
        {"TopInnerRow", kMainWindow, false, {200, 3}, HitZone::Top},
        {"TopRightAlongTop", kMainWindow, false, {378, 0}, HitZone::TopRight},
        {"TopLeftAlongLeft", kMainWindow, false, {0, 21}, HitZone::TopLeft},
        {"LeftAfterCorner", kMainWindow, false, {0, 22}, HitZone::Left},
        {"LeftInnerColumn", kMainWindow, false, {3, 150}, HitZone::Left},
        {"RightInnerColumn", kMainWindow, false, {396, 150}, HitZone::Right},
        {"LeftBeforeBottomCorner", kMainWindow, false, {0, 277}, HitZone::Left},
        {"BottomLeftAlongLeft", kMainWindow, false, {0, 278}, HitZone::BottomLeft},
        {"Bottom", kMainWindow, false, {200, 296}, HitZone::Bottom},
        {"BottomRightCorner", kMainWindow, false, {399, 299}, HitZone::BottomRight},
        {"Icon", kMainWindow, false, {10, 10}, HitZone::Icon},
        {"Caption", kMainWindow, false, {100, 10}, HitZone::Caption},
        {"CloseButton", kMainWindow, false, {385, 12}, HitZone::Button, CaptionButton::Close},
        {"MaximizeButton",
         kMainWindow,
         false,
         {368, 12},
         HitZone::Button,
         CaptionButton::MaximizeRestore},
        {"MinimizeButton", kMainWindow, false, {350, 12}, HitZone::Button, CaptionButton::Minimize},
        {"GapBetweenButtons", kMainWindow, false, {376, 12}, HitZone::Caption},
        {"RingBelowCaption", kMainWindow, false, {200, 22}, HitZone::Border},
        {"Client", kMainWindow, false, {200, 150}, HitZone::Client},
        {"OutsideLeft", kMainWindow, false, {-1, 5}, HitZone::Border},
        {"OutsideRight", kMainWindow, false, {400, 5}, HitZone::Border},
        {"MaximizedCornerDoesNotSize", kMainWindow, true, {0, 0}, HitZone::Border},
        {"MaximizedTopDoesNotSize", kMainWindow, true, {200, 2}, HitZone::Border},
        {"MaximizedRestoreButton",
         kMainWindow,
         true,
         {368, 12},
         HitZone::Button,
         CaptionButton::MaximizeRestore},
        {"DialogBorderDoesNotSize", kModalDialog, false, {0, 0}, HitZone::Border},
        {"DialogHasNoIcon", kModalDialog, false, {10, 10}, HitZone::Caption},
        {"DialogCloseButton",
         kModalDialog,
         false,
         {287, 12},
         HitZone::Button,
         CaptionButton::Close},
        {"DialogClient", kModalDialog, false, {150, 100}, HitZone::Client},
    };
    for (const auto& c : cases) {
        const SIZE size = c.style == kMainWindow ? SIZE{400, 300} : SIZE{300, 200};
        const Hit hit = HitTest(WindowFacts{size, c.style, 0, c.maximized, true, false},
                                StandardMetrics(), c.at);
        EXPECT_STREQ(ZoneName(hit.zone), ZoneName(c.zone)) << c.name;
        if (c.zone == HitZone::Button) {
            EXPECT_EQ(int(hit.button), int(c.button)) << c.name;
        }
    }
}

} // namespace
