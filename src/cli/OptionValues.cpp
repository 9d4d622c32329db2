#include "cli/OptionValues.h"

#include "cli/Command.h"
#include "umb/UMBUtilities.h"

#include <cctype>
#include <cmath>
#include <cstdio>

namespace cli {

namespace {

std::string shortNumber(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

std::string_view trimmedSpaces(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

} // namespace

double numberInRange(
    const std::string& option, std::string_view text, const char* what, double low, double high)
{
    if (!umb::isNumber(text))
        throw UsageError(option + ": '" + std::string(text) + "' is not a number; give " + what
            + " as a plain decimal (digits and '.', no exponent)");
    const double value = umb::parseNumber(text);
    if (!(value >= low && value <= high))
        throw UsageError(option + ": " + std::string(trimmedSpaces(text)) + " is out of range; "
            + what + " lies from " + shortNumber(low) + " to " + shortNumber(high));
    return value;
}

std::vector<std::string> splitValues(const std::string& option, std::string_view text,
    char separator, size_t count, const char* shape)
{
    std::vector<std::string> parts;
    size_t start = 0;
    while (true) {
        size_t at = text.find(separator, start);
        parts.emplace_back(trimmedSpaces(text.substr(start, at - start)));
        if (at == std::string_view::npos)
            break;
        start = at + 1;
    }
    if (parts.size() != count)
        throw UsageError(option + ": '" + std::string(text) + "' is not " + shape);
    return parts;
}

int wholeInRange(
    const std::string& option, std::string_view text, const char* what, int low, int high)
{
    text = trimmedSpaces(text);
    bool digits = !text.empty();
    for (char c : text)
        digits = digits && c >= '0' && c <= '9';
    if (!digits)
        throw UsageError(option + ": '" + std::string(text) + "' is not a whole number; give "
            + what + " in digits");
    // More than nine digits cannot be in any range asked for here, and would
    // not fit the conversion.
    const long long value = text.size() > 9 ? (long long)high + 1 : std::stoll(std::string(text));
    if (value < low || value > high)
        throw UsageError(option + ": " + std::string(text) + " is out of range; " + what
            + " lies from " + std::to_string(low) + " to " + std::to_string(high));
    return int(value);
}

std::array<uint8_t, 4> hexColour(const std::string& option, std::string_view text, bool alpha)
{
    text = trimmedSpaces(text);
    bool hex = text.size() == 6 || (alpha && text.size() == 8);
    for (char c : text)
        hex = hex && std::isxdigit(static_cast<unsigned char>(c));
    if (!hex)
        throw UsageError(option + ": '" + std::string(text) + "' is not a colour; give "
            + (alpha ? "RRGGBB or RRGGBBAA" : "RRGGBB") + " in hexadecimal, such as "
            + (alpha ? "ffffff80" : "101020"));
    std::array<uint8_t, 4> rgba {0, 0, 0, 255};
    for (size_t i = 0; i < text.size() / 2; ++i)
        rgba[i] = uint8_t(std::stoi(std::string(text.substr(2 * i, 2)), nullptr, 16));
    return rgba;
}

} // namespace cli
