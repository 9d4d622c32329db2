#include "umb/UMBMillerCylindrical.h"

#include <gtest/gtest.h>

using umb::UMBMillerCylindrical;

TEST(UMBMillerCylindricalTest, DefaultsAfterCreation)
{
    UMBMillerCylindrical plain;
    EXPECT_EQ(plain.mapwidth(), 1000.0f);
    EXPECT_EQ(plain.mapheight(), 734.0f);
    EXPECT_EQ(plain.alpha(), 0.75f);
    EXPECT_EQ(plain.blurdepth(), 6);
    EXPECT_TRUE(plain.flipped());
    EXPECT_EQ(plain.maporigin(), (platform::Point {0, 0}));
    EXPECT_DOUBLE_EQ(UMBMillerCylindrical::millerOrdinate(90), 2.303412543376391);
}

TEST(UMBMillerCylindricalTest, RowsOfTheWholeWorldMap)
{
    UMBMillerCylindrical r(1000, 734);
    struct {
        float lat;
        double y, tolerance;
    } cases[] = {
        {0, 367, 0},
        {-90, 734, 1e-4},
        {45, 232.71, 0.005},
        // Not exactly 0: the conversion divides by the single-precision 0.8.
        {90, 0.0000169, 0.0000005},
    };
    for (const auto& c : cases) {
        platform::Point p = r.geographicToPhysical(0, c.lat);
        EXPECT_EQ(p.x, 500) << c.lat;
        if (c.tolerance == 0)
            EXPECT_EQ(p.y, c.y) << c.lat;
        else
            EXPECT_NEAR(p.y, c.y, c.tolerance) << c.lat;
    }
    EXPECT_GT(r.geographicToPhysical(0, 90).y, 0.0);

    // Single precision throughout: a result rounded only in double would
    // carry the tiny offset of ln(tan(pi/4)) into row 367.
    platform::Point centre = r.geographicToPhysical(0, 0);
    EXPECT_EQ(centre.y, static_cast<double>(static_cast<float>(centre.y)));

    platform::Point top = r.physicalToGeographic(500, 0);
    EXPECT_EQ(top.x, 0);
    EXPECT_FLOAT_EQ(top.y, 90);
    platform::Point bottom = r.physicalToGeographic(500, 734);
    EXPECT_FLOAT_EQ(bottom.y, -90);
}

TEST(UMBMillerCylindricalTest, LatitudesBeyondTheUpperBoundFold)
{
    UMBMillerCylindrical r(1000, 734);
    r.setUpperLatitude(80);
    EXPECT_NEAR(r.geographicToPhysical(0, 80).y, 0, 1e-4);
    EXPECT_NEAR(r.geographicToPhysical(0, 85).y, 43.07, 0.005) << "mirrored about the top edge";
    EXPECT_NEAR(r.geographicToPhysical(0, -85).y, 777.07, 0.005) << "below the bottom edge";
    EXPECT_EQ(r.geographicToPhysical(0, 0).y, 367);
    // The upper latitude changes rows only.
    EXPECT_EQ(r.geographicToPhysical(90, 0).x, 750);
}

TEST(UMBMillerCylindricalTest, ConversionsAreInverseWithinTheBounds)
{
    for (double bound : {90.0, 80.0, 60.0}) {
        UMBMillerCylindrical r(720, 500);
        r.setUpperLatitude(bound);
        r.setMaporigin({20, 0});
        for (float lat = -bound; lat <= bound; lat += 7.5f) {
            for (float lon = -170; lon < 180; lon += 35) {
                platform::Point p = r.geographicToPhysical(lon, lat);
                EXPECT_GE(p.y, -1e-3) << lat;
                EXPECT_LE(p.y, 500 + 1e-3) << lat;
                platform::Point g
                    = r.physicalToGeographic(static_cast<float>(p.x), static_cast<float>(p.y));
                EXPECT_NEAR(g.x, lon, 1e-3) << lon << "," << lat << " bound " << bound;
                EXPECT_NEAR(g.y, lat, 1e-3) << lon << "," << lat << " bound " << bound;
            }
        }
    }
}

TEST(UMBMillerCylindricalTest, OriginLatitudeIsAppliedBeforeTheFormula)
{
    UMBMillerCylindrical r(1000, 734);
    r.setMaporigin({0, 30});
    EXPECT_EQ(r.geographicToPhysical(0, 30).y, 367);
    // 30 + 45 is drawn where 45 is drawn with the origin on the equator.
    UMBMillerCylindrical plain(1000, 734);
    EXPECT_EQ(r.geographicToPhysical(0, 75).y, plain.geographicToPhysical(0, 45).y);
    EXPECT_FLOAT_EQ(r.physicalToGeographic(500, 367).y, 30);
}

TEST(UMBMillerCylindricalTest, SetDimensionsUsesTheCurrentUpperLatitude)
{
    UMBMillerCylindrical r(1000, 734);
    r.setUpperLatitude(60);
    r.setDimensions(500, 300);
    EXPECT_EQ(r.geographicToPhysical(0, 0).x, 250);
    EXPECT_EQ(r.geographicToPhysical(0, 0).y, 150);
    EXPECT_NEAR(r.geographicToPhysical(0, 60).y, 0, 1e-4);
    EXPECT_NEAR(r.geographicToPhysical(0, -60).y, 300, 1e-4);
}
