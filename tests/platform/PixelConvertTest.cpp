#include "platform/PixelConvert.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/Bitmap.h"

using namespace platform;

TEST(PixelConvertTest, PremultiplyRowsIsPremultiplyForEveryColourAndAlpha)
{
    // Every (sample, alpha) pair, each sample in every colour position, and a
    // pixel count that is not a multiple of four so the tail is used too.
    std::vector<uint8_t> pixels;
    for (unsigned a = 0; a < 256; ++a) {
        for (unsigned c = 0; c < 256; ++c) {
            pixels.insert(
                pixels.end(), {uint8_t(c), uint8_t(255 - c), uint8_t(c ^ 0x5A), uint8_t(a)});
        }
    }
    pixels.insert(pixels.end(), {200, 100, 50, 99});
    const std::vector<uint8_t> straight = pixels;
    premultiplyRows(pixels.data(), pixels.size() / 4);
    size_t wrong = 0;
    for (size_t i = 0; i < pixels.size(); i += 4) {
        const uint8_t a = straight[i + 3];
        for (int k = 0; k < 3; ++k)
            wrong += pixels[i + k] != premultiply(straight[i + k], a);
        wrong += pixels[i + 3] != a;
    }
    EXPECT_EQ(wrong, 0u);
}

TEST(PixelConvertTest, UnpremultiplyUndoesPremultiply)
{
    std::vector<uint8_t> pixels;
    for (unsigned a = 0; a < 256; ++a)
        for (unsigned p = 0; p <= a; ++p)
            pixels.insert(pixels.end(), {uint8_t(p), uint8_t(a - p), uint8_t(p / 2), uint8_t(a)});
    const std::vector<uint8_t> premultiplied = pixels;
    unpremultiplyRows(pixels.data(), pixels.data(), pixels.size() / 4);
    premultiplyRows(pixels.data(), pixels.size() / 4);
    EXPECT_EQ(pixels, premultiplied);
}
