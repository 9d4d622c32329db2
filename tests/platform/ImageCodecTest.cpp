// The codecs: every encoder's PNG reads back exactly through both readers
// (the plain one on libdeflate and libspng), a JPEG nearly; pictures that lie
// give no picture and say why: headers claiming sizes nobody has the memory
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
using Chunk = std::pair<std::string, std::vector<uint8_t>>;

namespace platform::detail {
// The plain reader behind decodePng, which leaves every other file to libspng.
std::optional<Bitmap> decodePlainPng(std::span<const uint8_t> bytes, const DecodeLimits& limits);
} // namespace platform::detail

namespace {

// Gradients and noise and every alpha, so that every row filter is chosen.
Bitmap noisy(int w, int h, PixelFormat format)
{
    Bitmap b(w, h, format);
    uint32_t seed = 99;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            seed = seed * 1664525u + 1013904223u;
            double a = format == PixelFormat::RGBA ? ((x * 7 + y) % 23) / 22.0 : 1.0;
            b.setColorAt(x, y, Color::deviceRGB(x / double(w), (seed >> 24) / 255.0, 0.5, a));
        }
    }
    return b;
}

bool same(const Bitmap& a, const Bitmap& b)
{
    return a.width() == b.width() && a.height() == b.height() && a.format() == b.format()
        && std::memcmp(a.data(), b.data(), a.byteCount()) == 0;
}

std::vector<Chunk> chunksOf(const std::vector<uint8_t>& png)
{
    std::vector<Chunk> chunks;
    for (size_t at = 8; at + 12 <= png.size();) {
        size_t n = size_t(png[at]) << 24 | size_t(png[at + 1]) << 16 | size_t(png[at + 2]) << 8
            | png[at + 3];
        auto data = png.begin() + long(at) + 8;
        chunks.push_back({std::string(data - 4, data), {data, data + long(n)}});
        at += 12 + n;
    }
    return chunks;
}

void putChunk(std::vector<uint8_t>& out, const std::string& type, const uint8_t* data, size_t n)
{
    for (int s = 24; s >= 0; s -= 8)
        out.push_back(uint8_t(n >> s));
    size_t start = out.size();
    out.insert(out.end(), type.begin(), type.end());
    out.insert(out.end(), data, data + n);
    uint32_t crc = testing_support::crc32(out.data() + start, n + 4);
    for (int s = 24; s >= 0; s -= 8)
        out.push_back(uint8_t(crc >> s));
}

// The same PNG with its zlib stream cut into IDATs of `piece` bytes, with a
// text chunk after IHDR when asked (the plain reader leaves such files to
// libspng), and the stream's byte `flip` changed, every CRC made good.
std::vector<uint8_t> rebuilt(
    const std::vector<uint8_t>& png, size_t piece, bool withText, size_t flip = SIZE_MAX)
{
    std::vector<uint8_t> out(png.begin(), png.begin() + 8), zlib;
    for (const Chunk& c : chunksOf(png))
        if (c.first == "IDAT")
            zlib.insert(zlib.end(), c.second.begin(), c.second.end());
    if (flip < zlib.size())
        zlib[flip] ^= 0x10;
    const Chunk ihdr = chunksOf(png)[0];
    putChunk(out, "IHDR", ihdr.second.data(), ihdr.second.size());
    if (withText)
        putChunk(out, "tEXt", reinterpret_cast<const uint8_t*>("Comment\0test"), 12);
    for (size_t at = 0; at < zlib.size(); at += piece)
        putChunk(out, "IDAT", zlib.data() + at, std::min(piece, zlib.size() - at));
    putChunk(out, "IEND", nullptr, 0);
    return out;
}

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

TEST(ImageCodecTest, PngsOfEveryEncoderReadBackExactlyThroughBothReaders)
{
    struct {
        PngEncoder encoder;
        int level;
    } encoders[] = {{PngEncoder::Deflate, 0}, {PngEncoder::Deflate, 1}, {PngEncoder::Deflate, 6},
        {PngEncoder::Deflate, 12}, {PngEncoder::Spng, 6}};
    // 700 x 400 is large enough that the writer deflates the top on a second
    // thread and both readers must take the joined stream.
    for (auto [w, h] : {std::pair {67, 41}, {700, 400}}) {
        for (auto format : {PixelFormat::RGBA, PixelFormat::RGB}) {
            const Bitmap original = noisy(w, h, format);
            for (auto e : encoders) {
                auto png = encodePng(original, {e.encoder, e.level});
                ASSERT_TRUE(png) << int(e.encoder) << " level " << e.level;
                // As written, in IDATs of 97 bytes (the plain reader), and
                // with a text chunk (libspng).
                const std::vector<uint8_t> files[]
                    = {*png, rebuilt(*png, 97, false), rebuilt(*png, SIZE_MAX, true)};
                for (const auto& file : files) {
                    auto decoded = decodePng(file);
                    ASSERT_TRUE(decoded) << decoded.error().message();
                    EXPECT_EQ(detail::decodePlainPng(file, {}).has_value(), &file != &files[2]);
                    EXPECT_TRUE(same(*decoded, original))
                        << w << "x" << h << " encoder " << int(e.encoder) << " level " << e.level;
                }
            }
        }
    }
    EXPECT_FALSE(encodePng(Bitmap()));
    auto image = Image::fromBytes(*encodePng(noisy(9, 7, PixelFormat::RGBA)));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->size(), (Size {9, 7}));
    EXPECT_FALSE(Image::fromFile("/nonexistent/picture.png"));
}

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
    auto png = *encodePng(noisy(40, 30, PixelFormat::RGBA));
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
