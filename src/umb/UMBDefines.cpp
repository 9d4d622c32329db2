#include "umb/UMBDefines.h"

#include <algorithm>
#include <cmath>

namespace umb {

namespace {

// Adds whole periods while below 0, then takes them away while above the
// period. Both tests are strict, so a positive multiple of the period ends on
// the period itself and a negative one on 0.
double stepIntoPeriod(double x, double period)
{
    if (!std::isfinite(x))
        return NAN;
    if (std::fabs(x) > period * 1000) {
        double r = std::fmod(x, period); // exact; keeps the sign of x
        x = (r == 0 && x > 0) ? period : r;
    }
    while (x < 0)
        x += period;
    while (x > period)
        x -= period;
    return x;
}

} // namespace

bool UMBDefines::pointIsVisible(double lon1, double lat1, double lon2, double lat2)
{
    double phi2 = lat2 * kDegreesToRadians;
    double phi1 = lat1 * kDegreesToRadians;
    double s = std::sin(phi2) * std::sin(phi1);
    double c = std::cos(phi1) * std::cos(phi2);
    // Cosine of the angular distance: the sine of the body's altitude.
    double sum = std::cos((lon2 - lon1) * kDegreesToRadians) * c + s;
    double altitude = std::asin(std::clamp(sum, -1.0, 1.0)) * kRadiansToDegrees;
    return altitude >= 0.0; // false for NaN input
}

double dsin(double x)
{
    return std::sin(x * kDegreesToRadians);
}

double dcos(double x)
{
    return std::cos(x * kDegreesToRadians);
}

double dtan(double x)
{
    return std::tan(x * kDegreesToRadians);
}

double dasin(double x)
{
    return std::asin(x) * kRadiansToDegrees;
}

double dacos(double x)
{
    return std::acos(x) * kRadiansToDegrees;
}

double datan(double x)
{
    return std::atan(x) * kRadiansToDegrees;
}

double datan2(double y, double x)
{
    return std::atan2(y, x) * kRadiansToDegrees;
}

double ipart(double x)
{
    return x > 0 ? std::floor(x) : std::ceil(x);
}

double roundDecimal(double value, int32_t places)
{
    double p = std::pow(10.0, places);
    return std::round(value * p) / p;
}

double range(double x)
{
    double q = x / 360.0;
    double r = (q - ipart(q)) * 360.0;
    if (r < 0)
        r += 360.0;
    return r;
}

double range360(double x)
{
    return stepIntoPeriod(x, 360.0);
}

double range24(double x)
{
    return stepIntoPeriod(x, 24.0);
}

double degrad(double x)
{
    return x * kDegreesToRadians;
}

double raddeg(double x)
{
    return x * kRadiansToDegrees;
}

double hrdeg(double x)
{
    return x * kDegreesPerHour;
}

double deghr(double x)
{
    return x / kDegreesPerHour;
}

double hrrad(double x)
{
    return (x * kDegreesPerHour) * kDegreesToRadians;
}

double radhr(double x)
{
    return (x * kRadiansToDegrees) / kDegreesPerHour;
}

} // namespace umb
