#include "umb/UMBImageOps.h"

#include <cmath>
#include <string_view>

#include "platform/Canvas.h"
#include "platform/Files.h"
#include "platform/ImageCodec.h"

namespace umb {
namespace {

// A component times 255, truncated toward zero. Components are meant to lie
// in 0..1 and are neither clamped nor masked; values that do not fit a 64-bit
// integer (or NaN) count as 0 rather than being undefined.
uint32_t scaled(double component)
{
    double v = std::trunc(component * 255.0);
    if (!(std::fabs(v) < 9.0e18))
        return 0;
    return uint32_t(int64_t(v));
}

// The unpacking rule: the quotient in double precision, rounded to single
// precision and widened back. After that step, multiplying by 255 never lands
// below the integer, which is what makes pack(unpack(p)) == p.
double channel(uint32_t byte)
{
    return double(float(double(byte) / 255.0));
}

} // namespace

int32_t UMBImageOps::colorToInteger(const platform::Color& color) const
{
    uint32_t packed = scaled(color.alpha()) << 24 | scaled(color.red()) << 16
        | scaled(color.green()) << 8 | scaled(color.blue());
    return int32_t(packed);
}

platform::Color UMBImageOps::integerToColor(int32_t packed) const
{
    uint32_t p = uint32_t(packed);
    return platform::Color::deviceRGB(
        channel((p >> 16) & 0xFF), channel((p >> 8) & 0xFF), channel(p & 0xFF), channel(p >> 24));
}

int UMBImageOps::grabImagePixels(
    const platform::Image& image, int width, int height, std::span<int32_t> pixels) const
{
    if (width <= 0 || height <= 0)
        return 0;
    const platform::Bitmap* bitmap = image.bitmap();
    int haveW = bitmap ? bitmap->width() : 0, haveH = bitmap ? bitmap->height() : 0;
    size_t w = size_t(width);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            size_t at = size_t(y) * w + size_t(x);
            if (at >= pixels.size())
                return 0;
            pixels[at] = x < haveW && y < haveH ? colorToInteger(bitmap->colorAt(x, y)) : 0;
        }
    }
    return 0;
}

platform::Image UMBImageOps::buildImageFromPixels(
    int width, int height, std::span<const int32_t> pixels) const
{
    // The bitmap becomes the picture directly: a PNG encode and decode, as a
    // picture made from a bitmap used to need, gives back the same samples.
    platform::Bitmap bitmap(width, height, platform::PixelFormat::RGBA);
    size_t w = size_t(bitmap.width());
    for (int y = 0; y < bitmap.height(); ++y) {
        for (int x = 0; x < bitmap.width(); ++x) {
            size_t at = size_t(y) * w + size_t(x);
            int32_t p = at < pixels.size() ? pixels[at] : 0;
            if (p != 0) // a new bitmap is transparent black already
                bitmap.setColorAt(x, y, integerToColor(p));
        }
    }
    return platform::Image(std::move(bitmap));
}

int32_t UMBImageOps::numberFromColor(const platform::Color& color)
{
    constexpr std::string_view deviceRGB = "NSDeviceRGBColorSpace";
    UMBImageOps ops;
    if (color.colorSpaceName().starts_with(deviceRGB))
        return ops.colorToInteger(color);
    return ops.colorToInteger(color.converted(platform::ColorSpace::DeviceRGB));
}

platform::Color UMBImageOps::colorFromNumber(int32_t number)
{
    return UMBImageOps().integerToColor(number);
}

bool UMBImageOps::saveImage(const platform::Image& image, const std::string& path)
{
    return image.writePngFile(path).has_value();
}

platform::Image UMBImageOps::rotateImage(const platform::Image& image, float degrees) const
{
    platform::Size size = image.size();
    platform::Image canvas(size);
    {
        platform::Canvas drawing(canvas);
        // Built in this order, the steps act on drawn points in reverse: move
        // the centre to the origin, turn, move it back.
        platform::AffineTransform t;
        t.translate(size.width * 0.5, size.height * 0.5);
        t.rotate(degrees);
        t.translate(size.width * -0.5, size.height * -0.5);
        drawing.concat(t);
        drawing.drawImage(image, platform::Point {0, 0}, platform::Rect {{0, 0}, size},
            platform::CompositeOp::Copy, 1.0);
    }
    return canvas;
}

platform::Image UMBImageOps::scaleImage(const platform::Image& image, float factor) const
{
    platform::Size size = image.size();
    if (!(factor > 0))
        return platform::Image(platform::Size {0, 0});
    platform::Size scaledSize {
        double(float(size.width * double(factor))), double(float(size.height * double(factor)))};
    platform::Image canvas(scaledSize);
    {
        platform::Canvas drawing(canvas);
        drawing.setInterpolation(platform::Interpolation::High);
        drawing.drawImage(image, platform::Rect {{0, 0}, scaledSize}, platform::Rect {{0, 0}, size},
            platform::CompositeOp::SourceOver, 1.0);
    }
    return canvas;
}

platform::Image UMBImageOps::subImage(
    platform::Image& image, float x, float y, float width, float height, bool flipped) const
{
    image.setFlipped(flipped);
    platform::Size size {double(width), double(height)};
    platform::Image canvas(size);
    canvas.setFlipped(flipped);
    {
        platform::Canvas drawing(canvas, flipped);
        drawing.setInterpolation(platform::Interpolation::High);
        drawing.drawImage(image, platform::Point {0, 0},
            platform::Rect {{double(x), double(y)}, size}, platform::CompositeOp::SourceOver, 1.0);
    }
    return canvas;
}

} // namespace umb
