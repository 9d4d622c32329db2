// gloam: the command line of the day/night map engine.
#include "cli/Command.h"
#include "cli/CommandLineCheck.h"

#include <algorithm>
#include <cstdio>
#include <iostream>

// Called by the executable (src/launcher), which loads this code only for a
// command that needs it.
extern "C" __attribute__((visibility("default"))) int gloam_main(int argc, char** argv)
{
    CLI::App app {"Gloam: the Earth's day and night, now or at any instant, as a map.", "gloam"};
    app.set_help_flag("-h,--help", "Show this help and exit");
    app.set_version_flag(
        "--version", std::string("gloam ") + GLOAM_VERSION, "Show the version and exit");
    app.require_subcommand(1);
    app.fallthrough(false);
    // The help speaks of commands, and a value's placeholder never names a
    // C++ type, whatever a command forgets to give its options.
    auto formatter = app.get_formatter();
    formatter->label("SUBCOMMAND", "COMMAND");
    for (const char* type : {"TEXT", "INT", "UINT", "FLOAT", "BOOLEAN", "ENUM"})
        formatter->label(type, "VALUE");

    std::vector<cli::Command> sorted = cli::registeredCommands();
    std::sort(
        sorted.begin(), sorted.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
    // A command line that names a command sets up that command alone: the
    // others' options are most of the option library's work at start. Any
    // other (help, a mistyped command) sees them all.
    const auto named = std::find_if(sorted.begin(), sorted.end(),
        [&](const cli::Command& c) { return argc > 1 && c.name == argv[1]; });
    if (named != sorted.end())
        sorted = {*named};
    std::vector<std::pair<CLI::App*, std::function<int()>>> runners;
    for (const auto& command : sorted) {
        CLI::App* sub = app.add_subcommand(command.name, command.description);
        sub->group("Commands");
        sub->set_help_flag("-h,--help", "Show this help and exit");
        runners.emplace_back(sub, command.setUp(*sub));
    }

    // Mistakes are caught before the option library sees them: its own
    // messages name its internals, not what to type instead.
    if (std::optional<cli::Mistake> mistake
        = cli::findMistake(app, std::vector<std::string>(argv + 1, argv + argc))) {
        std::fprintf(stderr, "gloam%s%s: %s\n", mistake->command.empty() ? "" : " ",
            mistake->command.c_str(), mistake->message.c_str());
        return cli::kExitUsage;
    }

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError&) {
        // Whatever the check above lets through and the library still
        // refuses; its wording would not help, so none of it is shown.
        std::string where = "gloam";
        for (auto& [sub, run] : runners)
            where = sub->parsed() ? "gloam " + sub->get_name() : where;
        std::fprintf(stderr,
            "%s: this command line cannot be read\nRun '%s --help' for how to write it.\n",
            where.c_str(), where.c_str());
        return cli::kExitUsage;
    }

    for (auto& [sub, run] : runners) {
        if (!sub->parsed())
            continue;
        try {
            return run();
        } catch (const cli::UsageError& e) {
            std::fprintf(stderr, "gloam %s: %s\n", sub->get_name().c_str(), e.what());
            return cli::kExitUsage;
        } catch (const std::exception& e) {
            std::fprintf(stderr, "gloam %s: %s\n", sub->get_name().c_str(), e.what());
            return cli::kExitFailure;
        }
    }
    return cli::kExitUsage;
}
