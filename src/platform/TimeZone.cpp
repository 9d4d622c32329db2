#include "platform/TimeZone.h"

#include "platform/IcuLibrary.h"

#include <cstdio>
#include <ctime>
#include <mutex>

namespace platform {

// A zone's rules are an ICU calendar in that zone, set to each instant asked
// about; the lock lets copies of the zone on several threads share it.
struct TimeZone::Rules {
    struct Closer {
        void operator()(UCalendar* calendar) const { icuLibrary()->ucal_close(calendar); }
    };

    std::string identifier;
    std::unique_ptr<UCalendar, Closer> calendar; // none: UTC, ICU being unavailable
    mutable std::mutex lock;
};

namespace {

// The zone ICU knows by `identifier`, under its own spelling of the name;
// none for a name it does not know.
std::shared_ptr<const TimeZone::Rules> zoneNamed(
    const IcuLibrary& icu, std::u16string_view identifier)
{
    if (identifier.empty())
        return nullptr;
    UErrorCode status = U_ZERO_ERROR;
    auto rules = std::make_shared<TimeZone::Rules>();
    rules->calendar.reset(icu.ucal_open(
        identifier.data(), int32_t(identifier.size()), "en_US_POSIX", UCAL_GREGORIAN, &status));
    if (U_FAILURE(status) || !rules->calendar)
        return nullptr;
    UChar name[128];
    int32_t length = icu.ucal_getTimeZoneID(rules->calendar.get(), name, 128, &status);
    if (U_FAILURE(status))
        return nullptr;
    rules->identifier = fromIcu(icu, std::u16string_view(name, size_t(length)));
    // ICU answers an unknown name with the "Etc/Unknown" zone rather than none.
    if (rules->identifier == "Etc/Unknown")
        return nullptr;
    return rules;
}

std::shared_ptr<const TimeZone::Rules> utcRules()
{
    static const std::shared_ptr<const TimeZone::Rules> rules = [] {
        const IcuLibrary* icu = icuLibrary();
        std::shared_ptr<const TimeZone::Rules> zone = icu ? zoneNamed(*icu, u"UTC") : nullptr;
        if (zone)
            return zone;
        auto utc = std::make_shared<TimeZone::Rules>();
        utc->identifier = "UTC";
        return std::shared_ptr<const TimeZone::Rules>(utc);
    }();
    return rules;
}

// A TZ rule that names no zone ICU knows ("XST-3") has the C library's
// standard offset and no daylight time, as ICU itself would take it.
std::u16string fixedOffsetName()
{
    tzset();
    const long east = -::timezone;
    char name[32];
    std::snprintf(name, sizeof name, "GMT%c%02ld:%02ld", east < 0 ? '-' : '+',
        std::labs(east) / 3600, std::labs(east) / 60 % 60);
    return std::u16string(name, name + std::char_traits<char>::length(name));
}

} // namespace

TimeZone TimeZone::system()
{
    const IcuLibrary* icu = icuLibrary();
    if (!icu)
        return utc();
    // Detected afresh on every call (not ICU's cached default), so that a
    // change of TZ in the running process is seen as the C library sees it.
    UChar name[128];
    UErrorCode status = U_ZERO_ERROR;
    int32_t length = icu->ucal_getHostTimeZone(name, 128, &status);
    std::shared_ptr<const Rules> zone;
    if (U_SUCCESS(status))
        zone = zoneNamed(*icu, std::u16string_view(name, size_t(length)));
    if (!zone)
        zone = zoneNamed(*icu, fixedOffsetName());
    return zone ? TimeZone(zone) : utc();
}

TimeZone TimeZone::utc()
{
    return TimeZone(utcRules());
}

std::optional<TimeZone> TimeZone::withIdentifier(std::string_view identifier)
{
    const IcuLibrary* icu = icuLibrary();
    if (!icu)
        return std::nullopt;
    std::shared_ptr<const Rules> zone = zoneNamed(*icu, toIcu(*icu, identifier));
    if (!zone)
        return std::nullopt;
    return TimeZone(zone);
}

std::string TimeZone::identifier() const
{
    return rules_->identifier;
}

int32_t TimeZone::secondsFromGMT(Date instant) const
{
    if (!rules_->calendar)
        return 0;
    const IcuLibrary& icu = *icuLibrary();
    std::lock_guard<std::mutex> hold(rules_->lock);
    UErrorCode status = U_ZERO_ERROR;
    icu.ucal_setMillis(rules_->calendar.get(), instant.secondsSince1970 * 1000.0, &status);
    int32_t raw = icu.ucal_get(rules_->calendar.get(), UCAL_ZONE_OFFSET, &status);
    int32_t dst = icu.ucal_get(rules_->calendar.get(), UCAL_DST_OFFSET, &status);
    if (U_FAILURE(status))
        return 0;
    // ICU counts in milliseconds; zone offsets are whole seconds (local mean
    // times included), so the division is exact.
    return (raw + dst) / 1000;
}

} // namespace platform
