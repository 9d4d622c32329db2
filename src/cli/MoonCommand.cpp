// gloam moon: where the Moon is at an instant: right ascension and
// declination, ecliptic place, distance, the sublunar point, the phase, and
// the altitude and azimuth for an observer, with the day's rising, transit
// and setting when an observer is named; a table or one JSON object.
#include "cli/Command.h"
#include "cli/SkyEvents.h"
#include "cli/TextTable.h"
#include "cli/TimeArg.h"

#include "platform/Json.h"
#include "umb/UMBMoon.h"
#include "umb/UMBRiseSet.h"
#include "umb/UMBUtilities.h"

#include <cstdio>
#include <optional>

namespace {

using platform::JsonValue;
using umb::UMBUtilities;

struct MoonOptions {
    std::string time = "now";
    std::optional<std::string> observer;
    bool json = false;
};

int runMoon(const MoonOptions& options)
{
    const double millis = cli::instantFromOption("--time", options.time);
    const platform::Point observer
        = options.observer ? cli::observerFromOption(*options.observer) : platform::Point {};
    const double jd = cli::julianDateOfMillis(millis);

    const umb::UMBMoon moon(jd, observer);
    const platform::Point equatorial = moon.getEquatorial();
    const platform::Point ecliptic = moon.getEcliptic();
    const platform::Point sublunar = moon.getSublunar();
    const platform::Point horizontal = moon.getHorizontal();
    std::optional<umb::UMBRiseSet::MoonEvents> events;
    if (options.observer)
        events = umb::UMBRiseSet::moonEvents(jd, observer);

    if (options.json) {
        JsonValue::Object object {
            {"time", cli::isoUtc(millis)},
            {"jd", jd},
            {"equatorial", JsonValue::Object {{"ra", equatorial.x}, {"dec", equatorial.y}}},
            {"ecliptic", JsonValue::Object {{"lon", ecliptic.x}, {"lat", ecliptic.y}}},
            {"distance", moon.getDistance()},
            {"sublunar", JsonValue::Object {{"lon", sublunar.x}, {"lat", sublunar.y}}},
            {"phaseAngle", moon.getPhaseAngle()},
            {"illuminated", moon.getIlluminated()},
            {"waxing", moon.isWaxing()},
            {"observer", JsonValue::Object {{"lon", observer.x}, {"lat", observer.y}}},
            {"horizontal",
                JsonValue::Object {{"azimuth", horizontal.x}, {"altitude", horizontal.y}}},
        };
        if (events) {
            object.emplace_back("events",
                JsonValue::Object {
                    {"moonrise", cli::eventJson(events->moonrise)},
                    {"moonset", cli::eventJson(events->moonset)},
                    {"transit", cli::eventJson(events->transit)},
                });
        }
        std::printf("%s\n", platform::toJson(JsonValue(std::move(object))).c_str());
        return cli::kExitOk;
    }

    cli::TextTable table;
    table.add("time", cli::isoUtc(millis));
    table.add("jd", cli::fixed(jd, 6));
    table.add("ra", UMBUtilities::strRa(equatorial.x), cli::fixed(equatorial.x, 7) + " h");
    table.add("dec", UMBUtilities::strDec(equatorial.y), cli::fixed(equatorial.y, 7) + "\u00b0");
    table.add("eclipticLon", cli::fixed(ecliptic.x, 6) + "\u00b0");
    table.add("eclipticLat", cli::fixed(ecliptic.y, 6) + "\u00b0");
    table.add("distance", cli::fixed(moon.getDistance(), 1) + " km");
    table.add("sublunarLat", UMBUtilities::strGeo(sublunar.y, true),
        cli::fixed(sublunar.y, 7) + "\u00b0");
    table.add("sublunarLon", UMBUtilities::strGeo(sublunar.x, false),
        cli::fixed(sublunar.x, 7) + "\u00b0");
    table.add("phase", moon.phaseName());
    table.add("illuminated", cli::fixed(moon.getIlluminated() * 100, 1) + " %");
    table.add("phaseAngle", cli::fixed(moon.getPhaseAngle(), 4) + "\u00b0");
    table.add("brightLimb", cli::fixed(moon.getBrightLimb(), 2) + "\u00b0",
        "position angle from north through east");
    table.add("observer",
        "lon " + cli::shortest(observer.x) + "\u00b0, lat " + cli::shortest(observer.y) + "\u00b0");
    table.add("azimuth", cli::fixed(horizontal.x, 7) + "\u00b0");
    table.add("altitude", cli::fixed(horizontal.y, 7) + "\u00b0", "topocentric, no refraction");
    if (events) {
        cli::addEventRows(table,
            {{"moonrise", events->moonrise}, {"transit", events->transit},
                {"moonset", events->moonset}});
    }
    std::fputs(table.text().c_str(), stdout);
    return cli::kExitOk;
}

cli::Command::Registration registration {{
    "moon",
    "Where the Moon is at an instant: RA and Dec, sublunar point, phase, altitude, rising",
    [](CLI::App& app) -> std::function<int()> {
        auto options = std::make_shared<MoonOptions>();
        app.add_option("--time", options->time, cli::kTimeOptionHelp)->type_name("T");
        app.add_option("--observer", options->observer, cli::kObserverOptionHelp)
            ->type_name("LON,LAT");
        app.add_flag("--json", options->json,
            "One JSON object: time, jd, equatorial {ra (hours), dec}, ecliptic {lon, lat}, "
            "distance (km), sublunar {lon, lat}, phaseAngle (degrees), illuminated (0..1), "
            "waxing, observer {lon, lat}, horizontal {azimuth, altitude}; with --observer, "
            "events {moonrise, moonset, transit}: the first of each in the 24 hours from the "
            "instant, ISO 8601 UTC to the second, or null");
        app.footer("The Moon of Meeus, Astronomical Algorithms, ch. 47 (truncated ELP-2000/82), "
                   "about 10\" in longitude;\nTerrestrial Time from universal time by the "
                   "Delta T polynomials of Espenak and Meeus.\nThe altitude is topocentric, "
                   "without refraction. Moonrise and moonset: the centre at\n0.7275 x parallax "
                   "- 0.5667 degrees (Meeus ch. 15); events in UTC and in the local zone (TZ).\n"
                   "A negative value may be joined with '=': --observer=-74,40.7\n"
                   "Example: gloam moon --time 2024-06-20T20:51:00Z --observer 13.4,52.5");
        return [options] { return runMoon(*options); };
    },
}};

} // namespace
