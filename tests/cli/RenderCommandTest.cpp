#include "cli/RunGloam.h"
#include "support/HostileBytes.h"
#include "support/TempDir.h"
#include "support/UmbFixtures.h"

#include "platform/Files.h"
#include "platform/Image.h"
#include "platform/ImageCodec.h"
#include "umb/UMBMillerCylindrical.h"

#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <span>

using namespace testing_cli;
using platform::Point;
using testing_support::TempDir;

namespace {

namespace fs = std::filesystem;

// The March equinox of 2024: the Sun over (135.36, 0.00). On a 360 x 180
// map (x = longitude + 180) the day side is x 225..360 and 0..45, the night
// side x 46..225; the meridians 90 degrees from the Sun are its edges.
const char* const kEquinox = "2024-03-20T03:06:00Z";

struct Rgba {
    int r, g, b, a;
};

// A picture written as a PNG file; `paint` gives each pixel's straight RGBA.
void writePicture(const std::string& path, int w, int h, const std::function<Rgba(int, int)>& paint)
{
    platform::Bitmap bitmap(w, h, platform::PixelFormat::RGBA);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            Rgba c = paint(x, y);
            bitmap.setColorAt(x, y,
                platform::Color::deviceRGB(c.r / 255.0, c.g / 255.0, c.b / 255.0, c.a / 255.0));
        }
    auto png = platform::encodePng(bitmap);
    ASSERT_TRUE(png && platform::writeFileAtomically(path, *png)) << path;
}

struct Picture {
    platform::Bitmap bitmap;
    // The straight red, green and blue of a pixel.
    Rgba at(int x, int y) const
    {
        platform::Color c = bitmap.colorAt(x, y);
        return {int(c.red() * 255 + 0.5), int(c.green() * 255 + 0.5), int(c.blue() * 255 + 0.5),
            int(c.alpha() * 255 + 0.5)};
    }
    int grey(int x, int y) const { return at(x, y).g; }
};

Picture readPicture(const std::string& path)
{
    auto image = platform::Image::fromFile(path);
    EXPECT_TRUE(image && image->bitmap()) << path;
    return {image && image->bitmap() ? image->bitmap()->clone() : platform::Bitmap()};
}

// The command line of a test render: the test's base map, no lights, no sun,
// a black night and a blur of one pixel, unless `extra` says otherwise
// ("--name value" or "--name=value").
std::vector<std::string> renderArguments(const TempDir& dir, std::vector<std::string> extra)
{
    std::vector<std::pair<std::string, std::string>> defaults
        = {{"--time", kEquinox}, {"--base", dir / "base.png"}, {"--lights", "none"},
            {"--sun", "none"}, {"--shadow", "1"}, {"--blur", "1"}, {"-o", dir / "out.png"}};
    std::vector<std::string> arguments = {"render"};
    for (const auto& [name, value] : defaults) {
        bool overridden = false;
        for (const std::string& e : extra)
            overridden = overridden || e == name || e.rfind(name + "=", 0) == 0;
        if (!overridden) {
            arguments.push_back(name);
            arguments.push_back(value);
        }
    }
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    return arguments;
}

Picture render(const TempDir& dir, std::vector<std::string> extra = {})
{
    auto outcome = runGloam(renderArguments(dir, std::move(extra)));
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(outcome.err, "");
    return readPicture(dir / "out.png");
}

// A folder holding base.png, a grey map of 360 x 180.
class RenderCommandTest : public ::testing::Test {
protected:
    RenderCommandTest()
    {
        writePicture(dir / "base.png", 360, 180, [](int, int) {
            return Rgba {200, 200, 200, 255};
        });
    }
    TempDir dir;
};

} // namespace

