// Bitmaps: rows top first, premultiplied samples, straight colours out; and
// the image that holds one.
#include "platform/Bitmap.h"

#include "platform/Image.h"

#include <gtest/gtest.h>
#include <utility>

using namespace platform;

TEST(BitmapTest, NewBitmapIsZeroedRowZeroIsTheTopRowInMemory)
{
    Bitmap rgba(5, 3), rgb(5, 3, PixelFormat::RGB);
    EXPECT_EQ(rgba.bytesPerRow(), 20u);
    EXPECT_EQ(rgba.byteCount(), 60u);
    EXPECT_EQ(rgb.bytesPerRow(), 15u);
    EXPECT_EQ(rgb.byteCount(), 45u);
    EXPECT_TRUE(rgba.hasAlpha());
    EXPECT_FALSE(rgb.hasAlpha());
    EXPECT_EQ(std::count(rgba.data(), rgba.data() + 60, 0), 60);
    EXPECT_TRUE(Bitmap(-4, 7).isEmpty());
    EXPECT_EQ(Bitmap(-4, 7).data(), nullptr);
    rgba.setColorAt(2, 1, Color::deviceRGB(1, 0, 0.2, 1));
    rgb.setColorAt(2, 1, Color::deviceRGB(1, 0, 0.2, 0.2)); // no alpha to take it
    const std::vector<uint8_t> red = {255, 0, 51, 255};
    EXPECT_EQ(std::vector<uint8_t>(rgba.data() + 28, rgba.data() + 32), red);
    EXPECT_EQ(std::vector<uint8_t>(rgb.data() + 21, rgb.data() + 24),
        std::vector<uint8_t>(red.begin(), red.begin() + 3));
    EXPECT_EQ(std::count(rgba.data(), rgba.data() + 60, 0), 57);
    EXPECT_EQ(rgba.pixelAt(2, 1), rgba.data() + 28);
    EXPECT_EQ(std::as_const(rgb).pixelAt(2, 1), rgb.data() + 21);
    EXPECT_DOUBLE_EQ(rgb.colorAt(2, 1).alpha(), 1.0);
    Bitmap converted = rgb.toRGBA();
    ASSERT_EQ(converted.format(), PixelFormat::RGBA);
    EXPECT_EQ(std::vector<uint8_t>(converted.data() + 28, converted.data() + 32), red);
    EXPECT_EQ(converted.pixelAt(0, 0)[3], 255);
}

TEST(BitmapTest, SetColorPremultipliesAndReplacesAllSamples)
{
    struct {
        Color color;
        uint8_t r, g, b, a;
    } cases[] = {{Color::deviceRGB(1, 1, 1, 0.5), 128, 128, 128, 128},
        {Color::deviceRGB(0, 0, 0, 0.5), 0, 0, 0, 128},
        {Color::deviceRGB(1, 0.5, 0, 1), 255, 128, 0, 255},
        {Color::deviceRGB(2, -1, 0.2, 1), 255, 0, 51, 255}, // clamped
        {Color::deviceGray(0.6, 1), 153, 153, 153, 255}, // grey as RGB
        {Color::deviceRGB(1, 1, 1, 0), 0, 0, 0, 0}};
    for (const auto& c : cases) {
        Bitmap b(1, 1);
        b.setColorAt(0, 0, Color::deviceRGB(0.3, 0.3, 0.3, 1));
        b.setColorAt(0, 0, c.color);
        EXPECT_EQ(std::vector<uint8_t>(b.data(), b.data() + 4),
            (std::vector<uint8_t> {c.r, c.g, c.b, c.a}))
            << c.color.red() << " " << c.color.alpha();
    }
}

TEST(BitmapTest, ColorAtGivesStraightComponentsThatPackBackUnchanged)
{
    Bitmap b(1, 1);
    b.data()[0] = 100, b.data()[1] = 50, b.data()[3] = 128;
    Color c = b.colorAt(0, 0);
    EXPECT_EQ(c.colorSpace(), ColorSpace::CalibratedRGB);
    EXPECT_EQ(int(c.red() * 255.0), 199); // 100 * 255 / 128 = 199.2
    EXPECT_EQ(int(c.green() * 255.0), 100);
    EXPECT_EQ(int(c.alpha() * 255.0), 128);
    EXPECT_EQ(b.colorAt(-1, 0), Color::calibratedRGB(0, 0, 0, 0));
    EXPECT_EQ(b.colorAt(0, 1), Color::calibratedRGB(0, 0, 0, 0));
    // Pixel copies between bitmaps go through colorAt and setColorAt: no
    // valid premultiplied sample (p <= a) may change on the way.
    for (int a = 0; a < 256; ++a) {
        for (int v = 0; v <= a; ++v) {
            Bitmap from(1, 1), to(1, 1);
            from.data()[0] = from.data()[1] = uint8_t(v), from.data()[3] = uint8_t(a);
            to.setColorAt(0, 0, from.colorAt(0, 0));
            ASSERT_EQ(to.data()[0], v) << "alpha " << a;
            ASSERT_EQ(to.data()[3], a);
        }
    }
}

TEST(ImageTest, ImageFromBitmapAndBlankImage)
{
    Bitmap b(4, 2);
    b.setColorAt(0, 0, Color::deviceRGB(1, 0, 0, 1));
    Image image(std::move(b));
    EXPECT_EQ(image.size(), (Size {4, 2}));
    EXPECT_EQ(image.bitmap()->pixelAt(0, 0)[0], 255);
    EXPECT_FALSE(image.isFlipped());
    // A fractional side is rounded up; a blank image is transparent.
    Image blank(Size {10.5, 3});
    ASSERT_EQ(std::pair(blank.bitmap()->width(), blank.bitmap()->height()), std::pair(11, 3));
    EXPECT_EQ(blank.bitmap()->colorAt(5, 1).alpha(), 0.0);
    EXPECT_EQ(Image().bitmap(), nullptr);
    EXPECT_EQ(Image(Size {0, 5}).bitmap(), nullptr);
}
