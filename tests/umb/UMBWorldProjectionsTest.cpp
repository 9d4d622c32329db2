// The three whole-world renderers (orthographic, azimuthal equidistant,
// Mollweide): Snyder's worked examples, their conversions as inverses over
// the globe, and the rows the layers read agreeing with them.
#include "umb/UMBAzimuthalEquidistant.h"
#include "umb/UMBGlobeFrame.h"
#include "umb/UMBMollweide.h"
#include "umb/UMBOrthographic.h"

#include <cmath>
#include <gtest/gtest.h>
#include <numbers>
#include <vector>

using platform::Point;
using umb::UMBAzimuthalEquidistant;
using umb::UMBMollweide;
using umb::UMBOrthographic;

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kSqrt2 = std::numbers::sqrt2;

// Snyder's x and y (north up, about the picture's centre) of a physical point.
template<class R> Point snyderXY(const R& r, Point p)
{
    return {p.x - r.mapwidth() * 0.5, r.mapheight() * 0.5 - p.y};
}

// Runs `check` with each renderer at an odd size and an off-centre origin.
template<class Check> void forEachProjection(Check check)
{
    UMBOrthographic o(301, 257);
    o.setMaporigin({-75, 52});
    check(o, "orthographic");
    UMBAzimuthalEquidistant a(257, 301);
    a.setMaporigin({139.7, 35.7});
    check(a, "azimuthal");
    UMBMollweide m(400, 260);
    m.setMaporigin({-100, 0});
    check(m, "mollweide");
}

} // namespace

TEST(UMBWorldProjectionsTest, SnydersWorkedExamples)
{
    // USGS PP 1395, the spherical examples of sections 20 and 25: centre
    // 40 N, 100 W. A disc of radius 1 (orthographic, R = 1) and of pi R
    // (azimuthal, R = 3) puts Snyder's units on pixels.
    UMBOrthographic o(2, 2);
    o.setMaporigin({-100, 40});
    Point p = snyderXY(o, o.geographicToPhysical(-110, 30));
    EXPECT_NEAR(p.x, -0.1503837, 1e-7);
    EXPECT_NEAR(p.y, -0.1651911, 1e-7);

    const float side = float(6 * kPi);
    UMBAzimuthalEquidistant a(side, side);
    a.setMaporigin({-100, 40});
    p = snyderXY(a, a.geographicToPhysical(100, -20));
    EXPECT_NEAR(p.x, -5.8311398, 1e-5);
    EXPECT_NEAR(p.y, 5.5444634, 1e-5);

    // Mollweide (section 31): the auxiliary angle solves 2t + sin 2t =
    // pi sin(phi); the ellipse is 2 sqrt 2 R by sqrt 2 R about its centre.
    for (double lat : {-89.9, -35.0, 0.0, 10.0, 60.0, 89.999}) {
        const double t = UMBMollweide::auxiliaryAngle(lat * kPi / 180);
        EXPECT_NEAR(2 * t + std::sin(2 * t), kPi * std::sin(lat * kPi / 180), 1e-12) << lat;
    }
    UMBMollweide m(float(4 * kSqrt2), float(2 * kSqrt2)); // R = 1
    m.setMaporigin({-90, 0});
    const struct {
        float lon, lat;
        double x, y;
    } ends[] = {{90, 0, 2 * kSqrt2, 0}, {-90, 0, 0, 0}, {0, 90, 0, kSqrt2}, {-90, -90, 0, -kSqrt2},
        {-270, 0, -2 * kSqrt2, 0}};
    for (auto e : ends) {
        p = snyderXY(m, m.geographicToPhysical(e.lon, e.lat));
        EXPECT_NEAR(p.x, e.x, 1e-6) << e.lon << "," << e.lat;
        EXPECT_NEAR(p.y, e.y, 1e-6) << e.lon << "," << e.lat;
    }
}

