// The PNG reader for the plain files that the writer makes and the bundle
// ships: 8-bit RGB or RGBA, not interlaced, nothing but IHDR, IDAT and IEND,
// every CRC sound. libdeflate inflates the whole stream in one call, several
// times faster than zlib's inflate behind libspng, and every request decodes
// the lights picture. Anything else, or anything at all unexpected, gives
// none here, and libspng decodes (or refuses) the file as before.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <libdeflate.h>
#include <memory>
#include <new>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/ImageCodec.h"
#include "platform/PixelConvert.h"

namespace platform {
namespace detail {
namespace {

struct DecompressorDeleter {
    void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
};

uint32_t be32(const uint8_t* p)
{
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

#if defined(__SSE2__)
// Four bytes in the low lanes of a vector as 16-bit values, and back.
inline __m128i loadPixel(const uint8_t* p)
{
    uint32_t v = 0;
    std::memcpy(&v, p, 4);
    return _mm_unpacklo_epi8(_mm_cvtsi32_si128(int(v)), _mm_setzero_si128());
}
inline void storePixel(uint8_t* p, __m128i v)
{
    uint32_t out = uint32_t(_mm_cvtsi128_si32(_mm_packus_epi16(v, v)));
    std::memcpy(p, &out, 4);
}
inline __m128i magnitude(__m128i v)
{
    return _mm_max_epi16(v, _mm_sub_epi16(_mm_setzero_si128(), v));
}
#endif

// Undoes the filter of one row of `n` bytes into `out`, with `prev` the row
// above already undone (zeros for the first row). False for an unknown type.
// Sub, average and Paeth depend on the pixel to the left, so they go a pixel
// at a time, all of its samples at once, four bytes in a vector: a
// three-byte pixel carries the next one's first byte along, which the next
// step overwrites (the last pixel of a row goes byte by byte instead).
template<size_t Bpp>
bool unfilterRow(int type, const uint8_t* in, const uint8_t* prev, size_t n, uint8_t* out)
{
    size_t i = 0;
    switch (type) {
    case 0:
        std::memcpy(out, in, n);
        return true;
    case 2:
        for (; i < n; ++i)
            out[i] = uint8_t(in[i] + prev[i]);
        return true;
    case 1:
#if defined(__SSE2__)
        if constexpr (Bpp == 3 || Bpp == 4) {
            __m128i left = _mm_setzero_si128();
            for (; i + 4 <= n; i += Bpp) {
                left = _mm_and_si128(_mm_add_epi16(left, loadPixel(in + i)), _mm_set1_epi16(0xFF));
                storePixel(out + i, left);
            }
        }
#endif
        for (; i < n; ++i)
            out[i] = uint8_t(in[i] + (i >= Bpp ? out[i - Bpp] : 0));
        return true;
    case 3:
#if defined(__SSE2__)
        if constexpr (Bpp == 3 || Bpp == 4) {
            __m128i left = _mm_setzero_si128();
            for (; i + 4 <= n; i += Bpp) {
                __m128i mean = _mm_srli_epi16(_mm_add_epi16(left, loadPixel(prev + i)), 1);
                left = _mm_and_si128(_mm_add_epi16(mean, loadPixel(in + i)), _mm_set1_epi16(0xFF));
                storePixel(out + i, left);
            }
        }
#endif
        for (; i < n; ++i) {
            unsigned left = i >= Bpp ? out[i - Bpp] : 0;
            out[i] = uint8_t(in[i] + ((left + prev[i]) >> 1));
        }
        return true;
    case 4:
#if defined(__SSE2__)
        if constexpr (Bpp == 3 || Bpp == 4) {
            // The predictor with the format's tie order (left, up, upper left):
            // upper left when it is strictly nearest, else up when strictly
            // nearer than left, else left.
            __m128i a = _mm_setzero_si128(), c = _mm_setzero_si128();
            for (; i + 4 <= n; i += Bpp) {
                __m128i b = loadPixel(prev + i);
                __m128i toB = _mm_sub_epi16(b, c), toA = _mm_sub_epi16(a, c);
                __m128i pa = magnitude(toB), pb = magnitude(toA);
                __m128i pc = magnitude(_mm_add_epi16(toB, toA));
                __m128i useC = _mm_cmplt_epi16(pc, _mm_min_epi16(pa, pb));
                __m128i useB = _mm_cmplt_epi16(pb, pa);
                __m128i ab = _mm_or_si128(_mm_and_si128(useB, b), _mm_andnot_si128(useB, a));
                __m128i predictor
                    = _mm_or_si128(_mm_and_si128(useC, c), _mm_andnot_si128(useC, ab));
                a = _mm_and_si128(
                    _mm_add_epi16(predictor, loadPixel(in + i)), _mm_set1_epi16(0xFF));
                c = b;
                storePixel(out + i, a);
            }
        }
#endif
        for (; i < n; ++i) {
            int a = i >= Bpp ? out[i - Bpp] : 0, b = prev[i], c = i >= Bpp ? prev[i - Bpp] : 0;
            int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
            int predictor = (pa <= pb && pa <= pc) ? a : (pb <= pc ? b : c);
            out[i] = uint8_t(in[i] + predictor);
        }
        return true;
    default:
        return false;
    }
}

} // namespace

std::optional<Bitmap> decodePlainPng(std::span<const uint8_t> bytes, const DecodeLimits& limits)
{
    // Signature, then IHDR with its 13 bytes.
    if (bytes.size() < 8 + 25 || be32(&bytes[8]) != 13 || std::memcmp(&bytes[12], "IHDR", 4) != 0)
        return std::nullopt;
    const uint8_t* ihdr = &bytes[16];
    const uint32_t width = be32(ihdr), height = be32(ihdr + 4);
    const bool alpha = ihdr[9] == 6;
    if (width == 0 || height == 0 || width > 0x7FFFFFFFu || height > 0x7FFFFFFFu || ihdr[8] != 8
        || (ihdr[9] != 2 && ihdr[9] != 6) || ihdr[10] != 0 || ihdr[11] != 0 || ihdr[12] != 0)
        return std::nullopt;
    if (width > limits.maxSide || height > limits.maxSide
        || uint64_t(width) * height > limits.maxPixels)
        return std::nullopt;

    // The chunks: IDATs in one run, then IEND as the very last bytes.
    std::vector<std::span<const uint8_t>> idat;
    size_t idatBytes = 0;
    bool ended = false;
    for (size_t at = 8; at < bytes.size() && !ended;) {
        if (bytes.size() - at < 12)
            return std::nullopt;
        const uint32_t length = be32(&bytes[at]);
        if (length > 0x7FFFFFFFu || bytes.size() - at - 12 < length)
            return std::nullopt;
        const uint8_t* type = &bytes[at + 4];
        if (libdeflate_crc32(0, type, size_t(length) + 4) != be32(type + 4 + length))
            return std::nullopt;
        if (std::memcmp(type, "IDAT", 4) == 0) {
            if (!idat.empty() && idat.back().data() + idat.back().size() + 12 != type + 4)
                return std::nullopt; // IDATs apart from each other
            idat.emplace_back(type + 4, length);
            idatBytes += length;
        } else if (std::memcmp(type, "IEND", 4) == 0) {
            if (length != 0 || at + 12 != bytes.size())
                return std::nullopt;
            ended = true;
        } else if (at != 8) {
            return std::nullopt; // any other chunk: libspng's to judge
        }
        at += 12 + size_t(length);
    }
    if (!ended || idat.empty())
        return std::nullopt;

    const size_t bpp = alpha ? 4 : 3;
    const size_t rowBytes = size_t(width) * bpp;
    if (rowBytes + 1 > SIZE_MAX / height)
        return std::nullopt;
    const size_t rawBytes = size_t(height) * (rowBytes + 1);
    std::vector<uint8_t> joined;
    const uint8_t* zlib = idat[0].data();
    if (idat.size() > 1) {
        try {
            joined.reserve(idatBytes);
        } catch (const std::bad_alloc&) {
            return std::nullopt;
        }
        for (std::span<const uint8_t> part : idat)
            joined.insert(joined.end(), part.begin(), part.end());
        zlib = joined.data();
    }
    // The pixels are inflated, unfiltered and (with alpha) premultiplied in
    // one buffer, which then becomes the bitmap: no second copy of the
    // picture is ever made.
    struct FreeDeleter {
        void operator()(uint8_t* p) const { std::free(p); }
    };
    std::unique_ptr<uint8_t, FreeDeleter> raw(static_cast<uint8_t*>(std::malloc(rawBytes)));
    std::unique_ptr<libdeflate_decompressor, DecompressorDeleter> inflater(
        libdeflate_alloc_decompressor());
    if (!raw || !inflater)
        return std::nullopt;
    size_t used = 0, produced = 0;
    if (libdeflate_zlib_decompress_ex(
            inflater.get(), zlib, idatBytes, raw.get(), rawBytes, &used, &produced)
            != LIBDEFLATE_SUCCESS
        || used != idatBytes || produced != rawBytes)
        return std::nullopt;
    joined = {};

    // Row y is undone into a row of its own (the next row's filter refers to
    // the straight samples), then written to y x rowBytes, which is never
    // beyond the filtered bytes of row y itself, already read by then.
    std::vector<uint8_t> rows(rowBytes * 3, 0);
    const uint8_t* zeros = rows.data();
    uint8_t* straight = rows.data() + rowBytes;
    uint8_t* straightAbove = straight + rowBytes;
    for (size_t y = 0; y < height; ++y) {
        const uint8_t* line = raw.get() + y * (rowBytes + 1);
        const uint8_t* prev = y ? straightAbove : zeros;
        bool known = alpha ? unfilterRow<4>(line[0], line + 1, prev, rowBytes, straight)
                           : unfilterRow<3>(line[0], line + 1, prev, rowBytes, straight);
        if (!known)
            return std::nullopt;
        uint8_t* out = raw.get() + y * rowBytes;
        std::memcpy(out, straight, rowBytes);
        if (alpha)
            premultiplyRows(out, size_t(width));
        std::swap(straight, straightAbove);
    }
    // Give back the filter bytes' worth at the end.
    uint8_t* pixels = raw.release();
    if (auto* smaller = static_cast<uint8_t*>(std::realloc(pixels, height * rowBytes)))
        pixels = smaller;
    std::optional<Bitmap> bitmap = Bitmap::adoptMalloced(
        int(width), int(height), alpha ? PixelFormat::RGBA : PixelFormat::RGB, pixels);
    return bitmap;
}

} // namespace detail
} // namespace platform
