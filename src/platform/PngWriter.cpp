// The PNG writer: one filter a row chosen by the smallest sum of absolute
// filtered values, one zlib stream, chunks with libdeflate's CRC-32. The
// stream comes from libdeflate; a large picture's top part is deflated by
// zlib on a second thread meanwhile. Several times faster than a
// general-purpose encoder at its defaults for a file of about the same size
// (figures in bench/README.md).
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <libdeflate.h>
#include <memory>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/ImageCodec.h"
#include "platform/PixelConvert.h"
#include "platform/PngFilter.h"
#include "platform/ZlibLibrary.h"

namespace platform {
namespace detail {
ErrorOr<std::vector<uint8_t>> encodePngWithSpng(const Bitmap& bitmap, int level);
Error encodeError(Error::Code code, std::string why);
std::optional<std::vector<uint8_t>> encodePngWithHuffman(const Bitmap& bitmap);
} // namespace detail

namespace {

struct CompressorDeleter {
    void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
};

void put32(std::vector<uint8_t>& out, uint32_t v)
{
    out.push_back(uint8_t(v >> 24));
    out.push_back(uint8_t(v >> 16));
    out.push_back(uint8_t(v >> 8));
    out.push_back(uint8_t(v));
}

void putChunk(std::vector<uint8_t>& out, const char type[4], const uint8_t* data, size_t length)
{
    put32(out, uint32_t(length));
    size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    if (length)
        out.insert(out.end(), data, data + length);
    put32(out, libdeflate_crc32(0, out.data() + start, length + 4));
}

// The filtered value of one byte for each filter type, given its left, up
// and upper-left neighbours (0 outside the picture). Paeth's predictor is
// written without branches so that the loops below vectorise.
template<int Type> inline uint8_t filtered(int v, int left, int up, int corner)
{
    if constexpr (Type == 0)
        return uint8_t(v);
    if constexpr (Type == 1)
        return uint8_t(v - left);
    if constexpr (Type == 2)
        return uint8_t(v - up);
    if constexpr (Type == 3)
        return uint8_t(v - ((left + up) >> 1));
    // Every term fits 16 bits, and 16-bit lanes are twice as many a step.
    auto magnitude = [](int16_t d) { return int16_t(d < 0 ? -d : d); };
    int16_t pa = magnitude(int16_t(up - corner)), pb = magnitude(int16_t(left - corner));
    int16_t pc = magnitude(int16_t(left + up - 2 * corner));
    int16_t predictor = int16_t((pa <= pb && pa <= pc) ? left : (pb <= pc ? up : corner));
    return uint8_t(v - predictor);
}

// Writes filter `Type` of `row` (with `prev` the row above, zeros for the
// first) into out[0..n) and returns the sum of the filtered bytes read as
// signed values: the usual cheap estimate of how well a row will compress.
// One loop a filter type and pixel size, free of branches, is what lets the
// compiler turn each into vector code: trying all five filters then costs
// less than deflating the row.
template<int Type, size_t Bpp>
uint64_t filterRow(const uint8_t* row, const uint8_t* prev, size_t n, uint8_t* out)
{
    uint64_t sum = 0;
    for (size_t i = 0; i < Bpp && i < n; ++i) {
        uint8_t v = filtered<Type>(row[i], 0, prev[i], 0);
        out[i] = v;
        sum += uint64_t(std::abs(int(int8_t(v))));
    }
    // 32-bit partial sums vectorise best; a stretch of 2^24 bytes cannot
    // overflow one.
    constexpr size_t kStretch = size_t(1) << 24;
    for (size_t at = Bpp; at < n; at += kStretch) {
        const size_t end = std::min(n, at + kStretch);
        uint32_t part = 0;
        for (size_t i = at; i < end; ++i) {
            uint8_t v = filtered<Type>(row[i], row[i - Bpp], prev[i], prev[i - Bpp]);
            out[i] = v;
            part += uint32_t(std::abs(int(int8_t(v))));
        }
        sum += part;
    }
    return sum;
}

// The sums that filterRow would return for each of the five types, in one
// pass that writes nothing: the row is read once, and only the chosen filter
// is then written out.
template<size_t Bpp>
void filterSums(const uint8_t* row, const uint8_t* prev, size_t n, uint64_t sums[5])
{
    auto cost = [](uint8_t v) { return uint32_t(std::abs(int(int8_t(v)))); };
    for (int t = 0; t < 5; ++t)
        sums[t] = 0;
    for (size_t i = 0; i < Bpp && i < n; ++i) {
        sums[0] += cost(filtered<0>(row[i], 0, prev[i], 0));
        sums[1] += cost(filtered<1>(row[i], 0, prev[i], 0));
        sums[2] += cost(filtered<2>(row[i], 0, prev[i], 0));
        sums[3] += cost(filtered<3>(row[i], 0, prev[i], 0));
        sums[4] += cost(filtered<4>(row[i], 0, prev[i], 0));
    }
    constexpr size_t kStretch = size_t(1) << 24;
    for (size_t at = Bpp; at < n; at += kStretch) {
        const size_t end = std::min(n, at + kStretch);
        uint32_t p0 = 0, p1 = 0, p2 = 0, p3 = 0, p4 = 0;
        for (size_t i = at; i < end; ++i) {
            int v = row[i], left = row[i - Bpp], up = prev[i], corner = prev[i - Bpp];
            p0 += cost(filtered<0>(v, left, up, corner));
            p1 += cost(filtered<1>(v, left, up, corner));
            p2 += cost(filtered<2>(v, left, up, corner));
            p3 += cost(filtered<3>(v, left, up, corner));
            p4 += cost(filtered<4>(v, left, up, corner));
        }
        sums[0] += p0, sums[1] += p1, sums[2] += p2, sums[3] += p3, sums[4] += p4;
    }
}

// clang refuses to multiversion a function that is also flattened; it builds
// the clones without flattening (the fuzz build), GCC with both.
#if defined(__clang__)
#define GLOAM_CLONED_FLAT __attribute__((target_clones("avx2", "default")))
#else
#define GLOAM_CLONED_FLAT __attribute__((target_clones("avx2", "default"), flatten))
#endif

} // namespace

namespace detail {
GLOAM_CLONED_FLAT void filterSums(
    const uint8_t* row, const uint8_t* prev, size_t n, size_t bpp, uint64_t sums[5])
{
    if (bpp == 4)
        platform::filterSums<4>(row, prev, n, sums);
    else
        platform::filterSums<3>(row, prev, n, sums);
}
} // namespace detail

namespace {

template<size_t Bpp>
uint64_t filterRowOf(int type, const uint8_t* row, const uint8_t* prev, size_t n, uint8_t* out)
{
    switch (type) {
    case 1:
        return filterRow<1, Bpp>(row, prev, n, out);
    case 2:
        return filterRow<2, Bpp>(row, prev, n, out);
    case 3:
        return filterRow<3, Bpp>(row, prev, n, out);
    case 4:
        return filterRow<4, Bpp>(row, prev, n, out);
    default:
        return filterRow<0, Bpp>(row, prev, n, out);
    }
}

} // namespace

namespace detail {
// Built for AVX2 as well where the processor has it: twice the bytes a step.
GLOAM_CLONED_FLAT uint64_t filterRow(
    int type, const uint8_t* row, const uint8_t* prev, size_t n, size_t bpp, uint8_t* out)
{
    return bpp == 4 ? filterRowOf<4>(type, row, prev, n, out)
                    : filterRowOf<3>(type, row, prev, n, out);
}
} // namespace detail

namespace {
using detail::filterRow;
using detail::filterSums;

// Filters rows [from, to) of the bitmap into `out`, each as its filter type
// followed by the filtered bytes; the row above `from` is read for the first.
void filterRows(const Bitmap& bitmap, size_t from, size_t to, uint8_t* out)
{
    const size_t width = size_t(bitmap.width()), rowBytes = bitmap.bytesPerRow();
    const size_t bpp = size_t(bitmap.samplesPerPixel());
    std::vector<uint8_t> rows(rowBytes * 2, 0);
    uint8_t* prev = rows.data();
    uint8_t* cur = rows.data() + rowBytes;
    auto straight = [&](size_t y, uint8_t* into) {
        const uint8_t* src = bitmap.data() + y * rowBytes;
        if (bitmap.hasAlpha())
            unpremultiplyRows(into, src, width);
        else
            std::memcpy(into, src, rowBytes);
    };
    if (from > 0)
        straight(from - 1, prev);
    for (size_t y = from; y < to; ++y) {
        straight(y, cur);
        uint64_t sums[5];
        filterSums(cur, prev, rowBytes, bpp, sums);
        int bestType = 0;
        for (int type = 1; type <= 4; ++type) {
            if (sums[type] < sums[bestType])
                bestType = type;
        }
        uint8_t* line = out + (y - from) * (rowBytes + 1);
        line[0] = uint8_t(bestType);
        filterRow(bestType, cur, prev, rowBytes, bpp, line + 1);
        std::swap(prev, cur);
    }
}

// Raw deflate blocks of `in` that end on a sync flush (an empty stored block,
// byte-aligned, not final), so that more blocks may follow them.
std::optional<std::vector<uint8_t>> deflateFlushed(const uint8_t* in, size_t size, int level)
{
    const ZlibLibrary* zlib = zlibLibrary();
    z_stream z {};
    if (!zlib
        || zlib->deflateInit2_(&z, std::min(level, 9), Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY,
               ZLIB_VERSION, int(sizeof(z_stream)))
            != Z_OK)
        return std::nullopt;
    std::unique_ptr<z_stream, decltype(zlib->deflateEnd)> owner(&z, zlib->deflateEnd);
    // Room for everything at once (the bound, plus the flush's own bytes),
    // not zeroed; zlib counts in 32 bits, so the input goes in 1 GiB pieces.
    const size_t room = zlib->deflateBound(&z, uLong(size)) + 64;
    std::unique_ptr<uint8_t[]> out(new uint8_t[room]);
    z.next_out = out.get();
    constexpr size_t kPiece = size_t(1) << 30;
    for (size_t at = 0; at < size || at == 0;) {
        const size_t piece = std::min(size - at, kPiece);
        z.next_in = const_cast<Bytef*>(in + at);
        z.avail_in = uInt(piece);
        at += piece;
        z.avail_out = uInt(std::min<size_t>(room - size_t(z.next_out - out.get()), UINT32_MAX));
        const int flush = at == size ? Z_SYNC_FLUSH : Z_NO_FLUSH;
        if (zlib->deflate(&z, flush) != Z_OK || z.avail_in != 0 || z.avail_out == 0)
            return std::nullopt;
        if (size == 0)
            break;
    }
    return std::vector<uint8_t>(out.get(), z.next_out);
}

// Raw deflate blocks of `in` ending with the stream's final block.
std::optional<std::vector<uint8_t>> deflateFinal(const uint8_t* in, size_t size, int level)
{
    std::unique_ptr<libdeflate_compressor, CompressorDeleter> compressor(
        libdeflate_alloc_compressor(level));
    if (!compressor)
        return std::nullopt;
    std::unique_ptr<uint8_t[]> out(
        new uint8_t[libdeflate_deflate_compress_bound(compressor.get(), size)]);
    size_t n = libdeflate_deflate_compress(compressor.get(), in, size, out.get(),
        libdeflate_deflate_compress_bound(compressor.get(), size));
    if (n == 0)
        return std::nullopt;
    return std::vector<uint8_t>(out.get(), out.get() + n);
}

} // namespace

ErrorOr<std::vector<uint8_t>> encodePng(const Bitmap& bitmap, const PngEncodeOptions& options)
{
    using detail::encodeError;
    if (bitmap.isEmpty())
        return encodeError(Error::Code::Invalid, "the picture has no pixels");
    int level = std::clamp(options.level, 0, 12);
    if (options.encoder == PngEncoder::Spng)
        return detail::encodePngWithSpng(bitmap, std::min(level, 9));
    if (options.encoder == PngEncoder::Huffman) {
        // It fails only for want of memory.
        if (std::optional<std::vector<uint8_t>> png = detail::encodePngWithHuffman(bitmap))
            return std::move(*png);
        return encodeError(Error::Code::OutOfMemory, "not enough memory");
    }

    const size_t width = size_t(bitmap.width()), height = size_t(bitmap.height());
    const size_t rowBytes = bitmap.bytesPerRow();
    try {
        std::unique_ptr<uint8_t[]> filtered(new uint8_t[height * (rowBytes + 1)]);
        std::vector<uint8_t> zlib;
        std::unique_ptr<uint8_t[]> single;
        size_t zlibSize = 0;
        // A large picture is deflated in two parts at once: the top by zlib,
        // ending on a sync flush so that the bottom's stream from libdeflate
        // follows it as more blocks of the same stream. zlib is about twice
        // as slow on an opaque map and up to four times on rows with alpha,
        // so it gets a third or a quarter; each part filters its own rows.
        const bool large = height >= 64 && width * height >= (size_t(1) << 18);
        const size_t split = !large ? 0 : bitmap.hasAlpha() ? height / 4 : height / 3;
        bool done = false;
        if (split) {
            const size_t headBytes = split * (rowBytes + 1);
            std::optional<std::vector<uint8_t>> head;
            try {
                std::thread top([&] {
                    try {
                        filterRows(bitmap, 0, split, filtered.get());
                        head = deflateFlushed(filtered.get(), headBytes, level);
                    } catch (const std::bad_alloc&) {
                        head.reset();
                    }
                });
                filterRows(bitmap, split, height, filtered.get() + headBytes);
                std::optional<std::vector<uint8_t>> tail = deflateFinal(
                    filtered.get() + headBytes, (height - split) * (rowBytes + 1), level);
                top.join();
                if (head && tail) {
                    // zlib header (deflate, 32 KiB window, fastest), the two
                    // parts, then the Adler-32 of everything.
                    zlib = {0x78, 0x01};
                    zlib.insert(zlib.end(), head->begin(), head->end());
                    zlib.insert(zlib.end(), tail->begin(), tail->end());
                    uint32_t adler = libdeflate_adler32(1, filtered.get(), height * (rowBytes + 1));
                    put32(zlib, adler);
                    zlibSize = zlib.size();
                    done = true;
                }
            } catch (const std::system_error&) {
                // No second thread: one part, below.
            }
        }
        if (!done) {
            filterRows(bitmap, 0, height, filtered.get());
            std::unique_ptr<libdeflate_compressor, CompressorDeleter> compressor(
                libdeflate_alloc_compressor(level));
            if (!compressor)
                return encodeError(Error::Code::OutOfMemory, "not enough memory");
            size_t inSize = height * (rowBytes + 1);
            // Not zeroed: only the pages the compressor writes are touched.
            const size_t bound = libdeflate_zlib_compress_bound(compressor.get(), inSize);
            single.reset(new uint8_t[bound]);
            zlibSize = libdeflate_zlib_compress(
                compressor.get(), filtered.get(), inSize, single.get(), bound);
            if (zlibSize == 0)
                return encodeError(Error::Code::Invalid, "the compressor gave no output");
        }
        const uint8_t* zlibData = done ? zlib.data() : single.get();
        filtered.reset();

        std::vector<uint8_t> png;
        png.reserve(zlibSize + 64 + (zlibSize >> 20) * 12);
        static const uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
        png.insert(png.end(), signature, signature + 8);
        uint8_t ihdr[13] = {
            uint8_t(width >> 24), uint8_t(width >> 16), uint8_t(width >> 8), uint8_t(width),
            uint8_t(height >> 24), uint8_t(height >> 16), uint8_t(height >> 8), uint8_t(height),
            8, // bits per sample
            uint8_t(bitmap.hasAlpha() ? 6 : 2), // truecolour with alpha, or without
            0, 0, 0, // deflate, adaptive filtering, no interlace
        };
        putChunk(png, "IHDR", ihdr, sizeof ihdr);
        // Chunks stay far below the format's 2^31 - 1 byte limit.
        constexpr size_t kMaxChunk = size_t(1) << 30;
        for (size_t at = 0; at < zlibSize; at += kMaxChunk)
            putChunk(png, "IDAT", zlibData + at, std::min(kMaxChunk, zlibSize - at));
        putChunk(png, "IEND", nullptr, 0);
        return png;
    } catch (const std::bad_alloc&) {
        return encodeError(Error::Code::OutOfMemory, "not enough memory");
    }
}

} // namespace platform