TEST(UMBWorldProjectionsTest, ConversionsAreInverseOnTheGlobeAndNaNOffIt)
{
    forEachProjection([](const auto& r, const char* name) {
        int inside = 0;
        for (float y = 0.5f; y < r.mapheight(); y += 7.25f)
            for (float x = 0.5f; x < r.mapwidth(); x += 6.5f) {
                const Point g = r.physicalToGeographic(x, y);
                if (std::isnan(g.x)) {
                    EXPECT_TRUE(std::isnan(g.y));
                    continue;
                }
                ++inside;
                EXPECT_TRUE(g.x >= -180 && g.x <= 180 && g.y >= -90 && g.y <= 90);
                const Point back = r.geographicToPhysical(float(g.x), float(g.y));
                EXPECT_NEAR(back.x, x, 2e-3) << name << " " << x << "," << y;
                EXPECT_NEAR(back.y, y, 2e-3) << name << " " << x << "," << y;
            }
        // The disc or ellipse fills pi / 4 of its bounding box.
        EXPECT_GT(inside, 500) << name;
        const Point corner = r.physicalToGeographic(1, 1);
        EXPECT_TRUE(std::isnan(corner.x)) << name;
        // The map origin's meridian runs up the middle at the centre.
        const Point centre = r.physicalToGeographic(r.mapwidth() / 2, r.mapheight() / 2);
        EXPECT_NEAR(centre.x, r.maporigin().x, 1e-4) << name;
    });
    // The orthographic hides the far hemisphere; the azimuthal puts the
    // antipode on its rim.
    UMBOrthographic o(200, 200);
    o.setMaporigin({10, 20});
    EXPECT_TRUE(std::isnan(o.geographicToPhysical(-170, -20).x));
    UMBAzimuthalEquidistant a(200, 100);
    a.setMaporigin({10, 20});
    const Point rim = a.geographicToPhysical(-170, -20);
    EXPECT_NEAR(std::hypot(rim.x - 100, rim.y - 50), 50, 1e-3);
}

TEST(UMBWorldProjectionsTest, RowsAgreeWithTheConversionsAndTheSunsAltitude)
{
    const Point sun {-30, 17};
    const umb::UMBVector3 s = umb::UMBGlobeFrame::earthVector(sun.x, sun.y);
    forEachProjection([&](const auto& r, const char* name) {
        const size_t n = size_t(r.mapwidth());
        const int w = int(n);
        std::vector<double> lon(n), lat(n), sine(n);
        std::vector<uint8_t> cover(n);
        for (int y = 3; y < int(r.mapheight()); y += 11) {
            r.geographicRow(y, 0.5f, 0.5f, lon.data(), lat.data());
            r.sineOfAltitudeRow(y, 0.5f, 0.5f, sun, sine.data());
            r.coverageRow(y, cover.data());
            for (int x = 0; x < w; ++x) {
                const Point g = r.physicalToGeographic(x + 0.5f, y + 0.5f);
                if (std::isnan(g.x)) {
                    EXPECT_TRUE(std::isnan(lon[size_t(x)])) << name;
                    EXPECT_LT(cover[size_t(x)], 128) << name << " " << x << "," << y;
                    continue;
                }
                EXPECT_GE(cover[size_t(x)], 128) << name << " " << x << "," << y;
                EXPECT_NEAR(lon[size_t(x)], g.x, 1e-6) << name;
                EXPECT_NEAR(lat[size_t(x)], g.y, 1e-6) << name;
                const double expected
                    = umb::UMBGlobeFrame::dot(umb::UMBGlobeFrame::earthVector(g.x, g.y), s);
                EXPECT_NEAR(sine[size_t(x)], expected, 1e-9) << name << " " << x << "," << y;
            }
            // Across the outline the sines run on without a step (a blur
            // there must not see one).
            for (int x = 1; x < w; ++x)
                EXPECT_LT(std::fabs(sine[size_t(x)] - sine[size_t(x - 1)]), 0.1)
                    << name << " " << x << "," << y;
        }
    });
}
