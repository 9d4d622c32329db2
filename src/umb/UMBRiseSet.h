// UMBRiseSet: the day's events of the Sun and the Moon for an observer
// (rising, setting, twilight, the upper transit), each the first one in a
// window of time, found by stepping through the window on the exact-instant
// models and refining the step that holds it by bisection. Pure functions;
// nothing is kept.
#pragma once

#include "platform/Geometry.h"

#include <functional>
#include <optional>

namespace umb {

class UMBRiseSet {
public:
    UMBRiseSet() = delete;

    // A function of the instant (Julian Date, universal time), in degrees.
    using Curve = std::function<double(double julianDate)>;

    // The step of the search: five minutes, short against the quickest
    // change of a day's curve of altitude; two crossings within one step
    // (a grazing pass at a pole) count as none.
    static constexpr double kStepDays = 5.0 / 1440;

    // The first instant in [start, start + days] at which `curve` passes
    // from below `level` to `level` or above (`rising`), or from `level` or
    // above to below; none when it does not in that window. Refined to a
    // hundredth of a second.
    static std::optional<double> firstCrossing(
        const Curve& curve, double level, bool rising, double start, double days = 1.0);
    // The first upper transit in [start, start + days]: the instant at which
    // `hourAngle` (degrees, in (-180, 180], west positive) passes from
    // negative to 0 or positive.
    static std::optional<double> firstTransit(
        const Curve& hourAngle, double start, double days = 1.0);

    // The Sun's events in the 24 hours from `start`, for `observer`
    // (longitude east positive, latitude, degrees). Rising and setting are
    // those of the centre at -0.833 degrees (the upper limb on the horizon
    // with standard refraction); dawn and dusk those of the centre at -6,
    // -12 and -18 degrees; solar noon the upper transit.
    struct SunEvents {
        std::optional<double> sunrise, sunset, solarNoon, civilDawn, civilDusk, nauticalDawn,
            nauticalDusk, astronomicalDawn, astronomicalDusk;
    };
    static SunEvents sunEvents(double start, platform::Point observer);

    // The Moon's events in the 24 hours from `start`: rising and setting of
    // the centre at the geocentric altitude 0.7275 x parallax - 0.5667
    // degrees (Meeus ch. 15), and the upper transit.
    struct MoonEvents {
        std::optional<double> moonrise, moonset, transit;
    };
    static MoonEvents moonEvents(double start, platform::Point observer);

    // Altitudes of the Sun's centre, degrees, that the events name.
    static constexpr double kSunriseAltitude = -0.833;
    static constexpr double kCivilAltitude = -6.0;
    static constexpr double kNauticalAltitude = -12.0;
    static constexpr double kAstronomicalAltitude = -18.0;
};

} // namespace umb
