// ZlibLibrary: the zlib functions that deflate the top of a large picture
// beside libdeflate (PngWriter), bound when first needed rather than when
// the program starts. deflateInit2 is a macro of zlib's header around
// deflateInit2_, which is bound and called with the header's version.
#pragma once

#include "platform/SharedLibrary.h"

#include <zlib.h>

namespace platform {

#define GLOAM_ZLIB_FUNCTIONS(X)                                                                    \
    X(deflate)                                                                                     \
    X(deflateBound)                                                                                \
    X(deflateEnd)                                                                                  \
    X(deflateInit2_)

struct ZlibLibrary {
    SharedLibrary library;
#define GLOAM_ZLIB_SLOT(name) decltype(&::name) name = nullptr;
    GLOAM_ZLIB_FUNCTIONS(GLOAM_ZLIB_SLOT)
#undef GLOAM_ZLIB_SLOT
};

// Null when zlib cannot be loaded; the reason is logged once.
const ZlibLibrary* zlibLibrary();

} // namespace platform
