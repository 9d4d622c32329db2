#include "umb/UMBDate.h"

#include "platform/DateFormat.h"
#include "umb/UMBDefines.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace umb {

namespace {

constexpr const char* kMonthTable = "JANFEBMARAPRMAYJUNJULAUGSEPOCTNOVDEC";
constexpr const char* kWidgetPattern = "MM-dd-yyyy hh:mm:ss a zzz";

// Julian Dates whose year still fits a 32-bit field (about 2.1e9 years).
constexpr double kLargestJulianDate = 7.8e11;

std::string format(platform::Date date, std::string_view pattern, const platform::TimeZone& zone)
{
    return platform::DateFormat(pattern, zone).format(date);
}

} // namespace

UMBDate::UMBDate()
{
    update();
}

void UMBDate::setFromMillis(double millis)
{
    m_millis = millis;
    m_JD = m_millis / kMillisPerDay + kJulianDateOf1970;
    julianToGregorian(m_JD);
}

void UMBDate::setFromJD(double julianDate)
{
    m_JD = julianDate;
    m_millis = (m_JD - kJulianDateOf1970) * kMillisPerDay;
    julianToGregorian(m_JD);
}

void UMBDate::update()
{
    setFromMillis(platform::now().secondsSince1970 * kMillisPerSecond);
}

void UMBDate::updateWithTimeZone(const platform::TimeZone& zone)
{
    platform::Date now = platform::now();
    int64_t offsetMillis = static_cast<int64_t>(zone.secondsFromGMT(now)) * 1000;
    setFromMillis(now.secondsSince1970 * kMillisPerSecond + static_cast<double>(offsetMillis));
}

void UMBDate::initializeUTC(
    double month, double day, double year, double hour, double minute, double second)
{
    setFromJD(getJD(month, day, year, hour, minute, second));
}

void UMBDate::initializeJD(double julianDate)
{
    setFromJD(julianDate);
}

void UMBDate::initializeMilliseconds(double millis)
{
    setFromMillis(millis);
}

void UMBDate::setZeroHour()
{
    setFromJD(getJD(m_Month, m_Day, m_Year, 0, 0, 0));
}

double UMBDate::getJD(double M, double D, double Y, double h, double m, double s)
{
    // The calendar is chosen from the date as given, before the shift below.
    double key = Y * 10000 + M * 100 + D + h / 100 + m / 10000 + s / 1000000;
    double dayWithFraction = ((s / 60 + m) / 60 + h) / 24 + D;
    return daysBeforeMonth(Y, M, key, kDateCutover) + dayWithFraction + 1720994.5;
}

double UMBDate::daysBeforeMonth(double Y, double M, double dateKey, GregorianCutover cutover)
{
    // January and February count as months 13 and 14 of the year before, so
    // that the leap day falls at the end of the counted year.
    if (M == 1 || M == 2) {
        M += 12;
        Y -= 1;
    }
    double B = 0;
    if (cutover.isGregorian(dateKey)) {
        double A = std::floor(Y / 100);
        B = std::floor(A * 0.25) + (2 - A);
    }
    // floor(365.25 Y) for every year, negative ones too (Meeus's formula with
    // a true floor). This is the inverse of julianToGregorian for all years,
    // and matches the solar model's day count.
    double C = std::floor(365.25 * Y);
    return std::floor((M + 1) * 30.6001) + (B + C);
}

void UMBDate::julianToGregorian(double J)
{
    if (!std::isfinite(J) || std::fabs(J) > kLargestJulianDate)
        return;
    double Z = std::floor(J + 0.5);
    // The time of day in whole milliseconds, rounded: the Julian Date's own
    // rounding error (some 40 microseconds today) must not be floored into
    // the fields, or 20:51:00 would read 20:50:59.999960.
    double dayMillis = std::round(((J + 0.5) - Z) * kMillisPerDay);
    if (dayMillis >= kMillisPerDay) {
        dayMillis -= kMillisPerDay;
        Z += 1;
    }
    double alpha = std::floor((Z - 1867216.25) / 36524.25);
    double A = Z < kFirstGregorianDay ? Z : (1 + Z + alpha) - std::floor(alpha * 0.25);
    double B = A + 1524;
    double C = std::floor((B - 122.1) / 365.25);
    double Dy = std::floor(365.25 * C);
    double E = std::floor((B - Dy) / 30.6001);

    m_Day = static_cast<int32_t>(B - Dy - std::floor(30.6001 * E));
    m_Month = static_cast<int32_t>(E < 14 ? E - 1 : E - 13);
    m_Year = static_cast<int32_t>(m_Month > 2 ? C - 4716 : C - 4715);

    const int64_t ms = static_cast<int64_t>(dayMillis);
    m_Hour = static_cast<int32_t>(ms / 3600000);
    m_Minute = static_cast<int32_t>(ms / 60000 % 60);
    m_dblsec = static_cast<double>(ms % 60000) / kMillisPerSecond;
    m_Second = static_cast<int32_t>(ms / 1000 % 60);
}

