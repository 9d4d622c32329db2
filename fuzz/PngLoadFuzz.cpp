// Loads arbitrary bytes as a PNG through the platform layer, as the plug-in
// loads its sun and lights pictures. Whatever the bytes, the decoder must
// either refuse them, saying why, or give a bitmap of the size the limits
// allow; and a picture it accepts must survive its own writer: encoded again
// and decoded, it gives the same samples.
#include "platform/Image.h"
#include "platform/ImageCodec.h"
#include "support/FuzzCheck.h"

#include <cstring>

using fuzz_support::require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Small limits keep each run fast; the refusal of a larger header is the
    // same code whatever the numbers are.
    const platform::DecodeLimits limits {1024, 1u << 18};
    std::span<const uint8_t> bytes(data, size);

    platform::DecodeError error = platform::DecodeError::None;
    std::optional<platform::Bitmap> bitmap = platform::decodePng(bytes, limits, &error);
    require(bitmap.has_value() == (error == platform::DecodeError::None));
    if (!bitmap)
        return 0;
    require(!bitmap->isEmpty() && bitmap->data() != nullptr);
    require(uint32_t(bitmap->width()) <= limits.maxSide
        && uint32_t(bitmap->height()) <= limits.maxSide
        && uint64_t(bitmap->width()) * uint64_t(bitmap->height()) <= limits.maxPixels);
    // Premultiplied: no colour sample above its alpha.
    if (bitmap->hasAlpha()) {
        const uint8_t* p = bitmap->data();
        for (size_t i = 0; i < bitmap->byteCount(); i += 4)
            require(p[i] <= p[i + 3] && p[i + 1] <= p[i + 3] && p[i + 2] <= p[i + 3]);
    }

    // The same bytes through Image, the way pictures are loaded elsewhere.
    std::optional<platform::Image> image = platform::Image::fromBytes(bytes, limits);
    require(image && image->bitmap()
        && image->size() == (platform::Size {double(bitmap->width()), double(bitmap->height())}));

    for (auto encoder : {platform::PngEncoder::Deflate, platform::PngEncoder::Spng}) {
        auto png = platform::encodePng(*bitmap, {encoder, 1});
        require(png.has_value());
        auto again = platform::decodePng(*png, limits);
        require(again && again->width() == bitmap->width() && again->height() == bitmap->height()
            && again->format() == bitmap->format()
            && std::memcmp(again->data(), bitmap->data(), bitmap->byteCount()) == 0);
    }
    return 0;
}
