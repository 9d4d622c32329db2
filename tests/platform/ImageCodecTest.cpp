#include "platform/ImageCodec.h"
#include "support/PngBytes.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "platform/Image.h"

using namespace platform;

namespace {

// A picture with every kind of sample: gradients, noise, all alphas.
Bitmap testPicture(int w, int h, PixelFormat format = PixelFormat::RGBA)
{
    Bitmap b(w, h, format);
    uint32_t seed = 12345;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            seed = seed * 1664525u + 1013904223u;
            double a = ((x + y) % 17) / 16.0;
            b.setColorAt(
                x, y, Color::deviceRGB(x / double(w), y / double(h), (seed >> 24) / 255.0, a));
        }
    }
    return b;
}

bool sameSamples(const Bitmap& a, const Bitmap& b)
{
    return a.width() == b.width() && a.height() == b.height() && a.format() == b.format()
        && std::memcmp(a.data(), b.data(), a.byteCount()) == 0;
}

} // namespace

TEST(ImageCodecTest, PngRoundTripIsPixelExactForEveryEncoder)
{
    struct {
        PngEncoder encoder;
        int level;
        PixelFormat format;
    } cases[] = {
        {PngEncoder::Deflate, 0, PixelFormat::RGBA},
        {PngEncoder::Deflate, 2, PixelFormat::RGBA},
        {PngEncoder::Deflate, 12, PixelFormat::RGBA},
        {PngEncoder::Deflate, 2, PixelFormat::RGB},
        {PngEncoder::Spng, 6, PixelFormat::RGBA},
        {PngEncoder::Spng, 1, PixelFormat::RGB},
    };
    for (const auto& c : cases) {
        Bitmap original = testPicture(67, 41, c.format);
        auto png = encodePng(original, {c.encoder, c.level});
        ASSERT_TRUE(png) << int(c.encoder) << " level " << c.level;
        DecodeError error {};
        auto decoded = decodePng(*png, {}, &error);
        ASSERT_TRUE(decoded) << int(error);
        EXPECT_TRUE(sameSamples(original, *decoded)) << int(c.encoder) << " level " << c.level;
    }
}

TEST(ImageCodecTest, EmptyBitmapHasNoPng)
{
    EXPECT_FALSE(encodePng(Bitmap()));
}

TEST(ImageCodecTest, HugePngHeaderIsRefusedWithoutAllocating)
{
    auto png = testing_support::pngClaiming(100000, 100000, false);
    // In a child whose address space is capped far below the 40 GB the header
    // asks for: if the decoder allocated first, it would fail for lack of
    // memory (or crash) instead of answering "too large".
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        rlimit cap {size_t(1) << 32, size_t(1) << 32};
        setrlimit(RLIMIT_AS, &cap);
        DecodeError error {};
        auto bitmap = decodeImage(png, {}, &error);
        _exit(!bitmap && error == DecodeError::TooLarge ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    struct {
        uint32_t w, h;
        DecodeLimits limits;
    } cases[] = {
        {16385, 1, {}}, // one side too long
        {16384, 16384, {}}, // each side fine, too many pixels
        {100, 100, {50, 1u << 27}},
        {100, 100, {16384, 9999}},
    };
    for (const auto& c : cases) {
        DecodeError error {};
        EXPECT_FALSE(decodePng(testing_support::pngClaiming(c.w, c.h, false), c.limits, &error))
            << c.w << "x" << c.h;
        EXPECT_EQ(error, DecodeError::TooLarge) << c.w << "x" << c.h;
    }
}

TEST(ImageCodecTest, TruncatedOrCorruptDataGiveNoPicture)
{
    auto png = *encodePng(testPicture(40, 30));
    auto jpeg = *encodeJpeg(testPicture(40, 30, PixelFormat::RGB));
    auto progressive = *encodeJpeg(testPicture(40, 30, PixelFormat::RGB), 90, true);
    for (const auto* file : {&png, &jpeg, &progressive}) {
        ASSERT_TRUE(decodeImage(*file)) << "the intact file must decode";
        for (size_t keep : {size_t(3), size_t(20), file->size() / 2, file->size() - 2}) {
            std::vector<uint8_t> cut(file->begin(), file->begin() + long(keep));
            EXPECT_FALSE(decodeImage(cut))
                << (file == &png ? "png" : "jpeg") << " kept " << keep << " of " << file->size();
        }
        std::vector<uint8_t> flipped = *file;
        flipped[flipped.size() / 2] ^= 0x55;
        flipped[flipped.size() / 2 + 7] ^= 0xAA;
        // A PNG's CRC catches any change; a JPEG may decode a damaged segment
        // into other pixels, which is fine as long as it does not crash.
        if (file == &png)
            EXPECT_FALSE(decodeImage(flipped));
        else
            (void)decodeImage(flipped);
    }
    DecodeError error {};
    EXPECT_FALSE(decodeImage(std::vector<uint8_t> {'G', 'I', 'F', '8', '9', 'a'}, {}, &error));
    EXPECT_EQ(error, DecodeError::UnknownFormat);
}

TEST(ImageCodecTest, JpegDecodesToRgbNearTheOriginal)
{
    Bitmap original(64, 32, PixelFormat::RGB);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 64; ++x)
            original.setColorAt(x, y, Color::deviceRGB(x / 63.0, y / 31.0, 0.5, 1));
    auto decoded = decodeJpeg(*encodeJpeg(original, 95));
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->format(), PixelFormat::RGB);
    ASSERT_EQ(decoded->width(), 64);
    ASSERT_EQ(decoded->height(), 32);
    int worst = 0;
    for (size_t i = 0; i < original.byteCount(); ++i)
        worst = std::max(worst, std::abs(int(original.data()[i]) - int(decoded->data()[i])));
    EXPECT_LE(worst, 12);
}

TEST(ImageCodecTest, JpegWithEndlessScansIsRefused)
{
    // A progressive file whose scans are repeated hundreds of times: each one
    // would cost a pass over the picture, so the decoder must give up.
    auto jpeg = *encodeJpeg(testPicture(16, 16, PixelFormat::RGB), 90, true);
    const uint8_t marker[2] = {0xFF, 0xDA};
    auto sos = std::search(jpeg.begin(), jpeg.end(), marker, marker + 2);
    ASSERT_NE(sos, jpeg.end());
    std::vector<uint8_t> scans(sos, jpeg.end() - 2); // every scan, without EOI
    std::vector<uint8_t> bomb(jpeg.begin(), sos);
    for (int i = 0; i < 200; ++i)
        bomb.insert(bomb.end(), scans.begin(), scans.end());
    bomb.insert(bomb.end(), {0xFF, 0xD9});
    EXPECT_FALSE(decodeJpeg(bomb));
}

TEST(ImageCodecTest, ImageFromBytesKeepsPixelSize)
{
    auto png = *encodePng(testPicture(9, 7));
    auto image = Image::fromBytes(png);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->size(), (Size {9, 7}));
    EXPECT_FALSE(Image::fromFile("/nonexistent/picture.png"));
}
