// UMBSun: where the Sun is for one UMBDate: ecliptic longitude from a
// low-precision mean orbit, right ascension and declination, hour angle,
// altitude and azimuth for an observer, distance, and the subsolar point.
// Computed at creation; keeps no reference to the date.
#pragma once

#include "platform/Geometry.h"
#include "umb/UMBDate.h"

namespace umb {

class UMBSun {
public:
    // The Sun now, for the observer (0, 0).
    UMBSun();
    // The Sun at `date` (to the minute: seconds are not used), observer (0, 0).
    explicit UMBSun(const UMBDate& date);

    // Recomputes for a Julian Date, observer (0, 0).
    void initializeJD(double julianDate);
    // Recomputes every field for `date` and `observer` (longitude east
    // positive, latitude, degrees), to the minute: the widget's operation.
    void calculateForDate(const UMBDate& date, platform::Point observer);
    // The same model at the exact instant of `date`: the day count takes the
    // hours with the minutes' and the seconds' fraction (dblsec, to the
    // millisecond). At a whole minute it gives calculateForDate's values.
    void calculateForInstant(const UMBDate& date, platform::Point observer);
    // calculateForInstant at the Julian Date `julianDate` (universal time,
    // with its fraction).
    void calculateForJD(double julianDate, platform::Point observer);

    // Longitude in [-180, 180) and latitude of the point with the Sun in its
    // zenith, degrees. With an observer longitude other than 0 the longitude
    // is counted from the observer's meridian.
    platform::Point getSubsolar() const { return m_subsolar; }
    // Right ascension in hours [0, 24), declination in degrees.
    platform::Point getEquatorial() const { return m_equatorial; }
    // Azimuth from north through east [0, 360), altitude, degrees; geometric
    // (no refraction).
    platform::Point getHorizontal() const { return m_horizontal; }
    platform::Point getObserver() const { return m_observer; }
    // Earth-Sun distance in astronomical units.
    double getDistance() const { return m_radiusvector; }

private:
    void calculateForDay(double d, platform::Point observer);

    platform::Point m_subsolar;
    platform::Point m_equatorial;
    platform::Point m_horizontal;
    platform::Point m_observer;
    double m_radiusvector = 0;
};

// The solar model's functions (radians inside). After the Astronomical
// Almanac's low-precision formulae for the Sun, good to about 0.01 degree
// between 1950 and 2050.

// Days since J2000.0 (2000-01-01 12:00 of the fields' time scale) for a
// calendar date and hours with their fraction; Gregorian after 1582-10-04.
double FNday(double year, double month, double day, double hours);
// The Sun's apparent ecliptic longitude, radians [0, 2pi), `d` days after J2000.0.
double FNsun(double d);
// The angle of (x, y) in [0, 2pi); x = 0 gives +-pi/2 uncorrected.
double FNatn2(double y, double x);
// Inverse sine as atan(x / sqrt(1 - x^2)), for -1 < x < 1.
double FNasin(double x);
// atan(sqrt(1 - x^2) / x): the inverse cosine for x > 0, and in (-pi/2, 0) for x < 0.
double FNacos(double x);
// The angle reduced to [0, 2pi).
double FNrange(double x);
// Truncation towards zero.
double FNipart(double x);

} // namespace umb
