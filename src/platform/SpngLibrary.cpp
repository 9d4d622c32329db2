#include "platform/SpngLibrary.h"

namespace platform {

namespace {

ErrorOr<SpngLibrary> load()
{
    ErrorOr<SharedLibrary> library = SharedLibrary::open("libspng.so.0");
    if (!library)
        return library.error();
    SpngLibrary spng {std::move(*library)};
#define GLOAM_SPNG_BIND(name)                                                                      \
    if (auto bound = spng.library.bind(spng.name, #name); !bound)                                  \
        return bound.error();
    GLOAM_SPNG_FUNCTIONS(GLOAM_SPNG_BIND)
#undef GLOAM_SPNG_BIND
    return spng;
}

} // namespace

const SpngLibrary* spngLibrary()
{
    static LazyLibrary<SpngLibrary> library(load);
    return library.get();
}

} // namespace platform
