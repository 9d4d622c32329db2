#include "cli/RunGloam.h"
#include "platform/Image.h"
#include "platform/PropertyList.h"
#include "support/TempDir.h"
#include "umb/UMBDate.h"
#include "umb/UMBSun.h"

#include <cmath>
#include <filesystem>
#include <gtest/gtest.h>
#include <numbers>
#include <regex>

namespace fs = std::filesystem;
using testing_cli::runGloam;

TEST(RequestCommandTest, DrawsTheBuiltWidgetsPictureAndPrintsTheInstant)
{
    testing_support::TempDir dir;
    const std::string widget = dir / "Gloam.wdgt";
    fs::copy(GLOAM_BUILD_WIDGET_DIR, widget, fs::copy_options::recursive);
    fs::remove(widget + "/Images/current.png");
    const std::string configuration
        = widget + "/GloamPlugin.widgetplugin/Contents/Resources/user.plist";

    auto outcome = runGloam({"request", "--widget", widget});
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_TRUE(
        std::regex_match(outcome.out, std::regex(R"(\d\d-\d\d-\d{4} \d\d:\d\d:\d\d [AP]M \S+\n)")))
        << outcome.out;
    std::optional<platform::Image> map = platform::Image::fromFile(widget + "/Images/current.png");
    ASSERT_TRUE(map);
    EXPECT_EQ(map->bitmap()->width(), 1024);
    EXPECT_EQ(map->bitmap()->height(), 512);
    // The shipped level went back into the configuration.
    auto list = platform::PropertyList::readDictionary(configuration);
    ASSERT_TRUE(list);
    EXPECT_TRUE(list->number("shadowlevel").has_value());
}

namespace {

// Angle in degrees between two points of the globe given as (lon, lat).
double arc(double lon0, double lat0, double lon1, double lat1)
{
    constexpr double d = std::numbers::pi / 180;
    double c = std::sin(lat0 * d) * std::sin(lat1 * d)
        + std::cos(lat0 * d) * std::cos(lat1 * d) * std::cos((lon1 - lon0) * d);
    return std::acos(std::clamp(c, -1.0, 1.0)) / d;
}

} // namespace

TEST(RequestCommandTest, TheNightSideOfThisInstantIsShadedOverTheMonthsMap)
{
    testing_support::TempDir dir;
    const std::string widget = dir / "Gloam.wdgt";
    fs::copy(GLOAM_BUILD_WIDGET_DIR, widget, fs::copy_options::recursive);
    // The shipped level: the built widget keeps whatever level its user last chose.
    platform::PropertyList settings;
    settings.setReal("shadowlevel", 0.75);
    ASSERT_TRUE(
        settings.writeToFile(widget + "/GloamPlugin.widgetplugin/Contents/Resources/user.plist"));
    // Where the Sun stands while the command draws; a request that straddles
    // the turn of a month is made again, so that the map is known.
    umb::UMBDate now;
    for (int attempt = 0; attempt < 2; ++attempt) {
        now = umb::UMBDate();
        auto outcome = runGloam({"request", "--widget", widget});
        ASSERT_EQ(outcome.status, 0) << outcome.err;
        if (umb::UMBDate().Month() == now.Month())
            break;
    }
    const platform::Point sun = umb::UMBSun(now).getSubsolar();
    std::optional<platform::Image> map = platform::Image::fromFile(widget + "/Images/current.png");
    std::optional<platform::Image> base
        = platform::Image::fromFile(widget + "/GloamPlugin.widgetplugin/Contents/Resources/"
            + "worldimages/world_sm." + std::to_string(now.Month()) + ".jpg");
    ASSERT_TRUE(map && base);
    const platform::Bitmap& drawn = *map->bitmap();
    const platform::Bitmap& month = *base->bitmap();
    ASSERT_EQ(drawn.width(), 1024);
    ASSERT_EQ(drawn.height(), 512);
    ASSERT_EQ(month.width(), 1024);

    // Away from the terminator's blur and from the sun picture, the day side
    // is the month's map itself and the night side at most a third of it
    // (a quarter at the shipped level 0.75, plus the city lights).
    double day = 0, dayBase = 0, night = 0, nightBase = 0;
    for (int y = 0; y < 512; ++y) {
        for (int x = 0; x < 1024; ++x) {
            const double lon = (x + 0.5) * 360.0 / 1024 - 180, lat = 90 - (y + 0.5) * 180.0 / 512;
            const double fromSun = arc(lon, lat, sun.x, sun.y);
            const uint8_t* p = drawn.pixelAt(x, y);
            const uint8_t* q = month.pixelAt(x, y);
            const double a = p[0] + p[1] + p[2], b = q[0] + q[1] + q[2];
            if (fromSun > 12 && fromSun < 75) {
                day += a;
                dayBase += b;
            } else if (fromSun > 105) {
                night += a;
                nightBase += b;
            }
        }
    }
    ASSERT_GT(dayBase, 0);
    ASSERT_GT(nightBase, 0);
    EXPECT_NEAR(day / dayBase, 1.0, 0.01);
    EXPECT_LT(night / nightBase, 1.0 / 3);
    EXPECT_GT(night, 0); // the lights are there
}

TEST(RequestCommandTest, NoPictureWrittenIsReportedAfterTheText)
{
    testing_support::TempDir dir;
    const std::string widget = dir / "Gloam.wdgt";
    fs::copy(GLOAM_BUILD_WIDGET_DIR, widget, fs::copy_options::recursive);
    fs::remove_all(widget + "/Images");

    auto outcome = runGloam({"request", "--widget", widget});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_FALSE(outcome.out.empty()); // the plug-in's text all the same
    EXPECT_NE(outcome.err.find("no picture was written to " + widget + "/Images/current.png"),
        std::string::npos)
        << outcome.err;
    EXPECT_FALSE(fs::exists(widget + "/Images"));

    // An old picture that is not replaced (no map for any month) is no
    // picture of this instant either.
    fs::create_directories(widget + "/Images");
    const std::string old = widget + "/Images/current.png";
    fs::copy_file(GLOAM_BUILD_WIDGET_DIR "/GloamPlugin.widgetplugin/Contents/Resources/"
                                         "worldimages/sun.png",
        old);
    for (int month = 1; month <= 12; ++month)
        fs::remove(widget + "/GloamPlugin.widgetplugin/Contents/Resources/worldimages/world_sm."
            + std::to_string(month) + ".jpg");
    outcome = runGloam({"request", "--widget", widget});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_NE(outcome.err.find("no picture was written"), std::string::npos) << outcome.err;
}

TEST(RequestCommandTest, EveryRequestInARowReplacesThePicture)
{
    // The second picture may carry the same time as the first where the
    // file system's clock is coarse; it is a new picture all the same.
    testing_support::TempDir dir;
    const std::string widget = dir / "Gloam.wdgt";
    fs::copy(GLOAM_BUILD_WIDGET_DIR, widget, fs::copy_options::recursive);
    for (int i = 0; i < 3; ++i) {
        auto outcome = runGloam({"request", "--widget", widget});
        EXPECT_EQ(outcome.status, 0) << i << ": " << outcome.err;
        EXPECT_TRUE(outcome.err.empty()) << i << ": " << outcome.err;
    }
}

TEST(RequestCommandTest, AFolderThatIsNoWidgetIsAUsageError)
{
    testing_support::TempDir dir;
    auto outcome = runGloam({"request", "--widget", dir / "nowhere"});
    EXPECT_EQ(outcome.status, 2);
    EXPECT_TRUE(outcome.out.empty());
    EXPECT_NE(outcome.err.find("gloam request:"), std::string::npos) << outcome.err;
}
