// Drawn buttons: the cell chosen for each state, the cell cache of the strip, the check
// state, hover tracking, and the buttons of the application's dialogs.
#include "commands/CFileSizeDlg.h"
#include "commands/CParameterDlg.h"
#include "look/CImageButton.h"
#include "look/DialogButtons.h"
#include "platform/framework/Resources.h"
#include "res/ResourceIds.h"
#include "shell/CAboutDlg.h"
#include "still/CShutterWaitDlg.h"

#include <QImage>
#include <QPainter>
#include <QPushButton>
#include <gtest/gtest.h>

#include <memory>

namespace {

constexpr UINT kOkStrip = 158;
constexpr UINT kIconBitmap = 271;

// Pixel (x, y) of a CDib, y counted from the top of the picture.
COLORREF TopDown(const CDib& dib, int x, int y)
{
    return dib.GetPixel(x, dib.GetSize().cy - 1 - y);
}

COLORREF ToColorRef(QRgb pixel)
{
    return RGB(BYTE(qRed(pixel)), BYTE(qGreen(pixel)), BYTE(qBlue(pixel)));
}

// Number of pixels of `image` that differ from cell `cell` of `strip`.
int DifferingPixels(const QImage& image, const CDib& strip, int cell, int cellWidth)
{
    int differing = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (ToColorRef(image.pixel(x, y)) != TopDown(strip, cell * cellWidth + x, y)) {
                ++differing;
            }
        }
    }
    return differing;
}

TEST(ImageButton, CellIndexForEveryCountAndState)
{
    // Columns: disabled, hovered, focused, none; each not pressed, then pressed.
    const struct
    {
        int cells;
        int expected[8];
    } rows[] = {
        {2, {1, 1, 0, 0, 0, 0, 0, 0}}, {3, {2, 2, 1, 1, 0, 1, 0, 1}},
        {4, {3, 3, 2, 1, 2, 1, 0, 1}}, {5, {3, 4, 2, 1, 2, 1, 0, 1}},
        {6, {3, 4, 2, 5, 2, 5, 0, 1}}, {7, {5, 6, 3, 4, 2, 1, 0, 1}},
        {8, {6, 7, 4, 5, 2, 3, 0, 1}}, {1, {0, 0, 0, 0, 0, 0, 0, 0}},
        {0, {0, 0, 0, 0, 0, 0, 0, 0}}, {9, {0, 0, 0, 0, 0, 0, 0, 0}},
        {-4, {0, 0, 0, 0, 0, 0, 0, 0}},
    };
    for (const auto& row : rows) {
        for (int column = 0; column < 8; ++column) {
            const bool pressed = column % 2 == 1;
            const bool disabled = column / 2 == 0;
            const bool hovered = column / 2 == 1;
            const bool focused = column / 2 == 2;
            EXPECT_EQ(CImageButton::CellIndex(row.cells, pressed, focused, hovered, disabled),
                      row.expected[column])
                << row.cells << " cells, column " << column;
            // A state that applies further right never overrides one further left.
            EXPECT_EQ(CImageButton::CellIndex(row.cells, pressed, true, true, disabled),
                      row.expected[disabled ? column : 2 + pressed])
                << row.cells << " cells, hovered and focused, column " << column;
        }
    }
}

TEST(DibCellStrip, CellSizeFromTheCount)
{
    const struct
    {
        const char* name;
        int cells;
        SIZE cell;
    } cases[] = {
        {"FourCells", 4, {70, 20}},   {"OneCell", 1, {280, 20}}, {"ZeroCells", 0, {1, 20}},
        {"NegativeCount", -3, {1, 20}}, {"MoreCellsThanColumns", 1000, {1, 20}},
    };
    for (const auto& c : cases) {
        DibCellStrip strip;
        ASSERT_TRUE(strip.Load(kOkStrip, c.cells)) << c.name;
        EXPECT_EQ(strip.GetCellSize().cx, c.cell.cx) << c.name;
        EXPECT_EQ(strip.GetCellSize().cy, c.cell.cy) << c.name;
        EXPECT_EQ(strip.GetBitCount(), 24) << c.name;
        EXPECT_EQ(strip.cachedCell, -1) << c.name;
    }
    DibCellStrip missing;
    EXPECT_FALSE(missing.Load(65000, 4));
}

