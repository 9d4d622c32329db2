// RunGloam: runs the built `gloam` binary with arguments (no shell in
// between) and collects its exit status, standard output and standard error.
#pragma once

#include "platform/Json.h"

#include <functional>
#include <string>
#include <vector>

namespace testing_cli {

struct Outcome {
    int status = -1; // the exit status, or -1 when the process did not exit normally
    std::string out;
    std::string err;
};

// A run that outlasts `limitSeconds` is killed, so that a command that
// should have ended cannot hang the tests; its status is then -1.
Outcome runGloam(const std::vector<std::string>& arguments, int limitSeconds = 120);

// runGloam, sending the child `signal` once `ready(out)` (asked every 20 ms
// while it runs, with what it has written to standard output so far) says
// it is time.
Outcome runGloamAndSignal(const std::vector<std::string>& arguments,
    const std::function<bool(const std::string& out)>& ready, int signal, int limitSeconds = 120);

// A bad value: status 2, nothing on standard output, and on standard error
// a message (one line, where `oneLine`) that holds `named`.
void expectUsageError(
    const std::vector<std::string>& arguments, const std::string& named, bool oneLine = true);

// A run that must succeed and print one JSON object; a number in it, at
// `outer` or at `outer`.`inner` (NaN, and a failure, when there is none).
platform::JsonValue jsonOf(const std::vector<std::string>& arguments);
double number(const platform::JsonValue& object, const char* outer, const char* inner = nullptr);

} // namespace testing_cli
