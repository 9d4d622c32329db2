// The `gloam` command given what nobody should give it: empty values for
// every option of every command, enormous or non-UTF-8 ones, unknown options
// and stray words, and pictures that lie about themselves. Every one is
// status 2 with a message on standard error, and nothing is written.
#include "cli/RunGloam.h"
#include "platform/Files.h"
#include "platform/ImageCodec.h"
#include "support/HostileBytes.h"
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

TEST(HostileArgumentsTest, PicturesThatLieAreRefusedBeforeAnythingIsWritten)
{
    TempDir dir;
    auto put = [](const std::string& path, std::span<const uint8_t> bytes) {
        ASSERT_TRUE(platform::writeFileAtomically(path, bytes));
    };
    auto jpeg = *platform::encodeJpeg(gradient(64, 32, platform::PixelFormat::RGB), 80);
    put(dir / "huge.jpg", jpegClaiming(jpeg, 65500, 65500));
    // Named as a PNG so that --lights takes it as a picture, not a point file;
    // pictures are known by their signature, not by their name.
    put(dir / "huge.png", jpegClaiming(jpeg, 65500, 65500));
    put(dir / "cut.jpg", std::vector<uint8_t>(jpeg.begin(), jpeg.begin() + long(jpeg.size() / 2)));
    put(dir / "scans.jpg",
        scanBomb(
            *platform::encodeJpeg(gradient(64, 32, platform::PixelFormat::RGB), 80, true), 400));
    put(dir / "good.jpg", jpeg);
    const std::string out = dir / "out.png";
    const std::vector<std::string> cases[] = {
        {"--base", dir / "huge.jpg", "--lights", "none", "--sun", "none"},
        {"--base", dir / "cut.jpg", "--lights", "none", "--sun", "none"},
        {"--base", dir / "scans.jpg", "--lights", "none", "--sun", "none"},
        {"--base", dir / "good.jpg", "--sun", dir / "huge.png"},
        {"--base", dir / "good.jpg", "--lights", dir / "huge.png"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> arguments
            = {"render", "-o", out, "--time", "2024-03-20T03:06:00Z"};
        arguments.insert(arguments.end(), c.begin(), c.end());
        expectUsageError(arguments, "gloam", false);
        EXPECT_FALSE(fs::exists(out)) << c[1];
    }
}
