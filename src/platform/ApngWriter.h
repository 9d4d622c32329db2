// ApngWriter: an animated PNG made of the PNG writer's own pictures, one a
// frame, streamed out as the frames come. The first frame's IHDR is the
// animation's and its IDAT chunks are the picture a reader without animation
// shows; every later frame's IDAT data goes out again as fdAT chunks. acTL
// says how many frames there are and that the animation loops for ever; each
// frame's fcTL gives its time. Holds no frame: the bytes go to the sink.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace platform {

class ApngWriter {
public:
    // Receives the file's bytes in order; false stops the writer.
    using Sink = std::function<bool(std::span<const uint8_t>)>;

    // An animation of `frames` frames (at least 1) shown `delayNumerator` /
    // `delayDenominator` seconds each.
    ApngWriter(Sink sink, uint32_t frames, uint16_t delayNumerator, uint16_t delayDenominator);

    // Adds the next frame, given as a whole PNG file of the same size, bit
    // depth and colour type as the first (interlaced pictures are not
    // taken). False when it is not one, when more frames come than were
    // announced, or when the sink fails.
    bool addFrame(std::span<const uint8_t> png);
    // Ends the file; false unless every announced frame came and was written.
    bool finish();

private:
    bool put(const char type[4], std::span<const uint8_t> data);
    bool putFrameControl();

    Sink sink_;
    uint32_t frames_, added_ = 0, sequence_ = 0;
    uint16_t delayNumerator_, delayDenominator_;
    std::vector<uint8_t> header_; // the first frame's IHDR data
    bool ok_ = true;
};

} // namespace platform
