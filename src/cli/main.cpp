// gloam: the command line of the day/night map engine.
#include "cli/Command.h"

#include <algorithm>
#include <cstdio>
#include <iostream>

namespace cli {

namespace {
std::vector<Command>& commands()
{
    static std::vector<Command> all;
    return all;
}
} // namespace

Command::Registration::Registration(Command command)
{
    commands().push_back(std::move(command));
}

const std::vector<Command>& registeredCommands()
{
    return commands();
}

} // namespace cli

int main(int argc, char** argv)
{
    CLI::App app {"Gloam: the Earth's day and night, now or at any instant, as a map.", "gloam"};
    app.set_version_flag("--version", std::string("gloam ") + GLOAM_VERSION);
    app.require_subcommand(1);
    app.fallthrough(false);

    std::vector<cli::Command> sorted = cli::registeredCommands();
    std::sort(
        sorted.begin(), sorted.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
    std::vector<std::pair<CLI::App*, std::function<int()>>> runners;
    for (const auto& command : sorted) {
        CLI::App* sub = app.add_subcommand(command.name, command.description);
        runners.emplace_back(sub, command.setUp(*sub));
    }

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        std::fprintf(stderr, "gloam: %s\n", e.what());
        std::fprintf(stderr, "Run 'gloam --help' for the commands and their options.\n");
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
