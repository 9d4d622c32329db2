#include "umb/UMBEquirectangular.h"
#include "umb/UMBImageOps.h"
#include "umb/UMBMillerCylindrical.h"

#include "support/TempDir.h"

#include <cstring>
#include <fstream>
#include <gtest/gtest.h>

using platform::Bitmap;
using platform::Image;
using platform::Point;
using umb::UMBEquirectangular;
using umb::UMBMillerCylindrical;

namespace {

// A picture of `w` x `h` pixels all of one straight RGBA colour.
Image solid(int w, int h, uint8_t r, uint8_t g, uint8_t b, uint8_t a = 255)
{
    Bitmap bitmap(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            bitmap.setColorAt(
                x, y, platform::Color::deviceRGB(r / 255.0, g / 255.0, b / 255.0, a / 255.0));
    return Image(std::move(bitmap));
}

std::string savePng(
    const testing_support::TempDir& dir, const std::string& name, const Image& image)
{
    std::string path = dir / name;
    EXPECT_TRUE(umb::UMBImageOps::saveImage(image, path));
    return path;
}

uint8_t alphaAt(const Image& image, int x, int y)
{
    return image.bitmap()->pixelAt(x, y)[3];
}

// The lights layer of an opaque white lights picture is exactly the night
// mask: every night pixel white, every day pixel transparent.
template<class Renderer> Image nightMask(Renderer& r, const std::string& whitePng, Point sun)
{
    r.setLightsimgpath(whitePng);
    return r.drawLightsLayerFromImage(sun);
}

void writeRecords(const std::string& path,
    const std::vector<std::tuple<int32_t, float, float>>& records, size_t extra = 0)
{
    std::string bytes;
    for (auto [color, lon, lat] : records) {
        char record[12];
        std::memcpy(record, &color, 4);
        std::memcpy(record + 4, &lon, 4);
        std::memcpy(record + 8, &lat, 4);
        bytes.append(record, 12);
    }
    bytes.append(extra, '\x7f');
    std::ofstream(path, std::ios::binary) << bytes;
}

} // namespace

TEST(UMBMapLayersTest, NightSideColumnsForSubsolarPoints)
{
    testing_support::TempDir dir;
    const std::string white = savePng(dir, "white.png", solid(360, 180, 255, 255, 255));
    UMBEquirectangular r(360, 180);

    Image equinox = nightMask(r, white, {0, 0});
    for (int y : {0, 45, 90, 179}) {
        for (int x = 0; x < 360; ++x) {
            bool night = x < 90 || x > 270; // longitudes -90 and 90 count as day
            EXPECT_EQ(alphaAt(equinox, x, y), night ? 255 : 0) << x << "," << y;
        }
    }

    Image solstice = nightMask(r, white, {0, 23.44});
    for (int x = 0; x < 360; ++x) {
        EXPECT_EQ(alphaAt(solstice, x, 0), 0) << x; // the north pole is in daylight
        EXPECT_EQ(alphaAt(solstice, x, 179), 255) << x;
        EXPECT_EQ(alphaAt(solstice, x, 90), (x < 90 || x > 270) ? 255 : 0) << x;
    }

    Image east = nightMask(r, white, {90, 0});
    for (int x = 0; x < 360; ++x) // longitude -180 lies just on the night side
        EXPECT_EQ(alphaAt(east, x, 90), x < 180 ? 255 : 0) << x;
}

TEST(UMBMapLayersTest, ShadeIsBlurredIntoARampAcrossTheTerminator)
{
    UMBEquirectangular r(360, 180);
    Image shade = r.drawTerminatorLayer({0, 0});
    ASSERT_EQ(shade.bitmap()->width(), 360);
    // First night column on the right: 271. Deep night 191 (0.75 x 255),
    // 12 intermediate columns, 14 at c - 6 (191 / 13).
    const int c = 271, y = 90;
    for (int x = 100; x <= c - 7; ++x)
        EXPECT_EQ(alphaAt(shade, x, y), 0) << x;
    EXPECT_EQ(alphaAt(shade, c - 6, y), 14);
    for (int x = c - 6; x <= c + 5; ++x) {
        EXPECT_GT(alphaAt(shade, x, y), 0) << x;
        EXPECT_LT(alphaAt(shade, x, y), 191) << x;
        if (x > c - 6) {
            EXPECT_GT(alphaAt(shade, x, y), alphaAt(shade, x - 1, y)) << x;
        }
    }
    for (int x = c + 6; x < 353; ++x)
        EXPECT_EQ(alphaAt(shade, x, y), 191) << x;
    const uint8_t* deep = shade.bitmap()->pixelAt(320, y);
    EXPECT_EQ(deep[0] | deep[1] | deep[2], 0); // black

    r.setAlpha(0);
    Image none = r.drawTerminatorLayer({0, 0});
    for (int x = 0; x < 360; ++x)
        ASSERT_EQ(alphaAt(none, x, y), 0);
    r.setAlpha(1);
    EXPECT_EQ(alphaAt(r.drawTerminatorLayer({0, 0}), 320, y), 255);
    r.setAlpha(7.5f); // no limit upstream: clamped, not wrapped
    EXPECT_EQ(alphaAt(r.drawTerminatorLayer({0, 0}), 320, y), 255);
    r.setAlpha(-1);
    EXPECT_EQ(alphaAt(r.drawTerminatorLayer({0, 0}), 320, y), 0);
}

TEST(UMBMapLayersTest, LightsPictureOnlyOnTheNightSide)
{
    testing_support::TempDir dir;
    UMBEquirectangular r(360, 180);
    // Half-transparent orange lights keep their own alpha where copied.
    r.setLightsimgpath(savePng(dir, "lights.png", solid(360, 180, 255, 128, 0, 128)));
    Image lights = r.drawLightsLayer({0, 0});
    for (int x = 0; x < 360; ++x) {
        const uint8_t* p = lights.bitmap()->pixelAt(x, 90);
        if (x < 90 || x > 270) {
            EXPECT_EQ(p[3], 128) << x;
            EXPECT_EQ(p[0], 128) << x; // premultiplied
        } else {
            EXPECT_EQ(p[3], 0) << x;
        }
    }
    // A smaller picture: night pixels without a source pixel stay clear.
    r.setLightsimgpath(savePng(dir, "small.png", solid(40, 20, 255, 255, 255)));
    Image small = r.drawLightsLayer({0, 0});
    EXPECT_EQ(alphaAt(small, 10, 10), 255);
    EXPECT_EQ(alphaAt(small, 50, 10), 0);
    EXPECT_EQ(alphaAt(small, 10, 30), 0);
    r.setLightsimgpath(dir / "missing.png");
    Image missing = r.drawLightsLayer({0, 0});
    EXPECT_EQ(missing.bitmap()->width(), 360);
    EXPECT_EQ(alphaAt(missing, 10, 10), 0);
}

TEST(UMBMapLayersTest, LightsPointFile)
{
    testing_support::TempDir dir;
    UMBEquirectangular r(360, 180);
    const int32_t red = int32_t(0xFFFF0000u), green = int32_t(0xFF00FF00u);
    const std::string path = dir / "lights.PNG"; // not ".png": a point file
    writeRecords(path,
        {
            {red, -120.5f, 10.2f}, // night: pixel (59, 79)
            {red, 10.0f, 10.0f}, // day: skipped
            {red, 90.0f, 0.0f}, // on the terminator: day
            {red, -150.0f, -30.0f}, // night, then replaced
            {green, -150.0f, -30.0f}, {red, 180.0f, -30.0f}, // x = mapwidth: off the grid
        },
        5); // and a partial record, which is ignored
    r.setLightsimgpath(path);
    Image lights = r.drawLightsLayer({0, 0});
    const Bitmap& b = *lights.bitmap();
    int lit = 0;
    for (int y = 0; y < 180; ++y)
        for (int x = 0; x < 360; ++x)
            lit += b.pixelAt(x, y)[3] != 0;
    EXPECT_EQ(lit, 2);
    EXPECT_EQ(b.pixelAt(59, 79)[0], 255);
    EXPECT_EQ(b.pixelAt(30, 120)[1], 255); // the later record won
    EXPECT_EQ(b.pixelAt(30, 120)[0], 0);

    for (size_t extra : {0u, 5u, 11u}) {
        writeRecords(path, {}, extra);
        Image empty = r.drawLightsLayer({0, 0});
        ASSERT_EQ(empty.bitmap()->width(), 360);
        for (int y = 0; y < 180; ++y)
            for (int x = 0; x < 360; ++x)
                ASSERT_EQ(empty.bitmap()->pixelAt(x, y)[3], 0);
    }
}

TEST(UMBMapLayersTest, SunIsClippedAtTheEdgeAndNeverWrapped)
{
    testing_support::TempDir dir;
    UMBEquirectangular r(1000, 500);
    r.setSunimgpath(savePng(dir, "sun.png", solid(64, 64, 255, 255, 0)));
    // Centred on (2.78, 222.2): columns 0 .. 34 hold sun, rows 190 .. 254.
    Image sun = r.drawSunLayer({-179, 10});
    ASSERT_EQ(sun.bitmap()->width(), 1000);
    EXPECT_EQ(alphaAt(sun, 0, 222), 255);
    EXPECT_EQ(alphaAt(sun, 33, 222), 255);
    EXPECT_EQ(alphaAt(sun, 36, 222), 0);
    EXPECT_EQ(alphaAt(sun, 10, 195), 255);
    EXPECT_EQ(alphaAt(sun, 10, 185), 0);
    EXPECT_EQ(alphaAt(sun, 10, 258), 0);
    for (int y = 0; y < 500; ++y)
        for (int x = 500; x < 1000; ++x)
            ASSERT_EQ(alphaAt(sun, x, y), 0) << x << "," << y;

    r.setSunimgpath(dir / "none.png");
    Image none = r.drawSunLayer({-179, 10});
    EXPECT_EQ(none.bitmap()->width(), 1000);
    EXPECT_EQ(alphaAt(none, 0, 222), 0);
}

TEST(UMBMapLayersTest, GridLines)
{
    UMBEquirectangular r(360, 180);
    Image grid = r.drawGridLayer(15, 10);
    const Bitmap& b = *grid.bitmap();
    // Meridians: count the marked columns in a row between parallels;
    // parallels: the marked rows in a column between meridians.
    int columns = 0, rows = 0;
    for (int x = 0; x < 360; ++x)
        columns += b.pixelAt(x, 5)[3] != 0;
    for (int y = 0; y < 180; ++y)
        rows += b.pixelAt(7, y)[3] != 0;
    // 25 meridians from 0 to 360: 0 and 360 fall on one column, 180 on the
    // right edge, just outside; 19 parallels from -90 to 90, the south pole
    // on the bottom edge, just outside. Each line is the column or row whose
    // corner lies on it.
    EXPECT_EQ(columns, 23);
    EXPECT_EQ(rows, 18);
    for (int x = 0; x < 360; ++x)
        EXPECT_EQ(b.pixelAt(x, 5)[3] != 0, x % 15 == 0 && x != 0) << x;
    for (int y = 0; y < 180; ++y)
        EXPECT_EQ(b.pixelAt(7, y)[3] != 0, y % 10 == 0) << y;
    const uint8_t* line = b.pixelAt(180, 5);
    EXPECT_EQ(line[3], 64); // black at 25 %, no antialiasing
    EXPECT_EQ(line[0] | line[1] | line[2], 0);

    for (auto [a, c] : {std::pair {0, 10}, {15, 0}, {-30, 10}}) {
        Image empty = r.drawGridLayer(a, c);
        ASSERT_EQ(empty.bitmap()->width(), 360);
        for (int y = 0; y < 180; ++y)
            for (int x = 0; x < 360; ++x)
                ASSERT_EQ(empty.bitmap()->pixelAt(x, y)[3], 0);
    }
}

TEST(UMBMapLayersTest, CentringMovesColumnsAndRowsWithWrapAround)
{
    // Each source pixel tells where it came from: red = column / 2,
    // green = row.
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

    UMBEquirectangular r(360, 180);
    Image east = r.centerImage(labelled(), {90, 0});
    EXPECT_EQ(r.maporigin(), (Point {90, 0}));
    EXPECT_EQ(from(east, 0, 7), std::pair(90, 7));
    EXPECT_EQ(from(east, 270, 7), std::pair(0, 7));
    EXPECT_EQ(from(east, 180, 7), std::pair(270, 7));
    // Once centred, the same origin leaves the picture as it is.
    Image again = r.centerImage(east.clone(), {90, 0});
    EXPECT_EQ(
        std::memcmp(again.bitmap()->data(), east.bitmap()->data(), east.bitmap()->byteCount()), 0);
    // (0, 0) hands the picture back and keeps the origin.
    Image same = labelled();
    const uint8_t* pixels = same.bitmap()->data();
    Image back = r.centerImage(std::move(same), {0, 0});
    EXPECT_EQ(back.bitmap()->data(), pixels);
    EXPECT_EQ(r.maporigin(), (Point {90, 0}));

    UMBEquirectangular west(360, 180);
    EXPECT_EQ(from(west.centerImage(labelled(), {-90, 0}), 0, 0), std::pair(270, 0));

    UMBEquirectangular north(360, 180);
    Image up = north.centerImage(labelled(), {0, 45});
    EXPECT_EQ(from(up, 10, 0), std::pair(10, 135));
    EXPECT_EQ(from(up, 10, 45), std::pair(10, 0));

    // The layers then follow the new origin: the night side of a Sun over
    // longitude 0 is centred once longitude 180 is the centre.
    UMBEquirectangular turned(360, 180);
    turned.centerImage(labelled(), {180, 0});
    Image shade = turned.drawTerminatorLayer({0, 0});
    EXPECT_EQ(alphaAt(shade, 180, 90), 191);
    EXPECT_EQ(alphaAt(shade, 10, 90), 0);
}

TEST(UMBMapLayersTest, MillerLayersFollowTheirRows)
{
    testing_support::TempDir dir;
    const std::string white = savePng(dir, "white.png", solid(360, 264, 255, 255, 255));
    UMBMillerCylindrical r(360, 264);
    Image solstice = nightMask(r, white, {0, 23.44});
    // Every row's night pixels are those whose own latitude is dark, the
    // latitude being Miller's for that row.
    for (int y : {0, 40, 132, 200, 263}) {
        int night = 0;
        for (int x = 0; x < 360; ++x)
            night += alphaAt(solstice, x, y) != 0;
        double lat = r.physicalToGeographic(0, float(y)).y;
        if (lat > 66.6)
            EXPECT_EQ(night, 0) << y;
        else if (lat < -66.6)
            EXPECT_EQ(night, 360) << y;
        else
            EXPECT_GT(night, 0) << y;
    }
    // The parallels of the grid sit on Miller's rows, not evenly spaced.
    Image grid = r.drawGridLayer(30, 30);
    for (int lat : {-60, -30, 0, 30, 60}) {
        int row = int(r.geographicToPhysical(0, float(lat)).y);
        bool marked
            = alphaAt(grid, 7, row) || alphaAt(grid, 7, row - 1) || alphaAt(grid, 7, row + 1);
        EXPECT_TRUE(marked) << lat;
    }
}

TEST(UMBMapLayersTest, CompositeStacksTheLayersUpright)
{
    testing_support::TempDir dir;
    // Base map: red top half, blue bottom half.
    Bitmap base(360, 180);
    for (int y = 0; y < 180; ++y)
        for (int x = 0; x < 360; ++x)
            base.setColorAt(x, y,
                y < 90 ? platform::Color::deviceRGB(1, 0, 0, 1)
                       : platform::Color::deviceRGB(0, 0, 1, 1));
    Image map(std::move(base));

    UMBEquirectangular r(360, 180);
    r.setAlpha(0);
    Image plain = r.drawCompositeImage(map, {0, 0});
    const uint8_t* top = plain.bitmap()->pixelAt(20, 10);
    const uint8_t* bottom = plain.bitmap()->pixelAt(20, 170);
    EXPECT_EQ(top[0], 255);
    EXPECT_EQ(top[2], 0);
    EXPECT_EQ(bottom[2], 255);
    EXPECT_EQ(top[3], 255);

    r.setAlpha(1);
    r.setLightsimgpath(savePng(dir, "lights.png", solid(360, 180, 255, 255, 255)));
    r.setSunimgpath(savePng(dir, "sun.png", solid(8, 8, 0, 255, 0)));
    Image dark = r.drawCompositeImage(map, {0, 0});
    const uint8_t* night = dark.bitmap()->pixelAt(20, 10);
    EXPECT_EQ(night[0], 255); // the lights over the black shade
    EXPECT_EQ(night[1], 255);
    const uint8_t* day = dark.bitmap()->pixelAt(120, 10);
    EXPECT_EQ(day[0], 255);
    EXPECT_EQ(day[1], 0);
    const uint8_t* sun = dark.bitmap()->pixelAt(180, 90);
    EXPECT_EQ(sun[1], 255);
    EXPECT_EQ(sun[0], 0);

    r.setLightsimgpath(std::nullopt);
    Image black = r.drawCompositeImage(map, {0, 0});
    const uint8_t* shade = black.bitmap()->pixelAt(20, 10);
    EXPECT_EQ(shade[0], 0);
    EXPECT_EQ(shade[3], 255);

    // A base map of twice the size is drawn scaled to the canvas.
    Image big = solid(720, 360, 0, 0, 255);
    r.setAlpha(0);
    Image scaled = r.drawCompositeImage(big, {0, 0});
    EXPECT_EQ(scaled.bitmap()->width(), 360);
    EXPECT_EQ(scaled.bitmap()->pixelAt(359, 179)[2], 255);
}

TEST(UMBMapLayersTest, MillerSavesAPng)
{
    testing_support::TempDir dir;
    UMBMillerCylindrical r(360, 264);
    Image picture = solid(4, 3, 10, 20, 30);
    ASSERT_TRUE(r.saveImage(picture, dir / "out.png"));
    std::optional<Image> back = Image::fromFile(dir / "out.png");
    ASSERT_TRUE(back);
    EXPECT_EQ(back->bitmap()->width(), 4);
    EXPECT_EQ(back->bitmap()->pixelAt(3, 2)[2], 30);
    EXPECT_FALSE(r.saveImage(picture, dir / "no/such/folder/out.png"));
}
