// The plain-PNG reader behind decodePng: the files it takes must decode to
// exactly what libspng gives for them, and anything it does not take must
// still reach libspng, which decodes or refuses it.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/Bitmap.h"
#include "platform/ImageCodec.h"

using namespace platform;

namespace {

uint32_t crc32(const uint8_t* p, size_t n)
{
    uint32_t c = 0xFFFFFFFFu;
    for (size_t i = 0; i < n; ++i) {
        c ^= p[i];
        for (int k = 0; k < 8; ++k)
            c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1)));
    }
    return ~c;
}

void put32(std::vector<uint8_t>& out, uint32_t v)
{
    for (int s = 24; s >= 0; s -= 8)
        out.push_back(uint8_t(v >> s));
}

void putChunk(std::vector<uint8_t>& out, const char* type, const uint8_t* data, size_t n)
{
    put32(out, uint32_t(n));
    size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data, data + n);
    put32(out, crc32(out.data() + start, n + 4));
}

struct Chunk {
    std::string type;
    std::vector<uint8_t> data;
};

std::vector<Chunk> chunksOf(const std::vector<uint8_t>& png)
{
    std::vector<Chunk> chunks;
    for (size_t at = 8; at + 12 <= png.size();) {
        uint32_t n = uint32_t(png[at]) << 24 | uint32_t(png[at + 1]) << 16
            | uint32_t(png[at + 2]) << 8 | png[at + 3];
        chunks.push_back({std::string(png.begin() + long(at) + 4, png.begin() + long(at) + 8),
            std::vector<uint8_t>(png.begin() + long(at) + 8, png.begin() + long(at + 8 + n))});
        at += 12 + n;
    }
    return chunks;
}

// The same picture with its zlib stream cut into IDATs of `piece` bytes and,
// when asked, a text chunk after IHDR (which the plain reader leaves alone).
std::vector<uint8_t> rebuilt(const std::vector<uint8_t>& png, size_t piece, bool withText)
{
    std::vector<uint8_t> out(png.begin(), png.begin() + 8), zlib;
    for (const Chunk& c : chunksOf(png)) {
        if (c.type == "IDAT")
            zlib.insert(zlib.end(), c.data.begin(), c.data.end());
    }
    const Chunk ihdr = chunksOf(png)[0];
    putChunk(out, "IHDR", ihdr.data.data(), ihdr.data.size());
    if (withText) {
        const char text[] = "Comment\0made by a test";
        putChunk(out, "tEXt", reinterpret_cast<const uint8_t*>(text), sizeof text - 1);
    }
    for (size_t at = 0; at < zlib.size(); at += piece)
        putChunk(out, "IDAT", zlib.data() + at, std::min(piece, zlib.size() - at));
    putChunk(out, "IEND", nullptr, 0);
    return out;
}

Bitmap picture(int w, int h, PixelFormat format)
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

} // namespace

TEST(PngReaderTest, PlainFilesDecodeAsLibspngDecodesThem)
{
    for (PixelFormat format : {PixelFormat::RGBA, PixelFormat::RGB}) {
        const Bitmap original = picture(131, 47, format);
        const std::vector<uint8_t> png = *encodePng(original);
        // One IDAT, many small ones: the plain reader; with a text chunk:
        // libspng. All three must give the original back.
        for (auto [piece, text] :
            {std::pair {size_t(1) << 30, false}, {size_t(97), false}, {size_t(1) << 30, true}}) {
            auto decoded = decodePng(rebuilt(png, piece, text));
            ASSERT_TRUE(decoded) << piece << " " << text;
            EXPECT_TRUE(same(*decoded, original)) << piece << " " << text;
        }
    }
}

TEST(PngReaderTest, DamagedFilesGiveNoPicture)
{
    const std::vector<uint8_t> png
        = rebuilt(*encodePng(picture(40, 30, PixelFormat::RGBA)), 300, false);
    ASSERT_TRUE(decodePng(png));
    // Cut short anywhere: never a picture, never a crash.
    for (size_t n = 0; n < png.size(); n += 7) {
        std::vector<uint8_t> cut(png.begin(), png.begin() + long(n));
        EXPECT_FALSE(decodePng(cut)) << n;
    }
    // A byte of the compressed pixels changed, its chunk's CRC made good
    // again: the stream's own checksum or structure must catch it.
    std::vector<Chunk> chunks = chunksOf(png);
    size_t corrupted = 0;
    for (size_t i = 0; i < chunks[1].data.size(); i += 11) {
        std::vector<Chunk> changed = chunks;
        changed[1].data[i] ^= 0x10;
        std::vector<uint8_t> out(png.begin(), png.begin() + 8);
        for (const Chunk& c : changed)
            putChunk(out, c.type.c_str(), c.data.data(), c.data.size());
        corrupted += !decodePng(out).has_value();
    }
    EXPECT_EQ(corrupted, (chunks[1].data.size() + 10) / 11);
    // A wrong CRC on an IDAT.
    std::vector<uint8_t> badCrc = png;
    badCrc[8 + 25 + 8 + 5] ^= 1; // inside the first IDAT's data
    EXPECT_FALSE(decodePng(badCrc));
}

TEST(PngReaderTest, LargePicturesDeflatedInTwoPartsReadBackExactly)
{
    // Big enough that the writer deflates the top on a second thread; both
    // readers must take the joined stream, at every level's kind of output.
    for (PixelFormat format : {PixelFormat::RGB, PixelFormat::RGBA}) {
        const Bitmap original = picture(700, 400, format);
        for (int level : {0, 1, 6, 12}) {
            auto png = encodePng(original, {PngEncoder::Deflate, level});
            ASSERT_TRUE(png) << level;
            auto plain = decodePng(*png);
            auto viaLibspng = decodePng(rebuilt(*png, size_t(1) << 30, true));
            ASSERT_TRUE(plain && viaLibspng) << level;
            EXPECT_TRUE(same(*plain, original)) << level;
            EXPECT_TRUE(same(*viaLibspng, original)) << level;
        }
    }
}
