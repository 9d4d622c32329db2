// gloam coord: converts one coordinate by hand, decimal to sexagesimal text
// in the engine's house styles, or such text back to a decimal number.
#include "cli/Command.h"

#include "umb/UMBUtilities.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <optional>
#include <vector>

namespace {

using umb::UMBUtilities;

// The formatters print whole units as a 32-bit integer; beyond that their
// text means nothing, so such values are refused here.
constexpr double kLargestMagnitude = 2147483647.0;

double numberOrThrow(
    const std::string& option, const std::string& text, const char* unit, bool limited = true)
{
    if (!umb::isNumber(text))
        throw cli::UsageError(option + ": '" + text + "' is not a number; give " + unit
            + " as a plain decimal such as -12.5 (no exponent, '.' as separator)");
    double value = umb::parseNumber(text);
    if (limited && std::fabs(value) > kLargestMagnitude)
        throw cli::UsageError(option + ": " + text + " is too large; the whole " + unit
            + " must fit in 32 bits (at most 2147483647)");
    return value;
}

struct Options {
    std::string ra, esoRa, dec, esoDec, degrees, lat, lon, equatorial, parse;
};

std::string equatorialText(const std::string& list)
{
    std::vector<std::string> parts;
    size_t start = 0;
    while (true) {
        size_t comma = list.find(',', start);
        parts.push_back(list.substr(start, comma - start));
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    if (parts.size() != 5)
        throw cli::UsageError("--equatorial: expected five comma-separated numbers "
                              "RA,DEC,A,B,C (such as 5.5755,22.0145,1,2,3), got "
            + std::to_string(parts.size()));
    double ra = numberOrThrow("--equatorial", parts[0], "hours");
    double dec = numberOrThrow("--equatorial", parts[1], "degrees");
    double a = numberOrThrow("--equatorial", parts[2], "value", false);
    double b = numberOrThrow("--equatorial", parts[3], "value", false);
    double c = numberOrThrow("--equatorial", parts[4], "value", false);
    return UMBUtilities::strEquatorial(ra, dec, a, b, c);
}

cli::Command::Registration registration {{
    "coord",
    "Convert one coordinate between decimal and sexagesimal text",
    [](CLI::App& app) -> std::function<int()> {
        auto options = std::make_shared<Options>();
        app.add_option("--ra", options->ra,
               "Right ascension in decimal hours as hh:mm:ss.sss (5.5755 -> 05:34:31.800)")
            ->type_name("HOURS");
        app.add_option("--eso-ra", options->esoRa,
               "Right ascension in decimal hours, ESO style (12.5 -> 12+30+00.000)")
            ->type_name("HOURS");
        app.add_option("--dec", options->dec,
               "Declination in decimal degrees, sign always shown (-0.5 -> -00:30:00.000)")
            ->type_name("DEGREES");
        app.add_option("--eso-dec", options->esoDec,
               "Declination in decimal degrees, ESO style (-5.25 -> -05+15+00.000)")
            ->type_name("DEGREES");
        app.add_option("--degrees", options->degrees,
               "An angle's magnitude in decimal degrees (-45.5 -> 45:30:00.000)")
            ->type_name("DEGREES");
        app.add_option("--lat", options->lat,
               "Latitude in decimal degrees, N or S (-33.8568 -> S 33\u00b0 51' 24.480\")")
            ->type_name("DEGREES");
        app.add_option("--lon", options->lon,
               "Longitude in decimal degrees, E or W (151.2093 -> E 151\u00b0 12' 33.480\")")
            ->type_name("DEGREES");
        app.add_option("--equatorial", options->equatorial,
               "RA hours, Dec degrees and three numbers (5.5755,22.0145,1,2,3 -> "
               "RA 05:34:31.800 DEC +22:00:52.200  (1.0, 2.0)  3.0)")
            ->type_name("RA,DEC,A,B,C");
        app.add_option("--parse", options->parse,
               "Text to a decimal number with 17 significant digits: one plain number, or "
               "fields of digits and '.' read as units, minutes, seconds, ... and made "
               "negative by a leading -, W or S (\"S 33 52 04\" -> -33.867777777777775)")
            ->type_name("COORD");
        app.footer("Give exactly one option. Write a value that begins with '-' either way:\n"
                   "  gloam coord --dec -0.5      gloam coord --dec=-0.5\n"
                   "  gloam coord --lat=-33.8568  gloam coord --parse=\"12:30:36\"");

        return [&app, options]() -> int {
            struct Choice {
                const char* name;
                const std::string* value;
            };
            const std::array<Choice, 9> choices {{
                {"--ra", &options->ra},
                {"--eso-ra", &options->esoRa},
                {"--dec", &options->dec},
                {"--eso-dec", &options->esoDec},
                {"--degrees", &options->degrees},
                {"--lat", &options->lat},
                {"--lon", &options->lon},
                {"--equatorial", &options->equatorial},
                {"--parse", &options->parse},
            }};
            std::optional<Choice> chosen;
            for (const Choice& choice : choices) {
                if (app.count(choice.name) == 0)
                    continue;
                if (chosen)
                    throw cli::UsageError(std::string("give only one option, not both ")
                        + chosen->name + " and " + choice.name);
                chosen = choice;
            }
            if (!chosen)
                throw cli::UsageError("give one of --ra, --eso-ra, --dec, --eso-dec, --degrees, "
                                      "--lat, --lon, --equatorial or --parse (see --help)");

            const std::string name = chosen->name;
            const std::string& value = *chosen->value;
            std::string line;
            if (name == "--ra")
                line = UMBUtilities::strRa(numberOrThrow(name, value, "hours"));
            else if (name == "--eso-ra")
                line = UMBUtilities::esoRa(numberOrThrow(name, value, "hours"));
            else if (name == "--dec")
                line = UMBUtilities::strDec(numberOrThrow(name, value, "degrees"));
            else if (name == "--eso-dec")
                line = UMBUtilities::esoDec(numberOrThrow(name, value, "degrees"));
            else if (name == "--degrees")
                line = UMBUtilities::strDegrees(numberOrThrow(name, value, "degrees"));
            else if (name == "--lat")
                line = UMBUtilities::strGeo(numberOrThrow(name, value, "degrees"), true);
            else if (name == "--lon")
                line = UMBUtilities::strGeo(numberOrThrow(name, value, "degrees"), false);
            else if (name == "--equatorial")
                line = equatorialText(value);
            else {
                char number[64];
                std::snprintf(number, sizeof number, "%.17g", UMBUtilities::toDecimal(value));
                line = number;
            }
            std::printf("%s\n", line.c_str());
            return cli::kExitOk;
        };
    },
}};

} // namespace
