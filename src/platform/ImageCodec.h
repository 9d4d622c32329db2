// ImageCodec: JPEG and PNG decoding into bitmaps, and PNG, JPEG and WebP
// encoding of bitmaps. Pure functions over caller-owned bytes; each result
// belongs to the caller. Decoders check the picture's size against limits
// before allocating, and give an error, never a crash, for truncated or
// corrupt data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "platform/Bitmap.h"
#include "platform/Error.h"

namespace platform {

struct DecodeLimits {
    uint32_t maxSide = 16384; // pixels in either direction
    uint64_t maxPixels = uint64_t(1) << 27; // width x height
};

// Decodes JPEG or PNG bytes, chosen by their signature. A JPEG, and a PNG
// without any transparency, give an RGB bitmap; any other PNG an RGBA bitmap
// (premultiplied). A failure is a "decode" error with no path, coded
// UnknownFormat (neither signature), TooLarge (the header claims more than
// the limits allow), Corrupt (bad, truncated or unsupported data, or a
// decoder warning; the decoder's own text is the reason) or OutOfMemory.
ErrorOr<Bitmap> decodeImage(std::span<const uint8_t> bytes, const DecodeLimits& limits = {});
ErrorOr<Bitmap> decodeJpeg(std::span<const uint8_t> bytes, const DecodeLimits& limits = {});
ErrorOr<Bitmap> decodePng(std::span<const uint8_t> bytes, const DecodeLimits& limits = {});

enum class PngEncoder {
    Huffman, // one Huffman table and runs of zeros: the fastest, the default
    Deflate, // the writer on libdeflate: smaller files at higher levels
    Spng, // libspng's own encoder, kept for comparison
};

struct PngEncodeOptions {
    PngEncoder encoder = PngEncoder::Huffman;
    int level = 1; // Deflate's level, 0 (store) to 12; the others ignore it
};

// An 8-bit PNG of the bitmap: RGBA with straight alpha for an RGBA bitmap
// (the premultiplied samples are divided out, and a PNG decoded back gives the
// same premultiplied samples), RGB for an RGB bitmap. An "encode" error for
// an empty bitmap (Invalid) or when memory is short.
ErrorOr<std::vector<uint8_t>> encodePng(const Bitmap& bitmap, const PngEncodeOptions& options = {});

// Encodes a JPEG of an RGB or RGBA bitmap (alpha dropped, so what is
// transparent comes out black), quality 1..100.
ErrorOr<std::vector<uint8_t>> encodeJpeg(
    const Bitmap& bitmap, int quality = 90, bool progressive = false);

// Encodes a WebP of an RGB or RGBA bitmap: lossless without a quality, lossy
// at `quality` (1..100) with one. An "encode" error for an empty bitmap
// (Invalid) or when the encoder fails.
ErrorOr<std::vector<uint8_t>> encodeWebp(const Bitmap& bitmap, std::optional<int> quality);
// Decodes a WebP into an RGBA bitmap (premultiplied). Gloam reads no WebP
// input; this is for checking what it writes. A "decode" error (Corrupt)
// for bytes libwebp cannot read, OutOfMemory when the bitmap cannot be had.
ErrorOr<Bitmap> decodeWebp(std::span<const uint8_t> bytes);

} // namespace platform
