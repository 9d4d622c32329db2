#include "umb/UMBDefines.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using umb::UMBDefines;

TEST(UMBDefinesTest, VisibilityIsTheGeometricHorizon)
{
    struct {
        double lon1, lat1, lon2, lat2;
        bool visible;
    } cases[] = {
        {0, 0, 0, 0, true},
        {0, 0, 90, 0, true}, // exactly 90 degrees apart counts as visible
        {0, 0, 90.001, 0, false},
        {0, 0, 180, 0, false},
        {0, 90, 0, 0, true}, // the pole sees the equatorial Sun on its horizon
        {0, 66.6, 0, 23.4, true},
        {180, 70, 0, 23.4, true}, // midnight sun
        {180, 60, 0, 23.4, false},
        {10, -12, 10, -12, true}, // rounds just above 1 unclamped
        {-75, 40, -75.0000001, 40, true},
        {0, NAN, 0, 0, false},
    };
    for (auto c : cases) {
        EXPECT_EQ(UMBDefines::pointIsVisible(c.lon1, c.lat1, c.lon2, c.lat2), c.visible)
            << "(" << c.lon1 << ", " << c.lat1 << ") sees (" << c.lon2 << ", " << c.lat2 << ")";
    }
}

TEST(UMBDefinesTest, VisibilityIsSymmetricAndHoldsForEveryPointUnderItsOwnZenith)
{
    // A coarse sweep of the globe, with fractions that exercise rounding.
    for (double lat1 = -90; lat1 <= 90; lat1 += 7.3) {
        for (double lon1 = -180; lon1 <= 180; lon1 += 11.7) {
            EXPECT_TRUE(UMBDefines::pointIsVisible(lon1, lat1, lon1, lat1)) << lon1 << ", " << lat1;
            for (double dlon : {-170.3, -89.99, 0.5, 90.0, 120.25}) {
                double lon2 = lon1 + dlon;
                double lat2 = -lat1 * 0.5 + 3.1;
                EXPECT_EQ(UMBDefines::pointIsVisible(lon1, lat1, lon2, lat2),
                    UMBDefines::pointIsVisible(lon2, lat2, lon1, lat1))
                    << lon1 << ", " << lat1 << " / " << lon2 << ", " << lat2;
            }
        }
    }
}

TEST(UMBDefinesTest, RangeReducesByDivisionNotSteps)
{
    struct {
        double in, out;
    } cases[] = {{-30, 330}, {720, 0}, {-360, 0}, {370, 9.999999999999964}, {0, 0}, {359.5, 359.5}};
    for (auto c : cases)
        EXPECT_EQ(umb::range(c.in), c.out) << c.in;
}

TEST(UMBDefinesTest, SteppingReductionsKeepTheUpperEndPoint)
{
    struct {
        double in, out;
    } degrees[] = {{360, 360}, {-360, 0}, {725, 5}, {720, 360}, {-1, 359}, {0, 0}, {3.6e9, 360},
        {-3.6e9, 0}, {3.6e9 + 10, 10}, {1e300, 360}}; // 1e300 is a whole number of turns
    for (auto c : degrees)
        EXPECT_DOUBLE_EQ(umb::range360(c.in), c.out) << c.in;
    struct {
        double in, out;
    } hours[] = {{-1, 23}, {24, 24}, {25, 1}, {48, 24}, {-24, 0}, {2.4e8 + 1, 1}};
    for (auto c : hours)
        EXPECT_DOUBLE_EQ(umb::range24(c.in), c.out) << c.in;
    for (double bad : {INFINITY, -INFINITY, NAN}) {
        EXPECT_TRUE(std::isnan(umb::range360(bad))) << bad;
        EXPECT_TRUE(std::isnan(umb::range24(bad))) << bad;
    }
}

TEST(UMBDefinesTest, TruncationAndDecimalRounding)
{
    struct {
        double in, out;
    } truncations[] = {{-2.5, -2}, {2.5, 2}, {0, 0}, {-0.9, 0}};
    for (auto c : truncations)
        EXPECT_EQ(umb::ipart(c.in), c.out) << c.in;
    struct {
        double value;
        int32_t places;
        double out;
    } roundings[] = {{3.14159, 2, 3.14}, {2.5, 0, 3}, {-0.5, 0, -1}, {1234.5, -2, 1200},
        {-1250, -2, -1300}, {1.005, 2, 1.0}}; // 1.005 is stored a hair below
    for (auto c : roundings)
        EXPECT_EQ(umb::roundDecimal(c.value, c.places), c.out) << c.value << " to " << c.places;
}

TEST(UMBDefinesTest, DegreeTrigonometryAndConversions)
{
    const double pi = 3.141592653589793;
    struct {
        const char* what;
        double got, want;
    } cases[] = {
        {"datan2(1, -1)", umb::datan2(1, -1), 135},
        {"datan2(-1, -1)", umb::datan2(-1, -1), -135},
        {"hrrad(12)", umb::hrrad(12), pi},
        {"radhr(pi)", umb::radhr(pi), 12},
        {"deghr(-15)", umb::deghr(-15), -1},
        {"hrdeg(1.5)", umb::hrdeg(1.5), 22.5},
        {"degrad(180)", umb::degrad(180), pi},
        {"raddeg(pi/2)", umb::raddeg(pi / 2), 90},
        {"dsin(30)", umb::dsin(30), 0.5},
        {"dcos(60)", umb::dcos(60), 0.5},
        {"dtan(45)", umb::dtan(45), 1},
        {"dasin(0.5)", umb::dasin(0.5), 30},
        {"dacos(0.5)", umb::dacos(0.5), 60},
        {"datan(1)", umb::datan(1), 45},
    };
    for (auto c : cases)
        EXPECT_NEAR(c.got, c.want, 1e-12) << c.what;
    EXPECT_TRUE(std::isnan(umb::dasin(1.5)));
    EXPECT_TRUE(std::isnan(umb::dacos(-1.5)));
}
