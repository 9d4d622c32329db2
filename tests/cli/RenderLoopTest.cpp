#include "cli/RunGloam.h"
#include "support/TempDir.h"

#include "platform/Files.h"
#include "platform/Image.h"

#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <sstream>

using namespace testing_cli;
using testing_support::TempDir;

TEST(RenderLoopTest, EveryRendersCountTimesAndRunsTheCommandWithThePathAfterEach)
{
    TempDir dir;
    // A path with a space and a quote: pasted into the command's text it
    // would break it; as $1 it arrives whole.
    const std::string output = dir / "a map's.png";
    const std::string log = dir / "log.txt";
    Outcome r = runGloam({"render", "--every", "1s", "--count", "3", "--size", "64x32", "--exec",
        "printf '%s\\n' \"$1\" >> '" + log + "'; exit 4", "-o", output});
    EXPECT_EQ(r.status, 0) << "a failing command does not end the loop: " << r.err;

    const std::vector<uint8_t> bytes = platform::readFile(log).value_or(std::vector<uint8_t>());
    std::istringstream lines(std::string(bytes.begin(), bytes.end()));
    std::string line;
    int runs = 0;
    while (std::getline(lines, line)) {
        EXPECT_EQ(line, output);
        ++runs;
    }
    EXPECT_EQ(runs, 3);
    int reported = 0;
    for (size_t at = r.err.find("status 4"); at != std::string::npos;
         at = r.err.find("status 4", at + 1))
        ++reported;
    EXPECT_EQ(reported, 3) << r.err;
    EXPECT_TRUE(platform::Image::fromFile(output));
}

TEST(RenderLoopTest, OptionsOfTheLoopNeedEveryAndAStep)
{
    TempDir dir;
    struct {
        std::vector<std::string> arguments;
        const char* named;
    } cases[] = {
        {{"--count", "3"}, "--count"},
        {{"--exec", "true"}, "--exec"},
        {{"--every", "0s"}, "--every"},
        {{"--every", "1h", "--count", "0"}, "--count"},
        {{"--every", "1h", "--time", "2024-01-01"}, "--every"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> arguments = {"render", "-o", dir / "out.png"};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        expectUsageError(arguments, c.named);
    }
}

TEST(RenderLoopTest, ASignalEndsTheLoopWithStatusZero)
{
    TempDir dir;
    for (int signal : {SIGINT, SIGTERM}) {
        const std::string output = dir / ("map-" + std::to_string(signal) + ".png");
        Outcome r = runGloamAndSignal(
            {"render", "--every", "1d", "--size", "64x32", "-o", output},
            [&](const std::string&) { return std::filesystem::exists(output); }, signal);
        EXPECT_EQ(r.status, 0) << signal << ": " << r.err;
    }
}

TEST(RenderLoopTest, EveryWritesTheFormatAndQualityTheOutputAsksFor)
{
    // The loop writes through a path of its own: the format the name asks
    // for and the quality must both reach it.
    TempDir dir;
    const std::string output = dir / "lossy.webp";
    Outcome r = runGloam({"render", "--every", "1h", "--count", "1", "--size", "64x32", "--quality",
        "20", "-o", output});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<uint8_t> bytes = platform::readFile(output).value_or(std::vector<uint8_t>());
    ASSERT_GE(bytes.size(), 16u);
    EXPECT_EQ(std::string(bytes.begin() + 8, bytes.begin() + 16), "WEBPVP8 ") << "not a lossy WebP";
}
