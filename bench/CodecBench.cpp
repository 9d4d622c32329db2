// Encoding and decoding of the pictures a request reads and writes: the PNG
// writer at each deflate level against libspng and libpng at their defaults
// on the same photo-like 1024 x 512 bitmap (the "bytes" counter is the file
// size), and the decoders on the bundle's own files.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "BenchSupport.h"
#include "platform/ImageCodec.h"
#include "platform/PixelConvert.h"

#if GLOAM_BENCH_LIBPNG
#include <png.h>
#endif

namespace {

using platform::Bitmap;

void encodeWith(benchmark::State& state, const platform::PngEncodeOptions& options)
{
    const Bitmap& map = bench::worldMap();
    size_t size = 0;
    for (auto _ : state) {
        auto png = platform::encodePng(map, options);
        if (!png) {
            state.SkipWithError("encoding failed");
            return;
        }
        size = png->size();
        benchmark::DoNotOptimize(png->data());
    }
    state.counters["bytes"] = double(size);
}

void BM_EncodePng_Huffman(benchmark::State& state)
{
    encodeWith(state, {platform::PngEncoder::Huffman, 0});
}
BENCHMARK(BM_EncodePng_Huffman)->Unit(benchmark::kMillisecond);

void BM_EncodePng_Deflate(benchmark::State& state)
{
    encodeWith(state, {platform::PngEncoder::Deflate, int(state.range(0))});
}
BENCHMARK(BM_EncodePng_Deflate)->ArgName("level")->DenseRange(1, 6)->Unit(benchmark::kMillisecond);

void BM_EncodePng_SpngDefault(benchmark::State& state)
{
    // libspng's default is zlib's default level, 6, with adaptive filters.
    encodeWith(state, {platform::PngEncoder::Spng, 6});
}
BENCHMARK(BM_EncodePng_SpngDefault)->Unit(benchmark::kMillisecond);

#if GLOAM_BENCH_LIBPNG
void appendBytes(png_structp png, png_bytep data, png_size_t length)
{
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

// libpng as an application would call it: every setting at its default
// (zlib level 6, all filters tried per row), the same straight-alpha rows
// that the writer makes from the premultiplied bitmap.
std::vector<uint8_t> encodeWithLibpng(const Bitmap& bitmap)
{
    std::vector<uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(png, &out, appendBytes, nullptr);
    png_set_IHDR(png, info, png_uint_32(bitmap.width()), png_uint_32(bitmap.height()), 8,
        PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
        PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<uint8_t> row(bitmap.bytesPerRow());
    for (int y = 0; y < bitmap.height(); ++y) {
        platform::unpremultiplyRows(row.data(), bitmap.pixelAt(0, y), size_t(bitmap.width()));
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

void BM_EncodePng_LibpngDefault(benchmark::State& state)
{
    const Bitmap& map = bench::worldMap();
    size_t size = 0;
    for (auto _ : state) {
        std::vector<uint8_t> png = encodeWithLibpng(map);
        if (png.empty()) {
            state.SkipWithError("libpng failed");
            return;
        }
        size = png.size();
        benchmark::DoNotOptimize(png.data());
    }
    state.counters["bytes"] = double(size);
}
BENCHMARK(BM_EncodePng_LibpngDefault)->Unit(benchmark::kMillisecond);
#endif

void decodeBytes(benchmark::State& state, const std::vector<uint8_t>& bytes)
{
    for (auto _ : state) {
        auto bitmap = platform::decodeImage(bytes);
        if (!bitmap) {
            state.SkipWithError("decoding failed");
            return;
        }
        benchmark::DoNotOptimize(bitmap->data());
    }
    state.counters["bytes"] = double(bytes.size());
}

void BM_DecodeJpeg_WorldMap(benchmark::State& state)
{
    static const std::vector<uint8_t> bytes
        = bench::readFile(bench::resourcePath("world_sm.1.jpg"));
    decodeBytes(state, bytes);
}
BENCHMARK(BM_DecodeJpeg_WorldMap)->Unit(benchmark::kMillisecond);

void BM_DecodePng_Lights(benchmark::State& state)
{
    static const std::vector<uint8_t> bytes
        = bench::readFile(bench::resourcePath("earth_lights_sm.png"));
    decodeBytes(state, bytes);
}
BENCHMARK(BM_DecodePng_Lights)->Unit(benchmark::kMillisecond);

void BM_DecodePng_Sun(benchmark::State& state)
{
    static const std::vector<uint8_t> bytes = bench::readFile(bench::resourcePath("sun.png"));
    decodeBytes(state, bytes);
}
BENCHMARK(BM_DecodePng_Sun)->Unit(benchmark::kMicrosecond);

void BM_DecodePng_EncodedMap(benchmark::State& state)
{
    // What a browser reads back: the map as the writer stores it by default.
    static const std::vector<uint8_t> bytes = *platform::encodePng(bench::worldMap());
    decodeBytes(state, bytes);
}
BENCHMARK(BM_DecodePng_EncodedMap)->Unit(benchmark::kMillisecond);

} // namespace
