// Duration: the lengths of time that options take ("30s", "10m", "1h", "1d",
// or ISO 8601's "PT10M", "P1D"), and the instants that a span cut into equal
// steps gives. Free functions; nothing is kept.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace cli {

// Milliseconds of `text`, which is one of
//   30s  10m  1h  1d           a whole number and a unit (seconds to days),
//   PT10M  PT1H30M  P1DT12H    ISO 8601: days (or weeks alone) before T,
//   P1D  P2W  PT0.5S           hours, minutes and seconds after it; the
//                              seconds may have a fraction (. or ,).
// Years and months are refused: their length depends on where they start.
// None when `text` is none of these or longer than 100 years; `why` then
// says what is wrong in a few words. Zero is a duration ("0s", "PT0S").
std::optional<int64_t> parseDuration(std::string_view text, std::string* why = nullptr);

// parseDuration of a step, which must be above zero, or a UsageError naming
// `option` and the text, with examples of what is accepted.
int64_t stepFromOption(const std::string& option, std::string_view text);

// How many instants from, from + step, from + 2 step, ... lie at or before
// `to` (milliseconds, step above zero): 0 when `to` is before `from`, and
// never more than `limit` + 1, however long the span.
int64_t instantCount(double from, double to, int64_t step, int64_t limit);

// The first multiple of `step` milliseconds since 1970 strictly after `now`
// (milliseconds since 1970): with a step of an hour, the next full hour.
double nextMultiple(double now, int64_t step);

} // namespace cli
