// gloam version: the version of the command and its engine.
#include "cli/Command.h"

#include <cstdio>

namespace {

cli::Command::Registration registration {{
    "version",
    "Print the version of gloam",
    [](CLI::App&) -> std::function<int()> {
        return [] {
            std::printf("gloam %s\n", GLOAM_VERSION);
            return cli::kExitOk;
        };
    },
}};

} // namespace
