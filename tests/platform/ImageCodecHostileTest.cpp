// Pictures that lie: headers claiming sizes nobody has the memory for, files
// cut at every byte, flipped bits, progressive files with thousands of
// scans. Each gives no picture, and says why, without a crash.
#include "platform/ImageCodec.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace platform;

namespace {

Bitmap gradient(int w, int h, PixelFormat format)
{
    Bitmap b(w, h, format);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b.setColorAt(x, y, Color::deviceRGB(x / double(w), y / double(h), 0.5, (x % 5) / 4.0));
    return b;
}

// The JPEG with its frame header (SOF0 or SOF2) claiming `width` x `height`.
std::vector<uint8_t> jpegClaiming(std::vector<uint8_t> jpeg, uint16_t width, uint16_t height)
{
    for (size_t i = 2; i + 9 < jpeg.size(); ++i) {
        if (jpeg[i] == 0xFF && (jpeg[i + 1] == 0xC0 || jpeg[i + 1] == 0xC2)) {
            jpeg[i + 5] = uint8_t(height >> 8);
            jpeg[i + 6] = uint8_t(height);
            jpeg[i + 7] = uint8_t(width >> 8);
            jpeg[i + 8] = uint8_t(width);
            return jpeg;
        }
    }
    ADD_FAILURE() << "no frame header";
    return jpeg;
}

// Runs `decode` in a child whose address space is capped at 1 GiB: a decoder
// that allocated what a huge header claims, before refusing it, would fail
// there for want of memory instead of answering "too large". AddressSanitizer
// reserves terabytes of address space for itself, so the cap is left out
// under it; the error code alone then says the size was refused first.
bool refusedAsTooLargeUnderACap(std::span<const uint8_t> bytes)
{
#if defined(__SANITIZE_ADDRESS__)
    DecodeError error {};
    return !decodeImage(bytes, {}, &error) && error == DecodeError::TooLarge;
#else
    pid_t pid = ::fork();
    if (pid < 0)
        return false;
    if (pid == 0) {
        rlimit cap {size_t(1) << 30, size_t(1) << 30};
        ::setrlimit(RLIMIT_AS, &cap);
        DecodeError error {};
        auto bitmap = decodeImage(bytes, {}, &error);
        ::_exit(!bitmap && error == DecodeError::TooLarge ? 0 : 1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
#endif
}

} // namespace

TEST(ImageCodecHostileTest, HugeJpegHeadersAreRefusedBeforeAllocating)
{
    auto baseline = *encodeJpeg(gradient(16, 16, PixelFormat::RGB), 80);
    auto progressive = *encodeJpeg(gradient(16, 16, PixelFormat::RGB), 80, true);
    for (const auto* jpeg : {&baseline, &progressive}) {
        // 65500 x 65500 is 12 GB of RGB; 16385 x 8 passes the pixel count
        // but not the side; 12000 x 12000 each side but not the count.
        EXPECT_TRUE(refusedAsTooLargeUnderACap(jpegClaiming(*jpeg, 65500, 65500)));
        struct {
            uint16_t w, h;
        } cases[] = {{16385, 8}, {8, 16385}, {12000, 12000}};
        for (auto c : cases) {
            DecodeError error {};
            EXPECT_FALSE(decodeJpeg(jpegClaiming(*jpeg, c.w, c.h), {}, &error))
                << c.w << "x" << c.h;
            EXPECT_EQ(error, DecodeError::TooLarge) << c.w << "x" << c.h;
        }
        // A zero side is no picture at all.
        DecodeError error {};
        EXPECT_FALSE(decodeJpeg(jpegClaiming(*jpeg, 0, 16), {}, &error));
        EXPECT_NE(error, DecodeError::None);
    }
}

TEST(ImageCodecHostileTest, FilesCutAtEveryByteGiveNoPicture)
{
    struct {
        const char* name;
        std::vector<uint8_t> bytes;
    } files[] = {
        {"png rgba", *encodePng(gradient(23, 11, PixelFormat::RGBA))},
        {"png rgb, libspng", *encodePng(gradient(23, 11, PixelFormat::RGB), {PngEncoder::Spng, 6})},
        {"jpeg", *encodeJpeg(gradient(23, 11, PixelFormat::RGB), 80)},
        {"progressive jpeg", *encodeJpeg(gradient(23, 11, PixelFormat::RGB), 80, true)},
    };
    for (const auto& f : files) {
        ASSERT_TRUE(decodeImage(f.bytes)) << f.name;
        for (size_t keep = 0; keep < f.bytes.size(); ++keep) {
            std::vector<uint8_t> cut(f.bytes.begin(), f.bytes.begin() + long(keep));
            DecodeError error {};
            ASSERT_FALSE(decodeImage(cut, {}, &error))
                << f.name << " cut to " << keep << " of " << f.bytes.size();
            EXPECT_NE(error, DecodeError::None);
        }
    }
}

TEST(ImageCodecHostileTest, EveryFlippedByteOfAPngIsCaught)
{
    // Every byte of a PNG is under its signature, a length or a CRC.
    for (auto encoder : {PngEncoder::Deflate, PngEncoder::Spng}) {
        auto png = *encodePng(gradient(9, 5, PixelFormat::RGBA), {encoder, 6});
        for (size_t at = 0; at < png.size(); ++at) {
            for (uint8_t mask : {uint8_t(0x01), uint8_t(0x80), uint8_t(0xFF)}) {
                std::vector<uint8_t> bad = png;
                bad[at] ^= mask;
                ASSERT_FALSE(decodePng(bad))
                    << "byte " << at << " of " << png.size() << " ^ " << int(mask);
            }
        }
    }
    // A JPEG has no checksum: a damaged one may decode to other pixels, but
    // never to another size, and never crashes.
    auto jpeg = *encodeJpeg(gradient(24, 16, PixelFormat::RGB), 80, true);
    for (size_t at = 0; at < jpeg.size(); ++at) {
        std::vector<uint8_t> bad = jpeg;
        bad[at] ^= 0x5A;
        if (auto b = decodeJpeg(bad, {64, 4096})) {
            EXPECT_TRUE(b->width() <= 64 && b->height() <= 64) << at;
        }
    }
}

TEST(ImageCodecHostileTest, ThousandsOfProgressiveScansAreRefused)
{
    auto jpeg = *encodeJpeg(gradient(32, 32, PixelFormat::RGB), 90, true);
    const uint8_t sos[2] = {0xFF, 0xDA};
    auto first = std::search(jpeg.begin(), jpeg.end(), sos, sos + 2);
    ASSERT_NE(first, jpeg.end());
    std::vector<uint8_t> scans(first, jpeg.end() - 2); // all scans, no EOI
    size_t perCopy = 0;
    for (auto it = scans.begin(); (it = std::search(it, scans.end(), sos, sos + 2)) != scans.end();
         ++it)
        ++perCopy;
    std::vector<uint8_t> bomb(jpeg.begin(), first);
    size_t copies = 3000 / perCopy + 1;
    for (size_t i = 0; i < copies; ++i)
        bomb.insert(bomb.end(), scans.begin(), scans.end());
    bomb.insert(bomb.end(), {0xFF, 0xD9});
    ASSERT_GE(copies * perCopy, 3000u);
    DecodeError error {};
    EXPECT_FALSE(decodeImage(bomb, {}, &error));
    EXPECT_EQ(error, DecodeError::Corrupt);
}
