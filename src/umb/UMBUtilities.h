// UMBUtilities: astronomical coordinates as sexagesimal text in several house
// styles, and such text read back as a decimal number. Stateless; every text
// returned belongs to the caller. Output is ASCII apart from the degree sign.
#pragma once

#include <string>
#include <string_view>

namespace umb {

class UMBUtilities {
public:
    // Every formatter splits its value into whole units, minutes and seconds,
    // carrying only when the unrounded seconds reach 60, so seconds a hair below
    // 60 print as "60.000". Nothing wraps (hours may read 24, degrees past 360).
    // Negative zero prints exactly as zero. Values are not range-checked: a
    // NaN, an infinity or whole units beyond the 32-bit range give a defined
    // but meaningless text (units and minutes stop at 2147483647, a NaN counts
    // as zero units, and the seconds show what is left, "nan" or "inf").

    // Right ascension in hours, "05:34:31.800". A negative value prints as its
    // magnitude behind a "-" ("-05:30:00.000"), so that the sign is not lost.
    static std::string strRa(double hours);
    // Declination in degrees with its sign always shown, "+22:00:52.200".
    static std::string strDec(double degrees);
    // An angle's magnitude in degrees, "45:30:00.000" for -45.5.
    static std::string strDegrees(double degrees);
    // A latitude (N/S) or longitude (E/W) with the hemisphere as a letter,
    // "S 33° 51' 24.480\"".
    static std::string strGeo(double degrees, bool isLatitude);
    // Right ascension in the ESO style, "12+30+00.000"; a negative value gets
    // a leading "-" as strRa does.
    static std::string esoRa(double hours);
    // Declination in the ESO style: a minus sign only, "-05+15+00.000".
    static std::string esoDec(double degrees);
    // "RA 05:34:31.800 DEC +22:00:52.200  (1.0, 2.0)  3.0": the position by
    // strRa and strDec, then three further numbers with one decimal each.
    static std::string strEquatorial(double ra, double dec, double a, double b, double c);

    // Text to decimal degrees or hours. A text that is one plain number reads
    // as that number. Otherwise every run of digits and "." is a field, the
    // fields sum as units, minutes, seconds, ... (each 1/60 of the one before;
    // a field that is not a number adds nothing), and a first character of
    // "-", "W" or "S" (case matters) makes the sum negative. Text without
    // digits reads as 0.
    static double toDecimal(std::string_view text);
};

// True when `text`, apart from white space and line breaks at either end, is
// one decimal number: optional sign, digits, optional "." and fraction, with
// "." as separator in every locale and no exponent (platform/NumberScanner.h).
bool isNumber(std::string_view text);

// The number when isNumber(text) holds, otherwise 0.0.
double parseNumber(std::string_view text);

} // namespace umb
