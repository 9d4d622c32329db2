#include "cli/Duration.h"

#include "cli/Command.h"

#include <cmath>

namespace cli {
namespace {

constexpr int64_t kSecond = 1000, kMinute = 60 * kSecond, kHour = 60 * kMinute, kDay = 24 * kHour;
// A hundred years of days: long enough for any span worth a picture, short
// enough that no sum of parts can overflow.
constexpr int64_t kLongest = 36525 * kDay;

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

std::optional<int64_t> fail(std::string* why, const char* reason)
{
    if (why)
        *why = reason;
    return std::nullopt;
}

// Digits at `at`, advancing past them; none for no digits or a number beyond
// kLongest (which no unit makes shorter than itself).
std::optional<int64_t> digits(std::string_view text, size_t& at)
{
    int64_t value = 0;
    const size_t start = at;
    while (at < text.size() && isDigit(text[at])) {
        value = value * 10 + (text[at] - '0');
        if (value > kLongest)
            return std::nullopt;
        ++at;
    }
    if (at == start)
        return std::nullopt;
    return value;
}

std::optional<int64_t> shortForm(std::string_view text, std::string* why)
{
    size_t at = 0;
    std::optional<int64_t> n = digits(text, at);
    if (!n)
        return fail(why, "a whole number and a unit (s, m, h or d) were expected");
    if (at + 1 != text.size())
        return fail(why, "one unit (s, m, h or d) must follow the number");
    int64_t unit = 0;
    switch (text[at]) {
    case 's':
        unit = kSecond;
        break;
    case 'm':
        unit = kMinute;
        break;
    case 'h':
        unit = kHour;
        break;
    case 'd':
        unit = kDay;
        break;
    default:
        return fail(why, "the unit must be s, m, h or d");
    }
    if (*n > kLongest / unit)
        return fail(why, "longer than 100 years");
    return *n * unit;
}

std::optional<int64_t> isoForm(std::string_view text, std::string* why)
{
    size_t at = 1; // past the P
    bool inTime = false, any = false, weeks = false;
    const std::string_view dateUnits = "WD", timeUnits = "HMS";
    size_t lastUnit = 0; // one past the index of the unit last read, in its list
    int64_t total = 0;
    while (at < text.size()) {
        if (text[at] == 'T') {
            if (inTime)
                return fail(why, "T appears twice");
            inTime = true;
            lastUnit = 0;
            ++at;
            if (at == text.size())
                return fail(why, "a time part must follow T");
            continue;
        }
        std::optional<int64_t> n = digits(text, at);
        if (!n)
            return fail(why, "a number was expected");
        int64_t fraction = 0; // milliseconds, for seconds only
        if (at < text.size() && (text[at] == '.' || text[at] == ',')) {
            ++at;
            int64_t scale = 100;
            const size_t start = at;
            while (at < text.size() && isDigit(text[at])) {
                fraction += (text[at] - '0') * scale;
                scale /= 10;
                ++at;
            }
            if (at == start || at == text.size() || text[at] != 'S' || !inTime)
                return fail(why, "only seconds may have a fraction");
        }
        if (at == text.size())
            return fail(why, "a unit must follow each number");
        const char unit = text[at++];
        if (!inTime && (unit == 'Y' || unit == 'M'))
            return fail(why, "years and months have no fixed length; give days");
        const std::string_view units = inTime ? timeUnits : dateUnits;
        const size_t index = units.find(unit);
        if (index == std::string_view::npos)
            return fail(
                why, inTime ? "a time unit must be H, M or S" : "a date unit must be W or D");
        if (index + 1 <= lastUnit)
            return fail(why, "units must come each once, largest first");
        lastUnit = index + 1;
        weeks = weeks || (!inTime && unit == 'W');
        static constexpr int64_t kDateScale[] = {7 * kDay, kDay};
        static constexpr int64_t kTimeScale[] = {kHour, kMinute, kSecond};
        const int64_t scale = inTime ? kTimeScale[index] : kDateScale[index];
        if (*n > kLongest / scale)
            return fail(why, "longer than 100 years");
        total += *n * scale + fraction;
        if (total > kLongest)
            return fail(why, "longer than 100 years");
        any = true;
    }
    if (!any)
        return fail(why, "P must be followed by at least one number and unit");
    if (weeks && (lastUnit != 1 || inTime))
        return fail(why, "weeks cannot be combined with other units");
    return total;
}

} // namespace

std::optional<int64_t> parseDuration(std::string_view text, std::string* why)
{
    if (text.empty())
        return fail(why, "it is empty");
    if (text[0] == 'P')
        return isoForm(text, why);
    return shortForm(text, why);
}

int64_t stepFromOption(const std::string& option, std::string_view text)
{
    std::string why;
    std::optional<int64_t> step = parseDuration(text, &why);
    if (step && *step <= 0)
        why = "a step must be longer than zero";
    if (!step || *step <= 0)
        throw UsageError(option + ": '" + std::string(text) + "' is not a step of time (" + why
            + "); give 30s, 10m, 1h, 1d or ISO 8601 such as PT10M or P1D");
    return *step;
}

int64_t instantCount(double from, double to, int64_t step, int64_t limit)
{
    if (!(to >= from))
        return 0;
    const double steps = std::floor((to - from) / double(step));
    if (steps >= double(limit))
        return limit + 1;
    return int64_t(steps) + 1;
}

double nextMultiple(double now, int64_t step)
{
    const double size = double(step);
    return (std::floor(now / size) + 1.0) * size;
}

} // namespace cli
