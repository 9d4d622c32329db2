// The canvas on cairo: which way up a picture lands, Porter-Duff compositing
// on 8-bit premultiplied pixels, whole-pixel lines, the transform's stack;
// and pictures drawn without it landing where and as it draws them.
#include "platform/Canvas.h"
#include "platform/PictureInRect.h"

#include "support/HostileBytes.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>

using namespace platform;

namespace {

Image pixel(const Color& c)
{
    Bitmap b(1, 1);
    b.setColorAt(0, 0, c);
    return Image(std::move(b));
}

} // namespace

TEST(CanvasTest, PictureIsUprightWhenFlippedAlikeAndReversedOtherwise)
{
    for (bool canvasFlipped : {false, true}) {
        for (bool imageFlipped : {false, true}) {
            // Every pixel differs, so that any reordering shows.
            Image source(testing_support::gradient(8, 6, PixelFormat::RGBA));
            source.setFlipped(imageFlipped);
            Image target(Size {8, 6});
            Canvas(target, canvasFlipped)
                .drawImage(source, Rect {{0, 0}, {8, 6}}, Rect {}, CompositeOp::SourceOver, 1.0);
            const Bitmap &s = *source.bitmap(), &t = *target.bitmap();
            for (int y = 0; y < 6; ++y)
                EXPECT_EQ(std::memcmp(t.pixelAt(0, y),
                              s.pixelAt(0, canvasFlipped == imageFlipped ? y : 5 - y), 32),
                    0)
                    << "row " << y << ", flipped " << canvasFlipped << imageFlipped;
        }
    }
}

TEST(CanvasTest, PicturesDrawnWithoutTheCanvasLandAsTheCanvasDrawsThem)
{
    // One to one, shifted by fractions, enlarged, shrunk, and partly off the
    // target, with either orientation of each.
    const Rect rects[] = {{{0, 0}, {8, 6}}, {{1.5, 0.25}, {8, 6}}, {{0.5, 0.5}, {16, 12}},
        {{1, 1}, {4, 3}}, {{-2.5, 9.75}, {8, 6}}};
    for (bool canvasFlipped : {false, true}) {
        for (bool imageFlipped : {false, true}) {
            Image source(testing_support::gradient(8, 6, PixelFormat::RGBA, 0.6, 40));
            source.setFlipped(imageFlipped);
            for (const Rect& into : rects) {
                Image byCanvas(Size {20, 14}), byHand(Size {20, 14});
                // One rectangle on a target of two pixels to the point, as
                // on a high-density screen.
                if (into.origin.x == 1.5) {
                    byCanvas.setSize({10, 7});
                    byHand.setSize({10, 7});
                }
                Canvas canvas(byCanvas, canvasFlipped);
                canvas.setInterpolation(Interpolation::High);
                canvas.drawImage(source, into, Rect {}, CompositeOp::SourceOver, 1.0);
                canvas.end();
                drawPictureInRect(byHand, canvasFlipped, source, into);
                const Bitmap &a = *byCanvas.bitmap(), &b = *byHand.bitmap();
                int worst = 0;
                for (size_t i = 0; i < a.byteCount(); ++i)
                    worst = std::max(worst, std::abs(a.data()[i] - b.data()[i]));
                EXPECT_LE(worst, 1)
                    << into.origin.x << "," << into.origin.y << " " << into.size.width << "x"
                    << into.size.height << ", flipped " << canvasFlipped << imageFlipped;
            }
        }
    }
}

TEST(CanvasTest, SourceOverMatchesPorterDuffOnStraightColours)
{
    struct {
        Color dst, src;
    } cases[] = {{Color::deviceRGB(0.2, 0.4, 0.6, 1), Color::deviceRGB(0, 0, 0, 0.5)},
        {Color::deviceRGB(1, 1, 1, 0.5), Color::deviceRGB(1, 0, 0, 0.25)},
        {Color::deviceRGB(0, 1, 0, 0), Color::deviceRGB(0, 0, 1, 0.75)},
        {Color::deviceRGB(0.5, 0.5, 0.5, 0.3), Color::deviceRGB(0.9, 0.1, 0.4, 1)}};
    for (const auto& c : cases) {
        Image target = pixel(c.dst);
        Canvas(target).drawImage(
            pixel(c.src), Rect {{0, 0}, {1, 1}}, Rect {}, CompositeOp::SourceOver, 1.0);
        Color got = target.bitmap()->colorAt(0, 0);
        double as = c.src.alpha(), ad = c.dst.alpha(), a = as + ad * (1 - as);
        auto over = [&](double cs, double cd) { return (cs * as + cd * ad * (1 - as)) / a; };
        // 8-bit premultiplied storage: within a couple of steps of the ideal.
        EXPECT_NEAR(got.alpha(), a, 1.5 / 255) << as << " over " << ad;
        EXPECT_NEAR(got.red(), over(c.src.red(), c.dst.red()), 2.5 / 255);
        EXPECT_NEAR(got.green(), over(c.src.green(), c.dst.green()), 2.5 / 255);
        EXPECT_NEAR(got.blue(), over(c.src.blue(), c.dst.blue()), 2.5 / 255);
    }
}

TEST(CanvasTest, CopyReplacesAlphaInsideTheRectangleOnlyAndNoPixelsDrawNothing)
{
    Image target(testing_support::gradient(4, 1, PixelFormat::RGBA));
    {
        Canvas canvas(target, true);
        canvas.drawImage(
            Image(Size {2, 1}), Rect {{1, 0}, {2, 1}}, Rect {}, CompositeOp::Copy, 1.0);
        for (const Image& none : {Image(), Image(Size {0, 1})})
            canvas.drawImage(none, Rect {{0, 0}, {4, 1}}, Rect {}, CompositeOp::Copy, 1.0);
    }
    for (int x = 0; x < 4; ++x)
        EXPECT_EQ(target.bitmap()->pixelAt(x, 0)[3], x == 1 || x == 2 ? 0 : 255) << x;
}

TEST(CanvasTest, UnflippedRowsCountFromTheBottomAndRestoreBringsBackTheTransform)
{
    Image target(Size {3, 4});
    {
        Canvas canvas(target);
        canvas.saveState();
        canvas.translate(1, 1);
        canvas.restoreState();
        canvas.restoreState(); // more restores than saves: ignored
        canvas.drawImage(pixel(Color::deviceRGB(1, 0, 0, 1)), Point {2, 0}, Rect {},
            CompositeOp::SourceOver, 1.0);
    }
    for (int y = 0; y < 4; ++y)
        EXPECT_EQ(target.bitmap()->pixelAt(2, y)[0], y == 3 ? 255 : 0) << "y = 0 is the bottom";
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
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 6; ++x)
            EXPECT_EQ(target.bitmap()->pixelAt(x, y)[3], y == 2 ? 64 : 0) << x << "," << y;
}

TEST(CanvasTest, DrawingWritesBackTheBitmapsBytesAndNothingPastThem)
{
    for (uint8_t guard : {0xA5, 0x5A}) {
        auto* pixels = static_cast<uint8_t*>(std::malloc(2 * 2 * 4 + 4));
        std::memset(pixels, guard, 20);
        Image target(Bitmap::adoptMalloced(2, 2, PixelFormat::RGBA, pixels));
        Canvas(target).drawImage(
            pixel(Color::deviceRGB(1, 0, 0, 1)), Point {0, 0}, Rect {}, CompositeOp::Copy, 1.0);
        EXPECT_EQ(std::count(pixels + 16, pixels + 20, guard), 4) << "written past the last pixel";
    }
}
