#include "umb/UMBSun.h"

#include <cmath>

namespace umb {

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kPi = 3.141592653589793;
constexpr double kRad = 0.017453292519943295; // radians per degree
constexpr double kDeg = 57.29577951308232; // degrees per radian

// Mean elements of the Sun's apparent orbit (Astronomical Almanac, low-
// precision formulae), degrees turned into radians.
constexpr double kMeanLongitude = 4.894967873435816; // 280.461
constexpr double kMeanLongitudeRate = 0.017202792393721557; // 0.9856474 per day
constexpr double kMeanAnomaly = 6.240040768070287; // 357.528
constexpr double kMeanAnomalyRate = 0.017201970343643867; // 0.9856003 per day
constexpr double kCentre1 = 0.03342305517569141; // 1.915
constexpr double kCentre2 = 0.00034906585039886593; // 0.020
constexpr double kObliquity = 0.4090877233749509; // 23.439
constexpr double kObliquityRate = -6.981317007977318e-09; // -0.0000004 per day

// Greenwich mean sidereal time at J2000.0 and its rate, degrees.
constexpr double kSiderealAtJ2000 = 280.46061837;
constexpr double kSiderealRate = 360.98564736629;

double meanAnomaly(double d)
{
    return FNrange(d * kMeanAnomalyRate + kMeanAnomaly);
}

} // namespace

UMBSun::UMBSun()
{
    UMBDate now;
    calculateForDate(now, {0, 0});
}

UMBSun::UMBSun(const UMBDate& date)
{
    calculateForDate(date, {0, 0});
}

void UMBSun::initializeJD(double julianDate)
{
    UMBDate date;
    date.initializeJD(julianDate);
    calculateForDate(date, {0, 0});
}

void UMBSun::calculateForDate(const UMBDate& date, platform::Point observer)
{
    double month = date.Month();
    double day = date.Day();
    double year = date.Year();
    double hour = date.Hour();
    double minute = date.Minute();
    calculateForDay(FNday(year, month, day, hour + minute / 60.0), observer);
}

void UMBSun::calculateForInstant(const UMBDate& date, platform::Point observer)
{
    double hours = date.Hour() + date.Minute() / 60.0 + date.dblsec() / 3600.0;
    calculateForDay(FNday(date.Year(), date.Month(), date.Day(), hours), observer);
}

void UMBSun::calculateForJD(double julianDate, platform::Point observer)
{
    UMBDate date;
    date.initializeJD(julianDate);
    calculateForInstant(date, observer);
}

void UMBSun::calculateForDay(double d, platform::Point observer)
{
    double lambda = FNsun(d);
    double epsilon = kObliquityRate * d + kObliquity;
    double alpha = FNatn2(std::cos(epsilon) * std::sin(lambda), std::cos(lambda));
    double delta = FNasin(std::sin(epsilon) * std::sin(lambda));
    double g = meanAnomaly(d);

    // Local sidereal time, then the hour angle, growing westward.
    double theta = FNrange((d * kSiderealRate + kSiderealAtJ2000) * kRad + observer.x * kRad);
    double H = FNrange(theta - alpha);
    double R = (1.00014 + (-0.01671) * std::cos(g)) + (-0.00014) * std::cos(2 * g);

    double phi = observer.y * kRad;
    double s = std::cos(H) * (std::cos(delta) * std::cos(phi)) + std::sin(delta) * std::sin(phi);
    double altitude = FNasin(s);
    double azimuth = FNatn2(
        std::sin(H) * (-std::cos(delta) * std::cos(phi)), std::sin(delta) - s * std::sin(phi));

    // The point below the Sun lies at minus the hour angle, east positive,
    // brought into [-180, 180): an hour angle of exactly 180 gives -180.
    double x = H * kDeg;
    m_subsolar = {x > 180 ? 360 - x : 180 - (x + 180), delta * kDeg};
    m_equatorial = {alpha * kDeg / 15, delta * kDeg};
    m_horizontal = {azimuth * kDeg, altitude * kDeg};
    m_radiusvector = R;
    m_observer = observer;
}

double FNipart(double x)
{
    double f = std::floor(std::fabs(x));
    return x < 0 ? -f : f;
}

double FNrange(double x)
{
    double q = x / kTwoPi;
    double r = (q - FNipart(q)) * kTwoPi;
    if (r < 0)
        r += kTwoPi;
    return r;
}

double FNatn2(double y, double x)
{
    double a = std::atan(y / x);
    if (x < 0)
        a += kPi;
    if (y < 0 && x > 0)
        a += kTwoPi;
    return a;
}

double FNasin(double x)
{
    return std::atan(x / std::sqrt(1 - x * x));
}

double FNacos(double x)
{
    return std::atan(std::sqrt(1 - x * x) / x);
}

double FNday(double y, double m, double d, double h)
{
    // The model's own cut-over: Gregorian after 1582-10-04, by the date alone.
    constexpr UMBDate::GregorianCutover kAfter15821004 {15821004, false};
    double key = 10000 * y + 100 * m + d;
    return ((UMBDate::daysBeforeMonth(y, m, key, kAfter15821004)) - 730550.5 + d) + h / 24;
}

double FNsun(double d)
{
    double L = FNrange(kMeanLongitudeRate * d + kMeanLongitude);
    double g = meanAnomaly(d);
    return FNrange((L + kCentre1 * std::sin(g)) + kCentre2 * std::sin(2 * g));
}

} // namespace umb
