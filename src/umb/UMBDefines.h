// UMBDefines: the engine's shared arithmetic: trigonometry in degrees, angle
// and hour reductions, unit conversions, truncation and decimal rounding, and
// the day/night test; also a diagnostic dump of a world-coordinate record.
// Pure functions but the dump; UMBDefines itself is never instantiated.
#pragma once

#include "umb/Worldcoor.h"

#include <cstdint>

namespace umb {

inline constexpr double kDegreesToRadians = 0.017453292519943295; // pi / 180
inline constexpr double kRadiansToDegrees = 57.29577951308232; // 180 / pi
inline constexpr double kDegreesPerHour = 15.0;

class UMBDefines {
public:
    UMBDefines() = delete;

    // True when a body in the zenith of (lon2, lat2) stands at or above the
    // horizon of (lon1, lat1), i.e. the points are at most 90 degrees apart.
    // Geometric horizon: no refraction, twilight or solar semidiameter. The
    // cosine of the distance is clamped to [-1, 1] first, so rounding can
    // never make a point fail to see a body in its own zenith. Symmetric in
    // its two points.
    static bool pointIsVisible(double lon1, double lat1, double lon2, double lat2);

    // Writes the record to standard output for diagnosis, one "name value"
    // line per field (110 lines; the coefficient arrays last, aux_strings and
    // aux_flag never). An absent text prints as an empty value.
    static void printWCS(Worldcoor wcs);
};

double dsin(double degrees);
double dcos(double degrees);
double dtan(double degrees);
double dasin(double x); // degrees; NaN outside [-1, 1]
double dacos(double x); // degrees; NaN outside [-1, 1]
double datan(double x); // degrees
double datan2(double y, double x); // degrees, [-180, 180]

// Truncation towards zero.
double ipart(double x);

// round(value * 10^places) / 10^places, halves away from zero; negative
// places round to tens, hundreds, ... The rounding acts on the binary value.
double roundDecimal(double value, int32_t places);

// The angle reduced to [0, 360) by division: -30 -> 330, 720 -> 0.
double range(double degrees);

// The angle brought into [0, 360] by whole turns: 360 and 720 -> 360, -360 ->
// 0. Values beyond a thousand turns are first reduced exactly with fmod (with
// the same end points), so that no input makes the stepping run for ages;
// infinities and NaN give NaN.
double range360(double degrees);

// The same for hours and [0, 24]: 24 and 48 -> 24, -24 -> 0, -1 -> 23.
double range24(double hours);

double degrad(double degrees);
double raddeg(double radians);
double hrdeg(double hours);
double deghr(double degrees);
double hrrad(double hours);
double radhr(double radians);

} // namespace umb
