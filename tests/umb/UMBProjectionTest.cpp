// The two renderers' state and their conversions between longitude and
// latitude and map pixels, in single precision.
#include "umb/UMBEquirectangular.h"
#include "umb/UMBMillerCylindrical.h"

#include <gtest/gtest.h>

using platform::Point;
using umb::UMBEquirectangular;
using umb::UMBMillerCylindrical;

TEST(UMBProjectionTest, TheWidgetsDefaults)
{
    UMBEquirectangular plain;
    UMBMillerCylindrical miller;
    EXPECT_EQ(Point(plain.mapwidth(), plain.mapheight()), Point(1000, 500));
    EXPECT_EQ(Point(miller.mapwidth(), miller.mapheight()), Point(1000, 734));
    EXPECT_EQ(plain.maporigin(), (Point {0, 0}));
    EXPECT_FALSE(plain.lightsimgpath() || plain.sunimgpath());
    auto defaults
        = [](const auto& r) { return r.alpha() == 0.75f && r.blurdepth() == 6 && r.flipped(); };
    EXPECT_TRUE(defaults(plain) && defaults(miller));
}

TEST(UMBProjectionTest, ResizingKeepsOriginAndSettings)
{
    UMBEquirectangular r(1000, 500);
    r.setMapwidth(2000); // new centre column, old 0.36 degrees per column
    EXPECT_FLOAT_EQ(r.geographicToPhysical(90, 0).x, 1250);
    r.setMaporigin({45, 10});
    r.setAlpha(0.3f);
    r.setDimensions(360, 180);
    EXPECT_EQ(r.maporigin(), (Point {45, 10}));
    EXPECT_EQ(r.alpha(), 0.3f);
    EXPECT_EQ(r.geographicToPhysical(46, 10), (Point {181, 90}));

    UMBMillerCylindrical m(1000, 734);
    m.setUpperLatitude(60);
    m.setDimensions(500, 300);
    EXPECT_EQ(m.geographicToPhysical(0, 0), (Point {250, 150}));
    EXPECT_NEAR(m.geographicToPhysical(0, 60).y, 0, 1e-4);
    EXPECT_NEAR(m.geographicToPhysical(0, -60).y, 300, 1e-4);
}

TEST(UMBProjectionTest, MillerColumnsAndOrigin)
{
    // Rows are tabled in umb-functions.tsv; the upper latitude changes rows only.
    UMBMillerCylindrical r(1000, 734), moved(1000, 734);
    r.setUpperLatitude(80);
    EXPECT_EQ(r.geographicToPhysical(90, 0), (Point {750, 367}));
    EXPECT_EQ(r.physicalToGeographic(500, 0).x, 0);
    moved.setMaporigin({0, 30});
    EXPECT_EQ(moved.geographicToPhysical(0, 75).y,
        UMBMillerCylindrical(1000, 734).geographicToPhysical(0, 45).y);
}

TEST(UMBProjectionTest, ConversionsAreInverse)
{
    // The equirectangular conversions are tabled in umb-functions.tsv.
    for (double bound : {90.0, 80.0, 60.0}) {
        UMBMillerCylindrical r(720, 500);
        r.setUpperLatitude(bound);
        r.setMaporigin({20, 0});
        for (float lat = -bound; lat <= bound; lat += 7.5f)
            for (float lon = -170; lon < 180; lon += 35) {
                Point p = r.geographicToPhysical(lon, lat);
                EXPECT_TRUE(p.y >= -1e-3 && p.y <= 500 + 1e-3) << lat;
                Point g = r.physicalToGeographic(float(p.x), float(p.y));
                EXPECT_NEAR(g.x, lon, 1e-3) << lon << "," << lat << " bound " << bound;
                EXPECT_NEAR(g.y, lat, 1e-3) << lon << "," << lat << " bound " << bound;
            }
    }
}
