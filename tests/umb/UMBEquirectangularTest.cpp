#include "umb/UMBEquirectangular.h"

#include <gtest/gtest.h>

using umb::UMBEquirectangular;

TEST(UMBEquirectangularTest, DefaultsAfterCreation)
{
    UMBEquirectangular plain;
    EXPECT_EQ(plain.mapwidth(), 1000.0f);
    EXPECT_EQ(plain.mapheight(), 500.0f);
    UMBEquirectangular r(360, 180);
    EXPECT_EQ(r.mapwidth(), 360.0f);
    EXPECT_EQ(r.mapheight(), 180.0f);
    EXPECT_EQ(r.alpha(), 0.75f);
    EXPECT_EQ(r.blurdepth(), 6);
    EXPECT_TRUE(r.flipped());
    EXPECT_EQ(r.maporigin(), (platform::Point {0, 0}));
    EXPECT_FALSE(r.lightsimgpath().has_value());
    EXPECT_FALSE(r.sunimgpath().has_value());
}

TEST(UMBEquirectangularTest, GeographicToPhysicalPublishedPoints)
{
    struct {
        float lon, lat;
        platform::Point origin;
        double x, y;
    } cases[] = {
        {0, 0, {0, 0}, 500, 250},
        {-180, 90, {0, 0}, 0, 0},
        {180, -90, {0, 0}, 1000, 500}, // one past the last pixel each way
        {-170, 0, {30, 0}, 500 + 160 / 0.36, 250}, // offset -200 wraps to 160
        {200, 0, {30, 0}, 500 + 170 / 0.36, 250}, // offset 170 is not wrapped
        {600, 0, {0, 0}, 500 + 240 / 0.36, 250}, // wrapped once only, to 240
        {0, 100, {0, 0}, 500, (90 + 80) / 0.36}, // shifted by 180, not reflected
        {0, -100, {0, 0}, 500, (90 - 80) / 0.36},
    };
    for (const auto& c : cases) {
        UMBEquirectangular r(1000, 500);
        r.setMaporigin(c.origin);
        platform::Point p = r.geographicToPhysical(c.lon, c.lat);
        EXPECT_FLOAT_EQ(p.x, c.x) << c.lon << "," << c.lat << " origin " << c.origin.x;
        EXPECT_FLOAT_EQ(p.y, c.y) << c.lon << "," << c.lat << " origin " << c.origin.x;
        // Results are single-precision values widened to double.
        EXPECT_EQ(p.x, static_cast<double>(static_cast<float>(p.x))) << c.lon << "," << c.lat;
        EXPECT_EQ(p.y, static_cast<double>(static_cast<float>(p.y))) << c.lon << "," << c.lat;
    }
}

TEST(UMBEquirectangularTest, PhysicalToGeographicPublishedPoints)
{
    struct {
        float x, y;
        platform::Point origin;
        double lon, lat;
    } cases[] = {
        {0, 0, {0, 0}, -180, 90}, {500, 250, {0, 0}, 0, 0}, {1000, 500, {0, 0}, 180, -90},
        {500, 250, {30, 20}, 30, 20}, {0, 250, {30, 0}, -150, 0}, {900, 250, {30, 0}, 174, 0},
        {950, 250, {30, 0}, -168, 0}, // 192 wraps to -168
        {500, 0, {0, 20}, 0, -70}, // 110 is shifted to -70
    };
    for (const auto& c : cases) {
        UMBEquirectangular r(1000, 500);
        r.setMaporigin(c.origin);
        platform::Point g = r.physicalToGeographic(c.x, c.y);
        EXPECT_FLOAT_EQ(g.x, c.lon) << c.x << "," << c.y;
        EXPECT_FLOAT_EQ(g.y, c.lat) << c.x << "," << c.y;
        EXPECT_EQ(g.x, static_cast<double>(static_cast<float>(g.x))) << "not single precision";
    }
}

TEST(UMBEquirectangularTest, OneDegreePerPixelRoundTrips)
{
    UMBEquirectangular r(360, 180);
    for (int lon = -180; lon < 180; lon += 7) {
        for (int lat = -90; lat <= 90; lat += 5) {
            platform::Point p = r.geographicToPhysical(lon, lat);
            EXPECT_EQ(p.x, lon + 180.0) << lon << "," << lat;
            EXPECT_EQ(p.y, 90.0 - lat) << lon << "," << lat;
            platform::Point g
                = r.physicalToGeographic(static_cast<float>(p.x), static_cast<float>(p.y));
            EXPECT_EQ(g.x, lon) << lon << "," << lat;
            EXPECT_EQ(g.y, lat) << lon << "," << lat;
        }
    }
}

TEST(UMBEquirectangularTest, SettingTheWidthAloneKeepsTheScale)
{
    UMBEquirectangular r(1000, 500);
    r.setMapwidth(2000);
    // New centre column, old 0.36 degrees per column.
    EXPECT_FLOAT_EQ(r.geographicToPhysical(0, 0).x, 1000);
    EXPECT_FLOAT_EQ(r.geographicToPhysical(90, 0).x, 1250);
    r.setDimensions(2000, 500);
    EXPECT_FLOAT_EQ(r.geographicToPhysical(90, 0).x, 1500);
}

TEST(UMBEquirectangularTest, SetDimensionsKeepsTheOriginAndSettings)
{
    UMBEquirectangular r(1000, 500);
    r.setMaporigin({45, 10});
    r.setAlpha(0.3f);
    r.setDimensions(360, 180);
    EXPECT_EQ(r.maporigin(), (platform::Point {45, 10}));
    EXPECT_EQ(r.alpha(), 0.3f);
    EXPECT_EQ(r.geographicToPhysical(45, 10).x, 180);
    EXPECT_EQ(r.geographicToPhysical(45, 10).y, 90);
    EXPECT_EQ(r.geographicToPhysical(46, 10).x, 181);
}

TEST(UMBEquirectangularTest, PropertiesAreStoredAsGiven)
{
    UMBEquirectangular r;
    r.setLightsimgpath("/x/lights.png");
    r.setSunimgpath("/x/sun.png");
    r.setBlurdepth(-3);
    r.setFlipped(false);
    r.setAlpha(1.5f);
    EXPECT_EQ(r.lightsimgpath(), "/x/lights.png");
    EXPECT_EQ(r.sunimgpath(), "/x/sun.png");
    EXPECT_EQ(r.blurdepth(), -3);
    EXPECT_FALSE(r.flipped());
    EXPECT_EQ(r.alpha(), 1.5f);
}
