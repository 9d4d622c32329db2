// The renderers' layers: night mask, shade, lights, sun, grid, centring and
// the composite stacked from them.
#include "umb/UMBDefines.h"
#include "umb/UMBEquirectangular.h"
#include "umb/UMBImageOps.h"
#include "umb/UMBMillerCylindrical.h"
#include "umb/UMBNightMask.h"

#include "support/TempDir.h"
#include "support/UmbFixtures.h"

#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <limits>
#include <optional>

using platform::Bitmap;
using platform::Image;
using platform::Point;
using testing_support::alphaAt;
using testing_support::litPixels;
using testing_support::solid;
using testing_support::TempDir;
using umb::UMBEquirectangular;
using umb::UMBMillerCylindrical;

namespace {

std::string savePng(const TempDir& dir, const std::string& name, const Image& image)
{
    std::string path = dir / name;
    EXPECT_TRUE(umb::UMBImageOps::saveImage(image, path));
    return path;
}

// Pixels where the mask and the per-pixel test disagree, night pixels found.
template<class Renderer>
std::pair<size_t, size_t> maskErrors(umb::UMBNightMask& mask, const Renderer& r, Point sun)
{
    const int w = int(r.mapwidth()), h = int(r.mapheight());
    mask.compute(r, sun, w, h);
    size_t wrong = 0, night = 0;
    for (int y = 0; y < h; ++y) {
        int rowNight = 0;
        for (int x = 0; x < w; ++x) {
            Point g = r.physicalToGeographic(float(x), float(y));
            bool isNight = !umb::UMBDefines::pointIsVisible(g.x, g.y, sun.x, sun.y);
            rowNight += isNight;
            wrong += mask.row(y)[x] != (isNight ? 0xFF : 0);
        }
        night += size_t(rowNight);
        wrong += mask.nightCount(y) != rowNight;
    }
    return {wrong, night};
}

} // namespace

TEST(UMBMapLayersTest, NightMaskAgreesWithThePerPixelTest)
{
    // Grids where many pixels fall exactly on the terminator (1 degree a
    // pixel) and odd sizes, with and without a moved origin; one mask object
    // reused for all, smaller grids after larger ones.
    umb::UMBNightMask mask;
    const Point suns[] = {{0, 0}, {-179.5, 23.44}, {180, 10}, {-0.3, 89.9}, {12.345678, 0.000001}};
    struct {
        int w, h;
        Point origin;
    } grids[] = {{1024, 512, {0, 0}}, {360, 180, {0, 0}}, {333, 97, {30, -20}}, {7, 3, {0, 0}}};
    for (const auto& g : grids)
        for (Point sun : suns) {
            UMBEquirectangular e(float(g.w), float(g.h));
            UMBMillerCylindrical m(float(g.w), float(g.h));
            e.setMaporigin(g.origin);
            m.setMaporigin(g.origin);
            m.setUpperLatitude(g.w == 333 ? 80.0 : 90.0);
            auto [wrong, night] = maskErrors(mask, e, sun);
            EXPECT_EQ(wrong, 0u) << "equirectangular " << g.w << "x" << g.h << " sun " << sun.x;
            EXPECT_GT(night, 0u);
            EXPECT_EQ(maskErrors(mask, m, sun).first, 0u) << "Miller " << g.w << " sun " << sun.x;
        }
}

TEST(UMBMapLayersTest, ShadeIsARampAcrossTheTerminatorAtTheGivenOpacity)
{
    UMBEquirectangular r(360, 180);
    Image shade = r.drawTerminatorLayer({0, 0});
    // First night column on the right: 271. Deep night 191 (0.75 x 255),
    // 12 intermediate columns, 14 at c - 6 (191 / 13); black throughout.
    const int c = 271, y = 90;
    for (int x = 100; x < 353; ++x) {
        const int a = alphaAt(shade, x, y);
        if (x < c - 6)
            EXPECT_EQ(a, 0) << x;
        else if (x > c + 5)
            EXPECT_EQ(a, 191) << x;
        else
            EXPECT_TRUE(a > alphaAt(shade, x - 1, y) && a < 191) << x;
    }
    EXPECT_EQ(alphaAt(shade, c - 6, y), 14);
    const uint8_t* deep = shade.bitmap()->pixelAt(320, y);
    EXPECT_EQ(deep[0] | deep[1] | deep[2], 0);
    // Opacities outside 0..1 are clamped, not wrapped.
    for (auto [alpha, deepNight] : {std::pair {0.0f, 0}, {1.0f, 255}, {7.5f, 255}, {-1.0f, 0}}) {
        r.setAlpha(alpha);
        Image layer = r.drawTerminatorLayer({0, 0});
        EXPECT_EQ(alphaAt(layer, 320, y), deepNight) << alpha;
        EXPECT_EQ(litPixels(layer) == 0, deepNight == 0) << alpha;
    }
}

