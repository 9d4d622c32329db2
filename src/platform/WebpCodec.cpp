// WebP encoding (and decoding, to check it) on libwebp's simple API.
#include "platform/ImageCodec.h"

#include "platform/PixelConvert.h"
#include "platform/WebpLibrary.h"

#include <cstring>
#include <memory>

namespace platform {

namespace {
struct WebpDeleter {
    void operator()(uint8_t* p) const { webpLibrary()->WebPFree(p); }
};

Error unavailable(const char* what)
{
    return Error(Error::Code::Unavailable, what, {}, "libwebp cannot be loaded");
}
} // namespace

ErrorOr<std::vector<uint8_t>> encodeWebp(const Bitmap& bitmap, std::optional<int> quality)
{
    if (bitmap.isEmpty())
        return Error(Error::Code::Invalid, "encode", {}, "the picture has no pixels");
    const int w = bitmap.width(), h = bitmap.height(), stride = int(bitmap.bytesPerRow());
    const uint8_t* pixels = bitmap.data();
    // libwebp takes straight alpha.
    std::vector<uint8_t> straight;
    if (bitmap.hasAlpha()) {
        straight.resize(bitmap.byteCount());
        unpremultiplyRows(straight.data(), pixels, size_t(w) * size_t(h));
        pixels = straight.data();
    }
    const WebpLibrary* webp = webpLibrary();
    if (!webp)
        return unavailable("encode");
    uint8_t* out = nullptr;
    size_t size = 0;
    if (quality) {
        const float q = float(*quality < 1 ? 1 : *quality > 100 ? 100 : *quality);
        size = bitmap.hasAlpha() ? webp->WebPEncodeRGBA(pixels, w, h, stride, q, &out)
                                 : webp->WebPEncodeRGB(pixels, w, h, stride, q, &out);
    } else {
        size = bitmap.hasAlpha() ? webp->WebPEncodeLosslessRGBA(pixels, w, h, stride, &out)
                                 : webp->WebPEncodeLosslessRGB(pixels, w, h, stride, &out);
    }
    std::unique_ptr<uint8_t, WebpDeleter> owned(out);
    if (size == 0 || !out)
        return Error(Error::Code::Invalid, "encode", {}, "libwebp could not encode the picture");
    return std::vector<uint8_t>(out, out + size);
}

ErrorOr<Bitmap> decodeWebp(std::span<const uint8_t> bytes)
{
    const WebpLibrary* webp = webpLibrary();
    if (!webp)
        return unavailable("decode");
    int w = 0, h = 0;
    std::unique_ptr<uint8_t, WebpDeleter> rgba(
        webp->WebPDecodeRGBA(bytes.data(), bytes.size(), &w, &h));
    if (!rgba || w <= 0 || h <= 0)
        return Error(Error::Code::Corrupt, "decode", {}, "not a WebP picture libwebp can read");
    std::optional<Bitmap> bitmap = Bitmap::tryCreate(w, h, PixelFormat::RGBA);
    if (!bitmap)
        return Error(Error::Code::OutOfMemory, "decode", {}, "not enough memory");
    std::memcpy(bitmap->data(), rgba.get(), bitmap->byteCount());
    premultiplyRows(bitmap->data(), size_t(w) * size_t(h));
    return std::move(*bitmap);
}

} // namespace platform
