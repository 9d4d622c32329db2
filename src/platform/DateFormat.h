// DateFormat: formats instants with a Unicode (LDML) date pattern in a given
// time zone and locale. Owns its ICU formatter; not shared between threads.
#pragma once

#include "platform/Clock.h"
#include "platform/TimeZone.h"

#include <memory>
#include <string>
#include <string_view>

namespace platform {

class DateFormat {
public:
    // `locale` is a POSIX or ICU locale name ("de_DE.UTF-8", "en_US"); the
    // default is the user's (see userLocale). Letters that are not pattern
    // letters format as nothing; should the formatter fail to build, every
    // instant formats as the empty string.
    DateFormat(
        std::string_view pattern, const TimeZone& zone, std::string_view locale = userLocale());
    ~DateFormat();
    DateFormat(const DateFormat&) = delete;
    DateFormat& operator=(const DateFormat&) = delete;

    std::string format(Date instant) const;

    // The user's locale for dates: the first of LC_ALL, LC_TIME and LANG that
    // is set and not empty, without its codeset or modifier ("de_DE.UTF-8@euro"
    // is de_DE); "C", "POSIX" or none of them set mean en_US_POSIX. Read at
    // every call.
    static std::string userLocale();

private:
    struct Formatter;
    std::unique_ptr<Formatter> formatter_;
};

} // namespace platform
