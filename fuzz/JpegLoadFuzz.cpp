// Loads arbitrary bytes as a JPEG, as the plug-in loads the month's base map.
// Whatever the bytes, the decoder must either refuse them, saying why, or
// give an RGB bitmap within the limits, which its own encoder writes again
// at its size.
#include "platform/ImageCodec.h"
#include "support/FuzzCheck.h"

using fuzz_support::require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const platform::DecodeLimits limits {1024, 1u << 18};
    auto bitmap = platform::decodeJpeg({data, size}, limits);
    if (!fuzz_support::decodedWithin(bitmap, limits))
        return 0;
    require(bitmap->format() == platform::PixelFormat::RGB);
    auto again = platform::decodeJpeg(*platform::encodeJpeg(*bitmap, 75), limits);
    require(again && again->width() == bitmap->width() && again->height() == bitmap->height());
    return 0;
}