bool UMBDate::isLeapYear() const
{
    return (m_Year % 4 == 0 && m_Year % 100 != 0) || m_Year % 400 == 0;
}

bool UMBDate::isGregorian() const
{
    double key = static_cast<double>(m_Year) * 10000 + m_Month * 100 + m_Day + m_Hour / 100.0
        + m_Minute / 10000.0 + m_Second / 1000000.0;
    return key >= kFirstGregorianKey;
}

bool UMBDate::isGregorian(double month, double day, double year)
{
    return year * 10000 + month * 100 + day >= kFirstGregorianKey;
}

double UMBDate::localSiderialTime(double longitude) const
{
    double j = m_JD;
    double fr = j - std::floor(j);
    // Julian centuries from J2000.0 to the 0.5-day point just below JD.
    double T = ((j - fr) - 0.5 - 2451545.0) / 36525.0;
    double T0 = verifyRange((T * 2400.051336 + 6.697374558) + T * T * 0.000025862);
    // When fr >= 0.5 the 0.5-day point lies in the previous civil day, and up
    // to 36 hours are added here; the reduction makes that harmless.
    double G = verifyRange((fr + 0.5) * 24 * 1.00273790935 + T0);
    double L = verifyRange(longitude / 15 + G);
    return L * 15;
}

platform::Date UMBDate::getDateObject() const
{
    return platform::Date {m_millis / kMillisPerSecond};
}

std::string UMBDate::getHeaderCard() const
{
    char text[96];
    std::snprintf(text, sizeof text, "%04i-%02i-%02iT%02i:%02i:%06.3f", m_Year, m_Month, m_Day,
        m_Hour, m_Minute, m_dblsec);
    return text;
}

std::string UMBDate::getDayNumber() const
{
    char text[96];
    std::snprintf(text, sizeof text, "%04i%02i%02i%02i%02i%02i", m_Year, m_Month, m_Day, m_Hour,
        m_Minute, m_Second);
    return text;
}

int64_t UMBDate::getLocalDayNumber() const
{
    std::string text = format(getDateObject(), "yyyyMMddHHmmss", platform::TimeZone::system());
    int64_t number = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error != std::errc() || end != text.data() + text.size())
        return 0;
    return number;
}

std::string UMBDate::getMonthString(bool lowercase) const
{
    if (m_Month < 1 || m_Month > 12)
        return {};
    std::string name(kMonthTable + 3 * m_Month - 3, 3);
    if (lowercase) {
        for (char& c : name)
            c = static_cast<char>(c - 'A' + 'a');
    }
    return name;
}

std::string UMBDate::getCurrentFormat() const
{
    return format(getDateObject(), kWidgetPattern, platform::TimeZone::defaultZone());
}

std::string UMBDate::getLocalTime(platform::Date date) const
{
    return format(date, kWidgetPattern, platform::TimeZone::system());
}

std::string UMBDate::getSatTime(platform::Date date, const platform::TimeZone& zone) const
{
    return format(date, "MMM dd, yyyy hh:mm:ss a zzz", zone);
}

std::string UMBDate::getLocalTime(platform::Date date, std::string_view pattern) const
{
    return format(date, pattern, platform::TimeZone::local());
}

std::string UMBDate::getTimeAsGMT(platform::Date date, std::string_view pattern) const
{
    return format(date, pattern, platform::TimeZone::utc());
}

double verifyRange(double hours)
{
    // Taking whole days off first and then adding them, or the other way
    // round, ends on the same value; range24 is that reduction.
    return range24(hours);
}

} // namespace umb
