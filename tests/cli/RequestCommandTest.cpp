#include "cli/RunGloam.h"
#include "platform/Image.h"
#include "platform/PropertyList.h"
#include "support/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>
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

TEST(RequestCommandTest, AFolderThatIsNoWidgetIsAUsageError)
{
    testing_support::TempDir dir;
    auto outcome = runGloam({"request", "--widget", dir / "nowhere"});
    EXPECT_EQ(outcome.status, 2);
    EXPECT_TRUE(outcome.out.empty());
    EXPECT_NE(outcome.err.find("gloam request:"), std::string::npos) << outcome.err;
}
