// gloam sun: where the Sun is at an instant: right ascension and declination,
// the subsolar point, the distance, and the altitude and azimuth for an
// observer, as a short table or as one JSON object.
#include "cli/Command.h"
#include "cli/OptionValues.h"
#include "cli/SkyEvents.h"
#include "cli/TextTable.h"
#include "cli/TimeArg.h"

#include "platform/Json.h"
#include "umb/UMBDate.h"
#include "umb/UMBRiseSet.h"
#include "umb/UMBSun.h"
#include "umb/UMBUtilities.h"

#include <cstdio>
#include <optional>

namespace {

using platform::JsonValue;
using umb::UMBUtilities;

struct SunOptions {
    std::string time = "now";
    std::optional<std::string> observer;
    bool json = false;
};

int runSun(const SunOptions& options)
{
    const double millis = cli::instantFromOption("--time", options.time);
    const platform::Point observer
        = options.observer ? cli::observerFromOption(*options.observer) : platform::Point {};

    const umb::UMBDate date = cli::engineDateAt(millis);
    // The engine counts the subsolar longitude from the observer's meridian
    // when the observer is not on Greenwich's; the point on the Earth is the
    // one from the Greenwich calculation, and only altitude and azimuth
    // belong to the observer.
    umb::UMBSun sun(date);
    sun.calculateForInstant(date, {0, 0});
    const platform::Point subsolar = sun.getSubsolar();
    const platform::Point equatorial = sun.getEquatorial();
    const double distance = sun.getDistance();
    sun.calculateForInstant(date, observer);
    const platform::Point horizontal = sun.getHorizontal();

    // The day's events, for an observer named on the command line.
    std::optional<umb::UMBRiseSet::SunEvents> events;
    if (options.observer)
        events = umb::UMBRiseSet::sunEvents(date.JD(), observer);

    const std::string raText = UMBUtilities::strRa(equatorial.x);
    const std::string decText = UMBUtilities::strDec(equatorial.y);
    const std::string latText = UMBUtilities::strGeo(subsolar.y, true);
    const std::string lonText = UMBUtilities::strGeo(subsolar.x, false);

    if (options.json) {
        JsonValue::Object object {
            {"time", cli::isoUtc(millis)},
            {"jd", date.JD()},
            {"subsolar", JsonValue::Object {{"lon", subsolar.x}, {"lat", subsolar.y}}},
            {"equatorial", JsonValue::Object {{"ra", equatorial.x}, {"dec", equatorial.y}}},
            {"horizontal",
                JsonValue::Object {{"azimuth", horizontal.x}, {"altitude", horizontal.y}}},
            {"observer", JsonValue::Object {{"lon", observer.x}, {"lat", observer.y}}},
            {"distance", distance},
            {"text",
                JsonValue::Object {{"ra", raText}, {"dec", decText}, {"subsolarLat", latText},
                    {"subsolarLon", lonText}}},
        };
        if (events) {
            object.emplace_back("events",
                JsonValue::Object {
                    {"sunrise", cli::eventJson(events->sunrise)},
                    {"sunset", cli::eventJson(events->sunset)},
                    {"solarNoon", cli::eventJson(events->solarNoon)},
                    {"civilDawn", cli::eventJson(events->civilDawn)},
                    {"civilDusk", cli::eventJson(events->civilDusk)},
                    {"nauticalDawn", cli::eventJson(events->nauticalDawn)},
                    {"nauticalDusk", cli::eventJson(events->nauticalDusk)},
                    {"astronomicalDawn", cli::eventJson(events->astronomicalDawn)},
                    {"astronomicalDusk", cli::eventJson(events->astronomicalDusk)},
                });
        }
        std::printf("%s\n", platform::toJson(JsonValue(std::move(object))).c_str());
        return cli::kExitOk;
    }

    cli::TextTable table;
    table.add("time", cli::isoUtc(millis));
    table.add("jd", cli::fixed(date.JD(), 6));
    table.add("ra", raText, cli::fixed(equatorial.x, 7) + " h");
    table.add("dec", decText, cli::fixed(equatorial.y, 7) + "\u00b0");
    table.add("subsolarLat", latText, cli::fixed(subsolar.y, 7) + "\u00b0");
    table.add("subsolarLon", lonText, cli::fixed(subsolar.x, 7) + "\u00b0");
    table.add("distance", cli::fixed(distance, 7) + " AU");
    table.add("observer",
        "lon " + cli::shortest(observer.x) + "\u00b0, lat " + cli::shortest(observer.y) + "\u00b0");
    table.add("azimuth", cli::fixed(horizontal.x, 7) + "\u00b0");
    table.add("altitude", cli::fixed(horizontal.y, 7) + "\u00b0");
    if (events) {
        cli::addEventRows(table,
            {{"astronomicalDawn", events->astronomicalDawn}, {"nauticalDawn", events->nauticalDawn},
                {"civilDawn", events->civilDawn}, {"sunrise", events->sunrise},
                {"solarNoon", events->solarNoon}, {"sunset", events->sunset},
                {"civilDusk", events->civilDusk}, {"nauticalDusk", events->nauticalDusk},
                {"astronomicalDusk", events->astronomicalDusk}});
    }
    std::fputs(table.text().c_str(), stdout);
    return cli::kExitOk;
}

cli::Command::Registration registration {{
    "sun",
    "Where the Sun is at an instant: RA and Dec, subsolar point, altitude and azimuth",
    [](CLI::App& app) -> std::function<int()> {
        auto options = std::make_shared<SunOptions>();
        app.add_option("--time", options->time, cli::kTimeOptionHelp)->type_name("T");
        app.add_option("--observer", options->observer, cli::kObserverOptionHelp)
            ->type_name("LON,LAT");
        app.add_flag("--json", options->json,
            "One JSON object: time, jd, subsolar {lon, lat}, equatorial {ra (hours), dec}, "
            "horizontal {azimuth, altitude}, observer {lon, lat}, distance (AU), text "
            "{ra, dec, subsolarLat, subsolarLon}; with --observer, events {sunrise, sunset, "
            "solarNoon, civilDawn, civilDusk, nauticalDawn, nauticalDusk, astronomicalDawn, "
            "astronomicalDusk}: the first of each in the 24 hours from the instant, ISO 8601 UTC "
            "to the second, or null");
        app.footer(
            "The solar model is good to about 0.01 degree from 1950 to 2050 and works to "
            "the millisecond.\nA negative value may be joined with '=': --observer=-74,40.7\n"
            "Events: sunrise and sunset of the centre at -0.833 degrees, dawn and dusk at -6, -12 "
            "and -18,\nsolar noon the upper transit; listed in UTC and in the local zone "
            "(TZ).\n"
            "Example: gloam sun --time 2024-06-20T20:51:00Z\n"
            "Example: TZ=Europe/London gloam sun --time 2024-06-21 --observer=-0.1278,51.5074");
        return [options] { return runSun(*options); };
    },
}};

} // namespace
