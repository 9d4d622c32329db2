#include "platform/TimeZone.h"

#include "platform/IcuTimeZone.h"

#include <cmath>

namespace platform {

namespace {

std::shared_ptr<const TimeZone::Rules> adopt(icu::TimeZone* zone)
{
    auto rules = std::make_shared<TimeZone::Rules>();
    rules->zone.reset(zone);
    return rules;
}

} // namespace

TimeZone TimeZone::system()
{
    // Detected afresh on every call (not ICU's cached default), so that a
    // change of TZ in the running process is seen as the C library sees it.
    icu::TimeZone* zone = icu::TimeZone::detectHostTimeZone();
    if (!zone)
        return utc();
    return TimeZone(adopt(zone));
}

TimeZone TimeZone::utc()
{
    static const std::shared_ptr<const Rules> rules
        = adopt(icu::TimeZone::createTimeZone(icu::UnicodeString(u"UTC")));
    return TimeZone(rules);
}

std::optional<TimeZone> TimeZone::withIdentifier(std::string_view identifier)
{
    icu::UnicodeString id = icu::UnicodeString::fromUTF8(
        icu::StringPiece(identifier.data(), static_cast<int32_t>(identifier.size())));
    std::unique_ptr<icu::TimeZone> zone(icu::TimeZone::createTimeZone(id));
    // ICU answers an unknown name with the "Etc/Unknown" zone rather than none.
    if (!zone || *zone == icu::TimeZone::getUnknown())
        return std::nullopt;
    return TimeZone(adopt(zone.release()));
}

std::string TimeZone::identifier() const
{
    icu::UnicodeString id;
    rules_->zone->getID(id);
    std::string out;
    id.toUTF8String(out);
    return out;
}

int32_t TimeZone::secondsFromGMT(Date instant) const
{
    UErrorCode status = U_ZERO_ERROR;
    int32_t raw = 0;
    int32_t dst = 0;
    rules_->zone->getOffset(instant.secondsSince1970 * 1000.0, false, raw, dst, status);
    if (U_FAILURE(status))
        return 0;
    // ICU counts in milliseconds; zone offsets are whole seconds (local mean
    // times included), so the division is exact.
    return (raw + dst) / 1000;
}

} // namespace platform
