// WidgetLocation: which widget folder a command works on: the one named, else
// the one assembled in the build tree when this gloam runs from that tree,
// else the installed one; and, for a folder that cannot be written (an
// installed widget), the user's own copy of it.
#pragma once

#include <optional>
#include <string>

namespace cli {

// `given` when there is one; otherwise the built widget (for a gloam that runs
// from the build tree) or the installed one, falling back to the other when
// the first has no Info.plist. Throws UsageError when the chosen folder holds
// no Info.plist. When that folder cannot be written, or is the installed
// widget, returns the user's copy of it instead (see UserWidgetCopy.h), made
// or refreshed as needed, and says so once on standard error.
std::string resolveWidgetDir(const std::optional<std::string>& given);

} // namespace cli
