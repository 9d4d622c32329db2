// Bitmap: a pixel grid that owns its memory, top row first, each row exactly
// samplesPerPixel() x width() bytes with nothing between rows. The RGBA form
// holds red, green, blue, alpha bytes with alpha premultiplied; the RGB form
// holds red, green, blue bytes and no alpha. Move-only; clone() copies.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>

#include "platform/Color.h"

namespace platform {

enum class PixelFormat {
    RGBA, // 4 samples a pixel, premultiplied alpha last
    RGB, // 3 samples a pixel, opaque
};

class Bitmap {
public:
    // An empty bitmap: 0 x 0, no memory.
    Bitmap() = default;
    // A bitmap whose samples are all 0 (transparent black for RGBA). A
    // negative width or height counts as 0. Throws std::bad_alloc when the
    // memory cannot be had.
    Bitmap(int width, int height, PixelFormat format = PixelFormat::RGBA);
    // As above, but none instead of an exception when memory is short.
    static std::optional<Bitmap> tryCreate(
        int width, int height, PixelFormat format = PixelFormat::RGBA);
    // A bitmap that takes over `pixels`, memory from malloc holding exactly
    // the rows of this size and format, and frees it with free(). Lets a
    // decoder build a picture in place rather than copy it.
    static Bitmap adoptMalloced(int width, int height, PixelFormat format, uint8_t* pixels);

    Bitmap(Bitmap&&) noexcept = default;
    Bitmap& operator=(Bitmap&&) noexcept = default;
    Bitmap(const Bitmap&) = delete;
    Bitmap& operator=(const Bitmap&) = delete;
    Bitmap clone() const;

    int width() const { return width_; }
    int height() const { return height_; }
    PixelFormat format() const { return format_; }
    bool hasAlpha() const { return format_ == PixelFormat::RGBA; }
    int samplesPerPixel() const { return format_ == PixelFormat::RGBA ? 4 : 3; }
    size_t bytesPerRow() const { return size_t(samplesPerPixel()) * size_t(width_); }
    size_t byteCount() const { return bytesPerRow() * size_t(height_); }
    bool isEmpty() const { return width_ == 0 || height_ == 0; }

    // The samples: row y starts at data() + y * bytesPerRow(). Null when empty.
    uint8_t* data() { return pixels_.get(); }
    const uint8_t* data() const { return pixels_.get(); }
    uint8_t* pixelAt(int x, int y)
    {
        return pixels_.get() + size_t(y) * bytesPerRow() + size_t(x) * size_t(samplesPerPixel());
    }
    const uint8_t* pixelAt(int x, int y) const
    {
        return pixels_.get() + size_t(y) * bytesPerRow() + size_t(x) * size_t(samplesPerPixel());
    }

    // The colour of column x, row y (row 0 at the top), in calibrated RGB with
    // straight alpha. Each component is the 8-bit straight sample / 255 rounded
    // to single precision, so packing it by truncation gives the sample back.
    // Outside the bitmap: transparent black.
    Color colorAt(int x, int y) const;
    // Replaces every sample of the pixel with `color` (converted to RGB when
    // it is a grey): components clamped to 0..1, scaled to 8 bits rounding to
    // nearest, colour premultiplied by alpha. An RGB bitmap drops the alpha.
    // Outside the bitmap nothing happens.
    void setColorAt(int x, int y, const Color& color);

    // This bitmap in the RGBA form (an RGB one gains alpha 255).
    Bitmap toRGBA() const;

private:
    struct FreeDeleter {
        void operator()(uint8_t* p) const { std::free(p); }
    };
    Bitmap(int width, int height, PixelFormat format, std::unique_ptr<uint8_t[], FreeDeleter> p);

    int width_ = 0;
    int height_ = 0;
    PixelFormat format_ = PixelFormat::RGBA;
    std::unique_ptr<uint8_t[], FreeDeleter> pixels_;
};

// 8-bit premultiplication with exact rounding: round(c * a / 255).
inline uint8_t premultiply(uint8_t c, uint8_t a)
{
    unsigned t = unsigned(c) * a + 128;
    return uint8_t((t + (t >> 8)) >> 8);
}

// The straight sample of a premultiplied one, rounded to nearest; 0 when the
// alpha is 0. For every p <= a, premultiply(unpremultiply(p, a), a) == p.
inline uint8_t unpremultiply(uint8_t p, uint8_t a)
{
    if (a == 0)
        return 0;
    unsigned s = (unsigned(p) * 255 + a / 2) / a;
    return uint8_t(s > 255 ? 255 : s);
}

} // namespace platform
