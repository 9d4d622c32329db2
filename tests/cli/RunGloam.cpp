#include "cli/RunGloam.h"
#include "support/TempDir.h"

#include <cmath>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace testing_cli {

Outcome runGloam(const std::vector<std::string>& arguments, int limitSeconds)
{
    return runGloamAndSignal(arguments, nullptr, 0, limitSeconds);
}

Outcome runGloamAndSignal(const std::vector<std::string>& arguments,
    const std::function<bool(const std::string& out)>& ready, int signal, int limitSeconds)
{
    // The output goes to files, so that no pipe can fill up and stall the child.
    testing_support::TempDir dir;
    const std::string out = dir / "out", err = dir / "err";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT, 0600);
    std::vector<std::string> copies = arguments;
    copies.insert(copies.begin(), GLOAM_CLI_PATH);
    std::vector<char*> argv;
    for (auto& argument : copies)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    Outcome outcome;
    int status = 0;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
        // A child that outlives its limit is killed: a test waits, never hangs.
        const int ends = int(::syscall(SYS_pidfd_open, pid, 0));
        pollfd end {ends, POLLIN, 0};
        // Looked at every 20 ms while the child runs, until it is ready for
        // the signal.
        const int step = ready ? 20 : limitSeconds * 1000;
        bool signalled = !ready;
        for (int waited = 0; ends >= 0; waited += step) {
            if (::poll(&end, 1, step) != 0)
                break;
            if (waited + step >= limitSeconds * 1000) {
                ::kill(pid, SIGKILL);
                break;
            }
            if (!signalled && ready(testing_support::readText(out))) {
                ::kill(pid, signal);
                signalled = true;
            }
        }
        if (ends >= 0)
            ::close(ends);
        if (waitpid(pid, &status, 0) == pid && WIFEXITED(status))
            outcome.status = WEXITSTATUS(status);
    }
    posix_spawn_file_actions_destroy(&actions);
    outcome.out = testing_support::readText(out);
    outcome.err = testing_support::readText(err);
    return outcome;
}

void expectUsageError(
    const std::vector<std::string>& arguments, const std::string& named, bool oneLine)
{
    auto outcome = runGloam(arguments);
    EXPECT_EQ(outcome.status, 2) << named << ": " << outcome.err.substr(0, 160);
    EXPECT_EQ(outcome.out, "") << named;
    if (oneLine) {
        EXPECT_EQ(outcome.err.find('\n'), outcome.err.size() - 1) << named << ": " << outcome.err;
    }
    EXPECT_NE(outcome.err.find(named), std::string::npos) << outcome.err.substr(0, 160);
}

platform::JsonValue jsonOf(const std::vector<std::string>& arguments)
{
    auto outcome = runGloam(arguments);
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    auto value = platform::parseJson(outcome.out);
    EXPECT_TRUE(value && value->isObject()) << outcome.out;
    return value ? *value : platform::JsonValue();
}

double number(const platform::JsonValue& object, const char* outer, const char* inner)
{
    const platform::JsonValue* v = object.find(outer);
    if (v && inner)
        v = v->find(inner);
    EXPECT_TRUE(v && v->isNumber()) << outer << " " << (inner ? inner : "");
    return v && v->isNumber() ? v->asNumber() : NAN;
}

} // namespace testing_cli
