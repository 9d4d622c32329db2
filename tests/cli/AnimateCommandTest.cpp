#include "cli/RunGloam.h"
#include "support/ApngFrames.h"
#include "support/TempDir.h"

#include "platform/Files.h"
#include "platform/ImageCodec.h"

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>

using namespace testing_cli;
using testing_support::TempDir;

namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> bytesOf(const std::string& path)
{
    return platform::readFile(path).value_or(std::vector<uint8_t>());
}

std::vector<uint8_t> pixelsOf(const std::vector<uint8_t>& png)
{
    std::optional<platform::Bitmap> b = platform::decodePng(png);
    EXPECT_TRUE(b);
    if (!b)
        return {};
    return std::vector<uint8_t>(b->data(), b->data() + b->bytesPerRow() * size_t(b->height()));
}

// A folder holding base.png, a small map with a pattern that shows any shift.
class AnimateCommandTest : public ::testing::Test {
protected:
    AnimateCommandTest()
    {
        platform::Bitmap base(64, 32, platform::PixelFormat::RGB);
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 64; ++x) {
                uint8_t* p = base.pixelAt(x, y);
                p[0] = uint8_t(x * 4), p[1] = uint8_t(y * 8), p[2] = uint8_t(100 + (x ^ y));
            }
        EXPECT_TRUE(
            platform::writeFileAtomically(dir / "base.png", platform::encodePng(base).value()));
    }

    // The map options both commands are given: the test's base, the
    // widget's lights and sun, a grid and a moved centre, so that every
    // picture read once must be fitted as a single render fits it.
    std::vector<std::string> with(std::vector<std::string> arguments) const
    {
        for (const char* a : {"--base", "", "--blur", "2", "--center", "40,0", "--grid", "30,30"})
            arguments.push_back(*a ? a : dir / "base.png");
        return arguments;
    }

    // `gloam render` of one instant: its PNG file's bytes.
    std::vector<uint8_t> single(const std::string& time) const
    {
        Outcome r = runGloam(with({"render", "--time", time, "-o", dir / "single.png"}));
        EXPECT_EQ(r.status, 0) << r.err;
        return bytesOf(dir / "single.png");
    }

    TempDir dir;
};

} // namespace

TEST_F(AnimateCommandTest, AnApngsFramesAreTheSingleRendersOfTheirInstants)
{
    // Render's options reach every frame: the projection, the terminator's
    // style, the Moon, the markers' size, the grid's colour and the
    // background as well as those every run here is given.
    const std::vector<std::string> looks[]
        = {{}, {"--projection", "miller", "--terminator", "bands", "--moon"},
            {"--projection", "orthographic", "--terminator", "smooth", "--moon", "--marker-size",
                "5", "--background", "102030", "--grid-color", "ff000080"}};
    for (const auto& look : looks) {
        auto withLook = [&](std::vector<std::string> arguments) {
            arguments.insert(arguments.end(), look.begin(), look.end());
            return with(arguments);
        };
        // 7 hours at 3: frames at 0, 3 and 6 hours, the last before the end.
        Outcome a = runGloam(withLook({"animate", "--from", "2024-03-20T00:00Z", "--to",
            "2024-03-20T07:00Z", "--step", "3h", "--fps", "4", "-o", dir / "day.png"}));
        ASSERT_EQ(a.status, 0) << a.err;
        EXPECT_EQ(a.err, "") << "no progress line off a terminal";

        std::string why;
        std::optional<testing_support::Apng> apng
            = testing_support::readApng(bytesOf(dir / "day.png"), why);
        ASSERT_TRUE(apng) << why;
        ASSERT_EQ(apng->frames.size(), 3u);
        EXPECT_EQ(apng->frameCount, 3u);
        EXPECT_EQ(apng->delayDenominators[0], 4);
        const char* instants[] = {"2024-03-20T00:00Z", "2024-03-20T03:00Z", "2024-03-20T06:00Z"};
        for (int i = 0; i < 3; ++i) {
            Outcome r
                = runGloam(withLook({"render", "--time", instants[i], "-o", dir / "one.png"}));
            ASSERT_EQ(r.status, 0) << r.err;
            EXPECT_EQ(pixelsOf(apng->frames[i]), pixelsOf(bytesOf(dir / "one.png")))
                << instants[i] << " " << look.size();
        }
        EXPECT_NE(pixelsOf(apng->frames[0]), pixelsOf(apng->frames[1])) << "the night moved";
    }
}

