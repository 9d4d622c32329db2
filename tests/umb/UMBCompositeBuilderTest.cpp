// The composite built in one bitmap against the composite stacked from the
// layer pictures, which is what it must reproduce: the same bytes at every
// pixel, for both projections, several instants, sizes and settings.
#include "umb/UMBCompositeBuilder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

#include "support/TempDir.h"
#include "umb/UMBDate.h"
#include "umb/UMBEquirectangular.h"
#include "umb/UMBImageOps.h"
#include "umb/UMBMillerCylindrical.h"
#include "umb/UMBSun.h"

using platform::Bitmap;
using platform::Image;
using platform::Point;

namespace {

const std::string kPictures = std::string(GLOAM_SOURCE_DIR)
    + "/widget/Gloam.wdgt/GloamPlugin.widgetplugin/Contents/Resources/worldimages/";

struct Difference {
    size_t samples = 0; // samples that differ
    int largest = 0; // the largest difference of one sample
    std::string first; // where the first one is
};

// Compares two pictures as premultiplied RGBA, an RGB one read as opaque.
Difference compare(const Image& fast, const Image& reference)
{
    Difference d;
    const Bitmap* a = fast.bitmap();
    const Bitmap* b = reference.bitmap();
    if (!a || !b || a->width() != b->width() || a->height() != b->height()) {
        d.samples = SIZE_MAX;
        d.first = "sizes differ";
        return d;
    }
    const Bitmap left = a->toRGBA(), right = b->toRGBA();
    for (int y = 0; y < left.height(); ++y) {
        for (int x = 0; x < left.width(); ++x) {
            for (int c = 0; c < 4; ++c) {
                int diff = std::abs(int(left.pixelAt(x, y)[c]) - int(right.pixelAt(x, y)[c]));
                if (diff == 0)
                    continue;
                if (d.samples++ == 0)
                    d.first = "(" + std::to_string(x) + ", " + std::to_string(y) + ") sample "
                        + std::to_string(c);
                d.largest = std::max(d.largest, diff);
            }
        }
    }
    return d;
}

// A base map of the given size: the January map, stretched.
Image baseOf(int w, int h)
{
    std::optional<Image> map = Image::fromFile(kPictures + "world_sm.1.jpg");
    EXPECT_TRUE(map);
    if (map->bitmap()->width() == w && map->bitmap()->height() == h)
        return std::move(*map);
    umb::UMBEquirectangular scaler {float(w), float(h)};
    scaler.setAlpha(0);
    return scaler.drawCompositeImageFromLayers(*map, {0, 0});
}

Point subsolarAt(int month, int day, int year, int hour, int minute)
{
    umb::UMBDate date;
    date.initializeUTC(month, day, year, hour, minute, 0);
    return umb::UMBSun(date).getSubsolar();
}

template<class Renderer> void useBundlePictures(Renderer& r)
{
    r.setLightsimgpath(kPictures + "earth_lights_sm.png");
    r.setSunimgpath(kPictures + "sun.png");
}

template<class Renderer>
void expectSame(Renderer& r, const Image& base, Point sun, const std::string& what)
{
    Image fast = r.drawCompositeImage(base, sun);
    Image reference = r.drawCompositeImageFromLayers(base, sun);
    Difference d = compare(fast, reference);
    EXPECT_EQ(d.samples, 0u) << what << ": largest difference " << d.largest << ", first at "
                             << d.first;
}

} // namespace

TEST(UMBCompositeBuilderTest, SamePixelsAsTheLayersForInstantsSizesAndProjections)
{
    const Point instants[] = {
        subsolarAt(6, 21, 2024, 12, 0), // northern summer solstice: the north pole lit
        subsolarAt(12, 21, 2025, 18, 30), // the southern one
        subsolarAt(3, 20, 2026, 3, 1), // an equinox, the terminator nearly straight
        subsolarAt(8, 7, 2031, 23, 59), // the Sun near the date line
        {180, 0}, // on the right edge: its picture clipped there
        {-180, -5}, // on the left edge
    };
    const std::pair<int, int> sizes[] = {{1024, 512}, {333, 167}, {64, 32}, {5, 3}};
    for (auto [w, h] : sizes) {
        const Image base = baseOf(w, h);
        for (size_t i = 0; i < std::size(instants); ++i) {
            const std::string what
                = std::to_string(w) + "x" + std::to_string(h) + " instant " + std::to_string(i);
            umb::UMBEquirectangular plate {float(w), float(h)};
            useBundlePictures(plate);
            expectSame(plate, base, instants[i], "equirectangular " + what);

            umb::UMBMillerCylindrical miller {float(w), float(h)};
            useBundlePictures(miller);
            if (i % 2)
                miller.setUpperLatitude(80); // rows beyond 80 degrees fold back
            expectSame(miller, base, instants[i], "Miller " + what);
        }
    }
}

