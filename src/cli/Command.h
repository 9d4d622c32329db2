// Command: the registry of `gloam` subcommands. Each subcommand lives in its
// own file and registers itself with a static Command::Registration; main
// builds the command line from whatever is registered, in name order.
#pragma once

#include <CLI/CLI.hpp>
#include <functional>
#include <string>

namespace cli {

// Exit statuses shared by every subcommand.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1; // the work itself failed (an unwritable output)
inline constexpr int kExitUsage = 2; // a bad option or value

// Raised by a subcommand for a bad value: main prints the message as one line
// on standard error and exits with kExitUsage, printing nothing else.
struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct Command {
    std::string name;
    std::string description;
    // Adds the subcommand's options to `app` and returns the function that runs
    // it once the command line is parsed; that function returns the exit status.
    std::function<std::function<int()>(CLI::App& app)> setUp;

    struct Registration {
        explicit Registration(Command command);
    };
};

const std::vector<Command>& registeredCommands();

} // namespace cli
