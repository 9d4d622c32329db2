#include "cli/RunGloam.h"
#include "platform/Image.h"
#include "support/WidgetFixture.h"

#include <regex>

namespace fs = std::filesystem;
using namespace testing_cli;

namespace {

using RequestCommandTest = testing_support::WidgetFixture;

} // namespace

TEST_F(RequestCommandTest, EachRequestDrawsThePictureAndPrintsTheInstant)
{
    installModule();
    writeLevel(0.5);
    // Every request in a row replaces the picture, even where the file
    // system's clock is too coarse to tell the two files apart.
    for (int i = 0; i < 2; ++i) {
        fs::copy_file(pictures() + "/sun.png", current(), fs::copy_options::overwrite_existing);
        auto outcome = runGloam({"request", "--widget", widget()});
        ASSERT_EQ(outcome.status, 0) << outcome.err;
        EXPECT_EQ(outcome.err, "");
        EXPECT_TRUE(std::regex_match(
            outcome.out, std::regex(R"(\d\d-\d\d-\d{4} \d\d:\d\d:\d\d [AP]M E[SD]T\n)")))
            << outcome.out;
        std::optional<platform::Image> map = platform::Image::fromFile(current());
        ASSERT_TRUE(map);
        EXPECT_EQ(map->bitmap()->width(), 64);
    }
    EXPECT_EQ(storedLevel(), 0.5);
}

TEST_F(RequestCommandTest, NoPictureWrittenIsStatusOneAfterTheText)
{
    installModule();
    fs::remove_all(images());
    auto outcome = runGloam({"request", "--widget", widget()});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_FALSE(outcome.out.empty()); // the plug-in's text all the same
    EXPECT_NE(outcome.err.find("no picture was written to " + current()), std::string::npos)
        << outcome.err;
    EXPECT_FALSE(fs::exists(images()));

    // An old picture that is not replaced (no map for any month) is no
    // picture of this instant either.
    fs::create_directories(images());
    fs::copy_file(pictures() + "/sun.png", current());
    for (int month = 1; month <= 12; ++month)
        fs::remove(map(month));
    outcome = runGloam({"request", "--widget", widget()});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_NE(outcome.err.find("no picture was written"), std::string::npos) << outcome.err;

    expectUsageError({"request", "--widget", m_dir / "nowhere"}, "gloam request:");
}
