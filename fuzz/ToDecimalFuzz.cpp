// Reads arbitrary text with UMBUtilities::toDecimal, and reads back what the
// formatters write for a value taken from the input. Any text gives a number
// (never NaN; one plain number reads as itself), and formatted text reads
// back to its value within the rounding of its thousandths of a second.
#include "support/FuzzCheck.h"
#include "umb/UMBUtilities.h"

#include <cmath>
#include <cstring>
#include <string_view>

using fuzz_support::require;
using umb::UMBUtilities;

namespace {

bool near(double a, double b)
{
    // Seconds print with three decimals: half a thousandth of a second of
    // arc (or time) is 1/7.2e6 of a unit; a little more for the rounding of
    // large values.
    return std::fabs(a - b) <= 1.0 / 7.2e6 + std::fabs(b) * 1e-12;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string_view text(reinterpret_cast<const char*>(data), size);
    double value = UMBUtilities::toDecimal(text);
    require(!std::isnan(value));
    if (umb::isNumber(text))
        require(value == umb::parseNumber(text));

    if (size >= 8) {
        double v;
        std::memcpy(&v, data, 8);
        // Whole units stop at the 32-bit range; past it the text is defined
        // but meaningless (the formatters' contract).
        if (std::isfinite(v) && std::fabs(v) < 1e9) {
            double mag = std::fabs(v);
            require(near(UMBUtilities::toDecimal(UMBUtilities::strRa(v)), v));
            require(near(UMBUtilities::toDecimal(UMBUtilities::esoRa(v)), v));
            require(near(UMBUtilities::toDecimal(UMBUtilities::strDec(v)), v));
            require(near(UMBUtilities::toDecimal(UMBUtilities::esoDec(v)), v));
            require(near(UMBUtilities::toDecimal(UMBUtilities::strDegrees(v)), mag));
            require(near(UMBUtilities::toDecimal(UMBUtilities::strGeo(v, true)), v));
            require(near(UMBUtilities::toDecimal(UMBUtilities::strGeo(v, false)), v));
        }
    }
    return 0;
}
