// UMBMoon: where the Moon is for one instant: geocentric ecliptic longitude,
// latitude and distance from the truncated ELP-2000/82 series of Meeus,
// Astronomical Algorithms (2nd ed., ch. 47), right ascension and declination
// of date, the sublunar point, the phase (ch. 48) and the altitude and
// azimuth for an observer. A plain value computed at creation; it keeps no
// reference to anything.
#pragma once

#include "platform/Geometry.h"

namespace umb {

class UMBMoon {
public:
    // Geocentric ecliptic coordinates of the mean equinox of date: longitude
    // and latitude in degrees, distance between the centres in kilometres.
    struct Ecliptic {
        double longitude = 0;
        double latitude = 0;
        double distance = 0;
    };

    // Meeus ch. 47 at the Julian Ephemeris Day `jde` (Terrestrial Time):
    // the sixty terms of table 47.A for longitude and distance, the sixty of
    // table 47.B for latitude, and the additive terms of Venus, Jupiter and
    // the flattening of the Earth. About 10" in longitude, 4" in latitude.
    static Ecliptic eclipticAt(double jde);

    // Delta T = TT - UT in seconds for a year with its fraction, from the
    // polynomials of Espenak and Meeus (NASA, Five Millennium Canon of Solar
    // Eclipses, 2006), piece by piece from -500 to 2150 and the parabola
    // -20 + 32 u^2 outside.
    static double deltaT(double decimalYear);

    // The Moon now, observer (0, 0).
    UMBMoon();
    // The Moon at the Julian Date `julianDate` (universal time, with its
    // fraction) seen from `observer` (longitude east positive, latitude,
    // degrees, on the ellipsoid at sea level).
    UMBMoon(double julianDate, platform::Point observer);

    // Recomputes every field.
    void calculateForJD(double julianDate, platform::Point observer);

    // The Julian Ephemeris Day the series was evaluated at (JD + Delta T).
    double getJDE() const { return m_jde; }
    // Ecliptic longitude [0, 360) and latitude, degrees, mean equinox of date.
    platform::Point getEcliptic() const { return {m_ecliptic.longitude, m_ecliptic.latitude}; }
    // Distance between the Earth's and the Moon's centres, kilometres.
    double getDistance() const { return m_ecliptic.distance; }
    // Equatorial horizontal parallax, degrees.
    double getParallax() const { return m_parallax; }
    // Apparent right ascension in hours [0, 24) and declination in degrees,
    // true equator and equinox of date (nutation of Meeus ch. 22, low
    // precision; no aberration, which for the Moon is below 1").
    platform::Point getEquatorial() const { return m_equatorial; }
    // The point with the Moon's centre in its zenith (geocentric): longitude
    // right ascension minus Greenwich apparent sidereal time, in [-180, 180),
    // latitude the declination.
    platform::Point getSublunar() const { return m_sublunar; }
    // Azimuth from north through east [0, 360) and altitude, degrees, as seen
    // from the observer: topocentric (corrected for the parallax, up to a
    // degree), without refraction.
    platform::Point getHorizontal() const { return m_horizontal; }
    // The geocentric altitude of the centre, degrees: what the rising and
    // setting of Meeus ch. 15 compare with 0.7275 parallax - 0.5667.
    double getGeocentricAltitude() const { return m_geocentricAltitude; }
    // The local hour angle of the centre in (-180, 180], degrees, west
    // positive: 0 at the upper transit.
    double getHourAngle() const { return m_hourAngle; }
    platform::Point getObserver() const { return m_observer; }

    // Sun-Moon-Earth angle, degrees, 0 at full Moon (Meeus 48.3).
    double getPhaseAngle() const { return m_phaseAngle; }
    // The illuminated fraction of the disc, 0..1 (Meeus 48.1).
    double getIlluminated() const { return m_illuminated; }
    // True from new Moon to full Moon: the Moon east of the Sun.
    bool isWaxing() const { return m_waxing; }
    // Position angle of the midpoint of the bright limb, degrees [0, 360),
    // from the north point of the disc towards the east (Meeus 48.5).
    double getBrightLimb() const { return m_brightLimb; }
    // Where the Moon is in its cycle of phases, degrees [0, 360): 0 new, 90
    // first quarter, 180 full, 270 last quarter (the elongation, counted
    // eastward while waxing).
    double getCycleAngle() const { return m_waxing ? m_elongation : 360 - m_elongation; }
    // "new", "first quarter", "full" or "last quarter" within a day of the
    // phase (12.19 degrees of the cycle, the Moon's mean daily gain on the
    // Sun); "waxing crescent", "waxing gibbous", "waning gibbous" or "waning
    // crescent" between them.
    const char* phaseName() const;

private:
    double m_jde = 0;
    Ecliptic m_ecliptic;
    double m_parallax = 0;
    platform::Point m_equatorial;
    platform::Point m_sublunar;
    platform::Point m_horizontal;
    double m_geocentricAltitude = 0;
    double m_hourAngle = 0;
    platform::Point m_observer;
    double m_phaseAngle = 0;
    double m_illuminated = 0;
    double m_elongation = 0;
    bool m_waxing = false;
    double m_brightLimb = 0;
};

} // namespace umb
