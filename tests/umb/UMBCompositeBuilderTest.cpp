// The composite built in one bitmap against the composite stacked from the
// layer pictures, which it must reproduce byte for byte: both projections,
// several instants, sizes and settings.
#include "umb/UMBCompositeBuilder.h"

#include "support/HostileBytes.h"
#include "support/TempDir.h"
#include "support/UmbFixtures.h"
#include "umb/UMBDate.h"
#include "umb/UMBEquirectangular.h"
#include "umb/UMBMillerCylindrical.h"
#include "umb/UMBSun.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

using platform::Bitmap;
using platform::Image;
using platform::Point;
using testing_support::kWorldImages;

namespace {

// Bytes that differ between two pictures read as premultiplied RGBA, an RGB
// one as opaque; every byte when the sizes differ.
size_t differences(const Image& a, const Image& b)
{
    if (!a.bitmap() || !b.bitmap() || a.size() != b.size())
        return SIZE_MAX;
    const Bitmap left = a.bitmap()->toRGBA(), right = b.bitmap()->toRGBA();
    size_t n = 0;
    for (size_t i = 0; i < left.byteCount(); ++i)
        n += left.data()[i] != right.data()[i];
    return n;
}

// The January map (an RGB JPEG, 1024 x 512), stretched to w x h when it
// is not that size.
Image baseOf(int w, int h)
{
    Image map = *Image::fromFile(kWorldImages + "world_sm.1.jpg");
    if (map.size() == platform::Size {double(w), double(h)})
        return map;
    umb::UMBEquirectangular scaler {float(w), float(h)};
    scaler.setAlpha(0);
    return scaler.drawCompositeImageFromLayers(map, {0, 0});
}

Point subsolarAt(int month, int day, int year, int hour, int minute)
{
    umb::UMBDate date;
    date.initializeUTC(month, day, year, hour, minute, 0);
    return umb::UMBSun(date).getSubsolar();
}

template<class Renderer> void useBundlePictures(Renderer& r)
{
    r.setLightsimgpath(kWorldImages + "earth_lights_sm.png");
    r.setSunimgpath(kWorldImages + "sun.png");
}

template<class Renderer> size_t againstLayers(Renderer& r, const Image& base, Point sun)
{
    return differences(r.drawCompositeImage(base, sun), r.drawCompositeImageFromLayers(base, sun));
}

} // namespace