TEST_F(RenderCommandTest, BadValuesExitWithStatusTwoAndWriteNothing)
{
    std::ofstream(dir / "notapicture.png") << "plain text";
    // A picture whose header claims 65500 x 65500: refused before it is decoded.
    auto lie = testing_support::jpegClaiming(
        *platform::encodeJpeg(testing_support::gradient(64, 32, platform::PixelFormat::RGB), 80),
        65500, 65500);
    ASSERT_TRUE(platform::writeFileAtomically(dir / "lie.png", lie));
    std::ofstream(dir / "partial.points") << std::string(13, 'x');
    const std::string out = dir / "out.png";
    std::vector<std::string> cases[] = {
        {"--time", "2024-02-30"},
        {"--size", "0x100"},
        {"--size", "100x16385"},
        {"--size", "100"},
        {"--size", "10.5x10"},
        {"--shadow", "nan"},
        {"--shadow", "half"},
        {"--projection", "Miller"},
        {"--center", "180.5,0"},
        {"--center=-10,-91"},
        {"--center", "90"},
        {"--grid", "0,30"},
        {"--grid", "30,181"},
        {"--grid", "15.5,10"},
        {"--base", dir / "missing.jpg"},
        {"--base", dir.path.string()},
        {"--base", dir / "notapicture.png"},
        {"--lights", dir / "missing.png"},
        {"--lights", dir / "missing-points"},
        {"--sun", dir / "missing.png"},
        {"--sun", dir / "notapicture.png"},
        {"--base", dir / "lie.png"},
        {"--lights", dir / "lie.png"},
        {"--blur", "0"},
        {"--widget", dir.path.string()},
        {"--center", "0,10"}, // rows would wrap on a flat map
        {"--projection", "mollweide", "--center", "0,10"},
        {"--lights", dir / "notapicture.png"},
        {"--lights", dir / "base.png", "--lights-points", dir / "partial.points"},
        {"--lights-points", dir / "partial.points"},
        {"--background", "12345"},
        {"--grid-color", "black"},
        {"--marker-size", "0"},
        {"--quality", "101"},
        {"--quality", "50"}, // a PNG has no quality
        {"-o", dir / "out.gif"},
    };
    for (const auto& extra : cases) {
        expectUsageError(renderArguments(dir, extra), "gloam render");
        EXPECT_FALSE(fs::exists(out)) << extra[0];
    }
    expectUsageError({"render", "--base", dir / "base.png"}, "-o"); // no output named at all
    // Nothing but the files of the test is left in the folder.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), fs::directory_iterator()), 4);
}

TEST_F(RenderCommandTest, AnOutputThatCannotBeWrittenIsStatusOneAndAnOldFileStaysWhole)
{
    auto outcome = runGloam(renderArguments(dir, {"-o", dir / "no/such/folder/out.png"}));
    EXPECT_EQ(outcome.status, 1);
    // The system's own reason, not a guess made afterwards.
    EXPECT_NE(outcome.err.find(
                  "cannot write " + dir / "no/such/folder/out.png" + ": No such file or directory"),
        std::string::npos)
        << outcome.err;
    fs::create_directory(dir / "folder.png");
    outcome = runGloam(renderArguments(dir, {"-o", dir / "folder.png"}));
    EXPECT_EQ(outcome.status, 1);
    EXPECT_NE(outcome.err.find("cannot write " + dir / "folder.png" + ": Is a directory"),
        std::string::npos)
        << outcome.err;

    // A bad value leaves an existing picture exactly as it was.
    std::ofstream(dir / "old.png") << "the old picture";
    EXPECT_EQ(runGloam(renderArguments(dir, {"--size", "0x0", "-o", dir / "old.png"})).status, 2);
    EXPECT_EQ(platform::readFile(dir / "old.png"), testing_support::bytesOf("the old picture"));
}

