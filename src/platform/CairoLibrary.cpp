#include "platform/CairoLibrary.h"

namespace platform {

namespace {

ErrorOr<CairoLibrary> load()
{
    // The name the library has had since cairo 1.0.
    ErrorOr<SharedLibrary> library = SharedLibrary::open("libcairo.so.2");
    if (!library)
        return library.error();
    CairoLibrary cairo {std::move(*library)};
#define GLOAM_CAIRO_BIND(name)                                                                     \
    if (auto bound = cairo.library.bind(cairo.name, "cairo_" #name); !bound)                       \
        return bound.error();
    GLOAM_CAIRO_FUNCTIONS(GLOAM_CAIRO_BIND)
#undef GLOAM_CAIRO_BIND
    return cairo;
}

} // namespace

const CairoLibrary* cairoLibrary()
{
    static LazyLibrary<CairoLibrary> library(load);
    return library.get();
}

} // namespace platform
