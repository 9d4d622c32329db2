// WebpLibrary: the libwebp and libwebpmux functions behind WebP pictures and
// animations, bound when the first WebP is made rather than when the
// program starts. The headers' inline helpers (WebPConfigInit and the like)
// call versioned functions of the library; those are bound here and called
// with the headers' version numbers instead.
#pragma once

#include "platform/SharedLibrary.h"

#include <webp/decode.h>
#include <webp/encode.h>
#include <webp/mux.h>

namespace platform {

#define GLOAM_WEBP_FUNCTIONS(X)                                                                    \
    X(WebPAnimEncoderAdd)                                                                          \
    X(WebPAnimEncoderAssemble)                                                                     \
    X(WebPAnimEncoderDelete)                                                                       \
    X(WebPAnimEncoderNewInternal)                                                                  \
    X(WebPAnimEncoderOptionsInitInternal)                                                          \
    X(WebPConfigInitInternal)                                                                      \
    X(WebPDecodeRGBA)                                                                              \
    X(WebPEncodeLosslessRGB)                                                                       \
    X(WebPEncodeLosslessRGBA)                                                                      \
    X(WebPEncodeRGB)                                                                               \
    X(WebPEncodeRGBA)                                                                              \
    X(WebPFree)                                                                                    \
    X(WebPPictureFree)                                                                             \
    X(WebPPictureImportRGB)                                                                        \
    X(WebPPictureImportRGBA)                                                                       \
    X(WebPPictureInitInternal)

struct WebpLibrary {
    SharedLibrary library;
#define GLOAM_WEBP_SLOT(name) decltype(&::name) name = nullptr;
    GLOAM_WEBP_FUNCTIONS(GLOAM_WEBP_SLOT)
#undef GLOAM_WEBP_SLOT
};

// Null when libwebpmux (and the libwebp it needs) cannot be loaded; the
// reason is logged once.
const WebpLibrary* webpLibrary();

} // namespace platform
