// TimeZone: a value type for one time zone (an identifier and its rules), and
// the zones the system names: the machine's own, and UTC. Copies share the
// same immutable rules; nothing needs releasing.
#pragma once

#include "platform/Clock.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

class TimeZone {
public:
    // The machine's zone as it is at the moment of the call: the TZ variable
    // when set (an Olson name, with or without a leading ':', or a POSIX rule
    // such as "EST5EDT"), otherwise /etc/localtime. The process has no
    // separately settable default, so the system, default and local zones are
    // all this one.
    static TimeZone system();
    static TimeZone defaultZone() { return system(); }
    static TimeZone local() { return system(); }

    // The zone whose abbreviation is "UTC": no offset, no daylight time.
    static TimeZone utc();

    // The zone with an Olson identifier ("America/New_York") or a fixed
    // offset ("GMT-05:00"); none for a name the zone data does not know.
    static std::optional<TimeZone> withIdentifier(std::string_view identifier);

    std::string identifier() const;

    // Offset of the zone's wall clock from GMT at `instant`, in whole seconds,
    // east positive, daylight time included.
    int32_t secondsFromGMT(Date instant) const;

    struct Rules;

private:
    explicit TimeZone(std::shared_ptr<const Rules> rules)
        : rules_(std::move(rules))
    {
    }
    std::shared_ptr<const Rules> rules_;
};

} // namespace platform
