#include "gui/artwork.h"

#include "gui/splash_window.h"

#include <gtest/gtest.h>

namespace korvane::gui {
namespace {

constexpr QRgb kKey = 0xFF0000FF;

// The splash window punches out every pure-blue pixel: the card must have none,
// and the corners outside the rounded card must be exactly that blue.
TEST(Artwork, SplashKeyColourOnlyOutsideTheCard) {
    const QImage splash = SplashPicture();
    ASSERT_EQ(splash.size(), QSize(400, 198));
    EXPECT_EQ(splash.pixel(0, 0), kKey);
    EXPECT_EQ(splash.pixel(399, 197), kKey);
    int keyed = 0;
    for (int y = 30; y < 168; ++y) {
        for (int x = 30; x < 370; ++x) {
            keyed += splash.pixel(x, y) == kKey ? 1 : 0;
        }
    }
    EXPECT_EQ(keyed, 0);
}

TEST(Artwork, ButtonsAreOpaqueAndPressedLooksDifferent) {
    for (int i = 0; i < kButtonPictureCount; ++i) {
        const QImage up = ButtonPicture(i, false);
        const QImage down = ButtonPicture(i, true);
        ASSERT_EQ(up.size(), QSize(kButtonPictureSize, kButtonPictureSize));
        EXPECT_FALSE(up.hasAlphaChannel());
        EXPECT_NE(up, down) << "button " << i;
        EXPECT_NE(up, ButtonPicture(kButtonPictureCount, false)) << "button " << i << " is blank";
    }
}

TEST(Artwork, IconIsTransparentAtTheCornerAndSolidInTheMiddle) {
    for (const int size : {16, 32, 48, 256}) {
        const QImage icon = ApplicationIcon(size);
        ASSERT_EQ(icon.size(), QSize(size, size));
        EXPECT_EQ(qAlpha(icon.pixel(0, 0)), 0) << size;
        EXPECT_EQ(qAlpha(icon.pixel(size / 2, size / 2)), 255) << size;
    }
}

TEST(Artwork, TheShapedSplashIsSeeThroughExactlyWhereThePictureIsBlue) {
    const QImage picture = SplashPicture();
    const QImage shaped = ShapedSplashPicture();
    ASSERT_EQ(shaped.size(), picture.size());
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            const bool blue = picture.pixel(x, y) == kKey;
            ASSERT_EQ(qAlpha(shaped.pixel(x, y)) == 0, blue) << x << "," << y;
        }
    }
}

TEST(Artwork, LogoAndBackgroundHaveTheirFixedSizes) {
    EXPECT_EQ(Logo().size(), QSize(85, 53));
    EXPECT_EQ(LogBackground().size(), QSize(494, 279));
}

} // namespace
} // namespace korvane::gui
