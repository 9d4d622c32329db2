#include "umb/UMBMoon.h"

#include "platform/Clock.h"
#include "umb/UMBDate.h"
#include "umb/UMBDefines.h"
#include "umb/UMBSun.h"

#include <cmath>
#include <cstdint>

namespace umb {

namespace {

constexpr double kJ2000 = 2451545.0;
constexpr double kDaysPerCentury = 36525.0;
constexpr double kSecondsPerDay = 86400.0;
constexpr double kEarthRadiusKm = 6378.14; // Meeus ch. 47, the parallax
constexpr double kKmPerAU = 149597870.7;
// The Earth's flattening as Meeus ch. 11 uses it: b/a = 0.99664719.
constexpr double kPolarRatio = 0.99664719;

// One row of Meeus's tables 47.A and 47.B: the multiples of the arguments D,
// M, M', F and the coefficients of the sine (longitude, latitude, in
// 0.000001 degree) and of the cosine (distance, in 0.001 km).
struct Term {
    int8_t D, M, Mp, F;
    int32_t sine;
    int32_t cosine;
};

// Table 47.A: periodic terms for the longitude (sum l) and the distance
// (sum r) of the Moon.
constexpr Term kLongitudeDistance[] = {
    {0, 0, 1, 0, 6288774, -20905355},
    {2, 0, -1, 0, 1274027, -3699111},
    {2, 0, 0, 0, 658314, -2955968},
    {0, 0, 2, 0, 213618, -569925},
    {0, 1, 0, 0, -185116, 48888},
    {0, 0, 0, 2, -114332, -3149},
    {2, 0, -2, 0, 58793, 246158},
    {2, -1, -1, 0, 57066, -152138},
    {2, 0, 1, 0, 53322, -170733},
    {2, -1, 0, 0, 45758, -204586},
    {0, 1, -1, 0, -40923, -129620},
    {1, 0, 0, 0, -34720, 108743},
    {0, 1, 1, 0, -30383, 104755},
    {2, 0, 0, -2, 15327, 10321},
    {0, 0, 1, 2, -12528, 0},
    {0, 0, 1, -2, 10980, 79661},
    {4, 0, -1, 0, 10675, -34782},
    {0, 0, 3, 0, 10034, -23210},
    {4, 0, -2, 0, 8548, -21636},
    {2, 1, -1, 0, -7888, 24208},
    {2, 1, 0, 0, -6766, 30824},
    {1, 0, -1, 0, -5163, -8379},
    {1, 1, 0, 0, 4987, -16675},
    {2, -1, 1, 0, 4036, -12831},
    {2, 0, 2, 0, 3994, -10445},
    {4, 0, 0, 0, 3861, -11650},
    {2, 0, -3, 0, 3665, 14403},
    {0, 1, -2, 0, -2689, -7003},
    {2, 0, -1, 2, -2602, 0},
    {2, -1, -2, 0, 2390, 10056},
    {1, 0, 1, 0, -2348, 6322},
    {2, -2, 0, 0, 2236, -9884},
    {0, 1, 2, 0, -2120, 5751},
    {0, 2, 0, 0, -2069, 0},
    {2, -2, -1, 0, 2048, -4950},
    {2, 0, 1, -2, -1773, 4130},
    {2, 0, 0, 2, -1595, 0},
    {4, -1, -1, 0, 1215, -3958},
    {0, 0, 2, 2, -1110, 0},
    {3, 0, -1, 0, -892, 3258},
    {2, 1, 1, 0, -810, 2616},
    {4, -1, -2, 0, 759, -1897},
    {0, 2, -1, 0, -713, -2117},
    {2, 2, -1, 0, -700, 2354},
    {2, 1, -2, 0, 691, 0},
    {2, -1, 0, -2, 596, 0},
    {4, 0, 1, 0, 549, -1423},
    {0, 0, 4, 0, 537, -1117},
    {4, -1, 0, 0, 520, -1571},
    {1, 0, -2, 0, -487, -1739},
    {2, 1, 0, -2, -399, 0},
    {0, 0, 2, -2, -381, -4421},
    {1, 1, 1, 0, 351, 0},
    {3, 0, -2, 0, -340, 0},
    {4, 0, -3, 0, 330, 0},
    {2, -1, 2, 0, 327, 0},
    {0, 2, 1, 0, -323, 1165},
    {1, 1, -1, 0, 299, 0},
    {2, 0, 3, 0, 294, 0},
    {2, 0, -1, -2, 0, 8752},
};

// Table 47.B: periodic terms for the latitude (sum b) of the Moon.
constexpr Term kLatitude[] = {
    {0, 0, 0, 1, 5128122, 0},
    {0, 0, 1, 1, 280602, 0},
    {0, 0, 1, -1, 277693, 0},
    {2, 0, 0, -1, 173237, 0},
    {2, 0, -1, 1, 55413, 0},
    {2, 0, -1, -1, 46271, 0},
    {2, 0, 0, 1, 32573, 0},
    {0, 0, 2, 1, 17198, 0},
    {2, 0, 1, -1, 9266, 0},
    {0, 0, 2, -1, 8822, 0},
    {2, -1, 0, -1, 8216, 0},
    {2, 0, -2, -1, 4324, 0},
    {2, 0, 1, 1, 4200, 0},
    {2, 1, 0, -1, -3359, 0},
    {2, -1, -1, 1, 2463, 0},
    {2, -1, 0, 1, 2211, 0},
    {2, -1, -1, -1, 2065, 0},
    {0, 1, -1, -1, -1870, 0},
    {4, 0, -1, -1, 1828, 0},
    {0, 1, 0, 1, -1794, 0},
    {0, 0, 0, 3, -1749, 0},
    {0, 1, -1, 1, -1565, 0},
    {1, 0, 0, 1, -1491, 0},
    {0, 1, 1, 1, -1475, 0},
    {0, 1, 1, -1, -1410, 0},
    {0, 1, 0, -1, -1344, 0},
    {1, 0, 0, -1, -1335, 0},
    {0, 0, 3, 1, 1107, 0},
    {4, 0, 0, -1, 1021, 0},
    {4, 0, -1, 1, 833, 0},
    {0, 0, 1, -3, 777, 0},
    {4, 0, -2, 1, 671, 0},
    {2, 0, 0, -3, 607, 0},
    {2, 0, 2, -1, 596, 0},
    {2, -1, 1, -1, 491, 0},
    {2, 0, -2, 1, -451, 0},
    {0, 0, 3, -1, 439, 0},
    {2, 0, 2, 1, 422, 0},
    {2, 0, -3, -1, 421, 0},
    {2, 1, -1, 1, -366, 0},
    {2, 1, 0, 1, -351, 0},
    {4, 0, 0, 1, 331, 0},
    {2, -1, 1, 1, 315, 0},
    {2, -2, 0, -1, 302, 0},
    {0, 0, 1, 3, -283, 0},
    {2, 1, 1, -1, -229, 0},
    {1, 1, 0, -1, 223, 0},
    {1, 1, 0, 1, 223, 0},
    {0, 1, -2, -1, -220, 0},
    {2, 1, -1, -1, -220, 0},
    {1, 0, 1, 1, -185, 0},
    {2, -1, -2, -1, 181, 0},
    {0, 1, 2, 1, -177, 0},
    {4, 0, -2, -1, 176, 0},
    {4, -1, -1, -1, 166, 0},
    {1, 0, 1, -1, -164, 0},
    {4, 0, 1, -1, 132, 0},
    {1, 0, -1, -1, -119, 0},
    {4, -1, 0, -1, 115, 0},
    {2, -2, 0, 1, 107, 0},
};

double reduced(double degrees)
{
    double r = std::fmod(degrees, 360.0);
    return r < 0 ? r + 360.0 : r;
}

// Into (-180, 180].
double signedAngle(double degrees)
{
    double r = reduced(degrees);
    return r > 180.0 ? r - 360.0 : r;
}

// Nutation in longitude and obliquity, degrees, and the mean obliquity
// (Meeus ch. 22: the low-precision series, good to 0.5" and 0.1", and 22.2).
struct Nutation {
    double longitude, obliquity, meanObliquity;
};

Nutation nutationAt(double T)
{
    const double omega = (125.04452 - 1934.136261 * T) * kDegreesToRadians;
    const double L = (280.4665 + 36000.7698 * T) * kDegreesToRadians;
    const double Lp = (218.3165 + 481267.8813 * T) * kDegreesToRadians;
    const double dpsi = -17.20 * std::sin(omega) - 1.32 * std::sin(2 * L)
        - 0.23 * std::sin(2 * Lp) + 0.21 * std::sin(2 * omega);
    const double deps = 9.20 * std::cos(omega) + 0.57 * std::cos(2 * L)
        + 0.10 * std::cos(2 * Lp) - 0.09 * std::cos(2 * omega);
    const double eps0 = 23.0 + 26.0 / 60 + 21.448 / 3600
        + (-46.8150 * T - 0.00059 * T * T + 0.001813 * T * T * T) / 3600;
    return {dpsi / 3600, deps / 3600, eps0};
}

// Greenwich mean sidereal time, degrees, of a Julian Date in universal time
// (Meeus 12.4).
double greenwichMeanSidereal(double jd)
{
    const double T = (jd - kJ2000) / kDaysPerCentury;
    return reduced(280.46061837 + 360.98564736629 * (jd - kJ2000) + 0.000387933 * T * T
        - T * T * T / 38710000.0);
}

// The decimal year of a Julian Date, near enough for Delta T.
double decimalYearOf(double jd)
{
    return 2000.0 + (jd - kJ2000) / 365.25;
}

// 360 degrees over the synodic month of 29.530589 days.
constexpr double kCycleDegreesPerDay = 360.0 / 29.530589;

} // namespace

UMBMoon::Ecliptic UMBMoon::eclipticAt(double jde)
{
    const double T = (jde - kJ2000) / kDaysPerCentury;
    const double T2 = T * T, T3 = T2 * T, T4 = T3 * T;
    // Mean longitude, elongation, the Sun's and the Moon's mean anomalies and
    // the argument of latitude (Meeus 47.1-47.5), degrees.
    const double Lp = reduced(
        218.3164477 + 481267.88123421 * T - 0.0015786 * T2 + T3 / 538841.0 - T4 / 65194000.0);
    const double D = reduced(
        297.8501921 + 445267.1114034 * T - 0.0018819 * T2 + T3 / 545868.0 - T4 / 113065000.0);
    const double M = reduced(357.5291092 + 35999.0502909 * T - 0.0001536 * T2 + T3 / 24490000.0);
    const double Mp = reduced(
        134.9633964 + 477198.8675055 * T + 0.0087414 * T2 + T3 / 69699.0 - T4 / 14712000.0);
    const double F = reduced(
        93.2720950 + 483202.0175233 * T - 0.0036539 * T2 - T3 / 3526000.0 + T4 / 863310000.0);
    const double A1 = reduced(119.75 + 131.849 * T);
    const double A2 = reduced(53.09 + 479264.290 * T);
    const double A3 = reduced(313.45 + 481266.484 * T);
    // The decreasing eccentricity of the Earth's orbit (47.6) scales the
    // terms in M once per multiple.
    const double E = 1 - 0.002516 * T - 0.0000074 * T2;
    auto eccentricity = [E](int m) { return m == 0 ? 1.0 : (m == 1 || m == -1) ? E : E * E; };
    auto argument = [&](const Term& t) {
        return (t.D * D + t.M * M + t.Mp * Mp + t.F * F) * kDegreesToRadians;
    };

    double sumL = 0, sumR = 0, sumB = 0;
    for (const Term& t : kLongitudeDistance) {
        const double a = argument(t), e = eccentricity(t.M);
        sumL += t.sine * e * std::sin(a);
        sumR += t.cosine * e * std::cos(a);
    }
    for (const Term& t : kLatitude)
        sumB += t.sine * eccentricity(t.M) * std::sin(argument(t));

    // Venus (A1), Jupiter (A2) and the flattening of the Earth (L' - F).
    auto s = [](double degrees) { return std::sin(degrees * kDegreesToRadians); };
    sumL += 3958 * s(A1) + 1962 * s(Lp - F) + 318 * s(A2);
    sumB += -2235 * s(Lp) + 382 * s(A3) + 175 * s(A1 - F) + 175 * s(A1 + F) + 127 * s(Lp - Mp)
        - 115 * s(Lp + Mp);

    return {reduced(Lp + sumL / 1e6), sumB / 1e6, 385000.56 + sumR / 1000};
}

double UMBMoon::deltaT(double y)
{
    auto parabola = [](double year) {
        const double u = (year - 1820) / 100;
        return -20 + 32 * u * u;
    };
    if (y < -500)
        return parabola(y);
    if (y < 500) {
        const double u = y / 100;
        return 10583.6
            + u * (-1014.41
                + u * (33.78311 + u * (-5.952053 + u * (-0.1798452 + u * (0.022174192 + u * 0.0090316521)))));
    }
    if (y < 1600) {
        const double u = (y - 1000) / 100;
        return 1574.2
            + u * (-556.01
                + u * (71.23472 + u * (0.319781 + u * (-0.8503463 + u * (-0.005050998 + u * 0.0083572073)))));
    }
    if (y < 1700) {
        const double t = y - 1600;
        return 120 - 0.9808 * t - 0.01532 * t * t + t * t * t / 7129;
    }
    if (y < 1800) {
        const double t = y - 1700;
        return 8.83 + 0.1603 * t - 0.0059285 * t * t + 0.00013336 * t * t * t
            - t * t * t * t / 1174000;
    }
    if (y < 1860) {
        const double t = y - 1800;
        return 13.72
            + t * (-0.332447
                + t * (0.0068612
                    + t * (0.0041116
                        + t * (-0.00037436 + t * (0.0000121272 + t * (-0.0000001699 + t * 0.000000000875))))));
    }
    if (y < 1900) {
        const double t = y - 1860;
        return 7.62
            + t * (0.5737 + t * (-0.251754 + t * (0.01680668 + t * (-0.0004473624 + t / 233174))));
    }
    if (y < 1920) {
        const double t = y - 1900;
        return -2.79 + t * (1.494119 + t * (-0.0598939 + t * (0.0061966 - 0.000197 * t)));
    }
    if (y < 1941) {
        const double t = y - 1920;
        return 21.20 + t * (0.84493 + t * (-0.076100 + 0.0020936 * t));
    }
    if (y < 1961) {
        const double t = y - 1950;
        return 29.07 + 0.407 * t - t * t / 233 + t * t * t / 2547;
    }
    if (y < 1986) {
        const double t = y - 1975;
        return 45.45 + 1.067 * t - t * t / 260 - t * t * t / 718;
    }
    if (y < 2005) {
        const double t = y - 2000;
        return 63.86
            + t * (0.3345 + t * (-0.060374 + t * (0.0017275 + t * (0.000651814 + t * 0.00002373599))));
    }
    if (y < 2050) {
        const double t = y - 2000;
        return 62.92 + 0.32217 * t + 0.005589 * t * t;
    }
    if (y < 2150)
        return parabola(y) - 0.5628 * (2150 - y);
    return parabola(y);
}

UMBMoon::UMBMoon()
{
    calculateForJD(platform::now().secondsSince1970 / kSecondsPerDay + UMBDate::kJulianDateOf1970,
        {0, 0});
}

UMBMoon::UMBMoon(double julianDate, platform::Point observer)
{
    calculateForJD(julianDate, observer);
}

void UMBMoon::calculateForJD(double jd, platform::Point observer)
{
    m_observer = observer;
    m_jde = jd + deltaT(decimalYearOf(jd)) / kSecondsPerDay;
    m_ecliptic = eclipticAt(m_jde);
    m_parallax = std::asin(kEarthRadiusKm / m_ecliptic.distance) * kRadiansToDegrees;

    // Apparent place: the nutation in longitude, then the true obliquity
    // (Meeus 13.3, 13.4).
    const double T = (m_jde - kJ2000) / kDaysPerCentury;
    const Nutation n = nutationAt(T);
    const double lambda = (m_ecliptic.longitude + n.longitude) * kDegreesToRadians;
    const double beta = m_ecliptic.latitude * kDegreesToRadians;
    const double eps = (n.meanObliquity + n.obliquity) * kDegreesToRadians;
    const double ra = reduced(
        std::atan2(std::sin(lambda) * std::cos(eps) - std::tan(beta) * std::sin(eps),
            std::cos(lambda))
        * kRadiansToDegrees);
    const double dec = std::asin(std::sin(beta) * std::cos(eps)
                           + std::cos(beta) * std::sin(eps) * std::sin(lambda))
        * kRadiansToDegrees;
    m_equatorial = {ra / kDegreesPerHour, dec};

    // Greenwich apparent sidereal time: the mean one plus the equation of
    // the equinoxes (Meeus ch. 12).
    const double gast = reduced(greenwichMeanSidereal(jd) + n.longitude * std::cos(eps));
    double lon = signedAngle(ra - gast);
    m_sublunar = {lon == 180.0 ? -180.0 : lon, dec};

    // Geocentric altitude and hour angle.
    const double phi = observer.y * kDegreesToRadians;
    const double localSidereal = gast + observer.x;
    m_hourAngle = signedAngle(localSidereal - ra);
    const double H = m_hourAngle * kDegreesToRadians, d = dec * kDegreesToRadians;
    m_geocentricAltitude = std::asin(std::sin(phi) * std::sin(d)
                               + std::cos(phi) * std::cos(d) * std::cos(H))
        * kRadiansToDegrees;

    // Topocentric place: the observer's position on the ellipsoid (Meeus
    // ch. 11) taken from the Moon's, in Earth radii, on the equator of date.
    const double u = std::atan(kPolarRatio * std::tan(phi));
    const double rhoSin = kPolarRatio * std::sin(u), rhoCos = std::cos(u);
    const double r = m_ecliptic.distance / kEarthRadiusKm;
    const double theta = localSidereal * kDegreesToRadians, a = ra * kDegreesToRadians;
    const double x = r * std::cos(d) * std::cos(a) - rhoCos * std::cos(theta);
    const double y = r * std::cos(d) * std::sin(a) - rhoCos * std::sin(theta);
    const double z = r * std::sin(d) - rhoSin;
    const double raTopo = std::atan2(y, x);
    const double decTopo = std::atan2(z, std::hypot(x, y));
    const double Ht = theta - raTopo;
    const double sinAlt = std::sin(phi) * std::sin(decTopo)
        + std::cos(phi) * std::cos(decTopo) * std::cos(Ht);
    const double alt = std::asin(std::fmax(-1.0, std::fmin(1.0, sinAlt)));
    const double az = std::atan2(-std::cos(decTopo) * std::sin(Ht),
        std::sin(decTopo) * std::cos(phi) - std::cos(decTopo) * std::cos(Ht) * std::sin(phi));
    m_horizontal = {reduced(az * kRadiansToDegrees), alt * kRadiansToDegrees};

    // The phase, from the Sun's place at the same instant (Meeus 48.2, 48.3,
    // 48.1, 48.5), with the engine's own solar model.
    UMBSun sun;
    sun.calculateForJD(jd, {0, 0});
    const double a0 = sun.getEquatorial().x * kDegreesPerHour * kDegreesToRadians;
    const double d0 = sun.getEquatorial().y * kDegreesToRadians;
    const double R = sun.getDistance() * kKmPerAU;
    const double cosPsi
        = std::sin(d0) * std::sin(d) + std::cos(d0) * std::cos(d) * std::cos(a0 - a);
    const double psi = std::acos(std::fmax(-1.0, std::fmin(1.0, cosPsi)));
    const double i = std::atan2(R * std::sin(psi), m_ecliptic.distance - R * std::cos(psi));
    m_phaseAngle = i * kRadiansToDegrees;
    m_illuminated = (1 + std::cos(i)) / 2;
    m_elongation = psi * kRadiansToDegrees;
    m_waxing = reduced((a - a0) * kRadiansToDegrees) < 180.0;
    m_brightLimb = reduced(std::atan2(std::cos(d0) * std::sin(a0 - a),
                               std::sin(d0) * std::cos(d) - std::cos(d0) * std::sin(d) * std::cos(a0 - a))
        * kRadiansToDegrees);
}

const char* UMBMoon::phaseName() const
{
    static const char* const kPrincipal[] = {"new", "first quarter", "full", "last quarter"};
    static const char* const kBetween[]
        = {"waxing crescent", "waxing gibbous", "waning gibbous", "waning crescent"};
    const double c = getCycleAngle();
    const int quarter = int(std::floor(reduced(c + 45.0) / 90.0)) % 4;
    if (std::fabs(signedAngle(c - 90.0 * quarter)) < kCycleDegreesPerDay)
        return kPrincipal[quarter];
    return kBetween[int(std::floor(c / 90.0)) % 4];
}

} // namespace umb
