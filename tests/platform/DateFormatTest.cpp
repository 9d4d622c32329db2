#include "platform/DateFormat.h"

#include "support/ScopedEnv.h"

#include <gtest/gtest.h>

using platform::Date;
using platform::DateFormat;
using platform::TimeZone;
using testing_support::ScopedEnv;

TEST(DateFormatTest, PatternsInZonesWithEnglishNames)
{
    const Date summer {1718409601.9999}; // 2024-06-15 00:00:01.9999 UTC
    const Date winter {1704067200}; // 2024-01-01 00:00:00 UTC
    struct {
        const char *pattern, *zone;
        Date at;
        const char* text;
    } cases[] = {
        {"MM-dd-yyyy hh:mm:ss a zzz", "America/New_York", summer, "06-14-2024 08:00:01 PM EDT"},
        {"MM-dd-yyyy hh:mm:ss a zzz", "America/New_York", winter, "12-31-2023 07:00:00 PM EST"},
        {"MMM dd, yyyy hh:mm:ss a zzz", "UTC", summer, "Jun 15, 2024 12:00:01 AM UTC"},
        {"yyyyMMddHHmmss", "Asia/Tokyo", summer, "20240615090001"},
        {"HH:mm zzz", "Europe/Paris", summer, "02:00 GMT+2"}, // no short name in English
    };
    for (auto c : cases) {
        DateFormat format(c.pattern, *TimeZone::withIdentifier(c.zone), "en_US_POSIX");
        EXPECT_EQ(format.format(c.at), c.text) << c.pattern << " in " << c.zone;
    }
}

TEST(DateFormatTest, LocaleNamesTheMonthsAndMarkers)
{
    DateFormat german("MMM a", TimeZone::utc(), "de_DE.UTF-8@euro");
    EXPECT_EQ(german.format(Date {1718409601}), "Juni AM");
    DateFormat posix("MMM a", TimeZone::utc(), "C.UTF-8");
    EXPECT_EQ(posix.format(Date {1718409601}), "Jun AM");
}

TEST(DateFormatTest, UserLocaleTakesLcAllThenLcTimeThenLang)
{
    struct {
        const char *lcAll, *lcTime, *lang, *locale;
    } cases[] = {
        {"fr_FR.UTF-8", "de_DE", "it_IT", "fr_FR"},
        {"", "de_DE.UTF-8", "it_IT", "de_DE"},
        {nullptr, nullptr, "it_IT.UTF-8", "it_IT"},
        {"C", "de_DE", nullptr, "en_US_POSIX"},
        {nullptr, "POSIX", "de_DE", "en_US_POSIX"},
        {nullptr, nullptr, nullptr, "en_US_POSIX"},
        {nullptr, nullptr, "C.UTF-8", "en_US_POSIX"},
    };
    for (auto c : cases) {
        ScopedEnv env;
        env.set("LC_ALL", c.lcAll).set("LC_TIME", c.lcTime).set("LANG", c.lang);
        EXPECT_EQ(DateFormat::userLocale(), c.locale)
            << (c.lcAll ? c.lcAll : "-") << " / " << (c.lcTime ? c.lcTime : "-") << " / "
            << (c.lang ? c.lang : "-");
    }
}
