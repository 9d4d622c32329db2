#include "umb/UMBNightMask.h"

#include <gtest/gtest.h>

#include <string>

#include "umb/UMBDefines.h"
#include "umb/UMBEquirectangular.h"
#include "umb/UMBMillerCylindrical.h"

using umb::UMBNightMask;

namespace {

// Counts the pixels where the mask and the per-pixel test of the layers
// disagree, and the night pixels the per-pixel test finds.
template<class Renderer>
std::pair<size_t, size_t> compare(const Renderer& r, platform::Point sun, int w, int h)
{
    UMBNightMask mask;
    mask.compute(r, sun, w, h);
    size_t wrong = 0, night = 0;
    for (int y = 0; y < h; ++y) {
        int rowNight = 0;
        for (int x = 0; x < w; ++x) {
            platform::Point g = r.physicalToGeographic(float(x), float(y));
            bool isNight = !umb::UMBDefines::pointIsVisible(g.x, g.y, sun.x, sun.y);
            night += isNight;
            rowNight += isNight;
            wrong += (mask.row(y)[x] == 0xFF) != isNight;
            wrong += mask.row(y)[x] != 0 && mask.row(y)[x] != 0xFF;
        }
        wrong += mask.nightCount(y) != rowNight;
    }
    return {wrong, night};
}

const platform::Point kSuns[] = {{0, 0}, {90, 0}, {-179.5, 23.44}, {37.25, -23.44}, {180, 10},
    {-0.3, 89.9}, {12.345678, 0.000001}};

} // namespace

TEST(UMBNightMaskTest, AgreesWithThePerPixelTestEverywhere)
{
    // Grids where many pixels fall exactly on the terminator (1 degree a
    // pixel) and odd sizes, with and without a moved map origin.
    struct {
        int w, h;
        platform::Point origin;
    } grids[] = {{360, 180, {0, 0}}, {1024, 512, {0, 0}}, {333, 97, {30, -20}}, {7, 3, {0, 0}}};
    for (const auto& g : grids) {
        for (platform::Point sun : kSuns) {
            umb::UMBEquirectangular e(float(g.w), float(g.h));
            e.setMaporigin(g.origin);
            auto [wrong, night] = compare(e, sun, g.w, g.h);
            EXPECT_EQ(wrong, 0u) << "equirectangular " << g.w << "x" << g.h << " sun " << sun.x;
            EXPECT_GT(night, 0u);

            umb::UMBMillerCylindrical m(float(g.w), float(g.h));
            m.setMaporigin(g.origin);
            m.setUpperLatitude(g.w == 333 ? 80.0 : 90.0);
            std::tie(wrong, night) = compare(m, sun, g.w, g.h);
            EXPECT_EQ(wrong, 0u) << "Miller " << g.w << "x" << g.h << " sun " << sun.x;
        }
    }
}

TEST(UMBNightMaskTest, KnownDayAndNightColumnsAndReuse)
{
    // 1 degree a pixel, the Sun over (0, 0): on the equator row the columns
    // of longitude -90 ... 90 (90 ... 270) are day, the terminator included.
    umb::UMBEquirectangular r(360, 180);
    UMBNightMask mask;
    mask.compute(r, {0, 0}, 360, 180);
    const uint8_t* equator = mask.row(90);
    EXPECT_EQ(equator[89], 0xFF);
    EXPECT_EQ(equator[90], 0);
    EXPECT_EQ(equator[270], 0);
    EXPECT_EQ(equator[271], 0xFF);
    EXPECT_EQ(mask.nightCount(90), 179);
    // The same object for a smaller grid and another instant: nothing of the
    // first call shows through.
    umb::UMBEquirectangular small(36, 18);
    mask.compute(small, {90, 0}, 36, 18);
    EXPECT_EQ(mask.width(), 36);
    EXPECT_EQ(compare(small, {90, 0}, 36, 18).first, 0u);
    for (int x = 18; x < 36; ++x)
        EXPECT_EQ(mask.row(9)[x], 0) << x; // longitudes 0 ... 170: day
    EXPECT_EQ(mask.row(9)[0], 0xFF); // longitude -180, 270 degrees from the Sun
}
