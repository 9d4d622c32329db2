// `gloam serve`: what it prints, what it serves, how it stops, and the
// address it hands to the desktop's opener with --open.
#include "cli/RunGloam.h"
#include "support/HostFixture.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <csignal>
#include <filesystem>
#include <fstream>
#include <regex>

using testing_cli::runGloam;

// `gloam serve` prints its address and the widget folder at once, even into
// a file (as fully buffered as a pipe), serves the widget there, and ends
// with status 0 on SIGTERM.
TEST(ServeCommandTest, PrintsItsAddressServesTheWidgetAndStopsOnSigterm)
{
    const std::regex line(
        R"(Gloam widget host: http://127\.0\.0\.1:(\d+)/\nServing (.+); press Ctrl-C to stop\.\n)");
    std::string page, served;
    const testing_cli::Outcome outcome = testing_cli::runGloamAndSignal(
        {"serve", "--port", "0", "--widget", GLOAM_PROBE_WIDGET_DIR},
        [&](const std::string& out) {
            std::smatch address;
            if (!std::regex_search(out, address, line))
                return false;
            const int port = std::stoi(address[1]);
            page = testing_support::roundTrip(port, testing_support::requestText("GET", "/", port))
                       .body;
            served = address[2];
            return true;
        },
        SIGTERM, 20);
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_NE(page.find("Probe widget"), std::string::npos) << outcome.out;
    EXPECT_EQ(served, GLOAM_PROBE_WIDGET_DIR);
}

// --open: the address handed to the opener is the one served, given once
// the host listens.
TEST(ServeCommandTest, OpenHandsTheServedAddressToTheOpener)
{
    testing_support::TempDir dir;
    // An opener that notes what it was given, asks the page from the host
    // (it must be listening by now) and stops the host as Ctrl-C would.
    {
        std::ofstream opener(dir / "xdg-open");
        opener << "#!/bin/bash\n"
               << "echo \"$@\" > '" << (dir / "opened") << "'\n"
               << "port=${1##*:}; port=${port%/}\n"
               << "if (exec 3<>/dev/tcp/127.0.0.1/$port) 2>/dev/null; then\n"
               << "  echo listening >> '" << (dir / "opened") << "'\n"
               << "fi\n"
               << "kill -TERM $PPID\n";
    }
    std::filesystem::permissions(dir / "xdg-open", std::filesystem::perms::owner_all);
    const std::string path = dir.path.string() + ":" + std::getenv("PATH");
    testing_support::ScopedEnv env("PATH", path.c_str());

    const testing_cli::Outcome outcome
        = runGloam({"serve", "--open", "--port", "0", "--widget", GLOAM_BUILD_WIDGET_DIR}, 20);
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    std::smatch served;
    ASSERT_TRUE(std::regex_search(outcome.out, served, std::regex("host: (http://\\S+)/\n")))
        << outcome.out;
    EXPECT_EQ(testing_support::readText(dir / "opened"), served[1].str() + "/\nlistening\n");
}
