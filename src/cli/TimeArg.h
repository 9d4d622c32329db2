// TimeArg: the instant a command is asked about. Reads ISO 8601 text (a date
// and time with Z or an offset, or a date alone) or "now", and writes an
// instant back as ISO 8601 in UTC. Free functions; nothing is kept.
#pragma once

#include "umb/UMBDate.h"

#include <optional>
#include <string>
#include <string_view>

namespace cli {

// The help text of every command's --time option, so that all of them
// describe the same reader in the same words.
inline constexpr const char* kTimeOptionHelp
    = "The instant, ISO 8601: 2024-06-20T20:51:00Z, 2024-06-20T22:51+02:00, "
      "2024-06-20 (00:00 UTC) or now (the default)";

// Milliseconds since 1970-01-01 00:00:00 UTC of `text`, which is one of
//   2024-06-20T20:51:00Z        seconds optional, a fraction (. or ,) allowed,
//   2024-06-20T22:51:00+02:00   an offset as +hh:mm, +hhmm or +hh,
//   2024-06-20                  a date alone: 00:00 UTC of that day,
//   now                         the clock's current instant.
// Dates are proleptic Gregorian, years 0000-9999; "t", "z" and a space for
// "T" are accepted too. A time without Z or an offset is refused: whether it
// meant UTC or the local clock cannot be known. None when `text` is none of
// these; `why` then says what is wrong in a few words.
std::optional<double> parseInstant(std::string_view text, std::string* why = nullptr);

// parseInstant, or a UsageError naming `option` and the text, with examples
// of what is accepted.
double instantFromOption(const std::string& option, std::string_view text);

// The engine's date at the instant: its fields are the instant's own, to
// the millisecond.
umb::UMBDate engineDateAt(double millis);

// The instant as "yyyy-mm-ddThh:mm:ssZ", with ".sss" when it has a fraction
// of a second (floored to the millisecond).
std::string isoUtc(double millis);

} // namespace cli
