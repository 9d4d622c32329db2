#include "platform/Image.h"

#include <cmath>

#include "platform/Files.h"

namespace platform {
namespace {

int pixelsFor(double points)
{
    if (!(points > 0))
        return 0;
    double n = std::ceil(points);
    return n >= double(INT32_MAX) ? INT32_MAX : int(n);
}

// An encoded picture never needs more than a few bytes a pixel; the limit
// keeps a stray huge file from being read whole just to be refused.
size_t fileLimit(const DecodeLimits& limits)
{
    uint64_t bytes = limits.maxPixels * 8 + (uint64_t(64) << 20);
    return bytes > SIZE_MAX ? SIZE_MAX : size_t(bytes);
}

} // namespace

Image::Image(Size size)
    : size_(size)
{
    int w = pixelsFor(size.width), h = pixelsFor(size.height);
    if (w > 0 && h > 0)
        bitmap_.emplace(w, h, PixelFormat::RGBA);
}

Image::Image(Bitmap bitmap)
    : size_ {double(bitmap.width()), double(bitmap.height())}
    , bitmap_(std::move(bitmap))
{
}

ErrorOr<Image> Image::fromBytes(std::span<const uint8_t> bytes, const DecodeLimits& limits)
{
    ErrorOr<Bitmap> bitmap = decodeImage(bytes, limits);
    if (!bitmap)
        return bitmap.error();
    return Image(std::move(*bitmap));
}

ErrorOr<Image> Image::fromFile(const std::string& path, const DecodeLimits& limits)
{
    ErrorOr<std::vector<uint8_t>> bytes = readFile(path, fileLimit(limits));
    if (!bytes)
        return bytes.error();
    ErrorOr<Image> image = fromBytes(*bytes, limits);
    if (!image)
        return image.error().about("decode", path);
    return image;
}

ErrorOr<void> Image::writePngFile(const std::string& path) const
{
    if (!bitmap_ || bitmap_->isEmpty())
        return Error(Error::Code::Invalid, "write", path, "the picture has no pixels");
    ErrorOr<std::vector<uint8_t>> png = encodePng(*bitmap_);
    if (!png)
        return png.error().about("write", path);
    return writeFileAtomically(path, *png, Durability::Replaced);
}

Image Image::clone() const
{
    Image copy;
    copy.size_ = size_;
    copy.flipped_ = flipped_;
    if (bitmap_)
        copy.bitmap_ = bitmap_->clone();
    return copy;
}

void Image::setBitmap(Bitmap bitmap)
{
    bitmap_ = std::move(bitmap);
}

namespace {

double pixelScale(int pixels, double points)
{
    if (!(points > 0) || std::fabs(pixels - points) < 1.0)
        return 1.0;
    return pixels / points;
}

} // namespace

double Image::pixelsPerPointX() const
{
    return bitmap_ ? pixelScale(bitmap_->width(), size_.width) : 1.0;
}

double Image::pixelsPerPointY() const
{
    return bitmap_ ? pixelScale(bitmap_->height(), size_.height) : 1.0;
}

} // namespace platform
