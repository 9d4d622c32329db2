// Premultiplication a row at a time, four pixels a step: the same answer as
// one sample at a time, for every sample and alpha; and undone exactly.
#include "platform/PixelConvert.h"

#include "platform/Bitmap.h"

#include <gtest/gtest.h>
#include <vector>

using namespace platform;

TEST(PixelConvertTest, RowsArePremultipliedAndUnpremultipliedAsEachSampleIs)
{
    // Each (sample, alpha) pair in every colour position, and a pixel count
    // that is not a multiple of four, so the tail is used too.
    std::vector<uint8_t> pixels;
    for (unsigned a = 0; a < 256; ++a)
        for (unsigned c = 0; c < 256; ++c)
            pixels.insert(
                pixels.end(), {uint8_t(c), uint8_t(255 - c), uint8_t(c ^ 0x5A), uint8_t(a)});
    pixels.insert(pixels.end(), {200, 100, 50, 99});
    const std::vector<uint8_t> straight = pixels;
    premultiplyRows(pixels.data(), pixels.size() / 4);
    size_t wrong = 0;
    for (size_t i = 0; i < pixels.size(); ++i)
        wrong
            += pixels[i] != (i % 4 == 3 ? straight[i] : premultiply(straight[i], straight[i | 3]));
    EXPECT_EQ(wrong, 0u);
    // No valid premultiplied sample (p <= a) changes on the way back and forth.
    pixels.clear();
    for (unsigned a = 0; a < 256; ++a)
        for (unsigned p = 0; p <= a; ++p)
            pixels.insert(pixels.end(), {uint8_t(p), uint8_t(a - p), uint8_t(p / 2), uint8_t(a)});
    const std::vector<uint8_t> premultiplied = pixels;
    unpremultiplyRows(pixels.data(), pixels.data(), pixels.size() / 4);
    premultiplyRows(pixels.data(), pixels.size() / 4);
    EXPECT_EQ(pixels, premultiplied);
}
