#include "platform/Bitmap.h"

#include <gtest/gtest.h>

#include "platform/Image.h"

using platform::Bitmap;
using platform::Color;
using platform::PixelFormat;

TEST(BitmapTest, NewBitmapIsZeroedWithExactRowLength)
{
    Bitmap rgba(5, 3);
    EXPECT_EQ(rgba.bytesPerRow(), 20u);
    EXPECT_EQ(rgba.byteCount(), 60u);
    EXPECT_TRUE(rgba.hasAlpha());
    for (size_t i = 0; i < rgba.byteCount(); ++i)
        ASSERT_EQ(rgba.data()[i], 0) << i;
    Bitmap rgb(5, 3, PixelFormat::RGB);
    EXPECT_EQ(rgb.bytesPerRow(), 15u);
    EXPECT_FALSE(rgb.hasAlpha());
    Bitmap negative(-4, 7);
    EXPECT_TRUE(negative.isEmpty());
    EXPECT_EQ(negative.data(), nullptr);
}

TEST(BitmapTest, RowZeroIsTheTopRowInMemory)
{
    Bitmap b(3, 2);
    b.setColorAt(2, 1, Color::deviceRGB(1, 0, 0, 1));
    // Column 2 of row 1: the second row in memory, not the first.
    const uint8_t* p = b.data() + 1 * 12 + 2 * 4;
    EXPECT_EQ(p[0], 255);
    EXPECT_EQ(p[1], 0);
    EXPECT_EQ(p[2], 0);
    EXPECT_EQ(p[3], 255);
    EXPECT_EQ(b.data()[2 * 4 + 3], 0) << "row 0 must stay untouched";
}

TEST(BitmapTest, SetColorPremultipliesAndReplacesAllSamples)
{
    struct {
        Color color;
        uint8_t r, g, b, a;
    } cases[] = {
        {Color::deviceRGB(1, 1, 1, 0.5), 128, 128, 128, 128},
        {Color::deviceRGB(0, 0, 0, 0.5), 0, 0, 0, 128},
        {Color::deviceRGB(1, 0.5, 0, 1), 255, 128, 0, 255},
        {Color::deviceRGB(2, -1, 0.2, 1), 255, 0, 51, 255}, // clamped
        {Color::deviceGray(0.6, 1), 153, 153, 153, 255}, // grey as RGB
        {Color::deviceRGB(1, 1, 1, 0), 0, 0, 0, 0},
    };
    for (const auto& c : cases) {
        Bitmap b(1, 1);
        b.setColorAt(0, 0, Color::deviceRGB(0.3, 0.3, 0.3, 1));
        b.setColorAt(0, 0, c.color);
        const uint8_t* p = b.data();
        EXPECT_EQ(p[0], c.r) << c.color.red();
        EXPECT_EQ(p[1], c.g) << c.color.green();
        EXPECT_EQ(p[2], c.b) << c.color.blue();
        EXPECT_EQ(p[3], c.a) << c.color.alpha();
    }
}

TEST(BitmapTest, ColorAtGivesStraightComponentsThatPackBack)
{
    Bitmap b(1, 1);
    uint8_t* p = b.data();
    p[0] = 100, p[1] = 50, p[2] = 0, p[3] = 128;
    Color c = b.colorAt(0, 0);
    EXPECT_EQ(c.colorSpace(), platform::ColorSpace::CalibratedRGB);
    EXPECT_EQ(int(c.red() * 255.0), 199); // 100 * 255 / 128 = 199.2
    EXPECT_EQ(int(c.green() * 255.0), 100);
    EXPECT_EQ(int(c.blue() * 255.0), 0);
    EXPECT_EQ(int(c.alpha() * 255.0), 128);
    EXPECT_EQ(b.colorAt(-1, 0), Color::calibratedRGB(0, 0, 0, 0));
    EXPECT_EQ(b.colorAt(0, 1), Color::calibratedRGB(0, 0, 0, 0));
}

TEST(BitmapTest, CopyingAColourThroughColorAtKeepsEveryPremultipliedSample)
{
    // Pixel copies between bitmaps go through colorAt/setColorAt; no valid
    // premultiplied sample (p <= a) may change on the way.
    for (int a = 0; a < 256; ++a) {
        for (int v = 0; v <= a; ++v) {
            Bitmap from(1, 1), to(1, 1);
            from.data()[0] = uint8_t(v), from.data()[1] = uint8_t(v), from.data()[2] = 0;
            from.data()[3] = uint8_t(a);
            to.setColorAt(0, 0, from.colorAt(0, 0));
            ASSERT_EQ(to.data()[0], v) << "alpha " << a;
            ASSERT_EQ(to.data()[3], a);
        }
    }
}

TEST(BitmapTest, RgbBitmapReadsOpaqueAndConvertsToRgba)
{
    Bitmap b(2, 1, PixelFormat::RGB);
    b.setColorAt(1, 0, Color::deviceRGB(0, 1, 0, 0.2));
    EXPECT_DOUBLE_EQ(b.colorAt(1, 0).alpha(), 1.0);
    Bitmap rgba = b.toRGBA();
    ASSERT_EQ(rgba.format(), PixelFormat::RGBA);
    const uint8_t* p = rgba.pixelAt(1, 0);
    EXPECT_EQ(p[1], 255);
    EXPECT_EQ(p[3], 255);
    EXPECT_EQ(rgba.pixelAt(0, 0)[3], 255);
}

TEST(ImageTest, ImageFromBitmapAndBlankImage)
{
    Bitmap b(4, 2);
    b.setColorAt(0, 0, Color::deviceRGB(1, 0, 0, 1));
    platform::Image image(std::move(b));
    EXPECT_EQ(image.size(), (platform::Size {4, 2}));
    ASSERT_NE(image.bitmap(), nullptr);
    EXPECT_EQ(image.bitmap()->pixelAt(0, 0)[0], 255);
    EXPECT_FALSE(image.isFlipped());

    platform::Image blank(platform::Size {10.5, 3});
    ASSERT_NE(blank.bitmap(), nullptr);
    EXPECT_EQ(blank.bitmap()->width(), 11);
    EXPECT_EQ(blank.bitmap()->height(), 3);
    EXPECT_EQ(blank.bitmap()->colorAt(5, 1).alpha(), 0.0);

    EXPECT_EQ(platform::Image().bitmap(), nullptr);
    EXPECT_EQ(platform::Image(platform::Size {0, 5}).bitmap(), nullptr);
}
