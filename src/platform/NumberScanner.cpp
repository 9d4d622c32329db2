#include "platform/NumberScanner.h"

#include "platform/Text.h"

#include <charconv>
#include <string>

namespace platform {

namespace {
bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}
} // namespace

std::optional<double> scanDecimalNumber(std::string_view text)
{
    // Trimming removes exactly the characters the scanner skips, at both ends.
    std::string core = trimWhitespaceAndNewlines(text);
    std::string_view s = core;

    bool negative = false;
    if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }

    // Check the whole grammar here: from_chars alone would also take "inf",
    // "nan" and a leading part of a longer text.
    size_t i = 0;
    size_t integerDigits = 0;
    bool integerIsZero = true;
    while (i < s.size() && isDigit(s[i])) {
        integerIsZero = integerIsZero && s[i] == '0';
        ++integerDigits;
        ++i;
    }
    size_t fractionDigits = 0;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && isDigit(s[i])) {
            ++fractionDigits;
            ++i;
        }
    }
    if (i != s.size() || integerDigits + fractionDigits == 0)
        return std::nullopt;

    double magnitude = 0.0;
    auto [end, error]
        = std::from_chars(s.data(), s.data() + s.size(), magnitude, std::chars_format::fixed);
    if (error == std::errc::result_out_of_range) {
        // An integer part of zeros means the value is below one: it underflowed.
        if (!integerIsZero)
            return std::nullopt;
        magnitude = 0.0;
    } else if (error != std::errc() || end != s.data() + s.size()) {
        return std::nullopt;
    }
    return negative ? -magnitude : magnitude;
}

} // namespace platform