TEST_F(RenderCommandTest, NightAndDayFallOnTheColumnsTheSunGives)
{
    Picture map = render(dir);
    ASSERT_EQ(map.bitmap.width(), 360); // the base map's size by default
    ASSERT_EQ(map.bitmap.height(), 180);
    for (int y : {30, 90, 150}) {
        for (int x : {50, 100, 135, 180, 220})
            EXPECT_EQ(map.grey(x, y), 0) << "night at " << x << "," << y;
        for (int x : {0, 40, 230, 300, 359})
            EXPECT_EQ(map.grey(x, y), 200) << "day at " << x << "," << y;
    }
}

TEST_F(RenderCommandTest, TheLevelComesFromTheCommandLineOrTheWidget)
{
    auto level = [&](std::vector<std::string> extra) {
        std::vector<std::string> arguments = {"render", "--time", kEquinox, "--base",
            dir / "base.png", "--lights", "none", "--sun", "none", "-o", dir / "out.png"};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        auto outcome = runGloam(arguments);
        EXPECT_EQ(outcome.status, 0) << outcome.err;
        return readPicture(dir / "out.png").grey(135, 90);
    };
    EXPECT_EQ(level({"--shadow", "0"}), 200);
    EXPECT_EQ(level({"--shadow", "0.5"}), 100);
    EXPECT_EQ(level({"--shadow", "7"}), 0); // the shade is clamped, never wrapped
    EXPECT_EQ(level({"--shadow=-1"}), 200);

    // A widget's own level, and 0.75 where it keeps none.
    const fs::path widget = dir.path / "Gloam.wdgt";
    fs::copy(GLOAM_BUILD_WIDGET_DIR, widget, fs::copy_options::recursive);
    const fs::path plist = widget / "GloamPlugin.widgetplugin/Contents/Resources/user.plist";
    std::ofstream(plist) << testing_support::xmlPlist(
        "<dict><key>shadowlevel</key><real>0.5</real></dict>");
    EXPECT_EQ(level({"--widget", widget.string()}), 100);
    fs::remove(plist);
    EXPECT_EQ(level({"--widget", widget.string()}), 50);
}

TEST_F(RenderCommandTest, CentringMovesTheMapAndEveryLayerWithIt)
{
    // A red meridian at longitude 90 (column 270) on the grey map.
    writePicture(dir / "base.png", 360, 180, [](int x, int) {
        return x == 270 ? Rgba {255, 0, 0, 255} : Rgba {200, 200, 200, 255};
    });
    Picture map = render(dir, {"--center", "90,0"});
    // Longitude 90 is now the centre column, and x = longitude + 90 elsewhere.
    EXPECT_EQ(map.at(180, 90).r, 255);
    EXPECT_EQ(map.at(180, 90).g, 0);
    EXPECT_EQ(map.at(270, 90).g, 200);
    // The shade moved with it: longitude -45 (x 45) is night, 135 (x 225) day.
    EXPECT_EQ(map.grey(45, 90), 0);
    EXPECT_EQ(map.grey(225, 90), 200);
    EXPECT_EQ(map.grey(340, 90), 0); // longitude -110
}

TEST_F(RenderCommandTest, TheGridLiesOnWholeDegreesFromTheMapsOrigin)
{
    Picture map = render(dir, {"--shadow", "0", "--grid", "30,30"});
    // Black at 25 % over grey 200 is 150.
    EXPECT_EQ(map.grey(180, 45), 150); // the meridian of longitude 0
    EXPECT_EQ(map.grey(210, 45), 150); // 30 E
    EXPECT_EQ(map.grey(195, 45), 200);
    EXPECT_EQ(map.grey(100, 90), 150); // the equator
    EXPECT_EQ(map.grey(100, 60), 150); // 30 N
    EXPECT_EQ(map.grey(100, 75), 200);

    // In its own colour.
    map = render(dir, {"--shadow", "0", "--grid", "30,30", "--grid-color", "ff0000"});
    EXPECT_EQ(map.at(100, 90).r, 255);
    EXPECT_EQ(map.at(100, 90).g, 0);
}