TEST(DibCellStrip, CopiesACellOncePerChangeAndDrawsIt)
{
    DibCellStrip strip;
    ASSERT_TRUE(strip.Load(kOkStrip, 4));
    QImage image(70, 20, QImage::Format_RGB32);
    QPainter painter(&image);
    const RECT rect{0, 0, 70, 20};
    const struct
    {
        int cell;
        int copiesAfter;
        int shownCell; // the cell on the image afterwards
    } steps[] = {{0, 1, 0}, {0, 1, 0}, {2, 2, 2}, {2, 2, 2}, {-1, 2, 2}, {0, 3, 0}, {3, 4, 3}};
    for (const auto& step : steps) {
        image.fill(Qt::green);
        EXPECT_TRUE(strip.Draw(step.cell, &painter, rect, nullptr)) << step.cell;
        EXPECT_EQ(strip.GetCellCopies(), step.copiesAfter) << step.cell;
        EXPECT_EQ(strip.cachedCell, step.shownCell);
        EXPECT_EQ(DifferingPixels(image, strip.source, step.shownCell, 70), 0) << step.cell;
    }
    DibCellStrip empty;
    EXPECT_FALSE(empty.Draw(0, &painter, rect, nullptr));
    EXPECT_EQ(empty.cachedCell, -1);
}

struct ButtonFixture : ::testing::Test
{
    QPushButton* MakeButton()
    {
        window = std::make_unique<QWidget>();
        window->resize(200, 100);
        auto* made = new QPushButton(QStringLiteral("OK"), window.get());
        made->setGeometry(10, 10, 50, 25);
        return made;
    }
    std::unique_ptr<QWidget> window;
};

using ImageButtonFixture = ButtonFixture;

TEST_F(ImageButtonFixture, LoadImagesResizesToOneCellOrKeepsTheSize)
{
    QPushButton* pushButton = MakeButton();
    CImageButton button;
    ASSERT_TRUE(button.Attach(pushButton));
    EXPECT_FALSE(button.Attach(pushButton)); // once only
    EXPECT_FALSE(button.LoadImages(65000, 4, nullptr));
    EXPECT_EQ(pushButton->size(), QSize(50, 25));
    EXPECT_TRUE(button.LoadImages(0x10000 | kOkStrip, 4, nullptr)); // low 16 bits count
    EXPECT_EQ(pushButton->size(), QSize(70, 20));
    EXPECT_EQ(pushButton->pos(), QPoint(10, 10));
}

TEST_F(ImageButtonFixture, EachStateShowsItsCell)
{
    QPushButton* pushButton = MakeButton();
    CImageButton button;
    ASSERT_TRUE(button.Attach(pushButton));
    ASSERT_TRUE(button.LoadImages(kOkStrip, 4, nullptr));
    const CDib& source = button.GetStrip().source;
    const struct
    {
        const char* name;
        UINT state;
        int cell;
    } cases[] = {
        {"Normal", 0, 0},
        {"Pressed", ODS_SELECTED, 1},
        {"Checked", ODS_CHECKED, 1},
        {"Focused", ODS_FOCUS, 2},
        {"FocusedPressed", ODS_FOCUS | ODS_SELECTED, 1},
        {"Disabled", ODS_DISABLED, 3},
        {"DisabledFocusedPressed", ODS_DISABLED | ODS_FOCUS | ODS_SELECTED, 3},
    };
    for (const auto& c : cases) {
        QImage image(70, 20, QImage::Format_RGB32);
        image.fill(Qt::green);
        QPainter painter(&image);
        button.DrawItem(&painter, RECT{0, 0, 70, 20}, c.state);
        painter.end();
        EXPECT_EQ(DifferingPixels(image, source, c.cell, 70), 0) << c.name;
    }
    // The widget's own painting goes through the same path: disabled and held down.
    const struct
    {
        const char* name;
        bool enabled, down;
        int cell;
    } widgetCases[] = {{"WidgetNormal", true, false, 0},
                       {"WidgetDown", true, true, 1},
                       {"WidgetDisabled", false, false, 3}};
    for (const auto& c : widgetCases) {
        pushButton->setEnabled(c.enabled);
        pushButton->setDown(c.down);
        QImage image(70, 20, QImage::Format_RGB32);
        image.fill(Qt::green);
        pushButton->render(&image);
        EXPECT_EQ(DifferingPixels(image, source, c.cell, 70), 0) << c.name;
    }
}

