// gloam sun: where the Sun is at an instant: right ascension and declination,
// the subsolar point, the distance, and the altitude and azimuth for an
// observer, as a short table or as one JSON object.
#include "cli/Command.h"
#include "cli/OptionValues.h"
#include "cli/TextTable.h"
#include "cli/TimeArg.h"

#include "platform/Json.h"
#include "umb/UMBDate.h"
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

platform::Point observerFrom(const std::optional<std::string>& text)
{
    if (!text)
        return {0, 0};
    auto parts = cli::splitValues("--observer", *text, ',', 2, "LON,LAT, such as 13.4,52.5");
    return {cli::numberInRange("--observer", parts[0], "a longitude", -180, 180),
        cli::numberInRange("--observer", parts[1], "a latitude", -90, 90)};
}

int runSun(const SunOptions& options)
{
    const double millis = cli::instantFromOption("--time", options.time);
    const platform::Point observer = observerFrom(options.observer);

    const umb::UMBDate date = cli::engineDateAt(millis);
    // The engine counts the subsolar longitude from the observer's meridian
    // when the observer is not on Greenwich's; the point on the Earth is the
    // one from the Greenwich calculation, and only altitude and azimuth
    // belong to the observer.
    umb::UMBSun sun(date);
    const platform::Point subsolar = sun.getSubsolar();
    const platform::Point equatorial = sun.getEquatorial();
    const double distance = sun.getDistance();
    sun.calculateForDate(date, observer);
    const platform::Point horizontal = sun.getHorizontal();

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
    std::fputs(table.text().c_str(), stdout);
    return cli::kExitOk;
}

cli::Command::Registration registration {{
    "sun",
    "Where the Sun is at an instant: RA and Dec, subsolar point, altitude and azimuth",
    [](CLI::App& app) -> std::function<int()> {
        auto options = std::make_shared<SunOptions>();
        app.add_option("--time", options->time, cli::kTimeOptionHelp)->type_name("T");
        app.add_option("--observer", options->observer,
               "Where altitude and azimuth are seen from: longitude (east positive) and "
               "latitude in degrees (default 0,0)")
            ->type_name("LON,LAT");
        app.add_flag("--json", options->json,
            "One JSON object: time, jd, subsolar {lon, lat}, equatorial {ra (hours), dec}, "
            "horizontal {azimuth, altitude}, observer {lon, lat}, distance (AU), text "
            "{ra, dec, subsolarLat, subsolarLon}");
        app.footer("The solar model is good to about 0.01 degree from 1950 to 2050 and works to "
                   "the minute.\nA negative value may be joined with '=': --observer=-74,40.7\n"
                   "Example: gloam sun --time 2024-06-20T20:51:00Z");
        return [options] { return runSun(*options); };
    },
}};

} // namespace
