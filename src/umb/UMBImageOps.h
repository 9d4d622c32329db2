// UMBImageOps: conversions between pictures, pixel arrays and colours, the
// PNG file writer, and rotate / scale / cut-out of pictures. Holds no state;
// every picture or colour it returns is new and belongs to the caller.
//
// A packed colour is an int32_t reading 0xAARRGGBB (straight alpha); a pixel
// array is a caller-owned row-major span of width x height packed colours, top
// row first. The "number object" of the class operations is the packed
// int32_t itself.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "platform/Color.h"
#include "platform/Image.h"

namespace umb {

class UMBImageOps {
public:
    UMBImageOps() = default;

    // Packs the colour's components as it reports them (a grey reads as RGB):
    // each times 255 truncated toward zero, combined as
    // a << 24 | r << 16 | g << 8 | b in 32-bit unsigned arithmetic.
    int32_t colorToInteger(const platform::Color& color) const;
    // The device-RGB colour of a packed colour; each channel / 255 rounded to
    // single precision, so colorToInteger gives the integer back exactly.
    platform::Color integerToColor(int32_t packed) const;

    // Fills pixels[y * width + x] with the packed colour of the image's bitmap
    // at column x, row y (row 0 at the top), for the top-left width x height
    // block. Positions beyond the bitmap, or every position of a picture
    // without one, get 0 (transparent). Writes nothing for a width or height
    // of 0 or less, and only as many elements as `pixels` holds. Returns 0.
    int grabImagePixels(
        const platform::Image& image, int width, int height, std::span<int32_t> pixels) const;
    // A new picture of width x height pixels (an RGBA bitmap) showing element
    // y * width + x at column x of row y; elements missing from a short
    // `pixels` count as 0.
    platform::Image buildImageFromPixels(
        int width, int height, std::span<const int32_t> pixels) const;

    // The packed colour of `color` after converting it into device RGB when
    // its colour space name does not begin with "NSDeviceRGBColorSpace".
    static int32_t numberFromColor(const platform::Color& color);
    // integerToColor of the number.
    static platform::Color colorFromNumber(int32_t number);
    // Writes the picture's bitmap as a PNG file, atomically: a reader sees the
    // old file or the new one, never part of one. False, and nothing written,
    // when the picture has no bitmap or the file cannot be written.
    static bool saveImage(const platform::Image& image, const std::string& path);

    // A picture of the source's size showing it turned counter-clockwise by
    // `degrees` about its centre (y upward), drawn with the copy operation:
    // corners that leave the canvas are cut off, uncovered parts stay
    // transparent.
    platform::Image rotateImage(const platform::Image& image, float degrees) const;
    // A picture of the source's size times `factor` (each product rounded to
    // single precision) with the source drawn into it at high quality. A
    // factor of 0 or less gives an empty picture of size 0 x 0.
    platform::Image scaleImage(const platform::Image& image, float factor) const;
    // A width x height picture holding the rectangle (x, y, width, height) of
    // the source, measured from its bottom-left corner with y upward, or from
    // its top-left corner with y downward when `flipped`. Sets the source's
    // flipped attribute to `flipped` and leaves it so; the result has the
    // same attribute and the cut-out keeps its orientation.
    platform::Image subImage(
        platform::Image& image, float x, float y, float width, float height, bool flipped) const;
};

} // namespace umb
