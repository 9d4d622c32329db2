#include "cli/SkyEvents.h"

#include "cli/OptionValues.h"
#include "cli/TimeArg.h"
#include "platform/DateFormat.h"
#include "umb/UMBDate.h"

#include <algorithm>
#include <cmath>

namespace cli {

namespace {

double wholeSecondMillis(double julianDate)
{
    return std::round((julianDate - umb::UMBDate::kJulianDateOf1970) * 86400.0) * 1000.0;
}

} // namespace

platform::Point observerFromOption(const std::string& text)
{
    auto parts = splitValues("--observer", text, ',', 2, "LON,LAT, such as 13.4,52.5");
    return {numberInRange("--observer", parts[0], "a longitude", -180, 180),
        numberInRange("--observer", parts[1], "a latitude", -90, 90)};
}

double julianDateOfMillis(double millis)
{
    return millis / umb::UMBDate::kMillisPerDay + umb::UMBDate::kJulianDateOf1970;
}

std::string isoUtcSecond(double julianDate)
{
    return isoUtc(wholeSecondMillis(julianDate));
}

platform::JsonValue eventJson(const std::optional<double>& julianDate)
{
    if (!julianDate)
        return nullptr;
    return isoUtcSecond(*julianDate);
}

void addEventRows(TextTable& table, std::vector<SkyEvent> events)
{
    std::stable_sort(events.begin(), events.end(), [](const SkyEvent& a, const SkyEvent& b) {
        return a.julianDate && (!b.julianDate || *a.julianDate < *b.julianDate);
    });
    const platform::DateFormat local("yyyy-MM-dd HH:mm:ss zzz", platform::TimeZone::local());
    for (const SkyEvent& e : events) {
        if (!e.julianDate) {
            table.add(e.name, "none in the 24 hours");
            continue;
        }
        const platform::Date instant {wholeSecondMillis(*e.julianDate) / 1000.0};
        table.add(e.name, isoUtcSecond(*e.julianDate), local.format(instant));
    }
}

} // namespace cli