TEST_F(RenderCommandTest, MillerReprojectsTheMapSoGeographyAndShadeLineUp)
{
    // Red where the latitude is 44 to 46 degrees north.
    writePicture(dir / "base.png", 360, 180, [](int, int y) {
        return y >= 44 && y < 46 ? Rgba {255, 0, 0, 255} : Rgba {200, 200, 200, 255};
    });
    Picture map = render(dir, {"--projection", "miller"});
    ASSERT_EQ(map.bitmap.width(), 360); // the base map's width, the 1000 : 734 shape
    ASSERT_EQ(map.bitmap.height(), 264);
    umb::UMBMillerCylindrical miller(360, 264);
    const int row45 = int(miller.geographicToPhysical(0, 45).y);
    ASSERT_NE(row45, 45);
    EXPECT_EQ(map.at(300, row45).r, 255);
    EXPECT_EQ(map.at(300, row45).g, 0);
    EXPECT_EQ(map.grey(300, 45), 200); // where the equirectangular row would be
    // The night and day columns are the same as on the flat map, at every row.
    for (int y : {40, 132, 220}) {
        EXPECT_EQ(map.grey(135, y), 0) << y;
        EXPECT_EQ(map.grey(315, y), 200) << y;
    }
}

TEST_F(RenderCommandTest, LightsStayOnTheirCitiesAtAnySize)
{
    // A lights picture of half the map's size with one city at longitude
    // -45 on the equator (columns 66-69, rows 44-47), on the night side.
    writePicture(dir / "lights.png", 180, 90, [](int x, int y) {
        return x >= 66 && x < 70 && y >= 44 && y < 48 ? Rgba {255, 255, 255, 255}
                                                      : Rgba {0, 0, 0, 0};
    });
    Picture map = render(dir, {"--lights", dir / "lights.png"});
    EXPECT_EQ(map.grey(135, 90), 255) << "the city, scaled to the map";
    EXPECT_EQ(map.grey(100, 90), 0) << "dark night elsewhere";
    EXPECT_EQ(map.grey(67, 45), 0) << "nothing where the unscaled picture had it";
    map = render(dir, {"--lights", dir / "lights.png", "--center", "90,0"});
    EXPECT_EQ(map.grey(45, 90), 255) << "the city moved with the map";

    // A lights-point file: a red light there too.
    testing_support::writeLightsPoints(dir / "lights.points", {{int32_t(0xFFFF0000u), -45, 0}});
    map = render(dir, {"--lights-points", dir / "lights.points"});
    EXPECT_EQ(map.at(135, 90).r, 255);
    EXPECT_EQ(map.at(135, 90).g, 0);
}

TEST_F(RenderCommandTest, TheWidgetsOwnPicturesMakeADayAndANightSide)
{
    auto outcome = runGloam({"render", "--widget", GLOAM_BUILD_WIDGET_DIR, "--time", kEquinox,
        "--size", "360x180", "--lights", "none", "-o", dir / "out.png"});
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    Picture map = readPicture(dir / "out.png");
    // The brightness of the equator's band on the night and the day side.
    auto brightness = [&](int x0) {
        long sum = 0;
        for (int x = x0; x < x0 + 60; ++x) {
            Rgba c = map.at(x, 90);
            sum += c.r + c.g + c.b;
        }
        return sum;
    };
    EXPECT_GT(brightness(90), 0);
    EXPECT_GT(brightness(260), 3 * brightness(90));
}

TEST_F(RenderCommandTest, LightsAreToldByContentAndANightMapIsTheNightSide)
{
    // An opaque blue night map as a JPEG whose name says nothing.
    platform::Bitmap blue(360, 180, platform::PixelFormat::RGB);
    for (size_t i = 0; i < blue.byteCount(); i += 3)
        blue.data()[i + 2] = 255;
    auto jpeg = platform::encodeJpeg(blue, 95);
    ASSERT_TRUE(jpeg && platform::writeFileAtomically(dir / "night.dat", *jpeg));
    Picture map = render(dir, {"--lights", dir / "night.dat"});
    EXPECT_GE(map.at(135, 90).b, 250) << "the night side is the night map";
    EXPECT_LE(map.at(135, 90).r, 5);
    EXPECT_EQ(map.grey(300, 90), 200) << "the day side is the base map";
}

