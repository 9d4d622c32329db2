// SkyEvents: what `gloam sun` and `gloam moon` share: the observer option,
// and the day's events written as ISO 8601 UTC to the second (or null) and
// as rows of a table in UTC and in the local zone. Free functions.
#pragma once

#include "cli/TextTable.h"
#include "platform/Geometry.h"
#include "platform/Json.h"

#include <optional>
#include <string>
#include <vector>

namespace cli {

// The help text of the --observer option of `gloam sun` and `gloam moon`.
inline constexpr const char* kObserverOptionHelp
    = "Where altitude and azimuth are seen from: longitude (east positive) and "
      "latitude in degrees (default 0,0); given, the day's events are added";

// LON,LAT in degrees, longitude -180..180 east positive, latitude -90..90;
// a UsageError naming the value otherwise.
platform::Point observerFromOption(const std::string& text);

// The Julian Date (universal time) of milliseconds since 1970.
double julianDateOfMillis(double millis);

// The instant of a Julian Date rounded to the whole second, as
// "yyyy-mm-ddThh:mm:ssZ".
std::string isoUtcSecond(double julianDate);

// An event as JSON: its isoUtcSecond text, or null when there is none.
platform::JsonValue eventJson(const std::optional<double>& julianDate);

// A named event of the day: its Julian Date, or none.
struct SkyEvent {
    const char* name;
    std::optional<double> julianDate;
};

// One table row per event, in the order they happen, those without an
// instant last: the UTC text, then the same second on the local zone's clock
// (TZ) as a note; "none in the 24 hours" when there is none.
void addEventRows(TextTable& table, std::vector<SkyEvent> events);

} // namespace cli