TEST(UMBCompositeBuilderTest, SamePixelsAsTheLayersForInstantsSizesAndProjections)
{
    const Point instants[] = {
        subsolarAt(6, 21, 2024, 12, 0), // northern summer solstice: the north pole lit
        subsolarAt(12, 21, 2025, 18, 30), // the southern one
        subsolarAt(3, 20, 2026, 3, 1), // an equinox, the terminator nearly straight
        {180, 0}, // on the right edge: its picture clipped there
        {-180, -5}, // on the left edge
    };
    for (auto [w, h] : {std::pair {1024, 512}, {333, 167}, {5, 3}}) {
        const Image base = baseOf(w, h);
        for (size_t i = 0; i < std::size(instants); ++i) {
            SCOPED_TRACE(
                std::to_string(w) + "x" + std::to_string(h) + " instant " + std::to_string(i));
            umb::UMBEquirectangular plate {float(w), float(h)};
            umb::UMBMillerCylindrical miller {float(w), float(h)};
            useBundlePictures(plate);
            useBundlePictures(miller);
            if (i % 2)
                miller.setUpperLatitude(80); // rows beyond 80 degrees fold back
            // The twilight styles on the last two instants.
            const auto style = umb::UMBTerminatorStyle(i < 3 ? 0 : i - 2);
            plate.setTerminatorStyle(style);
            miller.setTerminatorStyle(style);
            EXPECT_EQ(againstLayers(plate, base, instants[i]), 0u) << "equirectangular";
            EXPECT_EQ(againstLayers(miller, base, instants[i]), 0u) << "Miller";
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
    for (auto [alpha, depth] : {std::pair {0.0f, 6}, {0.3f, 1}, {0.5f, 0}, {0.75f, 40}, {1.0f, -3},
             {1.7f, 6}, {-0.2f, 6}}) {
        umb::UMBEquirectangular r(w, h);
        useBundlePictures(r);
        r.setAlpha(alpha);
        r.setBlurdepth(depth);
        EXPECT_EQ(againstLayers(r, base, sun), 0u) << "alpha " << alpha << " blurdepth " << depth;
    }
    umb::UMBEquirectangular r(w, h);
    useBundlePictures(r);
    EXPECT_EQ(
        againstLayers(
            r, Image(testing_support::gradient(w, h, platform::PixelFormat::RGBA, 0.2, 40)), sun),
        0u)
        << "translucent base";
    EXPECT_EQ(againstLayers(r, baseOf(1024, 512), sun), 0u) << "larger base";
    EXPECT_EQ(againstLayers(r, baseOf(100, 50), sun), 0u) << "smaller base";
    EXPECT_EQ(againstLayers(r, Image(), sun), 0u) << "no base";
    // A lights-point file's layer laid over the one bitmap.
    std::vector<testing_support::LightsRecord> points;
    for (float lon = -180; lon < 180; lon += 7.5f)
        points.push_back({int32_t(0xFFFFC040u), lon, lon / 4});
    testing_support::writeLightsPoints(dir / "lights.bin", points);
    r.setLightsimgpath(dir / "lights.bin");
    EXPECT_EQ(againstLayers(r, base, sun), 0u) << "lights-point file";
    // A night map in the shade's place, smaller than the map: black beyond it.
    r.setNightPicture(std::make_shared<const Image>(baseOf(300, 150)));
    EXPECT_EQ(againstLayers(r, base, sun), 0u) << "night map";
    r.setNightPicture(nullptr);
    // A lights picture handed over in memory stands for the file, whatever
    // the path says.
    umb::UMBEquirectangular fromFile(w, h);
    useBundlePictures(fromFile);
    r.setLightsPicture(
        std::make_shared<const Image>(*Image::fromFile(kWorldImages + "earth_lights_sm.png")));
    EXPECT_EQ(againstLayers(r, base, sun), 0u) << "lights picture in memory";
    EXPECT_EQ(differences(r.drawLightsLayer(sun), fromFile.drawLightsLayer(sun)), 0u);
    EXPECT_EQ(
        differences(r.drawCompositeImage(base, sun), fromFile.drawCompositeImage(base, sun)), 0u);
    // Missing pictures leave their layers out.
    r.setLightsPicture(nullptr);
    r.setSunimgpath(dir / "no-sun.png");
    r.setLightsimgpath(dir / "no-lights.png");
    EXPECT_EQ(againstLayers(r, base, sun), 0u) << "missing sun and lights";
    r.setSunimgpath(std::nullopt);
    r.setLightsimgpath(std::nullopt);
    EXPECT_EQ(againstLayers(r, base, sun), 0u) << "no sun and lights paths";
    // The forms left to the layers: drawn the other way up, a fractional size.
    useBundlePictures(r);
    r.setFlipped(false);
    EXPECT_EQ(againstLayers(r, base, sun), 0u) << "not flipped";
    umb::UMBEquirectangular odd(360.5f, 180.25f);
    useBundlePictures(odd);
    EXPECT_EQ(againstLayers(odd, base, sun), 0u) << "fractional size";
}

TEST(UMBCompositeBuilderTest, GivenTheBaseItDrawsIntoItsBitmapAndReusesNothingStale)
{
    const Point sun = subsolarAt(1, 15, 2025, 6, 0);
    umb::UMBEquirectangular r(1024, 512), small(64, 32);
    useBundlePictures(r);
    useBundlePictures(small);
    Image base = baseOf(1024, 512);
    const Image reference = r.drawCompositeImageFromLayers(base, sun);
    const uint8_t* pixels = base.bitmap()->data();
    Image composite = r.drawCompositeImage(std::move(base), sun);
    EXPECT_EQ(composite.bitmap()->data(), pixels) << "the base's bitmap was copied";
    EXPECT_EQ(composite.bitmap()->format(), platform::PixelFormat::RGB);
    EXPECT_EQ(differences(composite, reference), 0u);
    // A second, smaller map must not see anything of the first.
    umb::UMBCompositeBuilder builder;
    const Image smallBase = baseOf(64, 32);
    ASSERT_TRUE(builder.build(r, baseOf(1024, 512), sun, 191));
    std::optional<Bitmap> second = builder.build(small, smallBase, sun, 191);
    ASSERT_TRUE(second);
    EXPECT_EQ(
        differences(Image(std::move(*second)), small.drawCompositeImageFromLayers(smallBase, sun)),
        0u);
}

TEST(UMBCompositeBuilderTest, PicturesStretchedInBandsGiveThePixelsOfWholeOnes)
{
    // Bands start on whole rows of the picture, at a scale exact in 16.16.
    const struct {
        int from, to, wanted, band;
    } bands[] = {{512, 4096, 64, 64}, {512, 1024, 65, 64}, {8, 1024, 64, 128}, {512, 3000, 64, 0},
        {1501, 1000, 64, 0}};
    for (const auto& b : bands)
        EXPECT_EQ(umb::exactBandRows(b.from, b.to, b.wanted), b.band) << b.from << " -> " << b.to;

    // Each band as the same rows of the whole.
    const Image lights = *Image::fromFile(kWorldImages + "earth_lights_sm.png");
    const int w = 300, h = 2048, band = umb::exactBandRows(512, h, 128);
    const Image whole = umb::stretchedRows(lights, w, h, 0, h);
    for (int top = 0; top < h; top += band) {
        const Image part = umb::stretchedRows(lights, w, h, top, band);
        EXPECT_EQ(std::memcmp(part.bitmap()->data(), whole.bitmap()->pixelAt(0, top),
                      part.bitmap()->byteCount()),
            0)
            << "band at " << top;
    }

    // The composite draws a base and a lights picture to stretch in bands
    // (two at this width), the layers whole.
    umb::UMBEquirectangular r(1024, 2048);
    useBundlePictures(r);
    r.setLightsPicture(std::make_shared<const Image>(lights.clone()), true);
    EXPECT_EQ(againstLayers(r, baseOf(1024, 512), subsolarAt(3, 20, 2026, 3, 0)), 0u);
}
