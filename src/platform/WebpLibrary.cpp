#include "platform/WebpLibrary.h"

namespace platform {

// The animation library: the loader brings libwebp with it, and the names of
// both are found through it.
GLOAM_LAZY_LIBRARY(WebpLibrary, webpLibrary, "libwebpmux.so.3", GLOAM_WEBP_FUNCTIONS)

} // namespace platform
