// JPEG decoding and encoding on TurboJPEG, PNG decoding and the reference PNG
// encoder on libspng. The fast PNG writer is in PngWriter.cpp.
#include "platform/ImageCodec.h"

#include "platform/PixelConvert.h"
#include "platform/SpngLibrary.h"

#include <cstring>
#include <memory>
#include <turbojpeg.h>

namespace platform {
namespace detail {
std::optional<Bitmap> decodePlainPng(std::span<const uint8_t> bytes, const DecodeLimits& limits);

Error decodeError(Error::Code code, std::string why)
{
    return Error(code, "decode", {}, std::move(why));
}

Error encodeError(Error::Code code, std::string why)
{
    return Error(code, "encode", {}, std::move(why));
}
} // namespace detail

namespace {

struct TjDeleter {
    void operator()(void* handle) const { tjDestroy(handle); }
};
using TjHandle = std::unique_ptr<void, TjDeleter>;

struct TjBufferDeleter {
    void operator()(unsigned char* buffer) const { tjFree(buffer); }
};

// Called only once a context is made, and so with libspng loaded.
const SpngLibrary& spng()
{
    return *spngLibrary();
}

struct SpngDeleter {
    void operator()(spng_ctx* ctx) const { spng().spng_ctx_free(ctx); }
};
using SpngContext = std::unique_ptr<spng_ctx, SpngDeleter>;

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};

using detail::decodeError;
using detail::encodeError;

Error unknownFormat()
{
    return decodeError(Error::Code::UnknownFormat, "not a JPEG or PNG picture");
}

Error tooLarge(uint64_t width, uint64_t height)
{
    return decodeError(Error::Code::TooLarge,
        std::to_string(width) + "x" + std::to_string(height) + " pixels is more than allowed");
}

Error outOfMemory(const char* what)
{
    return Error(Error::Code::OutOfMemory, what, {}, "not enough memory");
}

Error corrupt(std::string why)
{
    return decodeError(Error::Code::Corrupt, std::move(why));
}

std::string tjReason(void* tj)
{
    return std::string("JPEG: ") + tjGetErrorStr2(tj);
}

std::string spngReason(int rc)
{
    return std::string("PNG: ") + spng().spng_strerror(rc);
}

bool withinLimits(uint64_t width, uint64_t height, const DecodeLimits& limits)
{
    return width <= limits.maxSide && height <= limits.maxSide
        && width * height <= limits.maxPixels;
}

bool isJpeg(std::span<const uint8_t> b)
{
    return b.size() >= 3 && b[0] == 0xFF && b[1] == 0xD8 && b[2] == 0xFF;
}

bool isPng(std::span<const uint8_t> b)
{
    static const uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    return b.size() >= 8 && std::memcmp(b.data(), signature, 8) == 0;
}

uint32_t be32(const uint8_t* p)
{
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

// True when the chunks run whole up to a sound IEND. libspng stops reading at
// the end of the pixel data, so a file cut short after it would pass.
bool endsWithIend(std::span<const uint8_t> b)
{
    size_t at = 8;
    while (b.size() - at >= 12) {
        uint32_t length = be32(&b[at]);
        if (length > 0x7FFFFFFFu || b.size() - at - 12 < length)
            return false;
        if (std::memcmp(&b[at + 4], "IEND", 4) == 0)
            return length == 0 && be32(&b[at + 8]) == 0xAE426082u; // CRC of "IEND"
        at += 12 + size_t(length);
    }
    return false;
}

// Ancillary chunks (text, profiles) may not take more than this; a picture's
// pixels are bounded by the decode limits instead.
constexpr size_t kChunkLimit = size_t(64) << 20;

} // namespace

ErrorOr<Bitmap> decodeJpeg(std::span<const uint8_t> bytes, const DecodeLimits& limits)
{
    if (!isJpeg(bytes))
        return unknownFormat();
    TjHandle tj(tjInitDecompress());
    if (!tj)
        return outOfMemory("decode");
    int width = 0, height = 0, subsampling = 0, colorspace = 0;
    auto* data = const_cast<unsigned char*>(bytes.data());
    auto size = static_cast<unsigned long>(bytes.size());
    if (tjDecompressHeader3(tj.get(), data, size, &width, &height, &subsampling, &colorspace) != 0)
        return corrupt(tjReason(tj.get()));
    if (width <= 0 || height <= 0)
        return corrupt("JPEG: no pixels");
    if (!withinLimits(uint64_t(width), uint64_t(height), limits))
        return tooLarge(uint64_t(width), uint64_t(height));
    auto bitmap = Bitmap::tryCreate(width, height, PixelFormat::RGB);
    if (!bitmap)
        return outOfMemory("decode");
    // A warning (a truncated file, a corrupt segment) stops the decoder: half
    // a picture is no picture. LIMITSCANS refuses progressive files with an
    // absurd number of scans, each of which would cost a pass over the image.
    int flags = TJFLAG_STOPONWARNING | TJFLAG_LIMITSCANS | TJFLAG_ACCURATEDCT;
    if (tjDecompress2(tj.get(), data, size, bitmap->data(), width, int(bitmap->bytesPerRow()),
            height, TJPF_RGB, flags)
        != 0)
        return corrupt(tjReason(tj.get()));
    return std::move(*bitmap);
}

ErrorOr<Bitmap> decodePng(std::span<const uint8_t> bytes, const DecodeLimits& limits)
{
    if (!isPng(bytes))
        return unknownFormat();
    // Plain 8-bit RGB and RGBA files, which is every picture Gloam reads on a
    // request, take the faster reader; it leaves all else to libspng.
    if (std::optional<Bitmap> plain = detail::decodePlainPng(bytes, limits))
        return std::move(*plain);
    if (!spngLibrary())
        return decodeError(Error::Code::Unavailable, "PNG: libspng cannot be loaded");
    SpngContext ctx(spng().spng_ctx_new(0));
    if (!ctx)
        return outOfMemory("decode");
    uint32_t side = limits.maxSide > 0x7FFFFFFFu ? 0x7FFFFFFFu : limits.maxSide;
    spng().spng_set_image_limits(ctx.get(), side, side);
    spng().spng_set_chunk_limits(ctx.get(), kChunkLimit, kChunkLimit);
    spng().spng_set_png_buffer(ctx.get(), bytes.data(), bytes.size());

    spng_ihdr ihdr {};
    int rc = spng().spng_get_ihdr(ctx.get(), &ihdr);
    if (rc == SPNG_EUSER_WIDTH || rc == SPNG_EUSER_HEIGHT)
        return decodeError(Error::Code::TooLarge, spngReason(rc));
    if (rc != 0)
        return corrupt(spngReason(rc));
    if (!withinLimits(ihdr.width, ihdr.height, limits))
        return tooLarge(ihdr.width, ihdr.height);

    spng_trns trns {};
    bool alpha = ihdr.color_type == SPNG_COLOR_TYPE_GRAYSCALE_ALPHA
        || ihdr.color_type == SPNG_COLOR_TYPE_TRUECOLOR_ALPHA
        || spng().spng_get_trns(ctx.get(), &trns) == 0;
    int fmt = alpha ? SPNG_FMT_RGBA8 : SPNG_FMT_RGB8;
    size_t length = 0;
    if ((rc = spng().spng_decoded_image_size(ctx.get(), fmt, &length)) != 0)
        return corrupt(spngReason(rc));
    auto bitmap = Bitmap::tryCreate(
        int(ihdr.width), int(ihdr.height), alpha ? PixelFormat::RGBA : PixelFormat::RGB);
    if (!bitmap)
        return outOfMemory("decode");
    if (length != bitmap->byteCount())
        return corrupt("PNG: the decoded size does not match the header");
    if ((rc = spng().spng_decode_image(ctx.get(), bitmap->data(), length, fmt, SPNG_DECODE_TRNS))
        != 0)
        return corrupt(spngReason(rc));
    // The chunks after the pixels up to IEND must be there and sound too: a
    // file cut short after its last IDAT is still a truncated file.
    if ((rc = spng().spng_decode_chunks(ctx.get())) != 0)
        return corrupt(spngReason(rc));
    if (!endsWithIend(bytes))
        return corrupt("PNG: the file ends before its IEND chunk");
    if (alpha)
        premultiplyRows(bitmap->data(), size_t(bitmap->width()) * size_t(bitmap->height()));
    return std::move(*bitmap);
}

ErrorOr<Bitmap> decodeImage(std::span<const uint8_t> bytes, const DecodeLimits& limits)
{
    if (isJpeg(bytes))
        return decodeJpeg(bytes, limits);
    if (isPng(bytes))
        return decodePng(bytes, limits);
    return unknownFormat();
}

namespace detail {

ErrorOr<std::vector<uint8_t>> encodePngWithSpng(const Bitmap& bitmap, int level)
{
    if (!spngLibrary())
        return encodeError(Error::Code::Unavailable, "PNG: libspng cannot be loaded");
    SpngContext ctx(spng().spng_ctx_new(SPNG_CTX_ENCODER));
    if (!ctx)
        return Error(Error::Code::OutOfMemory, "encode", {}, "not enough memory");
    spng().spng_set_option(ctx.get(), SPNG_ENCODE_TO_BUFFER, 1);
    spng().spng_set_option(ctx.get(), SPNG_IMG_COMPRESSION_LEVEL, level);
    spng_ihdr ihdr {};
    ihdr.width = uint32_t(bitmap.width());
    ihdr.height = uint32_t(bitmap.height());
    ihdr.bit_depth = 8;
    ihdr.color_type
        = bitmap.hasAlpha() ? SPNG_COLOR_TYPE_TRUECOLOR_ALPHA : SPNG_COLOR_TYPE_TRUECOLOR;
    if (int rc = spng().spng_set_ihdr(ctx.get(), &ihdr); rc != 0)
        return encodeError(Error::Code::Invalid, spngReason(rc));

    const uint8_t* pixels = bitmap.data();
    std::vector<uint8_t> straight;
    if (bitmap.hasAlpha()) {
        straight.assign(pixels, pixels + bitmap.byteCount());
        unpremultiplyRows(
            straight.data(), straight.data(), size_t(bitmap.width()) * size_t(bitmap.height()));
        pixels = straight.data();
    }
    if (int rc = spng().spng_encode_image(
            ctx.get(), pixels, bitmap.byteCount(), SPNG_FMT_PNG, SPNG_ENCODE_FINALIZE);
        rc != 0)
        return encodeError(Error::Code::Invalid, spngReason(rc));
    size_t length = 0;
    int rc = 0;
    std::unique_ptr<uint8_t, FreeDeleter> png(
        static_cast<uint8_t*>(spng().spng_get_png_buffer(ctx.get(), &length, &rc)));
    if (!png || rc != 0)
        return encodeError(Error::Code::Invalid, spngReason(rc));
    return std::vector<uint8_t>(png.get(), png.get() + length);
}

} // namespace detail

ErrorOr<std::vector<uint8_t>> encodeJpeg(const Bitmap& bitmap, int quality, bool progressive)
{
    if (bitmap.isEmpty())
        return encodeError(Error::Code::Invalid, "the picture has no pixels");
    TjHandle tj(tjInitCompress());
    if (!tj)
        return outOfMemory("encode");
    unsigned char* out = nullptr;
    unsigned long size = 0;
    int flags = TJFLAG_ACCURATEDCT | (progressive ? TJFLAG_PROGRESSIVE : 0);
    int rc = tjCompress2(tj.get(), bitmap.data(), bitmap.width(), int(bitmap.bytesPerRow()),
        bitmap.height(), bitmap.hasAlpha() ? TJPF_RGBX : TJPF_RGB, &out, &size, TJSAMP_420,
        quality < 1 ? 1 : (quality > 100 ? 100 : quality), flags);
    std::unique_ptr<unsigned char, TjBufferDeleter> owned(out);
    if (rc != 0 || !out)
        return encodeError(Error::Code::Invalid, tjReason(tj.get()));
    return std::vector<uint8_t>(out, out + size);
}

} // namespace platform
