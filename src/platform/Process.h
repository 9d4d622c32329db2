// Process: runs a user's shell command and waits for it. The command's text
// goes to the shell as it is; values for it go as positional parameters, so
// that no file name is ever parsed as shell syntax.
#pragma once

#include <string>
#include <vector>

namespace platform {

// Runs `/bin/sh -c command sh arguments...` (the arguments are $1, $2, ...),
// with this process's standard streams and environment, and waits for it.
// The exit status, 128 + the signal's number when a signal ended it, or -1
// when it could not be started.
int runShellCommand(const std::string& command, const std::vector<std::string>& arguments);

} // namespace platform
