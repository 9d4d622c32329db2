// UMBDate: one instant held three ways at once: a Julian Date, milliseconds
// since 1970-01-01 00:00:00 UTC, and calendar fields (astronomical years,
// Gregorian from 1582-10-15, Julian before). Converts between them, gives the
// local sidereal time, and writes the system's date texts. A plain value; the
// texts it returns belong to the caller.
#pragma once

#include "platform/Clock.h"
#include "platform/TimeZone.h"

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

namespace umb {

class UMBDate {
public:
    static constexpr double kMillisPerSecond = 1000.0;
    static constexpr double kMillisPerDay = 86400000.0;
    static constexpr double kJulianDateOf1970 = 2440587.5;
    static constexpr double kFirstGregorianKey = 15821015.0; // 1582-10-15 as yyyymmdd
    static constexpr int32_t kFirstGregorianDay = 2299161; // the day beginning at JD 2299160.5

    // The current instant (init).
    UMBDate();

    // Every operation below keeps JD = millis / 86400000 + 2440587.5 and sets
    // the calendar fields from JD with julianToGregorian.

    // Re-reads the clock.
    void update();
    // Re-reads the clock and shifts the instant by `zone`'s offset from GMT
    // at that moment, so that the fields read as the zone's wall clock (and
    // JD, millis and getDateObject are shifted by the same offset).
    void updateWithTimeZone(const platform::TimeZone& zone);
    // Out-of-range values (month 13, day 40, hour 25) roll over arithmetically.
    void initializeUTC(
        double month, double day, double year, double hour, double minute, double second);
    void initializeJD(double julianDate);
    void initializeMilliseconds(double millis);
    // Moves to 00:00:00 of the current calendar day.
    void setZeroHour();

    // The Julian Date of a calendar date and time (Meeus, Astronomical
    // Algorithms, ch. 7). Dates before 1582-10-15 are Julian-calendar dates,
    // so the ten skipped days 1582-10-05..14 land ten days later. `day` may
    // carry a fraction. Touches no object.
    static double getJD(
        double month, double day, double year, double hour, double minute, double second);

    // Where a count of days turns from the Julian calendar to the Gregorian:
    // a date whose key yyyymmdd (with whatever fraction its caller adds) lies
    // past `key`, or on it when `inclusive`, is Gregorian.
    struct GregorianCutover {
        double key;
        bool inclusive;
        bool isGregorian(double dateKey) const
        {
            return inclusive ? dateKey >= key : dateKey > key;
        }
    };
    // getJD's: from 1582-10-15 00:00:00 on, the time of day counted in the key.
    static constexpr GregorianCutover kDateCutover {kFirstGregorianKey, true};
    // Every date Gregorian (the proleptic calendar of ISO 8601).
    static constexpr GregorianCutover kProlepticGregorian {-std::numeric_limits<double>::infinity(), true};

    // The one home of the engine's and the command's calendar arithmetic
    // (Meeus ch. 7): the whole days from JD -1720994.5 to day 0 of `month` of
    // `year`, that is floor(30.6001 (m + 1)) + B + floor(365.25 y) with
    // January and February counted as months 13 and 14 of the year before,
    // and B the Gregorian correction when `cutover` says `dateKey` is
    // Gregorian. The Julian Date of 0h of day D is this + D + 1720994.5. The
    // result is a whole number, so it adds exactly in any order.
    static double daysBeforeMonth(
        double year, double month, double dateKey, GregorianCutover cutover);

    // Sets dblsec and the calendar fields from `julianDate` (Meeus ch. 7),
    // the time of day taken from the instant rounded to the whole
    // millisecond: a date made from milliseconds reads back the same fields,
    // to the millisecond. JD and millis are left alone. A Julian Date that is
    // not finite, or whose year would not fit 32 bits, leaves the fields as
    // they were.
    void julianToGregorian(double julianDate);

    // The Gregorian rule for Year, before 1582 as well.
    bool isLeapYear() const;
    // Whether the calendar fields lie on or after 1582-10-15 00:00:00.
    bool isGregorian() const;
    static bool isGregorian(double month, double day, double year);

    // Local mean sidereal time of JD at `longitude` (degrees east), in
    // degrees, 0..360 (Astronomical Almanac: GMST at 0h UT, then the
    // sidereal rate over the day).
    double localSiderialTime(double longitude) const;

    // The instant millis / 1000 seconds after 1970-01-01 00:00:00 UTC.
    platform::Date getDateObject() const;

    // "yyyy-mm-ddThh:mm:ss.sss" from the fields (printf rounding in the last
    // place, so 0.9999946 seconds print as 01.000).
    std::string getHeaderCard() const;
    // The fields as 14 digits, yyyymmddhhmmss.
    std::string getDayNumber() const;
    // The instant as yyyyMMddHHmmss in the system zone, read as a number; 0
    // if the text is not a number (a year before 1 or after 9999).
    int64_t getLocalDayNumber() const;
    // "JAN".."DEC" for Month, or lower case; empty for a Month outside 1-12.
    std::string getMonthString(bool lowercase) const;

    // The instant as "MM-dd-yyyy hh:mm:ss a zzz" in the default zone: the
    // text the widget shows.
    std::string getCurrentFormat() const;
    // Texts of any instant, in the user's locale: the widget's pattern in the
    // system zone; "MMM dd, yyyy hh:mm:ss a zzz" in `zone`; a caller's LDML
    // pattern in the local zone; a caller's pattern in UTC.
    std::string getLocalTime(platform::Date date) const;
    std::string getSatTime(platform::Date date, const platform::TimeZone& zone) const;
    std::string getLocalTime(platform::Date date, std::string_view pattern) const;
    std::string getTimeAsGMT(platform::Date date, std::string_view pattern) const;

    // Fields. A setter stores its own field only and recomputes nothing.
    double JD() const { return m_JD; }
    void setJD(double value) { m_JD = value; }
    double millis() const { return m_millis; }
    void setMillis(double value) { m_millis = value; }
    double dblsec() const { return m_dblsec; }
    void setDblsec(double value) { m_dblsec = value; }
    int32_t Month() const { return m_Month; }
    void setMonth(int32_t value) { m_Month = value; }
    int32_t Day() const { return m_Day; }
    void setDay(int32_t value) { m_Day = value; }
    int32_t Year() const { return m_Year; }
    void setYear(int32_t value) { m_Year = value; }
    int32_t Hour() const { return m_Hour; }
    void setHour(int32_t value) { m_Hour = value; }
    int32_t Minute() const { return m_Minute; }
    void setMinute(int32_t value) { m_Minute = value; }
    int32_t Second() const { return m_Second; }
    void setSecond(int32_t value) { m_Second = value; }

private:
    void setFromMillis(double millis);
    void setFromJD(double julianDate);

    double m_JD = kJulianDateOf1970;
    double m_millis = 0;
    double m_dblsec = 0;
    int32_t m_Month = 1;
    int32_t m_Day = 1;
    int32_t m_Year = 1970;
    int32_t m_Hour = 0;
    int32_t m_Minute = 0;
    int32_t m_Second = 0;
};

// Hours brought into [0, 24] by whole days; 24 and 48 give 24, -1 gives 23.
double verifyRange(double hours);

} // namespace umb