TEST(UMBMapLayersTest, LightsFromAPictureOnlyOnTheNightSide)
{
    TempDir dir;
    UMBEquirectangular r(360, 180);
    // Half-transparent orange lights keep their own alpha, premultiplied.
    r.setLightsimgpath(savePng(dir, "lights.png", solid(360, 180, 255, 128, 0, 128)));
    Image equinox = r.drawLightsLayer({0, 0});
    for (int y : {0, 90, 179})
        for (int x = 0; x < 360; ++x) {
            const uint8_t* p = equinox.bitmap()->pixelAt(x, y);
            bool night = x < 90 || x > 270; // longitudes -90 and 90 count as day
            EXPECT_EQ(p[3], night ? 128 : 0) << x << "," << y;
            EXPECT_EQ(p[0], night ? 128 : 0) << x << "," << y;
        }
    // A smaller picture: night pixels without a source pixel stay clear.
    r.setLightsimgpath(savePng(dir, "small.png", solid(40, 20, 255, 255, 255)));
    Image small = r.drawLightsLayer({0, 0});
    EXPECT_EQ(litPixels(small), 40 * 20);
    EXPECT_EQ(alphaAt(small, 39, 19), 255);
    r.setLightsimgpath(dir / "missing.png");
    Image missing = r.drawLightsLayer({0, 0});
    EXPECT_EQ(missing.bitmap()->width(), 360);
    EXPECT_EQ(litPixels(missing), 0);
}

TEST(UMBMapLayersTest, LightsPointFilePlotsWholeRecordsOnTheGridsNightSide)
{
    TempDir dir;
    UMBEquirectangular r(360, 180);
    const int32_t red = int32_t(0xFFFF0000u), green = int32_t(0xFF00FF00u);
    const float inf = std::numeric_limits<float>::infinity(),
                nan = std::numeric_limits<float>::quiet_NaN();
    const float big = std::numeric_limits<float>::max();
    const std::string path = dir / "lights.PNG"; // not ".png": a point file
    testing_support::writeLightsPoints(path,
        {{red, -120.5f, 10.2f}, // night: pixel (59, 79)
            {red, 10.0f, 10.0f}, // day: skipped
            {red, 90.0f, 0.0f}, // on the terminator: day
            {red, -150.0f, -30.0f}, {green, -150.0f, -30.0f}, // the later record wins
            {red, 180.0f, -30.0f}, // x = mapwidth: off the grid
            // values no map has; their breadth is the fuzz corpora's
            {red, nan, 0}, {red, -120, -inf}, {red, big, 10}, {red, -big, 10}, {red, -120, big},
            {red, 7e9f, 0}},
        5); // and a partial record, which is ignored
    r.setLightsimgpath(path);
    Image lights = r.drawLightsLayer({0, 0});
    EXPECT_EQ(litPixels(lights), 2);
    EXPECT_EQ(lights.bitmap()->pixelAt(59, 79)[0], 255);
    EXPECT_EQ(lights.bitmap()->pixelAt(30, 120)[1], 255);
    EXPECT_EQ(lights.bitmap()->pixelAt(30, 120)[0], 0);
    for (size_t extra : {0u, 5u, 11u}) {
        testing_support::writeLightsPoints(path, {}, extra);
        EXPECT_EQ(litPixels(r.drawLightsLayer({0, 0})), 0) << extra;
    }
}

