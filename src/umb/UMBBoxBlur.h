// UMBBoxBlur: box filters by running sums, for packed-colour arrays and for
// the samples of a bitmap in place. Every output sample is the mean, truncated,
// of a window of 2r + 1 samples along a row or column, with positions beyond
// an edge taking the edge sample. Owns one UMBImageOps; holds no pixels
// between calls.
#pragma once

#include <cstdint>
#include <span>

#include "platform/Bitmap.h"
#include "umb/UMBImageOps.h"

namespace umb {

// low when value < low, otherwise the smaller of value and high.
int32_t clamp(int32_t value, int32_t low, int32_t high);

class UMBBoxBlur {
public:
    UMBBoxBlur() = default;

    // Blurs the width x height pixel array in place, `iterations` times a
    // horizontal pass with hRadius() then a vertical one with vRadius(); all
    // four bytes of each packed colour are averaged alike. A negative radius
    // counts as 0. Nothing happens when the array holds fewer than
    // width x height elements. Returns 0.
    int filter(std::span<int32_t> pixels, int width, int height);
    // One pass over `height` rows of `width` packed colours of `in`, written
    // transposed into `out` (which is then `height` wide and `width` high).
    // A negative radius counts as 0. Nothing happens when either span holds
    // fewer than width x height elements; `in` and `out` may be the same.
    void blur(
        std::span<const int32_t> in, std::span<int32_t> out, int width, int height, int radius);

    // Blurs the 3 samples of every pixel of an RGB bitmap in place, one
    // horizontal pass then one vertical pass; an RGBA bitmap goes to
    // boxBlurPixelsWithAlpha. A radius below 1 counts as 1.
    void boxBlurPixels(platform::Bitmap& bitmap, int radius);
    // Blurs all four (premultiplied) samples of every pixel of an RGBA bitmap
    // in place, one horizontal pass then one vertical pass; a radius below 1
    // counts as 1. A bitmap without alpha is left unchanged.
    void boxBlurPixelsWithAlpha(platform::Bitmap& bitmap, int radius);
    // Blurs a plane of width x height one-byte samples (row 0 first, no gaps)
    // in place, exactly as boxBlurPixelsWithAlpha blurs any one channel: the
    // night shade is black, so its alpha is all that needs blurring. A radius
    // below 1 counts as 1; nothing happens when the plane is too small.
    void boxBlurPlane(std::span<uint8_t> plane, int width, int height, int radius);

    int32_t hRadius() const { return hRadius_; }
    void setHRadius(int32_t radius) { hRadius_ = radius; }
    int32_t vRadius() const { return vRadius_; }
    void setVRadius(int32_t radius) { vRadius_ = radius; }
    int32_t iterations() const { return iterations_; }
    void setIterations(int32_t iterations) { iterations_ = iterations; }

    const UMBImageOps& ops() const { return ops_; }

private:
    UMBImageOps ops_;
    int32_t hRadius_ = 4;
    int32_t vRadius_ = 4;
    int32_t iterations_ = 1;
};

} // namespace umb
