// OptionValues: reads the numbers that command options carry ("12.5",
// "90,-23.5", "800x400") and says clearly what is wrong with a bad one. Free
// functions; each throws UsageError naming the option and its text.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace cli {

// A plain decimal number ("-12.5": no exponent, "." as separator) within
// [low, high]; `what` names it in messages ("a longitude").
double numberInRange(
    const std::string& option, std::string_view text, const char* what, double low, double high);

// Exactly `count` parts of `text` split at `separator`, each trimmed of
// spaces; `shape` shows the expected form in messages ("LON,LAT").
std::vector<std::string> splitValues(const std::string& option, std::string_view text,
    char separator, size_t count, const char* shape);

// A whole number written in decimal digits alone (no sign, no fraction)
// within [low, high].
int wholeInRange(
    const std::string& option, std::string_view text, const char* what, int low, int high);

// A colour written RRGGBB in hexadecimal, or RRGGBBAA when `alpha` allows
// it (opaque otherwise): red, green, blue, alpha, straight.
std::array<uint8_t, 4> hexColour(const std::string& option, std::string_view text, bool alpha);

} // namespace cli
