#include "cli/TimeArg.h"

#include "cli/Command.h"
#include "platform/Clock.h"

#include <cmath>
#include <cstdint>
#include <cstdio>

namespace cli {

namespace {

constexpr int64_t kMillisPerDay = 86400000;

// Days from 1970-01-01 to a proleptic Gregorian date, by the engine's
// calendar arithmetic (JD 2440587.5 is 1970-01-01 00:00).
int64_t daysFromCivil(int64_t year, int month, int day)
{
    const double days = umb::UMBDate::daysBeforeMonth(
        double(year), month, 0, umb::UMBDate::kProlepticGregorian);
    return int64_t(days) + day - 719593;
}

struct Civil {
    int64_t year;
    int month, day;
};

Civil civilFromDays(int64_t days)
{
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const int64_t doe = days - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    const int day = int(doy - (153 * mp + 2) / 5 + 1);
    const int month = int(mp < 10 ? mp + 3 : mp - 9);
    return {era * 400 + yoe + (month <= 2), month, day};
}

bool isLeap(int64_t year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(int64_t year, int month)
{
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeap(year) ? 29 : kDays[month - 1];
}

// A cursor over the text that reads fixed-width digit fields.
class Reader {
public:
    explicit Reader(std::string_view text)
        : text_(text)
    {
    }
    bool atEnd() const { return pos_ == text_.size(); }
    char peek() const { return atEnd() ? '\0' : text_[pos_]; }
    void skip() { ++pos_; }
    bool take(char c)
    {
        if (peek() != c)
            return false;
        ++pos_;
        return true;
    }
    // Exactly `count` ASCII digits.
    std::optional<int> digits(int count)
    {
        int value = 0;
        for (int i = 0; i < count; ++i) {
            char c = peek();
            if (c < '0' || c > '9')
                return std::nullopt;
            value = value * 10 + (c - '0');
            ++pos_;
        }
        return value;
    }
    // One or more digits after a decimal point, as milliseconds. Digits past
    // the eighteenth are below any clock's resolution and are read as 0.
    std::optional<double> fractionMillis()
    {
        int64_t numerator = 0;
        double denominator = 1;
        size_t start = pos_;
        while (peek() >= '0' && peek() <= '9') {
            if (pos_ - start < 18) {
                numerator = numerator * 10 + (peek() - '0');
                denominator *= 10;
            }
            ++pos_;
        }
        if (pos_ == start)
            return std::nullopt;
        return double(numerator) * 1000.0 / denominator;
    }

private:
    std::string_view text_;
    size_t pos_ = 0;
};

std::optional<double> fail(std::string* why, std::string reason)
{
    if (why)
        *why = std::move(reason);
    return std::nullopt;
}

std::string_view trimmed(std::string_view text)
{
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool isNow(std::string_view text)
{
    if (text.size() != 3)
        return false;
    for (size_t i = 0; i < 3; ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
        if (c != "now"[i])
            return false;
    }
    return true;
}

} // namespace

std::optional<double> parseInstant(std::string_view text, std::string* why)
{
    text = trimmed(text);
    if (text.empty())
        return fail(why, "it is empty");
    if (isNow(text))
        return platform::now().secondsSince1970 * 1000.0;

    Reader in(text);
    std::optional<int> year = in.digits(4);
    if (!year || !in.take('-'))
        return fail(why, "it does not begin with a date yyyy-mm-dd");
    std::optional<int> month = in.digits(2);
    if (!month || !in.take('-'))
        return fail(why, "the month must be two digits, yyyy-mm-dd");
    std::optional<int> day = in.digits(2);
    if (!day)
        return fail(why, "the day must be two digits, yyyy-mm-dd");
    if (*month < 1 || *month > 12)
        return fail(why, "there is no month " + std::to_string(*month));
    if (*day < 1 || *day > daysInMonth(*year, *month))
        return fail(
            why, "day " + std::to_string(*day) + " is not in " + std::string(text.substr(0, 7)));

    int hour = 0, minute = 0, second = 0;
    double fractionMillis = 0;
    int offsetMinutes = 0;
    if (!in.atEnd()) {
        if (!(in.take('T') || in.take('t') || in.take(' ')))
            return fail(why, "the date must be followed by T and a time");
        std::optional<int> h = in.digits(2);
        if (!h || !in.take(':'))
            return fail(why, "the time must be hh:mm or hh:mm:ss");
        std::optional<int> m = in.digits(2);
        if (!m)
            return fail(why, "the minutes must be two digits, hh:mm");
        hour = *h;
        minute = *m;
        if (in.take(':')) {
            std::optional<int> s = in.digits(2);
            if (!s)
                return fail(why, "the seconds must be two digits, hh:mm:ss");
            second = *s;
            if (in.take('.') || in.take(',')) {
                std::optional<double> f = in.fractionMillis();
                if (!f)
                    return fail(why, "a decimal point must be followed by digits");
                fractionMillis = *f;
            }
        }
        if (hour > 23)
            return fail(why, "hour " + std::to_string(hour) + " is not 00-23");
        if (minute > 59)
            return fail(why, "minute " + std::to_string(minute) + " is not 00-59");
        if (second > 59)
            return fail(why, "second " + std::to_string(second) + " is not 00-59");

        if (in.take('Z') || in.take('z')) {
            offsetMinutes = 0;
        } else if (in.peek() == '+' || in.peek() == '-') {
            const int sign = in.peek() == '-' ? -1 : 1;
            in.skip();
            std::optional<int> oh = in.digits(2);
            if (!oh)
                return fail(why, "the offset must be +hh:mm or -hh:mm");
            int om = 0;
            if (!in.atEnd()) {
                in.take(':');
                std::optional<int> m2 = in.digits(2);
                if (!m2)
                    return fail(why, "the offset must be +hh:mm or -hh:mm");
                om = *m2;
            }
            if (*oh > 23 || om > 59)
                return fail(why, "the offset is not a time of day, +00:00 to +23:59");
            offsetMinutes = sign * (*oh * 60 + om);
        } else if (in.atEnd()) {
            return fail(why, "the time has no zone: add Z for UTC or an offset such as +02:00");
        } else {
            return fail(why, "unexpected text after the time");
        }
        if (!in.atEnd())
            return fail(why, "unexpected text after the zone");
    }

    const int64_t days = daysFromCivil(*year, *month, *day);
    const int64_t wholeSeconds
        = days * 86400 + int64_t(hour) * 3600 + int64_t(minute) * 60 + second - offsetMinutes * 60;
    return double(wholeSeconds) * 1000.0 + fractionMillis;
}

double instantFromOption(const std::string& option, std::string_view text)
{
    std::string why;
    std::optional<double> millis = parseInstant(text, &why);
    if (!millis)
        throw UsageError(option + ": '" + std::string(text) + "' is not an instant (" + why
            + "); give one such as 2024-06-20T20:51:00Z, 2024-06-20T22:51+02:00, 2024-06-20 or "
              "now");
    return *millis;
}

umb::UMBDate engineDateAt(double millis)
{
    umb::UMBDate date;
    date.initializeMilliseconds(millis);
    return date;
}

std::string isoUtc(double millis)
{
    const int64_t ms = int64_t(std::floor(millis));
    int64_t days = ms / kMillisPerDay;
    int64_t rest = ms % kMillisPerDay;
    if (rest < 0) {
        rest += kMillisPerDay;
        --days;
    }
    const Civil date = civilFromDays(days);
    const int hour = int(rest / 3600000), minute = int(rest / 60000 % 60);
    const int second = int(rest / 1000 % 60), milli = int(rest % 1000);
    char text[64];
    if (milli != 0)
        std::snprintf(text, sizeof text, "%04lld-%02d-%02dT%02d:%02d:%02d.%03dZ",
            static_cast<long long>(date.year), date.month, date.day, hour, minute, second, milli);
    else
        std::snprintf(text, sizeof text, "%04lld-%02d-%02dT%02d:%02d:%02dZ",
            static_cast<long long>(date.year), date.month, date.day, hour, minute, second);
    return text;
}

} // namespace cli
