// The default PNG writer's files, read back by every reader at hand: the
// platform's own (libdeflate), libspng (zlib's inflate, reached by a text
// chunk that the own reader leaves to it) and libpng. Each must give exactly
// the samples written, at the sizes where the writer's code paths part: one
// pixel, rows shorter than a vector, odd widths, 8192-pixel rows, a picture
// large enough to be coded in two halves; flat content (runs of zeros of
// every length) and noise (codes the sample never saw).
#include <gtest/gtest.h>
#include <png.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/Bitmap.h"
#include "platform/ImageCodec.h"
#include "platform/PixelConvert.h"
#include "support/PngBytes.h"

using namespace platform;

namespace {

enum class Content { Flat, Noise, Blocks };

// Premultiplied samples: a colour never above its alpha.
Bitmap picture(int width, int height, PixelFormat format, Content content)
{
    Bitmap b(width, height, format);
    uint32_t seed = uint32_t(width * 7919 + height);
    auto next = [&] {
        seed = seed * 1664525u + 1013904223u;
        return uint8_t(seed >> 24);
    };
    const size_t bpp = size_t(b.samplesPerPixel());
    uint8_t block[4] = {0, 0, 0, 0};
    size_t blockLeft = 0;
    for (size_t i = 0; i < b.byteCount(); i += bpp) {
        uint8_t* p = b.data() + i;
        if (content == Content::Flat) {
            p[0] = 40, p[1] = 90, p[2] = 200;
        } else if (content == Content::Noise) {
            p[0] = next(), p[1] = next(), p[2] = next();
        } else {
            // Stretches of one colour from 1 to 700 pixels long, so that the
            // filtered rows hold zeros in runs of every length.
            if (blockLeft == 0) {
                blockLeft = 1 + next() % 4 * 200 + next() % 100;
                block[0] = next(), block[1] = next(), block[2] = next(), block[3] = next();
            }
            --blockLeft;
            std::memcpy(p, block, bpp);
        }
        if (bpp == 4) {
            p[3] = content == Content::Noise ? next() : content == Content::Flat ? 255 : p[3];
            for (int k = 0; k < 3; ++k)
                p[k] = std::min(p[k], p[3]);
        }
    }
    return b;
}

// The same file with a text chunk after IHDR.
std::vector<uint8_t> withText(const std::vector<uint8_t>& png)
{
    const uint8_t chunk[] = {0, 0, 0, 3, 't', 'E', 'X', 't', 'a', 0, 'b'};
    const uint32_t crc = testing_support::crc32(chunk + 4, 7);
    const uint8_t crcBytes[]
        = {uint8_t(crc >> 24), uint8_t(crc >> 16), uint8_t(crc >> 8), uint8_t(crc)};
    std::vector<uint8_t> out(png.size() + 15);
    std::memcpy(out.data(), png.data(), 33);
    std::memcpy(out.data() + 33, chunk, 11);
    std::memcpy(out.data() + 44, crcBytes, 4);
    std::memcpy(out.data() + 48, png.data() + 33, png.size() - 33);
    return out;
}

// libpng's reading of the file, premultiplied as the bitmap is; empty when it
// refuses the file.
std::vector<uint8_t> throughLibpng(const std::vector<uint8_t>& png, bool alpha)
{
    png_image image {};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, png.data(), png.size()))
        return {};
    image.format = alpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
    std::vector<uint8_t> samples(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, samples.data(), 0, nullptr))
        return {};
    if (alpha)
        premultiplyRows(samples.data(), samples.size() / 4);
    return samples;
}

} // namespace

TEST(PngWriterTest, EveryReaderGetsBackExactlyTheSamplesWritten)
{
    const struct {
        int width, height;
        PixelFormat format;
        Content content;
    } cases[] = {
        {1, 1, PixelFormat::RGBA, Content::Noise},
        {1, 1, PixelFormat::RGB, Content::Flat},
        {2, 9, PixelFormat::RGB, Content::Noise},
        {11, 3, PixelFormat::RGBA, Content::Blocks},
        {33, 17, PixelFormat::RGB, Content::Blocks},
        {67, 41, PixelFormat::RGBA, Content::Noise},
        {1023, 5, PixelFormat::RGB, Content::Flat},
        {8192, 3, PixelFormat::RGBA, Content::Blocks},
        {8192, 2, PixelFormat::RGB, Content::Noise},
        {1031, 1027, PixelFormat::RGB, Content::Blocks},
        {1031, 1027, PixelFormat::RGBA, Content::Noise},
    };
    for (const auto& c : cases) {
        const Bitmap original = picture(c.width, c.height, c.format, c.content);
        const std::string what = std::to_string(c.width) + "x" + std::to_string(c.height)
            + (original.hasAlpha() ? " RGBA " : " RGB ") + std::to_string(int(c.content));
        const std::optional<std::vector<uint8_t>> png = encodePng(original);
        ASSERT_TRUE(png) << what;
        const std::vector<uint8_t> samples(original.data(), original.data() + original.byteCount());

        auto own = decodePng(*png);
        ASSERT_TRUE(own) << what << ": " << own.error().message();
        EXPECT_EQ(own->format(), original.format()) << what;
        EXPECT_TRUE(std::memcmp(own->data(), samples.data(), samples.size()) == 0) << what;

        auto spng = decodePng(withText(*png));
        ASSERT_TRUE(spng) << what << ": libspng, " << spng.error().message();
        EXPECT_TRUE(std::memcmp(spng->data(), samples.data(), samples.size()) == 0) << what;

        EXPECT_EQ(throughLibpng(*png, original.hasAlpha()), samples) << what;
    }
}
