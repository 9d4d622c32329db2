#include "platform/SpngLibrary.h"

namespace platform {

GLOAM_LAZY_LIBRARY(SpngLibrary, spngLibrary, "libspng.so.0", GLOAM_SPNG_FUNCTIONS)

} // namespace platform
