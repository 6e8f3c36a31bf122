// The painted frame, checked pixel by pixel on an offscreen image against the skin
// images it is cut from.
#include "look/FrameSkin.h"

#include <QFont>
#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

namespace {

using namespace frame;

constexpr DWORD kMainWindow = kCaption | kSysMenu | kThickFrame | kMinimizeBox | kMaximizeBox;
constexpr DWORD kModalDialog = kPopup | kCaption | kSysMenu;
const QColor kUntouched(0, 255, 0);

COLORREF At(const QImage& image, int x, int y)
{
    const QRgb p = image.pixel(x, y);
    return RGB(BYTE(qRed(p)), BYTE(qGreen(p)), BYTE(qBlue(p)));
}

COLORREF TopDown(const CDib& dib, int x, int y)
{
    return dib.GetPixel(x, dib.GetSize().cy - 1 - y);
}

COLORREF Ref(const QColor& c)
{
    return RGB(BYTE(c.red()), BYTE(c.green()), BYTE(c.blue()));
}

// The pixels of a rectangle of `image`.
QImage Region(const QImage& image, int x, int y, int w, int h)
{
    return image.copy(x, y, w, h).convertToFormat(QImage::Format_RGB32);
}

// Cell `cell` of `strip` drawn stretched over a w x h rectangle.
QImage Expected(DibCellStrip& strip, int cell, int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    strip.Draw(cell, &painter, RECT{0, 0, w, h}, nullptr);
    return image;
}

QImage PaintFrame(FrameSkin& skin, const FrameSkin::Target& target, bool captionOnly = false)
{
    QImage image(target.size.cx, target.size.cy, QImage::Format_RGB32);
    image.fill(kUntouched);
    QPainter painter(&image);
    skin.Paint(&painter, target, captionOnly, QFont());
    return image;
}

TEST(FrameSkin, LoadsTheSetAndStopsAtAMissingImage)
{
    FrameSkin skin;
    EXPECT_TRUE(skin.LoadStandard());
    EXPECT_NE(skin.imagesLoaded, 0);
    EXPECT_EQ(skin.closeStrip.GetCellSize().cx, 16);
    EXPECT_EQ(skin.maxRestoreStrip.GetCellSize().cx, 16);
    EXPECT_EQ(skin.helpStrip.GetCellSize().cy, 15);
    EXPECT_EQ(skin.iconList.GetImageCount(), 1);

    FrameSkin broken;
    EXPECT_FALSE(broken.Load(IDB_ACTIVE_TAB, IDB_INACTIVE_TAB, IDB_CAPTION_ICON, 65000,
                             IDB_MAXIMIZE_BUTTON, IDB_CLOSE_BUTTON, IDB_HELP_BUTTON));
    EXPECT_EQ(broken.imagesLoaded, 0);
    EXPECT_EQ(broken.maxRestoreStrip.GetData(), nullptr); // the sequence stopped
}

TEST(FrameSkin, MainWindowFramePixels)
{
    FrameSkin skin;
    ASSERT_TRUE(skin.LoadStandard());
    const struct
    {
        const char* name;
        bool active, maximized;
        const CDib* tab;
        int maxCell;
    } cases[] = {
        {"Active", true, false, &skin.activeTab, 0},
        {"Inactive", false, false, &skin.inactiveTab, 0},
        {"Maximized", true, true, &skin.activeTab, 3},
    };
    for (const auto& c : cases) {
        const QImage image =
            PaintFrame(skin, {{400, 120}, kMainWindow, 0, c.maximized, c.active, QString()});
        // Border steps from the outside in.
        EXPECT_EQ(At(image, 0, 60), Ref(FrameSkin::Colour(Brush::Highlight))) << c.name;
        EXPECT_EQ(At(image, 399, 60), Ref(FrameSkin::Colour(Brush::DarkShadow))) << c.name;
        EXPECT_EQ(At(image, 1, 60), Ref(FrameSkin::Colour(Brush::Light))) << c.name;
        EXPECT_EQ(At(image, 398, 60), Ref(FrameSkin::Colour(Brush::Shadow))) << c.name;
        EXPECT_EQ(At(image, 2, 60), Ref(FrameSkin::Colour(Brush::Face))) << c.name;
        EXPECT_EQ(At(image, 200, 60), Ref(kUntouched)) << c.name; // client area left alone
        // Caption (4, 4)-(396, 22): the tab's left edge, body, first slant column, end.
        for (int y = 0; y < 18; ++y) {
            EXPECT_EQ(At(image, 4, 4 + y), TopDown(*c.tab, 0, y)) << c.name << y;
            EXPECT_EQ(At(image, 100, 4 + y), TopDown(*c.tab, 3, y)) << c.name << y;
            EXPECT_EQ(At(image, 395, 4 + y), TopDown(*c.tab, 84, y)) << c.name << y;
        }
        // Buttons: close at (378, 6)-(394, 20), maximise/restore at (360, 6)-(376, 20),
        // each its cell stretched over the rectangle.
        EXPECT_EQ(Region(image, 378, 6, 16, 14), Expected(skin.closeStrip, 0, 16, 14)) << c.name;
        EXPECT_EQ(Region(image, 360, 6, 16, 14), Expected(skin.maxRestoreStrip, c.maxCell, 16, 14))
            << c.name;
    }
}

TEST(FrameSkin, DialogCaptionHasNoIconAndKeepsTheTitleInside)
{
    FrameSkin skin;
    ASSERT_TRUE(skin.LoadStandard());
    CDib icon;
    ASSERT_TRUE(icon.LoadFromResource(IDB_CAPTION_ICON));
    const QImage main = PaintFrame(skin, {{300, 80}, kMainWindow, 0, false, true, QString()});
    const QImage dialog = PaintFrame(skin, {{300, 80}, kModalDialog, 0, false, true, QString()});
    // The icon's opaque middle on the main window; the tab itself on the dialog.
    EXPECT_EQ(At(main, 7 + 8, 5 + 8), TopDown(icon, 8, 8));
    EXPECT_EQ(At(dialog, 7 + 8, 5 + 8), TopDown(skin.activeTab, 3, 10)); // tab body

    // A long title ends before the close button.
    const QString title(200, QChar('W'));
    const QImage titled = PaintFrame(skin, {{300, 80}, kModalDialog, 0, false, true, title});
    const QImage plain = PaintFrame(skin, {{300, 80}, kModalDialog, 0, false, true, QString()});
    int changedBeforeButtons = 0;
    for (int y = 3; y < 21; ++y) {
        for (int x = 3; x < 300; ++x) {
            if (At(titled, x, y) != At(plain, x, y)) {
                EXPECT_LT(x, 279) << x << "," << y; // the close button starts at 279
                ++changedBeforeButtons;
            }
        }
    }
    EXPECT_GT(changedBeforeButtons, 0);
}

TEST(FrameSkin, CaptionRefreshLeavesBorderTabAndTitle)
{
    FrameSkin skin;
    ASSERT_TRUE(skin.LoadStandard());
    const QImage image =
        PaintFrame(skin, {{400, 120}, kMainWindow, 0, false, true, QStringLiteral("T")}, true);
    EXPECT_EQ(At(image, 0, 60), Ref(kUntouched));   // border
    EXPECT_EQ(At(image, 100, 10), Ref(kUntouched)); // tab body
    EXPECT_EQ(At(image, 30, 10), Ref(kUntouched));  // title area
    // The rail under the buttons starts 4 pixels left of them: 396 - 54 - 4 = 338.
    EXPECT_EQ(At(image, 337, 10), Ref(kUntouched));
    EXPECT_EQ(At(image, 338, 3 + 1 + 8), TopDown(skin.activeTab, 83, 8));
    EXPECT_EQ(Region(image, 378, 6, 16, 14), Expected(skin.closeStrip, 0, 16, 14));
}

TEST(FrameSkin, WithoutImagesOnlyBorderAndTitle)
{
    FrameSkin skin; // nothing loaded
    const QImage image =
        PaintFrame(skin, {{400, 120}, kMainWindow, 0, false, true, QString()});
    EXPECT_EQ(At(image, 0, 60), Ref(FrameSkin::Colour(Brush::Highlight)));
    EXPECT_EQ(At(image, 100, 10), Ref(kUntouched));
    EXPECT_EQ(At(image, 385, 12), Ref(kUntouched));
}

// Pictures of painted frames in the build folder, to look at.
TEST(FrameSkin, WritesFramePicturesIntoTheBuildFolder)
{
    FrameSkin skin;
    ASSERT_TRUE(skin.LoadStandard());
    const struct
    {
        const char* file;
        FrameSkin::Target target;
    } cases[] = {
        {"frame-main.png",
         {{480, 80}, kMainWindow, 0, false, true, QStringLiteral("Video capture software - cap.avi")}},
        {"frame-main-inactive-maximized.png",
         {{480, 80}, kMainWindow, 0, true, false, QStringLiteral("Video capture software")}},
        {"frame-dialog-ja.png",
         {{300, 80}, kModalDialog, 0, false, true, QString::fromUtf8("各種ﾊﾟﾗﾒﾀの設定")}},
        {"frame-narrow.png", {{140, 60}, kMainWindow, 0, false, true, QStringLiteral("Narrow")}},
    };
    for (const auto& c : cases) {
        const QImage image = PaintFrame(skin, c.target);
        const QString path = QStringLiteral(VEXOL_BUILD_DIR "/") + QString::fromUtf8(c.file);
        EXPECT_TRUE(image.scaled(image.size() * 2).save(path)) << c.file;
    }
}

} // namespace
