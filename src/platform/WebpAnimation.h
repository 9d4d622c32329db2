// WebpAnimation: an animated WebP built with libwebp's animation encoder,
// lossless unless a quality is given. The encoder keeps each frame only as
// it encoded it (and the frame before, to find what changed), never the
// frames' pixels; the file's bytes come at the end. Owns the encoder.
#pragma once

#include "platform/Bitmap.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace platform {

class WebpAnimation {
public:
    // An animation of width x height frames, each shown `frameMillis`
    // milliseconds, looping for ever. Lossless (every pixel kept exactly,
    // under transparent ones too) without `quality`; lossy at quality 0..100
    // with it.
    WebpAnimation(int width, int height, int frameMillis, std::optional<int> quality);
    ~WebpAnimation();
    WebpAnimation(const WebpAnimation&) = delete;
    WebpAnimation& operator=(const WebpAnimation&) = delete;

    // Adds the next frame, an RGB or RGBA bitmap of the animation's size;
    // false when it does not fit or the encoder fails.
    bool addFrame(const Bitmap& frame);
    // The whole file; none when the encoder fails.
    std::optional<std::vector<uint8_t>> finish();

private:
    struct Encoder;
    std::unique_ptr<Encoder> encoder_;
    int width_, height_, frameMillis_, frames_ = 0;
    std::optional<int> quality_;
};

} // namespace platform
