#include "platform/DateFormat.h"

#include "platform/IcuTimeZone.h"

#include <cstdlib>
#include <unicode/smpdtfmt.h>

namespace platform {

namespace {

icu::UnicodeString fromUtf8(std::string_view text)
{
    return icu::UnicodeString::fromUTF8(
        icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
}

// POSIX locale names carry a codeset and a modifier that ICU reads otherwise
// (it takes "@" as the start of its keywords).
std::string icuLocaleName(std::string_view posix)
{
    std::string_view name = posix.substr(0, posix.find_first_of(".@"));
    if (name.empty() || name == "C" || name == "POSIX")
        return "en_US_POSIX";
    return std::string(name);
}

} // namespace

struct DateFormat::Formatter {
    std::unique_ptr<icu::SimpleDateFormat> icu;
};

DateFormat::DateFormat(std::string_view pattern, const TimeZone& zone, std::string_view locale)
    : formatter_(std::make_unique<Formatter>())
{
    UErrorCode status = U_ZERO_ERROR;
    auto format = std::make_unique<icu::SimpleDateFormat>(
        fromUtf8(pattern), icu::Locale(icuLocaleName(locale).c_str()), status);
    if (U_FAILURE(status))
        return;
    format->setTimeZone(icuZone(zone));
    formatter_->icu = std::move(format);
}

DateFormat::~DateFormat() = default;

std::string DateFormat::format(Date instant) const
{
    if (!formatter_->icu)
        return {};
    icu::UnicodeString text;
    formatter_->icu->format(instant.secondsSince1970 * 1000.0, text);
    std::string out;
    text.toUTF8String(out);
    return out;
}

std::string DateFormat::userLocale()
{
    for (const char* variable : {"LC_ALL", "LC_TIME", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value && *value)
            return icuLocaleName(value);
    }
    return "en_US_POSIX";
}

} // namespace platform
