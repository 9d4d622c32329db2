#include "umb/UMBUtilities.h"

#include "platform/NumberScanner.h"
#include "platform/Text.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>

namespace umb {

namespace {

constexpr const char* kDegreeSign = "\xC2\xB0"; // U+00B0 in UTF-8

// Truncation toward zero of a non-negative value, saturating instead of
// overflowing: a plain cast of NaN or of 3e9 to int32_t is undefined.
int64_t truncateSaturated(double value)
{
    constexpr double kLimit = std::numeric_limits<int32_t>::max();
    if (!(value > 0.0))
        return 0;
    if (value >= kLimit)
        return std::numeric_limits<int32_t>::max();
    return static_cast<int64_t>(value);
}

struct Sexagesimal {
    int whole;
    int minutes;
    double seconds;
};

// Splits a magnitude into units, minutes and seconds. The carry looks at the
// unrounded seconds: 59.99996 stays below 60 here and prints as 60.000.
// Callers pass std::fabs of their value, which also turns -0.0 into +0.0; a
// -0.0 here would survive the subtractions and print its seconds as "-0.000".
Sexagesimal split(double v)
{
    int64_t whole = truncateSaturated(std::fabs(v));
    double f = (v - static_cast<double>(whole)) * 60.0;
    int64_t minutes = truncateSaturated(std::fabs(f));
    double seconds = (f - static_cast<double>(minutes)) * 60.0;
    constexpr int64_t kMax = std::numeric_limits<int32_t>::max();
    // Saturated minutes (an infinity, or units beyond 32 bits) have no carry
    // that means anything; leave them as they stand.
    if (minutes < kMax) {
        if (seconds >= 60.0) {
            minutes += 1;
            seconds -= 60.0;
        }
        if (minutes >= 60) {
            whole += 1;
            minutes -= 60;
        }
    }
    return {static_cast<int>(std::min(whole, kMax)), static_cast<int>(std::min(minutes, kMax)),
        seconds};
}

// `sign` goes in front; `separator` sits between the three fields.
std::string formatSplit(const char* sign, double magnitude, char separator)
{
    Sexagesimal s = split(magnitude);
    char text[128];
    std::snprintf(text, sizeof text, "%s%02d%c%02d%c%06.3f", sign, s.whole, separator, s.minutes,
        separator, s.seconds);
    return text;
}

// The formatters' sign rule: a value is negative when it compares below zero,
// so -0.0 and NaN are not.
bool isNegative(double v)
{
    return v < 0.0;
}

} // namespace

std::string UMBUtilities::strRa(double hours)
{
    return formatSplit(isNegative(hours) ? "-" : "", std::fabs(hours), ':');
}

std::string UMBUtilities::strDec(double degrees)
{
    return formatSplit(isNegative(degrees) ? "-" : "+", std::fabs(degrees), ':');
}

std::string UMBUtilities::strDegrees(double degrees)
{
    return formatSplit("", std::fabs(degrees), ':');
}

std::string UMBUtilities::strGeo(double degrees, bool isLatitude)
{
    const char* letter
        = isLatitude ? (isNegative(degrees) ? "S" : "N") : (isNegative(degrees) ? "W" : "E");
    Sexagesimal s = split(std::fabs(degrees));
    char text[128];
    std::snprintf(text, sizeof text, "%s %02d%s %02d' %06.3f\"", letter, s.whole, kDegreeSign,
        s.minutes, s.seconds);
    return text;
}

std::string UMBUtilities::esoRa(double hours)
{
    return formatSplit(isNegative(hours) ? "-" : "", std::fabs(hours), '+');
}

std::string UMBUtilities::esoDec(double degrees)
{
    return formatSplit(isNegative(degrees) ? "-" : "", std::fabs(degrees), '+');
}

std::string UMBUtilities::strEquatorial(double ra, double dec, double a, double b, double c)
{
    char numbers[1100]; // room for three %.1f values of the largest doubles
    std::snprintf(numbers, sizeof numbers, "  (%.1f, %.1f)  %.1f", a, b, c);
    return "RA " + strRa(ra) + " DEC " + strDec(dec) + numbers;
}

double UMBUtilities::toDecimal(std::string_view text)
{
    std::string trimmed = platform::trimWhitespaceAndNewlines(text);
    if (isNumber(trimmed))
        return parseNumber(trimmed);

    // Only the first character decides, and case matters: "s 10" and "10S"
    // are both positive.
    double sign = 1.0;
    if (!trimmed.empty() && (trimmed[0] == '-' || trimmed[0] == 'W' || trimmed[0] == 'S'))
        sign = -1.0;

    // Fields are maximal runs of digits and full stops; every other byte
    // separates them. Bytes of multi-byte UTF-8 characters are never ASCII, so
    // a degree sign separates like any other character.
    auto isFieldByte = [](char c) { return (c >= '0' && c <= '9') || c == '.'; };
    double total = 0.0;
    double divisor = 1.0;
    size_t i = 0;
    while (i < trimmed.size()) {
        if (!isFieldByte(trimmed[i])) {
            ++i;
            continue;
        }
        size_t start = i;
        while (i < trimmed.size() && isFieldByte(trimmed[i]))
            ++i;
        total += parseNumber(std::string_view(trimmed).substr(start, i - start)) / divisor;
        divisor *= 60.0;
    }
    return total * sign;
}

bool isNumber(std::string_view text)
{
    return platform::scanDecimalNumber(text).has_value();
}

double parseNumber(std::string_view text)
{
    return platform::scanDecimalNumber(text).value_or(0.0);
}

} // namespace umb
