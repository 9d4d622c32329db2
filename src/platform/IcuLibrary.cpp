#include "platform/IcuLibrary.h"

namespace platform {

namespace {

#define GLOAM_TEXT(x) GLOAM_TEXT_OF(x)
#define GLOAM_TEXT_OF(x) #x

ErrorOr<IcuLibrary> load()
{
    // The formatting library; the loader brings the common library, where
    // the string and zone functions live, and the data with it.
    ErrorOr<SharedLibrary> library
        = SharedLibrary::open("libicui18n.so." GLOAM_TEXT(U_ICU_VERSION_MAJOR_NUM));
    if (!library)
        return library.error();
    IcuLibrary icu {std::move(*library)};
    // The name is the header's after its renaming ("ucal_open_72").
#define GLOAM_ICU_BIND(name)                                                                       \
    if (auto bound = icu.library.bind(icu.name, GLOAM_TEXT(name)); !bound)                         \
        return bound.error();
    GLOAM_ICU_FUNCTIONS(GLOAM_ICU_BIND)
#undef GLOAM_ICU_BIND
    return icu;
}

} // namespace

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

const IcuLibrary* icuLibrary()
{
    static LazyLibrary<IcuLibrary> library(load);
    return library.get();
}

} // namespace platform
