// The `gloam` command given what nobody should give it: empty values for
// every option of every command, enormous or non-UTF-8 ones, unknown options
// and stray words. Every one is status 2 with a message on standard error,
// and nothing is written.
#include "cli/RunGloam.h"
#include "support/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace fs = std::filesystem;
using namespace testing_cli;
using namespace testing_support;

TEST(HostileArgumentsTest, EveryOptionRefusesEmptyHugeAndNonUtf8Values)
{
    TempDir dir;
    const std::string huge(100000, '7');
    const std::string notUtf8 = "\xC3\x28\xFF";
    const struct {
        std::vector<std::string> command; // the values are appended to each
        std::vector<std::string> options;
    } commands[] = {
        {{"sun"}, {"--time", "--observer"}},
        {{"date"}, {"--time", "--longitude"}},
        {{"render", "-o", dir / "out.png", "--lights", "none", "--sun", "none"},
            {"--time", "--size", "--shadow", "--center", "--grid", "--projection", "--blur",
                "--base", "--widget"}},
        {{"request"}, {"--widget"}},
        {{"serve"}, {"--port", "--widget"}},
        {{"coord"}, {"--ra", "--dec", "--degrees", "--lat", "--lon", "--equatorial"}},
    };
    auto with = [](std::vector<std::string> arguments, const std::vector<std::string>& more) {
        arguments.insert(arguments.end(), more.begin(), more.end());
        return arguments;
    };
    for (const auto& c : commands) {
        for (const auto& option : c.options)
            expectUsageError(with(c.command, {option, ""}), "gloam", false);
        expectUsageError(with(c.command, {"--no-such-option"}), "gloam", false);
        expectUsageError(with(c.command, {notUtf8}), "gloam", false);
    }
    for (const std::string& value : {huge, notUtf8, std::string("-")}) {
        expectUsageError({"render", "-o", dir / "out.png", "--size", value}, "gloam", false);
        expectUsageError({"serve", "--port", value}, "gloam", false);
        expectUsageError({"coord", "--dec", value}, "gloam", false);
    }
    EXPECT_TRUE(fs::is_empty(dir.path)) << "a refused render wrote a file";
}
