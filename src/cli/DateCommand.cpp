// gloam date: an instant as the engine's date object holds it: Julian Date,
// milliseconds, calendar fields in universal time, its texts (the widget's
// own in the local zone) and the local sidereal time at a longitude.
#include "cli/Command.h"
#include "cli/OptionValues.h"
#include "cli/TextTable.h"
#include "cli/TimeArg.h"

#include "platform/Json.h"
#include "umb/UMBDate.h"

#include <cmath>
#include <cstdio>
#include <optional>

namespace {

using platform::JsonValue;

struct DateOptions {
    std::string time = "now";
    std::optional<std::string> longitude;
    bool json = false;
};

int runDate(const DateOptions& options)
{
    const double millis = cli::instantFromOption("--time", options.time);
    const double longitude = options.longitude
        ? cli::numberInRange("--longitude", *options.longitude, "a longitude", -180, 180)
        : 0.0;

    umb::UMBDate date;
    date.initializeMilliseconds(millis);
    const double sidereal = date.localSiderialTime(longitude);

    if (options.json) {
        JsonValue::Object object {
            {"time", cli::isoUtc(millis)},
            {"jd", date.JD()},
            {"millis", date.millis()},
            {"year", double(date.Year())},
            {"month", double(date.Month())},
            {"day", double(date.Day())},
            {"hour", double(date.Hour())},
            {"minute", double(date.Minute())},
            {"second", double(date.Second())},
            {"dblsec", date.dblsec()},
            {"headerCard", date.getHeaderCard()},
            {"dayNumber", date.getDayNumber()},
            {"localDayNumber", double(date.getLocalDayNumber())},
            {"currentFormat", date.getCurrentFormat()},
            {"longitude", longitude},
            {"localSiderealTime", sidereal},
        };
        std::printf("%s\n", platform::toJson(JsonValue(std::move(object))).c_str());
        return cli::kExitOk;
    }

    char fields[64];
    std::snprintf(fields, sizeof fields, "%04d-%02d-%02d %02d:%02d:%02d", int(date.Year()),
        int(date.Month()), int(date.Day()), int(date.Hour()), int(date.Minute()),
        int(date.Second()));
    cli::TextTable table;
    table.add("time", cli::isoUtc(millis));
    table.add("jd", cli::fixed(date.JD(), 8));
    const double stored = date.millis();
    table.add("millis", cli::fixed(stored, stored == std::floor(stored) ? 0 : 3));
    table.add("fields", fields, "year-month-day hour:minute:second, UTC, to the millisecond");
    table.add("dblsec", cli::fixed(date.dblsec(), 9));
    table.add("headerCard", date.getHeaderCard());
    table.add("dayNumber", date.getDayNumber());
    table.add("localDayNumber", std::to_string(date.getLocalDayNumber()), "in the local zone");
    table.add("currentFormat", date.getCurrentFormat(), "in the local zone");
    table.add("localSiderealTime", cli::fixed(sidereal, 7) + "\u00b0",
        "at longitude " + cli::shortest(longitude) + "\u00b0");
    std::fputs(table.text().c_str(), stdout);
    return cli::kExitOk;
}

cli::Command::Registration registration {{
    "date",
    "An instant as the engine reads it: Julian Date, calendar fields, texts, sidereal time",
    [](CLI::App& app) -> std::function<int()> {
        auto options = std::make_shared<DateOptions>();
        app.add_option("--time", options->time, cli::kTimeOptionHelp)->type_name("T");
        app.add_option("--longitude", options->longitude,
               "Longitude of the local sidereal time, degrees east positive (default 0)")
            ->type_name("L");
        app.add_flag("--json", options->json,
            "One JSON object: time, jd, millis, year, month, day, hour, minute, second, dblsec, "
            "headerCard, dayNumber, localDayNumber, currentFormat, longitude, "
            "localSiderealTime (degrees)");
        app.footer("The calendar fields are universal time, Julian calendar before 1582-10-15;\n"
                   "currentFormat and localDayNumber follow the TZ variable and the locale\n"
                   "(LC_ALL, LC_TIME, LANG). A negative longitude may be joined with '=': "
                   "--longitude=-75\n"
                   "Example: TZ=America/New_York gloam date --time 2024-06-20T20:51:00Z");
        return [options] { return runDate(*options); };
    },
}};

} // namespace
