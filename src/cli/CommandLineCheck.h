// CommandLineCheck: reads a command line against the commands and options
// that the option library knows, before it parses them, so that a mistyped
// name, a missing value or an option given twice is told in words a person
// can act on: the closest known name and the help page to read. Free
// functions; the App is only read.
#pragma once

#include <CLI/CLI.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cli {

// The name in `known` closest to `typed`, ignoring case and leading dashes:
// one within a small edit distance (a letter wrong, missing, extra or two
// swapped), else the only one that `typed` begins. None when nothing is close.
std::optional<std::string> closestName(
    std::string_view typed, const std::vector<std::string>& known);

// What is wrong with `arguments` (argv without the program's name) for `app`,
// whose subcommands are the commands: one or two lines without the leading
// "gloam", or none when the option library may parse them. A request for
// help anywhere is never a mistake.
struct Mistake {
    std::string command; // the command it concerns; empty for the top level
    std::string message;
};
std::optional<Mistake> findMistake(const CLI::App& app, const std::vector<std::string>& arguments);

} // namespace cli
