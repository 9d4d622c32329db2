// RenderLoop: `gloam render --every`, a map kept current. Renders now, then
// at every multiple of the period since the epoch, replacing the file whole
// each time and running the caller's command after each write, until the
// count is reached or SIGINT or SIGTERM asks it to stop. Holds nothing
// between renders but the period and the command.
#pragma once

#include "platform/Image.h"

#include <CLI/CLI.hpp>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace cli {

// The options as text, bound to a command line by addRepeatOptions.
struct RepeatOptions {
    std::optional<std::string> every, count, exec;
};
void addRepeatOptions(CLI::App& app, RepeatOptions& options);

// The options read: a period in milliseconds, how many renders at most, and
// the command to run after each write.
struct Repeat {
    int64_t every = 0;
    std::optional<int64_t> count;
    std::optional<std::string> exec;
};

// None without --every; a UsageError for a bad value, for --count or --exec
// without --every, and for --every with an instant of its own (`timeGiven`).
std::optional<Repeat> checkedRepeat(const RepeatOptions& options, bool timeGiven);

// Runs the loop, drawing each map with `draw(instant)` and writing it to
// `output` in the format its name asks for, at `quality` for a JPEG or WebP
// (see writeOutput). A command that fails is reported on standard error and the loop
// goes on; so does a write that fails, but for the first one, which is the
// caller's error to report (a runtime_error). Returns the exit status: 0,
// also when stopped by a signal.
int renderRepeatedly(const Repeat& repeat, const std::string& output, std::optional<int> quality,
    const std::function<platform::Image(double)>& draw);

} // namespace cli
