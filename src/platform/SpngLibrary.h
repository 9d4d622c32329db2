// SpngLibrary: the libspng functions behind the PNG files that Gloam's own
// reader leaves to it (palettes, grey, 16 bits, interlacing) and behind its
// reference encoder, bound when first needed rather than when the program
// starts: every picture that Gloam draws from is read without it.
#pragma once

#include "platform/SharedLibrary.h"

#include <spng.h>

namespace platform {

#define GLOAM_SPNG_FUNCTIONS(X)                                                                    \
    X(spng_ctx_free)                                                                               \
    X(spng_ctx_new)                                                                                \
    X(spng_decode_chunks)                                                                          \
    X(spng_decode_image)                                                                           \
    X(spng_decoded_image_size)                                                                     \
    X(spng_encode_image)                                                                           \
    X(spng_get_ihdr)                                                                               \
    X(spng_get_png_buffer)                                                                         \
    X(spng_get_trns)                                                                               \
    X(spng_set_chunk_limits)                                                                       \
    X(spng_set_ihdr)                                                                               \
    X(spng_set_image_limits)                                                                       \
    X(spng_set_option)                                                                             \
    X(spng_set_png_buffer)                                                                         \
    X(spng_strerror)

struct SpngLibrary {
    SharedLibrary library;
#define GLOAM_SPNG_SLOT(name) decltype(&::name) name = nullptr;
    GLOAM_SPNG_FUNCTIONS(GLOAM_SPNG_SLOT)
#undef GLOAM_SPNG_SLOT
};

// Null when libspng cannot be loaded; the reason is logged once.
const SpngLibrary* spngLibrary();

} // namespace platform
