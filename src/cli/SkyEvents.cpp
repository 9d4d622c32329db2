#include "cli/SkyEvents.h"

#include "cli/OptionValues.h"
#include "cli/TimeArg.h"
#include "platform/DateFormat.h"
#include "umb/UMBDate.h"

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

void addEventRow(TextTable& table, const std::string& name, const std::optional<double>& julianDate)
{
    if (!julianDate) {
        table.add(name, "none in the 24 hours");
        return;
    }
    const platform::Date instant {wholeSecondMillis(*julianDate) / 1000.0};
    const std::string local
        = platform::DateFormat("yyyy-MM-dd HH:mm:ss zzz", platform::TimeZone::local())
              .format(instant);
    table.add(name, isoUtcSecond(*julianDate), local);
}

} // namespace cli
