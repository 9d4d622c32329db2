// Log: the diagnostic log, one line of text on standard error per call.
#pragma once

#include <string_view>

namespace platform {

// Writes `line` followed by a newline to standard error in one write, so that
// lines from several threads or processes never interleave within a line.
void log(std::string_view line);

} // namespace platform
