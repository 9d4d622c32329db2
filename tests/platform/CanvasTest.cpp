#include "platform/Canvas.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace platform;

namespace {

// Rows of distinct opaque colours, so that any reordering shows.
Image stripes(int w, int h)
{
    Bitmap b(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b.setColorAt(x, y, Color::deviceRGB(y / double(h), x / double(w), 0.5, 1));
    return Image(std::move(b));
}

bool samePixels(const Bitmap& a, const Bitmap& b)
{
    return a.width() == b.width() && a.height() == b.height()
        && std::memcmp(a.data(), b.data(), a.byteCount()) == 0;
}

bool rowsReversed(const Bitmap& a, const Bitmap& b)
{
    for (int y = 0; y < a.height(); ++y)
        if (std::memcmp(a.pixelAt(0, y), b.pixelAt(0, a.height() - 1 - y), a.bytesPerRow()) != 0)
            return false;
    return true;
}

} // namespace

TEST(CanvasTest, PictureIsUprightWhenFlippedAlikeAndReversedOtherwise)
{
    struct {
        bool canvasFlipped, imageFlipped, reversed;
    } cases[]
        = {{false, false, false}, {true, true, false}, {true, false, true}, {false, true, true}};
    for (const auto& c : cases) {
        Image source = stripes(8, 6);
        source.setFlipped(c.imageFlipped);
        Image target(Size {8, 6});
        {
            Canvas canvas(target, c.canvasFlipped);
            canvas.drawImage(source, Rect {{0, 0}, {8, 6}}, Rect {}, CompositeOp::SourceOver, 1.0);
        }
        if (c.reversed)
            EXPECT_TRUE(rowsReversed(*source.bitmap(), *target.bitmap()))
                << c.canvasFlipped << c.imageFlipped;
        else
            EXPECT_TRUE(samePixels(*source.bitmap(), *target.bitmap()))
                << c.canvasFlipped << c.imageFlipped;
    }
}

TEST(CanvasTest, SourceOverMatchesPorterDuffOnStraightColours)
{
    struct {
        Color dst, src;
    } cases[] = {
        {Color::deviceRGB(0.2, 0.4, 0.6, 1), Color::deviceRGB(0, 0, 0, 0.5)},
        {Color::deviceRGB(1, 1, 1, 0.5), Color::deviceRGB(1, 0, 0, 0.25)},
        {Color::deviceRGB(0, 1, 0, 0), Color::deviceRGB(0, 0, 1, 0.75)},
        {Color::deviceRGB(0.5, 0.5, 0.5, 0.3), Color::deviceRGB(0.9, 0.1, 0.4, 1)},
    };
    for (const auto& c : cases) {
        Bitmap d(1, 1), s(1, 1);
        d.setColorAt(0, 0, c.dst);
        s.setColorAt(0, 0, c.src);
        Image target(std::move(d)), source(std::move(s));
        {
            Canvas canvas(target);
            canvas.drawImage(source, Rect {{0, 0}, {1, 1}}, Rect {}, CompositeOp::SourceOver, 1.0);
        }
        Color got = target.bitmap()->colorAt(0, 0);
        double as = c.src.alpha(), ad = c.dst.alpha();
        double a = as + ad * (1 - as);
        auto over
            = [&](double cs, double cd) { return a ? (cs * as + cd * ad * (1 - as)) / a : 0; };
        // 8-bit premultiplied storage: within a couple of steps of the ideal.
        EXPECT_NEAR(got.alpha(), a, 1.5 / 255) << c.src.alpha() << " over " << c.dst.alpha();
        EXPECT_NEAR(got.red(), over(c.src.red(), c.dst.red()), 2.5 / 255);
        EXPECT_NEAR(got.green(), over(c.src.green(), c.dst.green()), 2.5 / 255);
        EXPECT_NEAR(got.blue(), over(c.src.blue(), c.dst.blue()), 2.5 / 255);
    }
}

TEST(CanvasTest, CopyReplacesAlphaInsideTheRectangleOnly)
{
    Bitmap d(4, 1);
    for (int x = 0; x < 4; ++x)
        d.setColorAt(x, 0, Color::deviceRGB(1, 1, 1, 1));
    Image target(std::move(d));
    Image clear(Size {2, 1});
    {
        Canvas canvas(target, true);
        canvas.drawImage(clear, Rect {{1, 0}, {2, 1}}, Rect {}, CompositeOp::Copy, 1.0);
    }
    const Bitmap& b = *target.bitmap();
    EXPECT_EQ(b.pixelAt(0, 0)[3], 255);
    EXPECT_EQ(b.pixelAt(1, 0)[3], 0);
    EXPECT_EQ(b.pixelAt(2, 0)[3], 0);
    EXPECT_EQ(b.pixelAt(3, 0)[3], 255);
}

TEST(CanvasTest, UnflippedCanvasCountsRowsFromTheBottom)
{
    Image target(Size {3, 4});
    Bitmap red(1, 1);
    red.setColorAt(0, 0, Color::deviceRGB(1, 0, 0, 1));
    Image dot(std::move(red));
    {
        Canvas canvas(target);
        canvas.drawImage(dot, Point {2, 0}, Rect {}, CompositeOp::SourceOver, 1.0);
    }
    EXPECT_EQ(target.bitmap()->pixelAt(2, 3)[0], 255) << "y = 0 is the bottom row";
    EXPECT_EQ(target.bitmap()->pixelAt(2, 0)[0], 0);
}

TEST(CanvasTest, UnantialiasedOnePixelLinesCoverWholePixels)
{
    Image target(Size {6, 5});
    {
        Canvas canvas(target, true);
        canvas.setAntialias(false);
        canvas.setColor(Color::deviceRGB(0, 0, 0, 0.25));
        Path path;
        path.setLineWidth(1.0);
        path.moveTo({0, 2.5});
        path.lineTo({6, 2.5});
        canvas.stroke(path);
    }
    const Bitmap& b = *target.bitmap();
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 6; ++x)
            EXPECT_EQ(b.pixelAt(x, y)[3], y == 2 ? 64 : 0) << x << "," << y;
}

TEST(CanvasTest, SaveAndRestoreBringBackTheTransform)
{
    Image target(Size {4, 4});
    Bitmap one(1, 1);
    one.setColorAt(0, 0, Color::deviceRGB(0, 0, 1, 1));
    Image dot(std::move(one));
    {
        Canvas canvas(target, true);
        canvas.saveState();
        canvas.translate(3, 3);
        canvas.restoreState();
        canvas.restoreState(); // more restores than saves: ignored
        canvas.drawImage(dot, Point {0, 0}, Rect {}, CompositeOp::SourceOver, 1.0);
    }
    EXPECT_EQ(target.bitmap()->pixelAt(0, 0)[2], 255);
    EXPECT_EQ(target.bitmap()->pixelAt(3, 3)[2], 0);
}