TEST(UMBMapLayersTest, SunWrapsRoundTheSideEdgesAtItsMarkerSize)
{
    TempDir dir;
    UMBEquirectangular r(1000, 500);
    r.setSunimgpath(savePng(dir, "sun.png", solid(64, 64, 255, 255, 0)));
    // At 179.9 the sun is centred on x = 999.72: half of it past the right
    // edge, which comes back at the left. The whole disc shows, in two parts.
    const struct {
        float lon;
        std::optional<double> marker;
        int left, right, lit; // lit columns at each edge on the sun's row, pixels lit
    } cases[] = {{179.9f, {}, 32, 32, 64 * 64}, {-179.9f, {}, 32, 32, 64 * 64},
        {179.9f, 16.0, 8, 8, 16 * 16}, {0.0f, 16.0, 0, 0, 16 * 16}};
    for (auto c : cases) {
        r.setMarkerSize(c.marker);
        Image sun = r.drawSunLayer({c.lon, 10});
        int left = 0, right = 0;
        for (int x = 0; x < 40; ++x) {
            left += alphaAt(sun, x, 222) == 255;
            right += alphaAt(sun, 999 - x, 222) == 255;
        }
        EXPECT_NEAR(left, c.left, 1) << c.lon;
        EXPECT_NEAR(right, c.right, 1) << c.lon;
        EXPECT_NEAR(litPixels(sun), c.lit, 2 * (c.marker ? *c.marker : 64) + 4) << c.lon;
    }
    r.setSunimgpath(dir / "none.png");
    EXPECT_EQ(litPixels(r.drawSunLayer({-179, 10})), 0);
}

TEST(UMBMapLayersTest, GridLinesOnTheirColumnsAndRows)
{
    UMBEquirectangular r(360, 180);
    Image grid = r.drawGridLayer(15, 10);
    // Meridians every 15 columns, 0 and 360 on one column, 180 on the right
    // edge just outside; parallels every 10 rows, the south pole just below.
    for (int x = 0; x < 360; ++x)
        EXPECT_EQ(alphaAt(grid, x, 5) != 0, x % 15 == 0 && x != 0) << x;
    for (int y = 0; y < 180; ++y)
        EXPECT_EQ(alphaAt(grid, 7, y) != 0, y % 10 == 0) << y;
    const uint8_t* line = grid.bitmap()->pixelAt(180, 5);
    EXPECT_EQ(line[3], 64); // black at 25 %, no antialiasing
    EXPECT_EQ(line[0] | line[1] | line[2], 0);
    for (auto [a, c] : {std::pair {0, 10}, {15, 0}, {-30, 10}})
        EXPECT_EQ(litPixels(r.drawGridLayer(a, c)), 0) << a << "," << c;

    // On Miller's map the parallels sit on Miller's rows.
    UMBMillerCylindrical m(360, 264);
    Image miller = m.drawGridLayer(30, 30);
    for (int lat : {-60, -30, 0, 30, 60}) {
        int row = int(m.geographicToPhysical(0, float(lat)).y);
        EXPECT_TRUE(
            alphaAt(miller, 7, row) || alphaAt(miller, 7, row - 1) || alphaAt(miller, 7, row + 1))
            << lat;
    }
}

