#include "umb/UMBRiseSet.h"

#include "umb/UMBMoon.h"
#include "umb/UMBSun.h"

#include <cmath>

namespace umb {

namespace {

// Bisection to a hundredth of a second: more than enough for a result given
// to the second.
constexpr double kPrecisionDays = 0.01 / 86400;

// The instant in [a, b] where `inside` (true at b, false at a) turns true.
template<class Test> double refine(double a, double b, const Test& inside)
{
    while (b - a > kPrecisionDays) {
        const double m = 0.5 * (a + b);
        if (inside(m))
            b = m;
        else
            a = m;
    }
    return b;
}

// The first step [a, b] of the window with !test(a) and test(b), refined.
template<class Test>
std::optional<double> firstTurn(double start, double days, const Test& test)
{
    const int steps = int(std::ceil(days / UMBRiseSet::kStepDays));
    double a = start;
    bool before = test(a);
    for (int i = 1; i <= steps; ++i) {
        const double b = i == steps ? start + days : start + i * UMBRiseSet::kStepDays;
        const bool after = test(b);
        if (!before && after)
            return refine(a, b, test);
        a = b;
        before = after;
    }
    return std::nullopt;
}

} // namespace

std::optional<double> UMBRiseSet::firstCrossing(
    const Curve& curve, double level, bool rising, double start, double days)
{
    if (rising)
        return firstTurn(start, days, [&](double t) { return curve(t) >= level; });
    return firstTurn(start, days, [&](double t) { return curve(t) < level; });
}

std::optional<double> UMBRiseSet::firstTransit(const Curve& hourAngle, double start, double days)
{
    // Only the turn through 0 counts: the jump from +180 to -180 (the lower
    // transit) goes the other way. A step spans far less than 180 degrees.
    return firstTurn(start, days, [&](double t) {
        const double h = hourAngle(t);
        return h >= 0 && h < 90;
    });
}

UMBRiseSet::SunEvents UMBRiseSet::sunEvents(double start, platform::Point observer)
{
    UMBSun sun;
    const Curve altitude = [&](double t) {
        sun.calculateForJD(t, observer);
        return sun.getHorizontal().y;
    };
    // With the observer's longitude the subsolar longitude is counted from
    // the observer's meridian: it is minus the local hour angle.
    const Curve hourAngle = [&](double t) {
        sun.calculateForJD(t, observer);
        return -sun.getSubsolar().x;
    };
    SunEvents e;
    e.sunrise = firstCrossing(altitude, kSunriseAltitude, true, start);
    e.sunset = firstCrossing(altitude, kSunriseAltitude, false, start);
    e.solarNoon = firstTransit(hourAngle, start);
    e.civilDawn = firstCrossing(altitude, kCivilAltitude, true, start);
    e.civilDusk = firstCrossing(altitude, kCivilAltitude, false, start);
    e.nauticalDawn = firstCrossing(altitude, kNauticalAltitude, true, start);
    e.nauticalDusk = firstCrossing(altitude, kNauticalAltitude, false, start);
    e.astronomicalDawn = firstCrossing(altitude, kAstronomicalAltitude, true, start);
    e.astronomicalDusk = firstCrossing(altitude, kAstronomicalAltitude, false, start);
    return e;
}

UMBRiseSet::MoonEvents UMBRiseSet::moonEvents(double start, platform::Point observer)
{
    // The altitude above the level of rising, which moves with the parallax.
    const Curve aboveHorizon = [&](double t) {
        UMBMoon moon(t, observer);
        return moon.getGeocentricAltitude() - (0.7275 * moon.getParallax() - 0.5667);
    };
    const Curve hourAngle = [&](double t) { return UMBMoon(t, observer).getHourAngle(); };
    MoonEvents e;
    e.moonrise = firstCrossing(aboveHorizon, 0, true, start);
    e.moonset = firstCrossing(aboveHorizon, 0, false, start);
    e.transit = firstTransit(hourAngle, start);
    return e;
}

} // namespace umb
