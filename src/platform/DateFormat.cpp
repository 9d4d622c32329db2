#include "platform/DateFormat.h"

#include "platform/IcuLibrary.h"

#include <algorithm>
#include <cstdlib>

namespace platform {

namespace {

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
    struct Closer {
        void operator()(UDateFormat* format) const { icuLibrary()->udat_close(format); }
    };
    std::unique_ptr<UDateFormat, Closer> icu;
};

DateFormat::DateFormat(std::string_view pattern, const TimeZone& zone, std::string_view locale)
    : formatter_(std::make_unique<Formatter>())
{
    const IcuLibrary* icu = icuLibrary();
    if (!icu)
        return;
    const std::u16string icuPattern = toIcu(*icu, pattern);
    const std::u16string zoneName = toIcu(*icu, zone.identifier());
    UErrorCode status = U_ZERO_ERROR;
    UDateFormat* format
        = icu->udat_open(UDAT_PATTERN, UDAT_PATTERN, icuLocaleName(locale).c_str(), zoneName.data(),
            int32_t(zoneName.size()), icuPattern.data(), int32_t(icuPattern.size()), &status);
    if (U_FAILURE(status)) {
        if (format)
            icu->udat_close(format);
        return;
    }
    formatter_->icu.reset(format);
}

DateFormat::~DateFormat() = default;

std::string DateFormat::format(Date instant) const
{
    if (!formatter_->icu)
        return {};
    const IcuLibrary& icu = *icuLibrary();
    UChar text[256];
    UErrorCode status = U_ZERO_ERROR;
    const UDate millis = instant.secondsSince1970 * 1000.0;
    int32_t length = icu.udat_format(formatter_->icu.get(), millis, text, 256, nullptr, &status);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
        // A pattern of many letters or long quoted text.
        std::u16string longer(size_t(length), u'\0');
        status = U_ZERO_ERROR;
        icu.udat_format(formatter_->icu.get(), millis, longer.data(), length, nullptr, &status);
        return U_FAILURE(status) ? std::string() : fromIcu(icu, longer);
    }
    if (U_FAILURE(status))
        return {};
    return fromIcu(icu, std::u16string_view(text, size_t(std::min(length, 256))));
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
