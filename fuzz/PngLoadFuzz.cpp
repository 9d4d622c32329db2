// Loads arbitrary bytes as a PNG, as the plug-in loads its sun and lights
// pictures. Whatever the bytes, the decoder must either refuse them, saying
// why, or give a premultiplied bitmap within the limits, which survives both
// writers: encoded again and decoded, it gives the same samples.
#include "platform/ImageCodec.h"
#include "support/FuzzCheck.h"

#include <cstring>

using fuzz_support::require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Small limits keep each run fast; the refusal of a larger header is the
    // same code whatever the numbers are.
    const platform::DecodeLimits limits {1024, 1u << 18};
    auto bitmap = platform::decodePng({data, size}, limits);
    if (!fuzz_support::decodedWithin(bitmap, limits))
        return 0;
    const uint8_t* p = bitmap->data();
    for (size_t i = 0; bitmap->hasAlpha() && i < bitmap->byteCount(); i += 4)
        require(p[i] <= p[i + 3] && p[i + 1] <= p[i + 3] && p[i + 2] <= p[i + 3]);
    for (auto encoder : {platform::PngEncoder::Huffman, platform::PngEncoder::Deflate,
             platform::PngEncoder::Spng}) {
        auto again = platform::decodePng(*platform::encodePng(*bitmap, {encoder, 1}), limits);
        require(again && again->width() == bitmap->width() && again->height() == bitmap->height()
            && again->format() == bitmap->format()
            && std::memcmp(again->data(), p, bitmap->byteCount()) == 0);
    }
    return 0;
}
