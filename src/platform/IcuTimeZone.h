// IcuTimeZone: the ICU zone behind a platform::TimeZone, for the platform's
// own ICU-based services. The TimeZone keeps ownership of the ICU object.
#pragma once

#include "platform/TimeZone.h"

#include <memory>
#include <unicode/timezone.h>

namespace platform {

struct TimeZone::Rules {
    std::unique_ptr<const icu::TimeZone> zone;
};

inline const icu::TimeZone& icuZone(const TimeZone& zone)
{
    return *zone.rules().zone;
}

} // namespace platform
