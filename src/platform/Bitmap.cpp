#include "platform/Bitmap.h"

#include <cmath>
#include <cstring>
#include <new>

namespace platform {
namespace {

uint8_t toByte(double component)
{
    if (!(component > 0)) // also NaN
        return 0;
    if (component >= 1)
        return 255;
    return uint8_t(std::lround(component * 255.0));
}

// The rule of every colour read from a bitmap: the 8-bit value over 255,
// rounded to single precision. Multiplying that by 255 never lands below the
// integer, so truncating packers get the byte back.
double fromByte(uint8_t v)
{
    return double(float(v / 255.0));
}

} // namespace

Bitmap::Bitmap(int width, int height, PixelFormat format, std::unique_ptr<uint8_t[], FreeDeleter> p)
    : width_(width)
    , height_(height)
    , format_(format)
    , pixels_(std::move(p))
{
}

std::optional<Bitmap> Bitmap::tryCreate(int width, int height, PixelFormat format)
{
    if (width <= 0 || height <= 0)
        return Bitmap(0, 0, format, nullptr);
    size_t samples = format == PixelFormat::RGBA ? 4 : 3;
    size_t rowBytes = samples * size_t(width);
    if (size_t(height) > SIZE_MAX / rowBytes)
        return std::nullopt;
    // calloc hands out zeroed pages lazily, so a big transparent canvas costs
    // nothing until it is drawn on.
    auto* p = static_cast<uint8_t*>(std::calloc(size_t(height), rowBytes));
    if (!p)
        return std::nullopt;
    return Bitmap(width, height, format, std::unique_ptr<uint8_t[], FreeDeleter>(p));
}

Bitmap Bitmap::adoptMalloced(int width, int height, PixelFormat format, uint8_t* pixels)
{
    std::unique_ptr<uint8_t[], FreeDeleter> owned(pixels);
    if (width <= 0 || height <= 0 || !pixels)
        return Bitmap(0, 0, format, nullptr);
    return Bitmap(width, height, format, std::move(owned));
}

Bitmap::Bitmap(int width, int height, PixelFormat format)
{
    auto made = tryCreate(width, height, format);
    if (!made)
        throw std::bad_alloc();
    *this = std::move(*made);
}

Bitmap Bitmap::clone() const
{
    Bitmap copy(width_, height_, format_);
    if (!isEmpty())
        std::memcpy(copy.data(), data(), byteCount());
    return copy;
}

Color Bitmap::colorAt(int x, int y) const
{
    if (x < 0 || y < 0 || x >= width_ || y >= height_)
        return Color::calibratedRGB(0, 0, 0, 0);
    const uint8_t* p = pixelAt(x, y);
    if (format_ == PixelFormat::RGB)
        return Color::calibratedRGB(fromByte(p[0]), fromByte(p[1]), fromByte(p[2]), 1.0);
    uint8_t a = p[3];
    return Color::calibratedRGB(fromByte(unpremultiply(p[0], a)), fromByte(unpremultiply(p[1], a)),
        fromByte(unpremultiply(p[2], a)), fromByte(a));
}

void Bitmap::setColorAt(int x, int y, const Color& color)
{
    if (x < 0 || y < 0 || x >= width_ || y >= height_)
        return;
    Color rgb = color.isRGB() ? color : color.converted(ColorSpace::CalibratedRGB);
    uint8_t* p = pixelAt(x, y);
    uint8_t r = toByte(rgb.red()), g = toByte(rgb.green()), b = toByte(rgb.blue());
    if (format_ == PixelFormat::RGB) {
        p[0] = r;
        p[1] = g;
        p[2] = b;
        return;
    }
    uint8_t a = toByte(rgb.alpha());
    p[0] = premultiply(r, a);
    p[1] = premultiply(g, a);
    p[2] = premultiply(b, a);
    p[3] = a;
}

Bitmap Bitmap::toRGBA() const
{
    if (format_ == PixelFormat::RGBA)
        return clone();
    Bitmap out(width_, height_, PixelFormat::RGBA);
    size_t n = size_t(width_) * size_t(height_);
    const uint8_t* s = data();
    uint8_t* d = out.data();
    for (size_t i = 0; i < n; ++i, s += 3, d += 4) {
        d[0] = s[0];
        d[1] = s[1];
        d[2] = s[2];
        d[3] = 255;
    }
    return out;
}

} // namespace platform
