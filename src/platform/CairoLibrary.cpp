#include "platform/CairoLibrary.h"

namespace platform {

// The name the library has had since cairo 1.0.
GLOAM_LAZY_LIBRARY(CairoLibrary, cairoLibrary, "libcairo.so.2", GLOAM_CAIRO_FUNCTIONS)

} // namespace platform