TEST_F(AnimateCommandTest, FramesInAFolderAreNumberedSingleRenders)
{
    Outcome a = runGloam(with({"animate", "--from", "2024-06-01T00:00Z", "--to",
        "2024-06-01T00:20Z", "--step", "PT10M", "-o", dir / "frames/"}));
    ASSERT_EQ(a.status, 0) << a.err;
    EXPECT_EQ(bytesOf(dir / "frames/frame-00003.png"), single("2024-06-01T00:20Z"));
    EXPECT_TRUE(fs::exists(dir / "frames/frame-00001.png"));
    EXPECT_FALSE(fs::exists(dir / "frames/frame-00004.png"));
}

TEST_F(AnimateCommandTest, AWebpHoldsOneAnimationFrameAnInstant)
{
    Outcome a = runGloam(with({"animate", "--from", "2024-06-01", "--to", "2024-06-01T02:00Z",
        "--step", "1h", "-o", dir / "day.webp"}));
    ASSERT_EQ(a.status, 0) << a.err;
    const std::vector<uint8_t> webp = bytesOf(dir / "day.webp");
    const std::string text(webp.begin(), webp.end());
    ASSERT_GE(text.size(), 12u);
    EXPECT_EQ(text.substr(0, 4), "RIFF");
    EXPECT_EQ(text.substr(8, 4), "WEBP");
    size_t frames = 0;
    for (size_t at = text.find("ANMF"); at != std::string::npos; at = text.find("ANMF", at + 4))
        ++frames;
    EXPECT_EQ(frames, 3u);
    EXPECT_NE(text.find("VP8L"), std::string::npos) << "lossless";
}

TEST_F(AnimateCommandTest, BadSpansAndValuesExitWithStatusTwoAndWriteNothing)
{
    struct {
        std::vector<std::string> change; // replaces that option's value, or is added
        const char* named;
    } cases[] = {
        {{"--to", "2024-05-31T23:00Z"}, "--to"}, // before the start
        {{"--step", "0s"}, "--step"}, {{"--step", "P1M"}, "--step"},
        {{"--step", "1s"}, "--step"}, // 86401 frames... of two days: too many
        {{"--fps", "61"}, "--fps"}, {{"--quality", "80"}, "--quality"}, // only for .webp
        {{"-o", "day.gif"}, "-o"},
        {{"--projection", "globe"}, "--projection"}, // render's own checks
    };
    for (const auto& c : cases) {
        std::vector<std::string> arguments = {"animate", "--from", "2024-06-01", "--to",
            "2024-06-03", "--step", "1h", "--fps", "10", "-o", dir / "out.png"};
        auto at = std::find(arguments.begin(), arguments.end(), c.change[0]);
        if (at == arguments.end())
            arguments.insert(arguments.end(), c.change.begin(), c.change.end());
        else
            at[1] = c.change[0] == "-o" ? dir / c.change[1] : c.change[1];
        expectUsageError(with(arguments), c.named);
        EXPECT_FALSE(fs::exists(dir / "out.png")) << c.named;
        EXPECT_FALSE(fs::exists(dir / "day.gif")) << c.named;
    }
}

TEST_F(AnimateCommandTest, AnInterruptedRunLeavesWholeFramesOrNoFileAtAll)
{
    // Long enough to be caught in the middle: two months at one minute.
    auto arguments = [&](const std::string& output) {
        return with({"animate", "--from", "2024-01-01", "--to", "2024-03-01", "--step", "1m", "-o",
            output});
    };
    auto inDir = [&](const std::string& prefix) {
        return [&, prefix](const std::string&) {
            for (const auto& entry : fs::directory_iterator(dir.path)) {
                if (entry.path().filename().string().rfind(prefix, 0) == 0)
                    return true;
            }
            return false;
        };
    };
    // The file in the making is a temporary beside it.
    Outcome a = runGloamAndSignal(arguments(dir / "day.png"), inDir(".day.png.tmp-"), SIGINT);
    EXPECT_EQ(a.status, 128 + SIGINT) << a.err;
    EXPECT_FALSE(inDir(".day.png")("")) << "the temporary is removed";
    EXPECT_FALSE(fs::exists(dir / "day.png"));

    Outcome f = runGloamAndSignal(
        arguments(dir / "frames/"),
        [&](const std::string&) { return fs::exists(dir / "frames/frame-00002.png"); }, SIGTERM);
    EXPECT_EQ(f.status, 128 + SIGTERM) << f.err;
    for (const auto& entry : fs::directory_iterator(dir / "frames")) {
        EXPECT_EQ(entry.path().filename().string().rfind("frame-", 0), 0u) << entry.path();
        EXPECT_TRUE(platform::decodePng(bytesOf(entry.path()))) << entry.path();
    }
}
