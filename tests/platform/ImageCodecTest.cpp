// The codecs: a JPEG reads back nearly; pictures that lie give no picture
// and say why: headers claiming sizes nobody has the memory
// for, files cut at every byte, flipped bits, thousands of progressive scans.
#include "platform/ImageCodec.h"

#include "platform/Image.h"
#include "support/HostileBytes.h"
#include "support/PngBytes.h"

#include <cstring>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace platform;
using testing_support::gradient;
using testing_support::jpegClaiming;
using testing_support::pngClaiming;
using testing_support::rebuilt;

namespace {

// Why a decoder refused, or none when it gave a picture.
std::optional<Error::Code> refusal(const ErrorOr<Bitmap>& decoded)
{
    if (decoded)
        return std::nullopt;
    return decoded.error().code();
}

// Decodes in a child whose address space is capped at 1 GiB: a decoder that
// allocated what a huge header claims, before refusing it, would fail there
// for want of memory instead of answering "too large". AddressSanitizer
// reserves terabytes of address space, so under it the cap is left out and
// the error alone says the size was refused first.
bool refusedAsTooLargeUnderACap(std::span<const uint8_t> bytes)
{
#if defined(__SANITIZE_ADDRESS__)
    return refusal(decodeImage(bytes)) == Error::Code::TooLarge;
#else
    pid_t pid = ::fork();
    if (pid == 0) {
        rlimit cap {size_t(1) << 30, size_t(1) << 30};
        ::setrlimit(RLIMIT_AS, &cap);
        ::_exit(refusal(decodeImage(bytes)) == Error::Code::TooLarge ? 0 : 1);
    }
    int status = 0;
    return pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status)
        && WEXITSTATUS(status) == 0;
#endif
}

} // namespace

TEST(ImageCodecTest, JpegDecodesToRgbNearTheOriginal)
{
    const Bitmap original = gradient(64, 32, PixelFormat::RGB);
    auto decoded = decodeImage(*encodeJpeg(original, 95));
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->format(), PixelFormat::RGB);
    ASSERT_EQ(decoded->width(), 64);
    ASSERT_EQ(decoded->height(), 32);
    int worst = 0;
    for (size_t i = 0; i < original.byteCount(); ++i)
        worst = std::max(worst, std::abs(int(original.data()[i]) - int(decoded->data()[i])));
    EXPECT_LE(worst, 12);
}

TEST(ImageCodecTest, HugeHeadersAreRefusedBeforeAllocating)
{
    auto baseline = *encodeJpeg(gradient(16, 16, PixelFormat::RGB), 80);
    auto progressive = *encodeJpeg(gradient(16, 16, PixelFormat::RGB), 80, true);
    // 100000 x 100000 RGBA is 40 GB; 65500 x 65500 RGB 12 GB.
    EXPECT_TRUE(refusedAsTooLargeUnderACap(pngClaiming(100000, 100000, false)));
    EXPECT_TRUE(refusedAsTooLargeUnderACap(jpegClaiming(baseline, 65500, 65500)));
    EXPECT_TRUE(refusedAsTooLargeUnderACap(jpegClaiming(progressive, 65500, 65500)));
    // One side too long; each side fine but too many pixels; smaller limits.
    struct {
        uint32_t w, h;
        DecodeLimits limits;
    } cases[] = {{16385, 8, {}}, {8, 16385, {}}, {12000, 12000, {}}, {100, 100, {50, 1u << 27}},
        {100, 100, {16384, 9999}}};
    for (const auto& c : cases) {
        for (const auto& bytes : {pngClaiming(c.w, c.h, false), jpegClaiming(baseline, c.w, c.h),
                 jpegClaiming(progressive, c.w, c.h)}) {
            EXPECT_EQ(refusal(decodeImage(bytes, c.limits)), Error::Code::TooLarge)
                << c.w << "x" << c.h;
        }
    }
    EXPECT_EQ(refusal(decodeJpeg(jpegClaiming(baseline, 0, 16))), Error::Code::Corrupt)
        << "a zero side";
    EXPECT_EQ(refusal(decodeImage(testing_support::bytesOf("GIF89a"))), Error::Code::UnknownFormat);
}

TEST(ImageCodecTest, FilesCutAtEveryByteOrDamagedGiveNoPicture)
{
    struct {
        const char* name;
        std::vector<uint8_t> bytes;
    } files[] = {
        {"png rgba", *encodePng(gradient(23, 11, PixelFormat::RGBA, -1, 5))},
        {"png rgb, libspng", *encodePng(gradient(23, 11, PixelFormat::RGB), {PngEncoder::Spng, 6})},
        {"jpeg", *encodeJpeg(gradient(23, 11, PixelFormat::RGB), 80)},
        {"progressive jpeg", *encodeJpeg(gradient(23, 11, PixelFormat::RGB), 80, true)},
    };
    for (const auto& f : files) {
        ASSERT_TRUE(decodeImage(f.bytes)) << f.name;
        for (size_t keep = 0; keep < f.bytes.size(); ++keep) {
            auto decoded = decodeImage({f.bytes.data(), keep});
            ASSERT_FALSE(decoded) << f.name << " cut to " << keep << " of " << f.bytes.size();
            EXPECT_FALSE(decoded.error().why().empty());
        }
    }
    // Every byte of a PNG is under its signature, a length or a CRC.
    for (const auto& png : {files[0].bytes, files[1].bytes}) {
        for (size_t at = 0; at < png.size(); ++at) {
            for (uint8_t mask : {0x01, 0x80, 0xFF}) {
                std::vector<uint8_t> bad = png;
                bad[at] ^= mask;
                ASSERT_FALSE(decodePng(bad)) << "byte " << at << " ^ " << int(mask);
            }
        }
    }
    // A byte of the compressed pixels changed, every CRC made good: the
    // stream's own checksum or structure must catch it, in either reader.
    auto png = *encodePng(testing_support::noise(40, 30, PixelFormat::RGB));
    for (size_t at = 0; at < 300; at += 11) {
        EXPECT_FALSE(decodePng(rebuilt(png, 300, false, at))) << at;
        EXPECT_FALSE(decodePng(rebuilt(png, SIZE_MAX, true, at))) << at;
    }
}

TEST(ImageCodecTest, ThousandsOfProgressiveScansAreRefused)
{
    // Each scan costs a pass over the picture: the decoder must give up.
    auto jpeg = *encodeJpeg(gradient(32, 32, PixelFormat::RGB), 90, true);
    EXPECT_EQ(refusal(decodeImage(testing_support::scanBomb(jpeg, 300))), Error::Code::Corrupt);
}