TEST_F(ImageButtonFixture, CheckStateRedrawsOnlyOnChangeAndShowsPressed)
{
    QPushButton* pushButton = MakeButton();
    CImageButton button;
    ASSERT_TRUE(button.Attach(pushButton));
    ASSERT_TRUE(button.LoadImages(kOkStrip, 4, nullptr));
    const struct
    {
        WPARAM value;
        int redrawsAfter;
    } steps[] = {{0, 0}, {1, 1}, {1, 1}, {0, 2}, {0, 2}, {1, 3}};
    for (const auto& step : steps) {
        EXPECT_EQ(button.SendMessage(BM_SETCHECK, step.value, 0), 0);
        EXPECT_EQ(button.GetCheckState(), int(step.value));
        EXPECT_EQ(button.GetRedrawCount(), step.redrawsAfter) << step.value;
    }
    QImage image(70, 20, QImage::Format_RGB32);
    pushButton->render(&image);
    EXPECT_EQ(DifferingPixels(image, button.GetStrip().source, 1, 70), 0);
}

TEST_F(ImageButtonFixture, HoverPollRunsWhileThePointerIsOver)
{
    QPushButton* pushButton = MakeButton();
    CImageButton button;
    ASSERT_TRUE(button.Attach(pushButton));
    ASSERT_TRUE(button.LoadImages(kOkStrip, 4, nullptr));
    const struct
    {
        const char* name;
        POINT at;
        bool hovering;
    } steps[] = {{"Enter", {5, 5}, true},     {"Inside", {60, 15}, true},
                 {"Right", {70, 5}, false},   {"Again", {0, 0}, true},
                 {"Below", {10, 20}, false},  {"DragOutside", {10, -1}, false}};
    int redraws = 0;
    for (const auto& step : steps) {
        const bool before = button.IsHovering();
        button.OnPointerAt(step.at);
        EXPECT_EQ(button.IsHovering(), step.hovering) << step.name;
        EXPECT_EQ(button.IsHoverPollRunning(), step.hovering) << step.name;
        redraws += before != step.hovering ? 1 : 0;
        EXPECT_EQ(button.GetRedrawCount(), redraws) << step.name;
    }
    // Hovering shows cell 2 of four; switching tracking off ends it.
    button.OnPointerAt(POINT{5, 5});
    QImage image(70, 20, QImage::Format_RGB32);
    pushButton->render(&image);
    EXPECT_EQ(DifferingPixels(image, button.GetStrip().source, 2, 70), 0);
    button.EnableHoverTracking(FALSE);
    EXPECT_FALSE(button.IsHovering());
    EXPECT_FALSE(button.IsHoverPollRunning());
    button.OnPointerAt(POINT{5, 5});
    EXPECT_FALSE(button.IsHovering());
}

