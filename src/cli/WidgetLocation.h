// WidgetLocation: which widget folder a command works on when none is given:
// the one assembled in the build tree when this gloam runs from that tree, the
// installed one otherwise.
#pragma once

#include <optional>
#include <string>

namespace cli {

// `given` when there is one; otherwise the built widget (for a gloam that runs
// from the build tree) or the installed one, falling back to the other when
// the first has no Info.plist. Throws UsageError when the chosen folder holds
// no Info.plist.
std::string resolveWidgetDir(const std::optional<std::string>& given);

} // namespace cli
