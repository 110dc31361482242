#include "gui/artwork.h"

#include "gui/splash_window.h"

#include <gtest/gtest.h>

namespace korvane::gui {
namespace {

constexpr QRgb kKey = 0xFF0000FF;

// The splash window punches out every pure-blue pixel: the corners outside the rounded card are
// exactly that blue, the card has none, and the shaped picture is see-through exactly there.
TEST(Artwork, TheSplashIsSeeThroughOnlyOutsideTheCard) {
    const QImage picture = SplashPicture();
    const QImage shaped = ShapedSplashPicture();
    ASSERT_EQ(picture.size(), QSize(400, 198));
    ASSERT_EQ(shaped.size(), picture.size());
    EXPECT_EQ(picture.pixel(0, 0), kKey);
    EXPECT_EQ(picture.pixel(399, 197), kKey);
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            const bool blue = picture.pixel(x, y) == kKey;
            const bool card = x >= 30 && x < 370 && y >= 30 && y < 168;
            ASSERT_FALSE(card && blue) << x << "," << y;
            ASSERT_EQ(qAlpha(shaped.pixel(x, y)) == 0, blue) << x << "," << y;
        }
    }
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

} // namespace
} // namespace korvane::gui
