// UserWidgetCopy: the user's own copy of a widget that cannot be written (an
// installed one), for the plug-in writes its picture and settings inside its
// folder. Made on first use and made again whenever the widget it copies
// changes, keeping the user's settings and last picture; the widget copied is
// only read. Free functions.
#pragma once

#include <filesystem>
#include <string>

namespace cli {

// Whether the plug-in could write where it writes: every folder of the widget.
bool isWritableWidget(const std::filesystem::path& widget);

// Where a user's copies of widgets live: $XDG_DATA_HOME/gloam, or
// ~/.local/share/gloam when that is unset or not an absolute path.
std::filesystem::path userWidgetHome();

enum class CopyState { Current, Made, Refreshed };

// Brings `copy` up to date with `source`: made when missing, replaced whole
// when any file of `source` differs from what it was copied from, its
// user.plist files and Images folder carried over; left alone otherwise.
// Throws std::filesystem::filesystem_error when it cannot be written.
CopyState updateUserCopy(const std::filesystem::path& source, const std::filesystem::path& copy);

} // namespace cli
