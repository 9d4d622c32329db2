#include "cli/Command.h"

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
