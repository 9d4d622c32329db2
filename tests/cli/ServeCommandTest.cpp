#include "support/HostFixture.h"

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <regex>
#include <spawn.h>
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
