#include "platform/WebpLibrary.h"

namespace platform {

namespace {

ErrorOr<WebpLibrary> load()
{
    // The animation library; the loader brings libwebp with it, and the
    // names of both are found through it.
    ErrorOr<SharedLibrary> library = SharedLibrary::open("libwebpmux.so.3");
    if (!library)
        return library.error();
    WebpLibrary webp {std::move(*library)};
#define GLOAM_WEBP_BIND(name)                                                                      \
    if (auto bound = webp.library.bind(webp.name, #name); !bound)                                  \
        return bound.error();
    GLOAM_WEBP_FUNCTIONS(GLOAM_WEBP_BIND)
#undef GLOAM_WEBP_BIND
    return webp;
}

} // namespace

const WebpLibrary* webpLibrary()
{
    static LazyLibrary<WebpLibrary> library(load);
    return library.get();
}

} // namespace platform
