#include "umb/UMBTwilight.h"

#include "support/TempDir.h"
#include "support/UmbFixtures.h"
#include "umb/UMBEquirectangular.h"
#include "umb/UMBMillerCylindrical.h"
#include "umb/UMBOrthographic.h"

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
    const UMBTwilight bands(UMBTerminatorStyle::Bands, {0, 0}, 200);
    const UMBTwilight smooth(UMBTerminatorStyle::Smooth, {0, 0}, 200);
    for (const auto& row : testing_support::dataTable("twilight-levels.tsv")) {
        const double s = sinDegrees(std::stod(row.at(0)));
        EXPECT_EQ(bands.shadeFor(s), std::stoi(row.at(1))) << row[0];
        EXPECT_NEAR(smooth.shadeFor(s), std::stoi(row.at(2)), 1) << row[0];
        EXPECT_NEAR(smooth.lightsFor(s), std::stoi(row.at(3)), 1) << row[0];
        EXPECT_EQ(bands.lightsFor(s), smooth.lightsFor(s)) << row[0];
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

TEST(UMBTwilightTest, AGlobesRowsAreEachTheirOwn)
{
    // The Sun behind the globe: every pixel of the disc is deep night.
    const umb::UMBOrthographic globe {200, 200};
    UMBTwilight twilight(UMBTerminatorStyle::Bands, {180, 0}, 191);
    twilight.compute(globe, 200, 200);
    for (int y : {20, 100, 180})
        EXPECT_EQ(twilight.shadeRow(y)[100], 191) << y;
}

TEST(UMBTwilightTest, TheShadeIsNotBlurred)
{
    // A band's level is the same from its edge on; the composite built in
    // one bitmap matches these layers (UMBCompositeBuilderTest).
    auto deepNight = [](auto renderer, UMBTerminatorStyle style) {
        renderer.setTerminatorStyle(style);
        const platform::Image shade = renderer.drawTerminatorLayer({-132.3, 23.44});
        return testing_support::alphaAt(shade, 512, shade.bitmap()->height() - 1);
    };
    EXPECT_EQ(deepNight(umb::UMBEquirectangular {1024, 512}, UMBTerminatorStyle::Bands), 191);
    EXPECT_EQ(deepNight(umb::UMBMillerCylindrical {1024, 752}, UMBTerminatorStyle::Smooth), 191);
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
