#include "umb/UMBImageOps.h"

#include <gtest/gtest.h>
#include <vector>

using platform::Color;
using platform::Image;
using platform::Size;
using umb::UMBImageOps;

namespace {

// A w x h opaque picture whose every pixel encodes its own position.
Image positions(int w, int h)
{
    std::vector<int32_t> pixels(size_t(w * h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            pixels[size_t(y * w + x)]
                = int32_t(0xFF000000u | uint32_t(x) << 16 | uint32_t(y) << 8 | 7);
    return UMBImageOps().buildImageFromPixels(w, h, pixels);
}

std::vector<int32_t> grab(const Image& image)
{
    int w = image.bitmap() ? image.bitmap()->width() : 0;
    int h = image.bitmap() ? image.bitmap()->height() : 0;
    std::vector<int32_t> pixels(size_t(w * h));
    UMBImageOps().grabImagePixels(image, w, h, pixels);
    return pixels;
}

} // namespace

TEST(UMBImageOpsTest, PackingTruncatesAndUnpackingGivesEveryValueBack)
{
    UMBImageOps ops;
    // Packing is tabled in umb-functions.tsv.
    Color red = ops.integerToColor(int32_t(0x80FF0000u));
    EXPECT_EQ(red.colorSpaceName(), "NSDeviceRGBColorSpace");
    EXPECT_EQ(UMBImageOps::colorFromNumber(1).colorSpace(), platform::ColorSpace::DeviceRGB);
    EXPECT_DOUBLE_EQ(red.red() + red.green() * 2 + red.blue() * 4, 1.0);
    EXPECT_DOUBLE_EQ(red.alpha(), double(float(128 / 255.0)));
    // Every byte in every position, beside a neighbour.
    for (int shift = 0; shift < 32; shift += 8)
        for (uint32_t byte = 0; byte < 256; ++byte)
            for (uint32_t other : {0u, 0x5Au, 0xFFu}) {
                int32_t p = int32_t(byte << shift | other << ((shift + 8) % 32));
                ASSERT_EQ(ops.colorToInteger(ops.integerToColor(p)), p) << std::hex << p;
            }
}

TEST(UMBImageOpsTest, BuildAndGrabPixelArraysTopRowFirst)
{
    UMBImageOps ops;
    std::vector<int32_t> pixels = {int32_t(0xFF102030u), int32_t(0x80FF0000u), int32_t(0xFFFFFFFFu),
        0, int32_t(0x40202020u), int32_t(0xFF000001u)};
    Image image = ops.buildImageFromPixels(3, 2, pixels);
    ASSERT_EQ(image.size(), (Size {3, 2}));
    EXPECT_EQ(image.bitmap()->bytesPerRow(), 12u);
    EXPECT_EQ(image.bitmap()->pixelAt(2, 1)[2], 1) << "element 5 is column 2 of row 1";
    EXPECT_EQ(image.bitmap()->pixelAt(0, 1)[3], 0);
    std::vector<int32_t> back(7, 99);
    EXPECT_EQ(ops.grabImagePixels(image, 3, 2, back), 0);
    // Opaque colours come back exactly, translucent ones as their premultiplied
    // 8-bit storage allows; nothing is written past width x height.
    EXPECT_EQ(
        back, (std::vector<int32_t> {pixels[0], pixels[1], pixels[2], 0, back[4], pixels[5], 99}));
    EXPECT_EQ(uint32_t(back[4]) >> 24, 0x40u);

    std::vector<int32_t> wide(4 * 3, 99);
    ops.grabImagePixels(image, 4, 3, wide);
    EXPECT_EQ(wide[0], pixels[0]);
    EXPECT_EQ(wide[3], 0) << "column 3 lies beyond the bitmap";
    EXPECT_EQ(wide[8], 0) << "row 2 lies beyond the bitmap";
    std::vector<int32_t> none(4, 99), untouched(4, 99), shortArray(2, 99);
    ops.grabImagePixels(Image(), 2, 2, none);
    EXPECT_EQ(none, std::vector<int32_t>(4, 0)) << "no bitmap: all transparent";
    ops.grabImagePixels(image, 0, 2, untouched);
    ops.grabImagePixels(image, 2, -1, untouched);
    EXPECT_EQ(untouched, std::vector<int32_t>(4, 99));
    ops.grabImagePixels(image, 3, 2, shortArray); // must not write past the end
    EXPECT_EQ(shortArray[1], pixels[1]);
}

TEST(UMBImageOpsTest, RotateScaleAndCutOut)
{
    UMBImageOps ops;
    for (auto [w, h] : {std::pair {6, 4}, {5, 7}, {1, 1}}) {
        Image source = positions(w, h);
        const std::vector<int32_t> original = grab(source);
        EXPECT_EQ(grab(ops.rotateImage(source, 0)), original) << w << "x" << h;
        std::vector<int32_t> turned = grab(ops.rotateImage(source, 180));
        std::vector<int32_t> reversed(original.rbegin(), original.rend());
        EXPECT_EQ(turned, reversed) << w << "x" << h;
        EXPECT_EQ(grab(source), original) << "the source is left alone";
    }
    // 8 x 4 turned counter-clockwise: 4 wide and 8 high, centred, so 2
    // columns stay clear at each side and 2 of its rows are cut off at the
    // top and the bottom; the source's right column becomes the top row.
    const int w = 8, h = 4;
    std::vector<int32_t> src = grab(positions(w, h)),
                         out = grab(ops.rotateImage(positions(w, h), 90));
    ASSERT_EQ(out.size(), size_t(w * h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            EXPECT_EQ(out[size_t(y * w + x)],
                x < 2 || x >= 6 ? 0 : src[size_t((x - 2) * w + (w - 1 - (y + 2)))])
                << x << "," << y;

    // A 2 x 2 checker of solid 2 x 2 blocks halves into one pixel a block.
    const uint32_t colours[4] = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFFFFu};
    std::vector<int32_t> blocks(16);
    for (int i = 0; i < 16; ++i)
        blocks[size_t(i)] = int32_t(colours[(i / 8) * 2 + (i % 4) / 2]);
    Image checker = ops.buildImageFromPixels(4, 4, blocks);
    std::vector<int32_t> half = grab(ops.scaleImage(checker, 0.5f));
    ASSERT_EQ(half.size(), 4u);
    for (int i = 0; i < 4; ++i)
        for (int shift = 0; shift < 32; shift += 8)
            EXPECT_NEAR(
                int(uint32_t(half[size_t(i)]) >> shift & 0xFF), int(colours[i] >> shift & 0xFF), 3)
                << "pixel " << i << " byte " << shift / 8;
    EXPECT_EQ(grab(ops.scaleImage(positions(9, 5), 1.0f)), grab(positions(9, 5)));
    EXPECT_FLOAT_EQ(
        float(ops.scaleImage(positions(10, 10), 0.33f).size().width), float(10 * double(0.33f)));
    EXPECT_EQ(ops.scaleImage(checker, 0).bitmap(), nullptr);
    EXPECT_EQ(ops.scaleImage(checker, -2).size(), (Size {0, 0}));

    // Cut-outs measure from the corner the flag names.
    const int cw = 12, ch = 10;
    std::vector<int32_t> whole = grab(positions(cw, ch));
    struct {
        float x, y, w, h;
        bool flipped;
        int fromRow; // source row of the cut-out's top row
    } cuts[] = {{0, 0, 12, 10, false, 0}, {0, 0, 12, 10, true, 0}, {0, 0, 4, 3, false, 7},
        {0, 0, 4, 3, true, 0}, {5, 2, 3, 4, false, 4}, {5, 2, 3, 4, true, 2}};
    for (const auto& c : cuts) {
        Image source = positions(cw, ch);
        Image cut = ops.subImage(source, c.x, c.y, c.w, c.h, c.flipped);
        EXPECT_TRUE(source.isFlipped() == c.flipped && cut.isFlipped() == c.flipped);
        EXPECT_EQ(cut.size(), (Size {c.w, c.h}));
        std::vector<int32_t> want;
        for (int y = 0; y < int(c.h); ++y)
            for (int x = 0; x < int(c.w); ++x)
                want.push_back(whole[size_t((c.fromRow + y) * cw + int(c.x) + x)]);
        EXPECT_EQ(grab(cut), want) << c.x << "," << c.y << " flipped " << c.flipped;
    }
}
