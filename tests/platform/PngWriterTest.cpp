// Every PNG writer's files, read back by every reader at hand: the
// platform's own (libdeflate, also with the stream split over many IDATs),
// libspng (zlib's inflate, reached by a text chunk that the own reader
// leaves to it) and libpng. Each must give exactly
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
#include "platform/Image.h"
#include "platform/ImageCodec.h"
#include "platform/PixelConvert.h"
#include "support/PngBytes.h"

using namespace platform;
using testing_support::rebuilt;

namespace platform::detail {
// The plain reader behind decodePng, which leaves every other file to libspng.
std::optional<Bitmap> decodePlainPng(std::span<const uint8_t> bytes, const DecodeLimits& limits);
} // namespace platform::detail

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
        {700, 400, PixelFormat::RGB, Content::Blocks},
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

        // The other encoders, up to the size where the default one deflates
        // the top on a second thread; the plain reader takes each whole and
        // in IDATs of 97 bytes, and leaves a file with a text chunk alone.
        std::vector<std::vector<uint8_t>> files = {*png};
        const std::pair<PngEncoder, int> others[] = {{PngEncoder::Deflate, 0},
            {PngEncoder::Deflate, 1}, {PngEncoder::Deflate, 12}, {PngEncoder::Spng, 6}};
        for (auto [encoder, level] : others)
            if (c.width * c.height <= 700 * 400)
                files.push_back(encodePng(original, {encoder, level}).value());
        for (const auto& file : files)
            for (const auto& split : {file, rebuilt(file, 97, false)}) {
                auto own = detail::decodePlainPng(split, {});
                ASSERT_TRUE(own) << what << ", encoder " << &file - files.data();
                EXPECT_EQ(own->format(), original.format()) << what;
                EXPECT_TRUE(std::memcmp(own->data(), samples.data(), samples.size()) == 0)
                    << what << ", encoder " << &file - files.data();
            }
        const std::vector<uint8_t> withText = rebuilt(*png, SIZE_MAX, true);
        EXPECT_FALSE(detail::decodePlainPng(withText, {})) << what;
        auto spng = decodePng(withText);
        ASSERT_TRUE(spng) << what << ": libspng, " << spng.error().message();
        EXPECT_TRUE(std::memcmp(spng->data(), samples.data(), samples.size()) == 0) << what;

        EXPECT_EQ(throughLibpng(*png, original.hasAlpha()), samples) << what;
    }
    EXPECT_FALSE(encodePng(Bitmap()));
    EXPECT_FALSE(Image::fromFile("/nonexistent/picture.png"));
}
