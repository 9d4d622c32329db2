// `gloam serve`: what it prints, what it serves, how it stops, and the
// address it hands to the desktop's opener with --open.
#include "cli/RunGloam.h"
#include "support/HostFixture.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <regex>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>

extern char** environ;

// `gloam serve` prints its address and the widget folder at once, even into
// a pipe, serves the widget there, and ends with status 0 on SIGTERM.
TEST(ServeCommandTest, PrintsItsAddressServesTheWidgetAndStopsOnSigterm)
{
    int out[2];
    ASSERT_EQ(pipe2(out, O_CLOEXEC), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    std::vector<std::string> arguments
        = {GLOAM_CLI_PATH, "serve", "--port", "0", "--widget", GLOAM_PROBE_WIDGET_DIR};
    std::vector<char*> argv;
    for (auto& a : arguments)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    ASSERT_EQ(posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);

    std::string printed;
    std::smatch address;
    const std::regex line(
        R"(Gloam widget host: http://127\.0\.0\.1:(\d+)/\nServing (.+); press Ctrl-C to stop\.\n)");
    pollfd fd {out[0], POLLIN, 0};
    while (!std::regex_search(printed, address, line) && poll(&fd, 1, 10000) > 0) {
        char buffer[256];
        ssize_t n = read(out[0], buffer, sizeof buffer);
        if (n <= 0)
            break;
        printed.append(buffer, size_t(n));
    }
    if (!address.empty()) {
        auto page = testing_support::roundTrip(
            std::stoi(address[1]), testing_support::requestText("GET", "/", std::stoi(address[1])));
        EXPECT_NE(page.body.find("Probe widget"), std::string::npos);
        EXPECT_EQ(address[2], GLOAM_PROBE_WIDGET_DIR);
    } else {
        ADD_FAILURE() << "no address within 10 s: " << printed;
    }
    ::kill(pid, SIGTERM);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    close(out[0]);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

using testing_cli::runGloam;

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
    std::ifstream opened(dir / "opened");
    std::stringstream text;
    text << opened.rdbuf();
    EXPECT_EQ(text.str(), served[1].str() + "/\nlistening\n");
}
