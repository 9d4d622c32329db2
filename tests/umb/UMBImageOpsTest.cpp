#include "umb/UMBImageOps.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "platform/Files.h"
#include "platform/ImageCodec.h"

using platform::Color;
using platform::Image;
using umb::UMBImageOps;

namespace {

std::string tempDir()
{
    char pattern[] = "/tmp/umbimageops-XXXXXX";
    const char* dir = mkdtemp(pattern);
    return dir ? dir : "/tmp";
}

// w x h opaque picture whose every pixel encodes its own position.
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

TEST(UMBImageOpsTest, PackingTruncatesAndUnpackingReadsUnsignedBits)
{
    UMBImageOps ops;
    struct {
        Color color;
        uint32_t packed;
    } cases[] = {
        {Color::deviceRGB(1, 1, 1, 1), 0xFFFFFFFFu}, {Color::deviceRGB(0, 0, 0, 1), 0xFF000000u},
        {Color::deviceRGB(0, 0, 0, 0), 0u},
        {Color::deviceRGB(0.5, 0.5, 0.5, 0.5), 0x7F7F7F7Fu}, // 127, not 128
        {Color::deviceRGB(0.999, 0, 0, 1), 0xFFFE0000u}, // 254, not 255
        {Color::calibratedRGB(0, 0, 1, 1), 0xFF0000FFu},
        {Color::deviceGray(1, 1), 0xFFFFFFFFu}, // grey read as RGB
    };
    for (const auto& c : cases)
        EXPECT_EQ(uint32_t(ops.colorToInteger(c.color)), c.packed) << std::hex << c.packed;
    EXPECT_EQ(ops.colorToInteger(Color::deviceRGB(1, 1, 1, 1)), -1);

    Color red = ops.integerToColor(int32_t(0x80FF0000u));
    EXPECT_EQ(red.colorSpaceName(), "NSDeviceRGBColorSpace");
    EXPECT_DOUBLE_EQ(red.red(), 1.0);
    EXPECT_DOUBLE_EQ(red.green(), 0.0);
    EXPECT_DOUBLE_EQ(red.blue(), 0.0);
    EXPECT_DOUBLE_EQ(red.alpha(), double(float(128 / 255.0)));
}

TEST(UMBImageOpsTest, EveryPackedValueSurvivesUnpackAndPack)
{
    // Each channel is unpacked from its own byte and packed into its own
    // byte, so a value survives exactly when each of its four bytes does in
    // its position. Every byte in every position is checked against every
    // value of a neighbouring channel, then a dense stride of the whole
    // 32-bit range runs through the real operations as a whole.
    UMBImageOps ops;
    for (int shift = 0; shift < 32; shift += 8) {
        for (uint32_t byte = 0; byte < 256; ++byte) {
            for (uint32_t other = 0; other < 256; ++other) {
                uint32_t v = byte << shift | other << ((shift + 8) % 32);
                int32_t p = int32_t(v);
                ASSERT_EQ(ops.colorToInteger(ops.integerToColor(p)), p) << std::hex << v;
            }
        }
    }
    for (uint64_t v = 0; v <= 0xFFFFFFFFu; v += 997) {
        int32_t p = int32_t(uint32_t(v));
        ASSERT_EQ(ops.colorToInteger(ops.integerToColor(p)), p) << std::hex << v;
        ASSERT_EQ(UMBImageOps::numberFromColor(UMBImageOps::colorFromNumber(p)), p)
            << std::hex << v;
    }
    ASSERT_EQ(ops.colorToInteger(ops.integerToColor(-1)), -1);
    ASSERT_EQ(ops.colorToInteger(ops.integerToColor(INT32_MIN)), INT32_MIN);
}

TEST(UMBImageOpsTest, NumberFromColorConvertsOnlyOtherSpaces)
{
    struct {
        Color color;
        uint32_t packed;
    } cases[] = {
        {Color::deviceRGB(0.2, 0.4, 0.6, 1), 0xFF336699u},
        {Color::calibratedRGB(0.2, 0.4, 0.6, 1), 0xFF336699u}, // same space here
        {Color::deviceGray(0.5, 1), 0xFF7F7F7Fu},
        {Color::calibratedGray(0, 0.5), 0x7F000000u},
    };
    for (const auto& c : cases)
        EXPECT_EQ(uint32_t(UMBImageOps::numberFromColor(c.color)), c.packed)
            << c.color.colorSpaceName();
    Color back = UMBImageOps::colorFromNumber(int32_t(0xFF336699u));
    EXPECT_EQ(back.colorSpace(), platform::ColorSpace::DeviceRGB);
}

TEST(UMBImageOpsTest, BuildPlacesElementsTopRowFirst)
{
    std::vector<int32_t> pixels(12, 0);
    pixels[0] = int32_t(0xFFFF0000u); // opaque red, top-left
    pixels[7] = int32_t(0xFF00FF00u); // column 3 of row 1
    Image image = UMBImageOps().buildImageFromPixels(4, 3, pixels);
    ASSERT_NE(image.bitmap(), nullptr);
    EXPECT_EQ(image.size(), (platform::Size {4, 3}));
    const platform::Bitmap& b = *image.bitmap();
    EXPECT_EQ(b.bytesPerRow(), 16u);
    const uint8_t* topLeft = b.data();
    EXPECT_EQ(topLeft[0], 255);
    EXPECT_EQ(topLeft[3], 255);
    EXPECT_EQ(b.data()[16 + 3 * 4 + 1], 255) << "element 7 is column 3 of row 1";
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            if (y * 4 + x != 0 && y * 4 + x != 7) {
                EXPECT_EQ(b.pixelAt(x, y)[3], 0) << x << "," << y;
            }
}

TEST(UMBImageOpsTest, GrabRoundTripsAndFillsBeyondTheBitmapWithZero)
{
    UMBImageOps ops;
    std::vector<int32_t> pixels = {int32_t(0xFF102030u), int32_t(0x80FF0000u), int32_t(0xFFFFFFFFu),
        0, int32_t(0x40202020u), int32_t(0xFF000001u)};
    Image image = ops.buildImageFromPixels(3, 2, pixels);
    std::vector<int32_t> back(6, 99);
    EXPECT_EQ(ops.grabImagePixels(image, 3, 2, back), 0);
    // Opaque colours come back exactly; translucent ones as their
    // premultiplied 8-bit storage allows.
    EXPECT_EQ(back[0], pixels[0]);
    EXPECT_EQ(back[2], pixels[2]);
    EXPECT_EQ(back[3], 0);
    EXPECT_EQ(back[5], pixels[5]);
    EXPECT_EQ(uint32_t(back[1]), 0x80FF0000u);
    EXPECT_EQ(uint32_t(back[4]) >> 24, 0x40u);

    std::vector<int32_t> wide(4 * 3, 99);
    ops.grabImagePixels(image, 4, 3, wide);
    EXPECT_EQ(wide[0], pixels[0]);
    EXPECT_EQ(wide[3], 0) << "column 3 lies beyond the bitmap";
    EXPECT_EQ(wide[8], 0) << "row 2 lies beyond the bitmap";
    std::vector<int32_t> none(4, 99);
    ops.grabImagePixels(Image(), 2, 2, none);
    EXPECT_EQ(none, std::vector<int32_t>(4, 0)) << "no bitmap: all transparent";
    std::vector<int32_t> untouched(4, 99);
    ops.grabImagePixels(image, 0, 2, untouched);
    ops.grabImagePixels(image, 2, -1, untouched);
    EXPECT_EQ(untouched, std::vector<int32_t>(4, 99));
    std::vector<int32_t> shortArray(2, 99);
    ops.grabImagePixels(image, 3, 2, shortArray); // must not write past the end
    EXPECT_EQ(shortArray[0], pixels[0]);
}

TEST(UMBImageOpsTest, OpaqueJpegPicturesGrabWithFullAlpha)
{
    platform::Bitmap rgb(4, 4, platform::PixelFormat::RGB);
    auto jpeg = platform::encodeJpeg(rgb);
    ASSERT_TRUE(jpeg);
    auto image = Image::fromBytes(*jpeg);
    ASSERT_TRUE(image);
    std::vector<int32_t> pixels(16);
    UMBImageOps().grabImagePixels(*image, 4, 4, pixels);
    for (int32_t p : pixels)
        EXPECT_EQ(uint32_t(p) >> 24, 0xFFu);
}

TEST(UMBImageOpsTest, SaveImageWritesAPngThatDecodesToTheSamePixels)
{
    std::string dir = tempDir();
    std::string path = dir + "/current.png";
    Image image = positions(20, 10);
    ASSERT_TRUE(UMBImageOps::saveImage(image, path));
    auto again = Image::fromFile(path);
    ASSERT_TRUE(again);
    EXPECT_EQ(grab(*again), grab(image));
    // No temporary is left beside the file.
    EXPECT_EQ(std::distance(
                  std::filesystem::directory_iterator(dir), std::filesystem::directory_iterator {}),
        1);
    std::filesystem::remove_all(dir);
}

TEST(UMBImageOpsTest, SaveImageFailsCleanly)
{
    std::string dir = tempDir();
    EXPECT_FALSE(UMBImageOps::saveImage(positions(2, 2), dir + "/missing/current.png"));
    EXPECT_FALSE(std::filesystem::exists(dir + "/missing"));
    std::string path = dir + "/current.png";
    EXPECT_FALSE(UMBImageOps::saveImage(Image(), path)) << "a picture without a bitmap";
    EXPECT_FALSE(std::filesystem::exists(path));
    std::filesystem::remove_all(dir);
}

TEST(UMBImageOpsTest, SaveImageIsAtomic)
{
    // The rename is the only step that touches the target: a failing write
    // of the temporary leaves the old file whole.
    std::string dir = tempDir();
    std::string path = dir + "/current.png";
    ASSERT_TRUE(UMBImageOps::saveImage(positions(3, 3), path));
    auto before = platform::readFile(path);
    static int writes = 0;
    writes = 0;
    platform::FileSystemCalls calls = platform::systemFileCalls();
    calls.write = [](int fd, const void* b, size_t n) -> ssize_t {
        if (writes++ == 0)
            return ::write(fd, b, n < 8 ? n : 8); // a short write first ...
        errno = ENOSPC; // ... then the disk is full
        return -1;
    };
    platform::setFileSystemCallsForTesting(&calls);
    bool saved = UMBImageOps::saveImage(positions(30, 30), path);
    platform::setFileSystemCallsForTesting(nullptr);
    EXPECT_FALSE(saved);
    EXPECT_EQ(platform::readFile(path), before);
    EXPECT_EQ(std::distance(
                  std::filesystem::directory_iterator(dir), std::filesystem::directory_iterator {}),
        1);
    std::filesystem::remove_all(dir);
}

TEST(UMBImageOpsTest, RotateByZeroAndHalfATurn)
{
    UMBImageOps ops;
    for (auto [w, h] : {std::pair {6, 4}, std::pair {5, 7}, std::pair {1, 1}}) {
        Image source = positions(w, h);
        std::vector<int32_t> original = grab(source);
        EXPECT_EQ(grab(ops.rotateImage(source, 0)), original) << w << "x" << h;
        std::vector<int32_t> turned = grab(ops.rotateImage(source, 180));
        ASSERT_EQ(turned.size(), original.size());
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                EXPECT_EQ(
                    turned[size_t(y * w + x)], original[size_t((h - 1 - y) * w + (w - 1 - x))])
                    << w << "x" << h << " at " << x << "," << y;
        EXPECT_EQ(grab(source), original) << "the source is left alone";
    }
}

TEST(UMBImageOpsTest, RotateAWideImageByAQuarterTurn)
{
    // 8 x 4 turned counter-clockwise: the turned image is 4 wide and 8 high,
    // centred, so 2 columns stay transparent at each side and 2 rows of it
    // are cut off at the top and the bottom.
    const int w = 8, h = 4;
    Image source = positions(w, h);
    std::vector<int32_t> src = grab(source);
    Image turned = UMBImageOps().rotateImage(source, 90);
    EXPECT_EQ(turned.size(), (platform::Size {w, h}));
    std::vector<int32_t> out = grab(turned);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            int32_t got = out[size_t(y * w + x)];
            if (x < 2 || x >= 6) {
                EXPECT_EQ(got, 0) << x << "," << y;
                continue;
            }
            // Counter-clockwise on screen: the source's right column becomes
            // the top row, so the target (x, y) shows source column
            // 2 + y + 2 read from the right, row x - 2.
            int sx = w - 1 - (y + 2), sy = x - 2;
            EXPECT_EQ(got, src[size_t(sy * w + sx)]) << x << "," << y;
        }
    }
}