TEST(UMBMapLayersTest, CentringMovesColumnsAndRowsWithWrapAround)
{
    // Each source pixel tells where it came from: red = column / 2, green = row.
    auto labelled = [] {
        Bitmap b(360, 180);
        for (int y = 0; y < 180; ++y)
            for (int x = 0; x < 360; ++x) {
                uint8_t* p = b.pixelAt(x, y);
                p[0] = uint8_t(x / 2);
                p[1] = uint8_t(y);
                p[3] = 255;
            }
        return Image(std::move(b));
    };
    auto from = [](const Image& image, int x, int y) {
        const uint8_t* p = image.bitmap()->pixelAt(x, y);
        return std::pair {p[0] * 2, int(p[1])};
    };
    struct {
        Point origin;
        int x, y, fromX, fromY;
    } cases[] = {{{90, 0}, 0, 7, 90, 7}, {{90, 0}, 270, 7, 0, 7}, {{90, 0}, 180, 7, 270, 7},
        {{-90, 0}, 0, 0, 270, 0}, {{0, 45}, 10, 0, 10, 135}, {{0, 45}, 10, 45, 10, 0}};
    for (auto c : cases) {
        UMBEquirectangular centred(360, 180);
        EXPECT_EQ(
            from(centred.centerImage(labelled(), c.origin), c.x, c.y), std::pair(c.fromX, c.fromY))
            << c.origin.x << "," << c.origin.y << " at " << c.x << "," << c.y;
        EXPECT_EQ(centred.maporigin(), c.origin);
    }
    UMBEquirectangular r(360, 180), turned(360, 180);
    Image east = r.centerImage(labelled(), {90, 0});
    // Once centred, the same origin leaves the picture as it is.
    Image again = r.centerImage(east.clone(), {90, 0});
    EXPECT_EQ(
        std::memcmp(again.bitmap()->data(), east.bitmap()->data(), east.bitmap()->byteCount()), 0);
    // (0, 0) hands the picture back and keeps the origin.
    Image same = labelled();
    const uint8_t* pixels = same.bitmap()->data();
    EXPECT_EQ(r.centerImage(std::move(same), {0, 0}).bitmap()->data(), pixels);
    EXPECT_EQ(r.maporigin(), (Point {90, 0}));

    // The layers follow the new origin: with longitude 180 at the centre, the
    // night side of a Sun over longitude 0 is in the middle.
    turned.centerImage(labelled(), {180, 0});
    Image shade = turned.drawTerminatorLayer({0, 0});
    EXPECT_EQ(alphaAt(shade, 180, 90), 191);
    EXPECT_EQ(alphaAt(shade, 10, 90), 0);
}

TEST(UMBMapLayersTest, CompositeStacksTheLayersUpright)
{
    TempDir dir;
    // Base map: red top half, blue bottom half.
    Bitmap base(360, 180);
    for (int y = 0; y < 180; ++y)
        for (int x = 0; x < 360; ++x)
            base.setColorAt(x, y, platform::Color::deviceRGB(y < 90, 0, y >= 90, 1));
    const Image map(std::move(base));
    auto rgba = [](const Image& image, int x, int y) {
        const uint8_t* p = image.bitmap()->pixelAt(x, y);
        return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
    };
    UMBEquirectangular r(360, 180);
    r.setAlpha(0);
    Image plain = r.drawCompositeImage(map, {0, 0});
    EXPECT_EQ(rgba(plain, 20, 10), 0xFF0000FFu);
    EXPECT_EQ(rgba(plain, 20, 170), 0x0000FFFFu);
    r.setAlpha(1);
    r.setLightsimgpath(savePng(dir, "lights.png", solid(360, 180, 255, 255, 255)));
    r.setSunimgpath(savePng(dir, "sun.png", solid(8, 8, 0, 255, 0)));
    Image dark = r.drawCompositeImage(map, {0, 0});
    EXPECT_EQ(rgba(dark, 20, 10), 0xFFFFFFFFu); // the lights over the black shade
    EXPECT_EQ(rgba(dark, 120, 10), 0xFF0000FFu); // day
    EXPECT_EQ(rgba(dark, 180, 90), 0x00FF00FFu); // the sun
    r.setLightsimgpath(std::nullopt);
    EXPECT_EQ(rgba(r.drawCompositeImage(map, {0, 0}), 20, 10), 0x000000FFu);
    // A base map of twice the size is drawn scaled to the canvas.
    r.setAlpha(0);
    Image scaled = r.drawCompositeImage(solid(720, 360, 0, 0, 255), {0, 0});
    EXPECT_EQ(scaled.bitmap()->width(), 360);
    EXPECT_EQ(rgba(scaled, 359, 179), 0x0000FFFFu);

    // Saving writes a PNG that reads back, or nothing: no folder, no picture.
    UMBMillerCylindrical m(360, 264);
    EXPECT_TRUE(m.saveImage(plain, dir / "out.png"));
    EXPECT_EQ(Image::fromFile(dir / "out.png")->bitmap()->colorAt(20, 170),
        plain.bitmap()->colorAt(20, 170));
    EXPECT_FALSE(m.saveImage(plain, dir / "no/such/folder/out.png"));
    EXPECT_FALSE(m.saveImage(Image(), dir / "empty.png"));
    EXPECT_FALSE(std::filesystem::exists(dir / "empty.png"));
}
