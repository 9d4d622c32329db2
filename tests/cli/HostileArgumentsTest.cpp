// The `gloam` command given what nobody should give it: empty, enormous or
// non-UTF-8 values for every option of every command, pictures that lie
// about themselves, and a render killed while it writes. Every bad value is
// status 2 with a message on standard error and nothing written; an output file is the old one or
// the new one, whole.
#include "cli/RunGloam.h"
#include "platform/Files.h"
#include "platform/ImageCodec.h"
#include "support/TempDir.h"

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace fs = std::filesystem;
using testing_cli::runGloam;
using testing_support::TempDir;

namespace {

std::vector<std::string> namesIn(const fs::path& dir)
{
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

void put(const std::string& path, std::span<const uint8_t> bytes)
{
    ASSERT_TRUE(platform::writeFileAtomically(path, bytes));
}

platform::Bitmap grey(int w, int h)
{
    platform::Bitmap b(w, h, platform::PixelFormat::RGB);
    std::fill(b.data(), b.data() + b.byteCount(), uint8_t(180));
    return b;
}

std::vector<uint8_t> jpegClaiming(std::vector<uint8_t> jpeg, uint16_t width, uint16_t height)
{
    for (size_t i = 2; i + 9 < jpeg.size(); ++i) {
        if (jpeg[i] == 0xFF && (jpeg[i + 1] == 0xC0 || jpeg[i + 1] == 0xC2)) {
            jpeg[i + 5] = uint8_t(height >> 8);
            jpeg[i + 6] = uint8_t(height);
            jpeg[i + 7] = uint8_t(width >> 8);
            jpeg[i + 8] = uint8_t(width);
            break;
        }
    }
    return jpeg;
}

void expectUsageError(const testing_cli::Outcome& outcome, const std::string& what)
{
    EXPECT_EQ(outcome.status, 2) << what << ": " << outcome.err.substr(0, 160);
    EXPECT_EQ(outcome.out, "") << what;
    EXPECT_NE(outcome.err.find("gloam"), std::string::npos) << what << ": no message";
}

} // namespace

TEST(HostileArgumentsTest, EveryOptionRefusesEmptyHugeAndNonUtf8Values)
{
    TempDir dir;
    const std::string huge(100000, '7');
    const std::string notUtf8 = "\xC3\x28\xFF";
    struct {
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
    for (const auto& c : commands) {
        for (const auto& option : c.options) {
            for (const std::string& value : {std::string(), huge, notUtf8, std::string("-")}) {
                std::vector<std::string> arguments = c.command;
                arguments.push_back(option);
                arguments.push_back(value);
                std::string what = c.command[0] + " " + option + " <" + value.substr(0, 12) + ">";
                expectUsageError(runGloam(arguments), what);
            }
        }
        // Unknown options and stray words are usage errors too.
        std::vector<std::string> unknown = c.command;
        unknown.push_back("--no-such-option");
        expectUsageError(runGloam(unknown), c.command[0] + " --no-such-option");
        std::vector<std::string> stray = c.command;
        stray.push_back(notUtf8);
        expectUsageError(runGloam(stray), c.command[0] + " <stray word>");
    }
    EXPECT_EQ(namesIn(dir.path), std::vector<std::string> {}) << "a refused render wrote a file";
}

TEST(HostileArgumentsTest, PicturesThatLieAreRefusedBeforeAnythingIsWritten)
{
    TempDir dir;
    auto jpeg = *platform::encodeJpeg(grey(64, 32), 80);
    auto progressive = *platform::encodeJpeg(grey(64, 32), 80, true);
    put(dir / "huge.jpg", jpegClaiming(jpeg, 65500, 65500));
    // Named as a PNG so that --lights takes it as a picture, not a point file;
    // pictures are known by their signature, not by their name.
    put(dir / "huge.png", jpegClaiming(jpeg, 65500, 65500));
    put(dir / "cut.jpg", std::vector<uint8_t>(jpeg.begin(), jpeg.begin() + long(jpeg.size() / 2)));
    {
        // Thousands of scans: each would be a pass over the picture.
        const uint8_t sos[2] = {0xFF, 0xDA};
        auto first = std::search(progressive.begin(), progressive.end(), sos, sos + 2);
        std::vector<uint8_t> bomb(progressive.begin(), first);
        for (int i = 0; i < 400; ++i)
            bomb.insert(bomb.end(), first, progressive.end() - 2);
        bomb.insert(bomb.end(), {0xFF, 0xD9});
        put(dir / "scans.jpg", bomb);
    }
    put(dir / "good.jpg", jpeg);
    const std::string out = dir / "out.png";
    for (const char* base : {"huge.jpg", "cut.jpg", "scans.jpg"}) {
        auto outcome = runGloam({"render", "-o", out, "--base", dir / base, "--lights", "none",
            "--sun", "none", "--time", "2024-03-20T03:06:00Z"});
        expectUsageError(outcome, base);
        EXPECT_FALSE(fs::exists(out)) << base;
    }
    // A sun or lights picture that lies is refused the same way.
    for (const char* option : {"--sun", "--lights"}) {
        auto outcome = runGloam({"render", "-o", out, "--base", dir / "good.jpg", option,
            dir / "huge.png", "--time", "2024-03-20T03:06:00Z"});
        expectUsageError(outcome, option);
        EXPECT_FALSE(fs::exists(out)) << option;
    }
    EXPECT_EQ(namesIn(dir.path),
        (std::vector<std::string> {"cut.jpg", "good.jpg", "huge.jpg", "huge.png", "scans.jpg"}));
}

TEST(HostileArgumentsTest, ARenderKilledWhileWritingLeavesTheOldFileWhole)
{
    TempDir dir;
    const std::string out = dir / "map.png";
    const std::vector<uint8_t> old = *platform::encodePng(grey(8, 8));
    put(out, old);
    put(dir / "base.jpg", *platform::encodeJpeg(grey(512, 256), 80));
    std::string program = GLOAM_CLI_PATH;
    std::vector<std::string> arguments
        = {program, "render", "-o", out, "--base", dir / "base.jpg", "--lights", "none", "--sun",
            "none", "--size", "4096x2048", "--time", "2024-03-20T03:06:00Z"};
    std::vector<char*> argv;
    for (auto& a : arguments)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    for (int delay : {20, 120, 300, 600}) {
        pid_t pid = -1;
        ASSERT_EQ(posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ), 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(delay));
        ::kill(pid, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        auto now = platform::readFile(out);
        ASSERT_TRUE(now) << delay << " ms";
        if (*now != old) {
            // The render finished first: the new picture, whole.
            auto picture = platform::decodePng(*now);
            ASSERT_TRUE(picture) << delay << " ms: a partial file";
            EXPECT_EQ(picture->width(), 4096);
        }
    }
    // A render that is let finish replaces the file and clears what killed
    // ones left behind.
    auto outcome = runGloam({arguments.begin() + 1, arguments.end()});
    ASSERT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(namesIn(dir.path), (std::vector<std::string> {"base.jpg", "map.png"}));
    EXPECT_EQ(platform::decodePng(*platform::readFile(out))->width(), 4096);
}
