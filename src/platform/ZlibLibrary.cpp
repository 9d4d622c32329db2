#include "platform/ZlibLibrary.h"

namespace platform {

GLOAM_LAZY_LIBRARY(ZlibLibrary, zlibLibrary, "libz.so.1", GLOAM_ZLIB_FUNCTIONS)

} // namespace platform
