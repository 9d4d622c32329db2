#include "platform/ZlibLibrary.h"

namespace platform {

namespace {

ErrorOr<ZlibLibrary> load()
{
    ErrorOr<SharedLibrary> library = SharedLibrary::open("libz.so.1");
    if (!library)
        return library.error();
    ZlibLibrary zlib {std::move(*library)};
#define GLOAM_ZLIB_BIND(name)                                                                      \
    if (auto bound = zlib.library.bind(zlib.name, #name); !bound)                                  \
        return bound.error();
    GLOAM_ZLIB_FUNCTIONS(GLOAM_ZLIB_BIND)
#undef GLOAM_ZLIB_BIND
    return zlib;
}

} // namespace

const ZlibLibrary* zlibLibrary()
{
    static LazyLibrary<ZlibLibrary> library(load);
    return library.get();
}

} // namespace platform
