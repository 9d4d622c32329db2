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

std::optional<Image> Image::fromBytes(std::span<const uint8_t> bytes, const DecodeLimits& limits)
{
    auto bitmap = decodeImage(bytes, limits);
    if (!bitmap)
        return std::nullopt;
    return Image(std::move(*bitmap));
}

std::optional<Image> Image::fromFile(const std::string& path, const DecodeLimits& limits)
{
    auto bytes = readFile(path, fileLimit(limits));
    if (!bytes)
        return std::nullopt;
    return fromBytes(*bytes, limits);
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

} // namespace platform
