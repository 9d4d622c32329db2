// IcuLibrary: the ICU functions behind time zones and date formats, bound
// from ICU's libraries on the first use of either rather than when the
// program starts. ICU renames its functions for each version ("ucal_open"
// is ucal_open_72 in ICU 72); the headers' names are used here as they are,
// and the version that built the program is the one loaded.
#pragma once

#include "platform/SharedLibrary.h"

#include <unicode/ucal.h>
#include <unicode/udat.h>
#include <unicode/ustring.h>

#include <string>
#include <string_view>

namespace platform {

#define GLOAM_ICU_FUNCTIONS(X)                                                                     \
    X(u_strFromUTF8WithSub)                                                                        \
    X(u_strToUTF8WithSub)                                                                          \
    X(ucal_close)                                                                                  \
    X(ucal_get)                                                                                    \
    X(ucal_getHostTimeZone)                                                                        \
    X(ucal_getTimeZoneID)                                                                          \
    X(ucal_open)                                                                                   \
    X(ucal_setMillis)                                                                              \
    X(udat_close)                                                                                  \
    X(udat_format)                                                                                 \
    X(udat_open)

struct IcuLibrary {
    SharedLibrary library;
#define GLOAM_ICU_SLOT(name) decltype(&::name) name = nullptr;
    GLOAM_ICU_FUNCTIONS(GLOAM_ICU_SLOT)
#undef GLOAM_ICU_SLOT
};

// Null when ICU cannot be loaded; the reason is logged once.
const IcuLibrary* icuLibrary();

// Text between UTF-8 and ICU's UTF-16; an ill-formed sequence becomes
// U+FFFD.
std::u16string toIcu(const IcuLibrary& icu, std::string_view text);
std::string fromIcu(const IcuLibrary& icu, std::u16string_view text);

} // namespace platform
