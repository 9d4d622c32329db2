#include "platform/IcuLibrary.h"

namespace platform {

// The formatting library; the loader brings the common library, where the
// string and zone functions live, and the data with it.
GLOAM_LAZY_LIBRARY(IcuLibrary, icuLibrary, "libicui18n.so." GLOAM_SYMBOL(U_ICU_VERSION_MAJOR_NUM),
    GLOAM_ICU_FUNCTIONS)

namespace {

// `convert(to, capacity, length, status)` is one of ICU's conversions, run
// once to measure and once into a string of that size.
template<class Text, class Convert> Text converted(Convert convert)
{
    int32_t length = 0;
    UErrorCode status = U_ZERO_ERROR;
    convert(nullptr, 0, &length, &status);
    Text out(size_t(length), 0);
    status = U_ZERO_ERROR;
    convert(out.data(), length, &length, &status);
    return U_FAILURE(status) ? Text() : out;
}

} // namespace

std::u16string toIcu(const IcuLibrary& icu, std::string_view text)
{
    return converted<std::u16string>(
        [&](UChar* to, int32_t capacity, int32_t* length, UErrorCode* status) {
            icu.u_strFromUTF8WithSub(
                to, capacity, length, text.data(), int32_t(text.size()), 0xFFFD, nullptr, status);
        });
}

std::string fromIcu(const IcuLibrary& icu, std::u16string_view text)
{
    return converted<std::string>(
        [&](char* to, int32_t capacity, int32_t* length, UErrorCode* status) {
            icu.u_strToUTF8WithSub(
                to, capacity, length, text.data(), int32_t(text.size()), 0xFFFD, nullptr, status);
        });
}

} // namespace platform
