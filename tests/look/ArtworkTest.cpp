// The window-look bitmaps: every one is found, with the geometry its users cut it by,
// and the Cancel label follows the user's language.
#include "platform/framework/AppIcon.h"
#include "platform/framework/Resources.h"
#include "still/CDib.h"

#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <gtest/gtest.h>

#include <vector>

namespace {

using vexol::res::Language;

struct LanguageGuard
{
    explicit LanguageGuard(Language language) { vexol::res::SetLanguage(language); }
    ~LanguageGuard() { vexol::res::ResetLanguage(); }
};

std::vector<COLORREF> Pixels(const CDib& dib)
{
    std::vector<COLORREF> pixels;
    for (int y = 0; y < dib.GetSize().cy; ++y) {
        for (int x = 0; x < dib.GetSize().cx; ++x) {
            pixels.push_back(dib.GetPixel(x, y));
        }
    }
    return pixels;
}

TEST(Artwork, EveryBitmapHasItsGeometryInBothLanguages)
{
    const struct
    {
        const char* name;
        WORD id;
        LONG width, height;
    } cases[] = {
        {"Cancel", 157, 280, 20},       {"OK", 158, 280, 20},
        {"ActiveTab", 261, 85, 18},     {"InactiveTab", 258, 85, 18},
        {"ActiveToolTab", 259, 64, 15}, {"InactiveToolTab", 260, 64, 15},
        {"CaptionIcon", 271, 16, 16},   {"Minimise", 227, 48, 13},
        {"Close", 225, 48, 13},         {"MaximiseRestore", 270, 96, 13},
        {"ContextHelp", 224, 48, 15},
    };
    for (Language language : {Language::English, Language::Japanese}) {
        LanguageGuard guard(language);
        for (const auto& c : cases) {
            CDib dib;
            ASSERT_TRUE(dib.LoadFromResource(c.id)) << c.name;
            EXPECT_EQ(dib.GetSize().cx, c.width) << c.name;
            EXPECT_EQ(dib.GetSize().cy, c.height) << c.name;
            EXPECT_EQ(dib.GetBitCount(), 8) << c.name;
        }
    }
}

TEST(Artwork, CancelHasAJapaneseFormAndOkDoesNot)
{
    std::vector<COLORREF> cancel[2], ok[2];
    for (Language language : {Language::English, Language::Japanese}) {
        LanguageGuard guard(language);
        CDib dib;
        ASSERT_TRUE(dib.LoadFromResource(157));
        cancel[int(language)] = Pixels(dib);
        ASSERT_TRUE(dib.LoadFromResource(158));
        ok[int(language)] = Pixels(dib);
    }
    EXPECT_NE(cancel[0], cancel[1]);
    EXPECT_EQ(ok[0], ok[1]);
}

TEST(Artwork, CaptionIconCornersAreTheTransparentColour)
{
    CDib icon;
    ASSERT_TRUE(icon.LoadFromResource(271));
    for (auto [x, y] : {std::pair{0, 0}, {15, 0}, {0, 15}, {15, 15}}) {
        EXPECT_EQ(icon.GetPixel(x, y), RGB(255, 0, 255)) << x << "," << y;
    }
}

TEST(Artwork, BuiltInApplicationIconHasEveryDesktopSize)
{
    const QIcon icon = vexol::platform::framework::BuiltInApplicationIcon();
    for (int size : {16, 32, 48, 64, 128}) {
        const QImage image = icon.pixmap(QSize(size, size)).toImage();
        ASSERT_EQ(image.size(), QSize(size, size)) << size;
        EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0) << size;                 // transparent corner
        EXPECT_GT(qAlpha(image.pixel(size / 2, size / 2)), 200) << size; // opaque middle
    }
}

} // namespace