TEST(UMBImageOpsTest, ScaleByHalfAndByOne)
{
    UMBImageOps ops;
    // A 2 x 2 checker of solid 2 x 2 blocks halves into one pixel per block.
    std::vector<int32_t> blocks(16);
    const uint32_t colours[4] = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFFFFu};
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            blocks[size_t(y * 4 + x)] = int32_t(colours[(y / 2) * 2 + x / 2]);
    Image source = ops.buildImageFromPixels(4, 4, blocks);
    Image half = ops.scaleImage(source, 0.5f);
    EXPECT_EQ(half.size(), (platform::Size {2, 2}));
    std::vector<int32_t> got = grab(half);
    ASSERT_EQ(got.size(), 4u);
    for (int i = 0; i < 4; ++i) {
        uint32_t g = uint32_t(got[size_t(i)]), want = colours[i];
        for (int shift = 0; shift < 32; shift += 8)
            EXPECT_NEAR(int(g >> shift & 0xFF), int(want >> shift & 0xFF), 3)
                << "pixel " << i << " byte " << shift / 8;
    }
    Image same = ops.scaleImage(positions(9, 5), 1.0f);
    EXPECT_EQ(same.size(), (platform::Size {9, 5}));
    EXPECT_EQ(grab(same), grab(positions(9, 5)));
    Image odd = ops.scaleImage(positions(10, 10), 0.33f);
    EXPECT_FLOAT_EQ(float(odd.size().width), float(10 * double(0.33f)));
    EXPECT_EQ(ops.scaleImage(source, 0).bitmap(), nullptr);
    EXPECT_EQ(ops.scaleImage(source, -2).size(), (platform::Size {0, 0}));
}

