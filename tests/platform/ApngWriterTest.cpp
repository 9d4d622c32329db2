#include "platform/ApngWriter.h"

#include "platform/ImageCodec.h"
#include "support/ApngFrames.h"
#include "support/HostileBytes.h"

#include <gtest/gtest.h>

namespace {

// A small picture that differs from frame to frame in every pixel.
platform::Bitmap frame(int index, platform::PixelFormat format, int w = 7, int h = 5)
{
    return testing_support::gradient(w, h, format, index / 4.0);
}

std::vector<uint8_t> png(const platform::Bitmap& b)
{
    return platform::encodePng(b).value();
}

// A sink that keeps what the writer gives it.
platform::ApngWriter::Sink into(std::vector<uint8_t>& out)
{
    return [&out](std::span<const uint8_t> s) {
        out.insert(out.end(), s.begin(), s.end());
        return true;
    };
}

} // namespace

TEST(ApngWriterTest, EachFrameDecodesToThePictureGiven)
{
    for (auto format : {platform::PixelFormat::RGB, platform::PixelFormat::RGBA}) {
        std::vector<uint8_t> out;
        platform::ApngWriter writer(into(out), 3, 1, 12);
        for (int i = 0; i < 3; ++i)
            ASSERT_TRUE(writer.addFrame(png(frame(i, format))));
        ASSERT_TRUE(writer.finish());

        std::string why;
        std::optional<testing_support::Apng> apng = testing_support::readApng(out, why);
        ASSERT_TRUE(apng) << why;
        EXPECT_EQ(apng->frameCount, 3u);
        EXPECT_EQ(apng->plays, 0u); // for ever
        EXPECT_TRUE(apng->defaultImageIsFirstFrame);
        ASSERT_EQ(apng->frames.size(), 3u);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(apng->delayNumerators[i], 1);
            EXPECT_EQ(apng->delayDenominators[i], 12);
            std::optional<platform::Bitmap> decoded = platform::decodePng(apng->frames[i]);
            ASSERT_TRUE(decoded) << i;
            const platform::Bitmap want = frame(i, format);
            ASSERT_EQ(decoded->format(), want.format());
            EXPECT_EQ(
                std::vector<uint8_t>(decoded->data(), decoded->data() + want.bytesPerRow() * 5),
                std::vector<uint8_t>(want.data(), want.data() + want.bytesPerRow() * 5))
                << "frame " << i;
        }
    }
}

TEST(ApngWriterTest, RefusesFramesUnlikeTheFirstOrBeyondTheCountAndAnEarlyEnd)
{
    using platform::PixelFormat;
    struct {
        const char* what;
        std::vector<uint8_t> second;
    } unlike[] = {
        {"another size", png(frame(1, PixelFormat::RGB, 8, 5))},
        {"another colour type", png(frame(1, PixelFormat::RGBA))},
        {"not a PNG", std::vector<uint8_t>(40, 7)},
    };
    std::vector<uint8_t> out;
    for (const auto& c : unlike) {
        platform::ApngWriter writer(into(out), 2, 1, 10);
        ASSERT_TRUE(writer.addFrame(png(frame(0, PixelFormat::RGB))));
        EXPECT_FALSE(writer.addFrame(c.second)) << c.what;
        EXPECT_FALSE(writer.finish()) << c.what;
    }

    platform::ApngWriter writer(into(out), 1, 1, 10);
    ASSERT_TRUE(writer.addFrame(png(frame(0, PixelFormat::RGB))));
    EXPECT_FALSE(writer.addFrame(png(frame(1, PixelFormat::RGB)))) << "more than announced";

    platform::ApngWriter halfway(into(out), 2, 1, 10);
    ASSERT_TRUE(halfway.addFrame(png(frame(0, PixelFormat::RGB))));
    EXPECT_FALSE(halfway.finish()) << "one frame of two";

    platform::ApngWriter failing([](std::span<const uint8_t>) { return false; }, 1, 1, 10);
    EXPECT_FALSE(failing.addFrame(png(frame(0, PixelFormat::RGB)))) << "the sink failed";
}
