#include "platform/PixelConvert.h"

#include <array>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/Bitmap.h"

namespace platform {
namespace {

// Both directions by table: 64 KiB each, built once, and a lookup per sample
// instead of a division, which is what the PNG writer's speed rests on.
using Table = std::array<uint8_t, 256 * 256>;

const Table& premultiplyTable()
{
    static const Table table = [] {
        Table t {};
        for (unsigned a = 0; a < 256; ++a)
            for (unsigned c = 0; c < 256; ++c)
                t[a * 256 + c] = premultiply(uint8_t(c), uint8_t(a));
        return t;
    }();
    return table;
}

const Table& unpremultiplyTable()
{
    static const Table table = [] {
        Table t {};
        for (unsigned a = 0; a < 256; ++a)
            for (unsigned p = 0; p < 256; ++p)
                t[a * 256 + p] = unpremultiply(uint8_t(p), uint8_t(a));
        return t;
    }();
    return table;
}

} // namespace

void premultiplyRows(uint8_t* rgba, size_t count)
{
    size_t i = 0;
#if defined(__SSE2__)
    // Four pixels a step with premultiply()'s own arithmetic, round(c a / 255)
    // as (t + (t >> 8)) >> 8 with t = c a + 128, in 16-bit lanes; the alpha
    // lanes are multiplied by 255 / 255 and so keep their value.
    const __m128i zero = _mm_setzero_si128();
    const __m128i half = _mm_set1_epi16(128);
    const __m128i alphaLanes = _mm_set_epi16(-1, 0, 0, 0, -1, 0, 0, 0);
    const __m128i full = _mm_set1_epi16(255);
    for (; i + 4 <= count; i += 4, rgba += 16) {
        __m128i px = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rgba));
        auto scale = [&](__m128i c) {
            // Each pixel's alpha in all four of its lanes, 255 in its own.
            __m128i a = _mm_shufflehi_epi16(_mm_shufflelo_epi16(c, 0xFF), 0xFF);
            a = _mm_or_si128(_mm_andnot_si128(alphaLanes, a), _mm_and_si128(alphaLanes, full));
            __m128i t = _mm_add_epi16(_mm_mullo_epi16(c, a), half);
            return _mm_srli_epi16(_mm_add_epi16(t, _mm_srli_epi16(t, 8)), 8);
        };
        __m128i lo = scale(_mm_unpacklo_epi8(px, zero));
        __m128i hi = scale(_mm_unpackhi_epi8(px, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(rgba), _mm_packus_epi16(lo, hi));
    }
#endif
    const Table& t = premultiplyTable();
    for (; i < count; ++i, rgba += 4) {
        unsigned a = rgba[3];
        if (a == 255)
            continue;
        const uint8_t* row = &t[a * 256];
        rgba[0] = row[rgba[0]];
        rgba[1] = row[rgba[1]];
        rgba[2] = row[rgba[2]];
    }
}

void unpremultiplyRows(uint8_t* out, const uint8_t* in, size_t count)
{
    const Table& t = unpremultiplyTable();
    for (size_t i = 0; i < count; ++i, in += 4, out += 4) {
        // Opaque pixels, most of any map, go two at a time as they are.
        constexpr uint64_t kAlphas = 0xFF000000FF000000u;
        uint64_t two;
        if (i + 2 <= count && (std::memcpy(&two, in, 8), (two & kAlphas) == kAlphas)) {
            std::memcpy(out, &two, 8);
            ++i, in += 4, out += 4;
            continue;
        }
        unsigned a = in[3];
        if (a == 255) {
            out[0] = in[0], out[1] = in[1], out[2] = in[2], out[3] = 255;
            continue;
        }
        const uint8_t* row = &t[a * 256];
        uint8_t r = row[in[0]], g = row[in[1]], b = row[in[2]];
        out[0] = r, out[1] = g, out[2] = b, out[3] = uint8_t(a);
    }
}

} // namespace platform
