// Loads arbitrary bytes as a JPEG through the platform layer, as the plug-in
// loads the month's base map. Whatever the bytes, the decoder must either
// refuse them, saying why, or give an RGB bitmap within the limits; a
// picture it accepts must also come back from its own encoder at its size.
#include "platform/Image.h"
#include "platform/ImageCodec.h"
#include "support/FuzzCheck.h"

using fuzz_support::require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const platform::DecodeLimits limits {1024, 1u << 18};
    std::span<const uint8_t> bytes(data, size);

    platform::DecodeError error = platform::DecodeError::None;
    std::optional<platform::Bitmap> bitmap = platform::decodeJpeg(bytes, limits, &error);
    require(bitmap.has_value() == (error == platform::DecodeError::None));
    if (!bitmap)
        return 0;
    require(!bitmap->isEmpty() && bitmap->format() == platform::PixelFormat::RGB);
    require(uint32_t(bitmap->width()) <= limits.maxSide
        && uint32_t(bitmap->height()) <= limits.maxSide
        && uint64_t(bitmap->width()) * uint64_t(bitmap->height()) <= limits.maxPixels);

    // decodeImage picks the JPEG decoder by the signature and must agree.
    auto viaImage = platform::Image::fromBytes(bytes, limits);
    require(viaImage && viaImage->bitmap()->width() == bitmap->width()
        && viaImage->bitmap()->height() == bitmap->height());

    auto jpeg = platform::encodeJpeg(*bitmap, 75);
    require(jpeg.has_value());
    auto again = platform::decodeJpeg(*jpeg, limits);
    require(again && again->width() == bitmap->width() && again->height() == bitmap->height());
    return 0;
}
