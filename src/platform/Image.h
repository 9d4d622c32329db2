// Image: a picture with a size in points, at most one bitmap holding its
// pixels (top row first), and the flipped attribute that says which way its
// own coordinates run. The image owns its bitmap. Move-only; clone() copies.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "platform/Bitmap.h"
#include "platform/Error.h"
#include "platform/Geometry.h"
#include "platform/ImageCodec.h"

namespace platform {

class Image {
public:
    // No size and no bitmap.
    Image() = default;
    // A transparent picture of `size` points, with an RGBA bitmap of
    // ceil(width) x ceil(height) pixels (none when either is 0 or less).
    explicit Image(Size size);
    // The picture of `bitmap`: its size in points is the bitmap's in pixels.
    explicit Image(Bitmap bitmap);

    // The picture in a JPEG or PNG file or in encoded bytes; the error of
    // reading or decoding it otherwise (a file's decoding error names the
    // file). Its size is its size in pixels.
    static ErrorOr<Image> fromFile(const std::string& path, const DecodeLimits& limits = {});
    static ErrorOr<Image> fromBytes(
        std::span<const uint8_t> bytes, const DecodeLimits& limits = {});

    // Writes the bitmap as a PNG file (encodePng), atomically and unsynced
    // (writeFileAtomically, Durability::Replaced): a reader sees the old file
    // or the new one. An
    // Invalid error, and nothing written, for a picture without pixels.
    ErrorOr<void> writePngFile(const std::string& path) const;

    Image(Image&&) noexcept = default;
    Image& operator=(Image&&) noexcept = default;
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;
    Image clone() const;

    Size size() const { return size_; }
    // Changes the size in points; the bitmap keeps its pixels.
    void setSize(Size size) { size_ = size; }

    // Flipped: the image's own coordinates start at its top-left corner with
    // y downward; not flipped (the default): at its bottom-left, y upward.
    bool isFlipped() const { return flipped_; }
    void setFlipped(bool flipped) { flipped_ = flipped; }

    // The first bitmap, at pixel resolution; null when the picture has none.
    const Bitmap* bitmap() const { return bitmap_ ? &*bitmap_ : nullptr; }
    Bitmap* bitmap() { return bitmap_ ? &*bitmap_ : nullptr; }
    void setBitmap(Bitmap bitmap);

    // Bitmap pixels per point along each side, as pictures are drawn: 1 where
    // the pixel count is the size rounded up (a picture of fractional size),
    // the ratio otherwise; 1 without a bitmap.
    double pixelsPerPointX() const;
    double pixelsPerPointY() const;

private:
    Size size_;
    bool flipped_ = false;
    std::optional<Bitmap> bitmap_;
};

} // namespace platform