TEST_F(RenderCommandTest, OutputFormatFollowsTheName)
{
    auto decoded = [](const std::string& path) -> std::optional<platform::Bitmap> {
        auto bytes = platform::readFile(path);
        if (!bytes)
            return std::nullopt;
        if (auto picture = platform::decodeImage(*bytes))
            return std::move(*picture);
        if (auto picture = platform::decodeWebp(*bytes))
            return std::move(*picture);
        return std::nullopt;
    };
    for (const char* name : {"map.png", "map.jpg", "map.JPEG", "map.webp"}) {
        auto outcome = runGloam(renderArguments(dir, {"--size", "90x45", "-o", dir / name}));
        EXPECT_EQ(outcome.status, 0) << outcome.err;
        auto bitmap = decoded(dir / name);
        ASSERT_TRUE(bitmap) << name;
        EXPECT_EQ(bitmap->width(), 90) << name;
        EXPECT_EQ(bitmap->height(), 45) << name;
    }
    // A lossy WebP is the smaller; "-" is PNG on standard output.
    auto lossy = runGloam(
        renderArguments(dir, {"--size", "90x45", "--quality", "20", "-o", dir / "lossy.webp"}));
    EXPECT_EQ(lossy.status, 0) << lossy.err;
    EXPECT_LT(fs::file_size(dir / "lossy.webp"), fs::file_size(dir / "map.webp"));
    auto piped = runGloam(renderArguments(dir, {"--size", "90x45", "-o", "-"}));
    EXPECT_EQ(piped.status, 0) << piped.err;
    auto png = platform::decodePng(
        std::span(reinterpret_cast<const uint8_t*>(piped.out.data()), piped.out.size()));
    ASSERT_TRUE(png);
    EXPECT_EQ(png->width(), 90);
}

TEST_F(RenderCommandTest, WholeWorldProjectionsFillTheirDiscOrEllipse)
{
    const struct {
        const char* projection;
        int w, h; // the default size for a 360 x 180 base map
        int x, y; // a point just inside the outline, right of the centre
    } cases[] = {{"orthographic", 180, 180, 175, 90}, {"azimuthal", 180, 180, 175, 90},
        {"mollweide", 360, 180, 350, 90}};
    for (auto c : cases) {
        Picture map = render(dir, {"--projection", c.projection, "--shadow", "0"});
        ASSERT_EQ(map.bitmap.width(), c.w) << c.projection;
        ASSERT_EQ(map.bitmap.height(), c.h) << c.projection;
        EXPECT_EQ(map.at(c.x, c.y).a, 255) << c.projection;
        EXPECT_EQ(map.grey(c.x, c.y), 200) << c.projection;
        EXPECT_EQ(map.at(2, 2).a, 0) << c.projection << ": off the globe is transparent";
        map = render(dir, {"--projection", c.projection, "--background", "ff0000"});
        EXPECT_EQ(map.at(2, 2).r, 255) << c.projection;
        EXPECT_EQ(map.at(2, 2).a, 255) << c.projection;
    }
}

TEST_F(RenderCommandTest, AGlobeCentredOnTheSunIsDayAndOnItsAntipodeNight)
{
    // Where each pixel falls is the projections' own test; here --center
    // must reach a globe at all.
    for (auto [center, grey] : {std::pair {"135,0", 200}, {"-45,0", 0}}) {
        Picture map = render(dir, {"--projection", "orthographic", "--center", center});
        EXPECT_EQ(map.grey(90, 90), grey) << center;
        EXPECT_EQ(map.grey(20, 90), grey) << center;
    }
}