TEST(UMBImageOpsTest, CutOutsMeasureFromTheCornerTheFlagNames)
{
    UMBImageOps ops;
    const int w = 12, h = 10;
    std::vector<int32_t> src = grab(positions(w, h));
    struct {
        float x, y, cw, ch;
        bool flipped;
        int fromRow; // source row of the cut-out's top row
    } cases[] = {
        {0, 0, 12, 10, false, 0}, // the whole picture either way
        {0, 0, 12, 10, true, 0},
        {0, 0, 4, 3, false, 7}, // bottom-left corner: rows 7..9
        {0, 0, 4, 3, true, 0}, // top-left corner: rows 0..2
        {5, 2, 3, 4, false, 4}, // y = 2 up from the bottom: rows 4..7
        {5, 2, 3, 4, true, 2},
    };
    for (const auto& c : cases) {
        Image source = positions(w, h);
        Image cut = ops.subImage(source, c.x, c.y, c.cw, c.ch, c.flipped);
        EXPECT_EQ(source.isFlipped(), c.flipped);
        EXPECT_EQ(cut.isFlipped(), c.flipped);
        EXPECT_EQ(cut.size(), (platform::Size {c.cw, c.ch}));
        std::vector<int32_t> got = grab(cut);
        int cw = int(c.cw), ch = int(c.ch);
        ASSERT_EQ(got.size(), size_t(cw * ch));
        for (int y = 0; y < ch; ++y)
            for (int x = 0; x < cw; ++x)
                EXPECT_EQ(got[size_t(y * cw + x)], src[size_t((c.fromRow + y) * w + int(c.x) + x)])
                    << c.x << "," << c.y << " flipped " << c.flipped << " at " << x << "," << y;
    }
}