TEST_F(ImageButtonFixture, ImageListModeLeavesTheMaskColourTransparent)
{
    QPushButton* pushButton = MakeButton();
    CImageButton button;
    ASSERT_TRUE(button.Attach(pushButton));
    int selector = 0;
    ASSERT_TRUE(button.LoadImages(kIconBitmap, 1, &selector));
    EXPECT_EQ(pushButton->size(), QSize(16, 16));
    CDib icon;
    ASSERT_TRUE(icon.LoadFromResource(kIconBitmap));
    QImage image(16, 16, QImage::Format_RGB32);
    image.fill(Qt::green);
    pushButton->render(&image, QPoint(), QRegion(), QWidget::RenderFlags()); // no background
    int keyed = 0;
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            const COLORREF expected = TopDown(icon, x, y);
            const COLORREF shown = ToColorRef(image.pixel(x, y));
            if (expected == RGB(255, 0, 255)) {
                ++keyed;
                EXPECT_EQ(shown, RGB(0, 255, 0)) << x << "," << y;
            } else {
                EXPECT_EQ(shown, expected) << x << "," << y;
            }
        }
    }
    EXPECT_GT(keyed, 0);
}

// The dialogs with drawn buttons: one cell large, placed by each dialog's rule.
TEST(ImageButtonDialogs, ButtonsAreCellSizedAndPlaced)
{
    for (auto language : {vexol::res::Language::English, vexol::res::Language::Japanese}) {
        vexol::res::SetLanguage(language);
        const struct
        {
            const char* name;
            UINT templateId;
            std::function<std::unique_ptr<CDialog>()> make;
            OkCancelPlacement (*place)(SIZE, SIZE, SIZE);
            bool hasCancel;
        } cases[] = {
            {"FileSize", IDD_FILE_SIZE, [] { return std::make_unique<CFileSizeDlg>(); },
             PlaceOkCancelSideBySide, true},
            {"Parameters", IDD_PARAMETERS, [] { return std::make_unique<CParameterDlg>(); },
             PlaceOkCancelAtRightEdge, true},
            {"About", IDD_ABOUTBOX, [] { return std::make_unique<CAboutDlg>(); },
             PlaceOkAtBottomRight, false},
            {"ShutterWait", IDD_SHUTTER_WAIT,
             [] { return std::make_unique<CShutterWaitDlg>(); }, PlaceOkCentredAtBottom, false},
        };
        for (const auto& c : cases) {
            bool seen = false;
            CDialog::SetModalAnswer(c.templateId, [&](CDialog& dialog) {
                seen = true;
                QWidget* ok = dialog.GetDlgItem(IDOK);
                QWidget* cancel = dialog.GetDlgItem(IDCANCEL);
                EXPECT_TRUE(ok && ok->size() == QSize(70, 20)) << c.name;
                EXPECT_EQ(cancel != nullptr, c.hasCancel) << c.name;
                if (!ok || (c.hasCancel && !cancel)) {
                    return IDCANCEL;
                }
                const SIZE cancelSize = cancel ? SIZE{cancel->width(), cancel->height()}
                                               : SIZE{0, 0};
                const OkCancelPlacement at = c.place(SIZE{dialog.width(), dialog.height()},
                                                     SIZE{70, 20}, cancelSize);
                EXPECT_EQ(ok->pos(), QPoint(at.ok.x, at.ok.y)) << c.name;
                if (cancel) {
                    EXPECT_EQ(cancel->size(), QSize(70, 20)) << c.name;
                    EXPECT_EQ(cancel->pos(), QPoint(at.cancel.x, at.cancel.y)) << c.name;
                }
                // Tab reaches the buttons; they stay keyboard buttons.
                EXPECT_TRUE(ok->focusPolicy() & Qt::TabFocus) << c.name;
                return IDCANCEL;
            });
            c.make()->DoModal();
            CDialog::SetModalAnswer(c.templateId, {});
            EXPECT_TRUE(seen) << c.name;
        }
    }
    vexol::res::ResetLanguage();
}

} // namespace