TEST(UMBCompositeBuilderTest, SamePixelsAsTheLayersForEverySetting)
{
    testing_support::TempDir dir;
    const int w = 360, h = 180;
    const Point sun = subsolarAt(11, 2, 2027, 9, 15);
    const Image base = baseOf(w, h);

    // Opacities inside and outside 0..1, and blur radii from none to wide.
    for (float alpha : {0.0f, 0.3f, 0.5f, 0.75f, 1.0f, 1.7f, -0.2f}) {
        for (int32_t depth : {-3, 0, 1, 6, 40}) {
            umb::UMBEquirectangular r(w, h);
            useBundlePictures(r);
            r.setAlpha(alpha);
            r.setBlurdepth(depth);
            expectSame(r, base, sun,
                "alpha " + std::to_string(alpha) + " blurdepth " + std::to_string(depth));
        }
    }

    umb::UMBEquirectangular r(w, h);
    useBundlePictures(r);
    // A base with transparency gives a composite with it.
    Bitmap seeThrough(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            seeThrough.setColorAt(x, y, platform::Color::deviceRGB(0.2, x / 360.0, 0.9, y / 180.0));
    expectSame(r, Image(std::move(seeThrough)), sun, "translucent base");
    // A base of another size is stretched; no base at all leaves the canvas
    // transparent under the layers.
    expectSame(r, baseOf(1024, 512), sun, "larger base");
    expectSame(r, baseOf(100, 50), sun, "smaller base");
    expectSame(r, Image(), sun, "no base");
    // Missing pictures leave their layers out.
    r.setSunimgpath(dir / "no-sun.png");
    r.setLightsimgpath(dir / "no-lights.png");
    expectSame(r, base, sun, "missing sun and lights");
    r.setSunimgpath(std::nullopt);
    r.setLightsimgpath(std::nullopt);
    expectSame(r, base, sun, "no sun and lights paths");
    // A lights-point file's layer laid over the one bitmap; then the forms
    // left to the layers: surfaces drawn the other way up, a fractional size.
    {
        std::ofstream points(dir / "lights.bin", std::ios::binary);
        const int32_t colour = int32_t(0xFFFFC040u);
        for (float lon = -180; lon < 180; lon += 7.5f) {
            float lat = lon / 4;
            points.write(reinterpret_cast<const char*>(&colour), 4);
            points.write(reinterpret_cast<const char*>(&lon), 4);
            points.write(reinterpret_cast<const char*>(&lat), 4);
        }
    }
    r.setLightsimgpath(dir / "lights.bin");
    expectSame(r, base, sun, "lights-point file");
    // A lights picture handed over in memory stands for the file, whatever
    // the path says, in both ways of drawing.
    umb::UMBEquirectangular fromFile(w, h);
    useBundlePictures(fromFile);
    auto lights
        = std::make_shared<const Image>(*Image::fromFile(kPictures + "earth_lights_sm.png"));
    r.setSunimgpath(kPictures + "sun.png");
    r.setLightsPicture(lights); // the path still names the lights-point file
    expectSame(r, base, sun, "lights picture in memory");
    EXPECT_EQ(compare(r.drawLightsLayer(sun), fromFile.drawLightsLayer(sun)).samples, 0u);
    EXPECT_EQ(
        compare(r.drawCompositeImage(base, sun), fromFile.drawCompositeImage(base, sun)).samples,
        0u);
    r.setLightsPicture(nullptr);
    useBundlePictures(r);
    r.setFlipped(false);
    expectSame(r, base, sun, "not flipped");
    umb::UMBEquirectangular odd(360.5f, 180.25f);
    useBundlePictures(odd);
    expectSame(odd, base, sun, "fractional size");
}

TEST(UMBCompositeBuilderTest, GivenTheBaseItDrawsIntoItsBitmap)
{
    const Point sun = subsolarAt(1, 15, 2025, 6, 0);
    umb::UMBEquirectangular r(1024, 512);
    useBundlePictures(r);
    Image base = baseOf(1024, 512);
    const Image reference = r.drawCompositeImageFromLayers(base, sun);
    const uint8_t* pixels = base.bitmap()->data();
    Image composite = r.drawCompositeImage(std::move(base), sun);
    EXPECT_EQ(composite.bitmap()->data(), pixels) << "the base's bitmap was copied";
    EXPECT_EQ(composite.bitmap()->format(), platform::PixelFormat::RGB);
    EXPECT_EQ(compare(composite, reference).samples, 0u);

    // The builder keeps its buffers between calls; a second, smaller map
    // must not see anything of the first.
    umb::UMBCompositeBuilder builder;
    umb::UMBEquirectangular small(64, 32);
    useBundlePictures(small);
    const Image smallBase = baseOf(64, 32);
    ASSERT_TRUE(builder.build(r, baseOf(1024, 512), sun, 191));
    std::optional<Bitmap> second = builder.build(small, smallBase, sun, 191);
    ASSERT_TRUE(second);
    EXPECT_EQ(compare(Image(std::move(*second)), small.drawCompositeImageFromLayers(smallBase, sun))
                  .samples,
        0u);
}
