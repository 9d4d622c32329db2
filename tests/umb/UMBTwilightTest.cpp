#include "umb/UMBTwilight.h"

#include "support/TempDir.h"
#include "support/UmbFixtures.h"
#include "umb/UMBEquirectangular.h"
#include "umb/UMBMillerCylindrical.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>

using umb::UMBTerminatorStyle;
using umb::UMBTwilight;

namespace {

double sinDegrees(double h)
{
    return std::sin(h * 0.017453292519943295);
}

} // namespace

TEST(UMBTwilightTest, LevelsByTheSunsAltitude)
{
    // A shade of 200: bands of 40, 60, 80 and 100 % (80, 120, 160, 200);
    // smooth from 0 at -0.833 to 200 at -18, linear in h; lights from none
    // at -0.833 to all at -6. Each bound belongs to the band above it.
    const UMBTwilight bands(UMBTerminatorStyle::Bands, {0, 0}, 200);
    const UMBTwilight smooth(UMBTerminatorStyle::Smooth, {0, 0}, 200);
    struct {
        double h;
        int bands, smooth, lights;
    } cases[] = {{10, 0, 0, 0}, {-0.833, 0, 0, 0}, {-1, 80, 2, 8}, {-3.4165, 80, 30, 128},
        {-6, 80, 60, 255}, {-7, 120, 72, 255}, {-9.4165, 120, 100, 255}, {-12, 120, 130, 255},
        {-13, 160, 142, 255}, {-18, 160, 200, 255}, {-19, 200, 200, 255}, {-90, 200, 200, 255}};
    for (auto c : cases) {
        const double s = sinDegrees(c.h);
        EXPECT_EQ(bands.shadeFor(s), c.bands) << c.h;
        EXPECT_NEAR(smooth.shadeFor(s), c.smooth, 1) << c.h;
        EXPECT_NEAR(smooth.lightsFor(s), c.lights, 1) << c.h;
        EXPECT_EQ(bands.lightsFor(s), smooth.lightsFor(s)) << c.h;
    }
}

TEST(UMBTwilightTest, ThePlanesAreThePerPointFunctionAtEachPixelsCentre)
{
    // 1 degree a pixel: pixel (x, y) has its centre at (x - 179.5, 89.5 - y).
    umb::UMBEquirectangular renderer {360, 180};
    const platform::Point subsolar {135.36, 23.44};
    UMBTwilight twilight(UMBTerminatorStyle::Smooth, subsolar, 191);
    twilight.compute(renderer, 360, 180);
    for (int y = 0; y < 180; ++y) {
        for (int x = 0; x < 360; ++x) {
            const double s = twilight.sineOfAltitude(x - 179.5, 89.5 - y);
            ASSERT_EQ(twilight.shadeRow(y)[x], twilight.shadeFor(s)) << x << "," << y;
            ASSERT_EQ(twilight.lightsRow(y)[x], twilight.lightsFor(s)) << x << "," << y;
        }
    }
    // The pixel-by-pixel fill that other projections use gives the same.
    UMBTwilight each(UMBTerminatorStyle::Smooth, subsolar, 191);
    each.computeEachPixel(renderer, 360, 180);
    for (int y = 0; y < 180; ++y) {
        ASSERT_EQ(0, std::memcmp(each.shadeRow(y), twilight.shadeRow(y), 360)) << y;
        ASSERT_EQ(0, std::memcmp(each.lightsRow(y), twilight.lightsRow(y), 360)) << y;
    }
}

TEST(UMBTwilightTest, TheCompositeIsTheLayersStackedForBothProjectionsAndStyles)
{
    std::optional<platform::Image> base
        = platform::Image::fromFile(testing_support::kWorldImages + "world_sm.6.jpg");
    ASSERT_TRUE(base);
    auto check = [&](auto renderer, UMBTerminatorStyle style) {
        renderer.setTerminatorStyle(style);
        renderer.setLightsimgpath(testing_support::kWorldImages + "earth_lights_sm.png");
        renderer.setSunimgpath(testing_support::kWorldImages + "sun.png");
        const platform::Point subsolar {-132.3, 23.44};
        const platform::Image fast = renderer.drawCompositeImage(*base, subsolar);
        const platform::Image layers = renderer.drawCompositeImageFromLayers(*base, subsolar);
        const platform::Bitmap a = fast.bitmap()->toRGBA(), b = layers.bitmap()->toRGBA();
        ASSERT_EQ(a.width(), b.width());
        int largest = 0;
        for (int y = 0; y < a.height(); ++y)
            for (int x = 0; x < a.width(); ++x)
                for (int c = 0; c < 4; ++c)
                    largest = std::max(
                        largest, std::abs(int(a.pixelAt(x, y)[c]) - int(b.pixelAt(x, y)[c])));
        EXPECT_LE(largest, 1) << int(style);
        // No blur: a band's level is the same from its edge on.
        const platform::Image shade = renderer.drawTerminatorLayer(subsolar);
        const uint8_t deepNight = shade.bitmap()->pixelAt(a.width() / 2, a.height() - 1)[3];
        EXPECT_EQ(deepNight, 191);
    };
    check(umb::UMBEquirectangular {1024, 512}, UMBTerminatorStyle::Bands);
    check(umb::UMBMillerCylindrical {1024, 752}, UMBTerminatorStyle::Smooth);
}

TEST(UMBTwilightTest, LightsPointsFadeByTheirOwnPlace)
{
    // White lights on the equator with the Sun over (0, 0): at h = -0.5 (day,
    // none), h = -3.4165 (half) and h = -30 (all); the blurred style keeps
    // its hard edge at h = 0.
    testing_support::TempDir dir;
    const std::string path = dir / "lights.bin";
    testing_support::writeLightsPoints(path, {{-1, 90.5f, 0}, {-1, 93.4165f, 0}, {-1, 120, 0}});
    umb::UMBEquirectangular renderer {360, 180};
    renderer.setLightsimgpath(path);
    auto alphaAt = [&](int x) {
        return testing_support::alphaAt(renderer.drawLightsLayer({0, 0}), x, 90);
    };
    EXPECT_EQ(alphaAt(270), 255);
    EXPECT_EQ(alphaAt(273), 255);
    renderer.setTerminatorStyle(UMBTerminatorStyle::Smooth);
    EXPECT_EQ(alphaAt(270), 0);
    EXPECT_NEAR(alphaAt(273), 128, 1);
    EXPECT_EQ(alphaAt(300), 255);
}
