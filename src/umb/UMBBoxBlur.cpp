#include "umb/UMBBoxBlur.h"

#include <algorithm>
#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace umb {
namespace {

// Means of window sums by table: entry i is i / n, so a sum of n 8-bit
// samples finds its truncated mean without a division per sample. Radii so
// large that the table would not be small (beyond any blur worth having)
// divide instead, with the same result.
template<typename Entry> class MeanTable {
public:
    explicit MeanTable(int64_t n)
        : n_(n)
    {
        if (n <= kMaxTableWindow) {
            table_.resize(size_t(256 * n));
            for (int64_t i = 0; i < 256 * n; ++i)
                table_[size_t(i)] = Entry(i / n);
        }
    }
    uint32_t operator()(int64_t sum) const
    {
        return table_.empty() ? uint32_t(sum / n_) : uint32_t(table_[size_t(sum)]);
    }

private:
    static constexpr int64_t kMaxTableWindow = 4097;
    int64_t n_;
    std::vector<Entry> table_;
};

// The clamped positions that enter (x + r + 1) and leave (x - r) the window
// after step x, computed once for a whole pass.
struct WindowSteps {
    std::vector<int32_t> enter, leave;
    WindowSteps(int length, int64_t r)
        : enter(size_t(length))
        , leave(size_t(length))
    {
        for (int x = 0; x < length; ++x) {
            enter[size_t(x)] = int32_t(std::min<int64_t>(x + r + 1, length - 1));
            leave[size_t(x)] = int32_t(std::max<int64_t>(x - r, 0));
        }
    }
};

// The window at position 0 holds the first sample r + 1 times and positions
// 1 ... r clamped to the last: calls add(index, times) for each distinct one,
// so a radius far beyond the length costs no more than the length.
template<typename Add> void startWindow(int length, int64_t r, Add add)
{
    add(0, r + 1);
    int64_t inside = std::min<int64_t>(r, length - 1);
    for (int64_t i = 1; i <= inside; ++i)
        add(int32_t(i), 1);
    if (r > inside)
        add(length - 1, r - inside);
}

// Both passes of the bitmap blur for `S` interleaved samples a pixel. The
// horizontal pass reads only the bitmap and writes only `mid`; the vertical
// pass reads only `mid` and writes only the bitmap. The vertical pass keeps
// one running sum per column and walks the rows in order, which adds and
// drops the same samples as a column-by-column walk but reads memory in
// sequence.
template<int S> void blurBitmap(uint8_t* pixels, int width, int height, int64_t r)
{
    const int64_t n = 2 * r + 1;
    MeanTable<uint8_t> mean(n);
    const size_t rowBytes = size_t(width) * S;
    std::vector<uint8_t> mid(rowBytes * size_t(height));

    WindowSteps across(width, r);
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = pixels + size_t(y) * rowBytes;
        uint8_t* out = mid.data() + size_t(y) * rowBytes;
        int64_t sum[S] = {};
        startWindow(width, r, [&](int32_t x, int64_t times) {
            for (int c = 0; c < S; ++c)
                sum[c] += times * row[size_t(x) * S + c];
        });
        for (int x = 0; x < width; ++x) {
            for (int c = 0; c < S; ++c)
                out[size_t(x) * S + c] = uint8_t(mean(sum[c]));
            const uint8_t* in = row + size_t(across.enter[size_t(x)]) * S;
            const uint8_t* gone = row + size_t(across.leave[size_t(x)]) * S;
            for (int c = 0; c < S; ++c)
                sum[c] += int64_t(in[c]) - gone[c];
        }
    }

    WindowSteps down(height, r);
    std::vector<int64_t> sums(rowBytes, 0);
    startWindow(height, r, [&](int32_t y, int64_t times) {
        const uint8_t* row = mid.data() + size_t(y) * rowBytes;
        for (size_t i = 0; i < rowBytes; ++i)
            sums[i] += times * row[i];
    });
    for (int y = 0; y < height; ++y) {
        uint8_t* out = pixels + size_t(y) * rowBytes;
        for (size_t i = 0; i < rowBytes; ++i)
            out[i] = uint8_t(mean(sums[i]));
        const uint8_t* in = mid.data() + size_t(down.enter[size_t(y)]) * rowBytes;
        const uint8_t* gone = mid.data() + size_t(down.leave[size_t(y)]) * rowBytes;
        for (size_t i = 0; i < rowBytes; ++i)
            sums[i] += int64_t(in[i]) - gone[i];
    }
}

// The truncated mean of a window of n samples as (sum * multiplier) >> 16,
// used when that equals sum / n for every sum a window can reach (checked
// here for all of them, so the result never differs from the table's). Sums
// and products then fit in 16 and 32 bits, and the loops that use it turn
// into vector code, where a table lookup per sample would not.
struct ShortMean {
    uint32_t multiplier = 0;
    bool exact = false;
    explicit ShortMean(int64_t n)
    {
        if (n < 1 || 255 * n > 0xFFFF)
            return;
        multiplier = uint32_t((65536 + n - 1) / n);
        if (multiplier > 0xFFFF)
            return;
        exact = true;
        for (uint32_t sum = 0; sum <= uint32_t(255 * n) && exact; ++sum)
            exact = (sum * multiplier) >> 16 == sum / uint32_t(n);
    }
};

// One row's horizontal pass, from `in` to `out`: where a window holds only
// one value its mean is that value, so only the stretches within r of a
// change need running sums; a night-shade row is mostly such flat runs.
void blurPlaneRow(
    const uint8_t* in, uint8_t* out, int width, int64_t r, const MeanTable<uint8_t>& mean)
{
    std::memcpy(out, in, size_t(width));
    int x = 1;
    while (x < width) {
        // Eight samples at a time through the flat runs.
        uint64_t here, before;
        if (x + 8 <= width) {
            std::memcpy(&here, in + x, 8);
            std::memcpy(&before, in + x - 1, 8);
            if (here == before) {
                x += 8;
                continue;
            }
        }
        if (in[x] == in[x - 1]) {
            ++x;
            continue;
        }
        // A change between x - 1 and x touches outputs x - r ... x + r - 1;
        // stretch over every further change that lands inside.
        int64_t first = std::max<int64_t>(x - r, 0);
        int64_t last = std::min<int64_t>(x + r - 1, width - 1);
        int next = x + 1;
        while (next < width && next - r <= last + 1) {
            if (in[next] != in[next - 1])
                last = std::min<int64_t>(next + r - 1, width - 1);
            ++next;
        }
        int64_t sum = 0;
        for (int64_t i = first - r; i <= first + r; ++i)
            sum += in[std::clamp<int64_t>(i, 0, width - 1)];
        for (int64_t i = first; i <= last; ++i) {
            out[i] = uint8_t(mean(sum));
            sum += int64_t(in[std::min<int64_t>(i + r + 1, width - 1)])
                - in[std::max<int64_t>(i - r, 0)];
        }
        x = next;
    }
}

// One row of the vertical pass: writes the means of the column sums into
// `out`, then moves every sum one row down (adding `in`, dropping `gone`).
void verticalStep(uint8_t* out, uint16_t* sums, const uint8_t* in, const uint8_t* gone, size_t w,
    uint16_t multiplier)
{
    size_t i = 0;
#if defined(__SSE2__)
    // Sixteen columns a step: the high half of a 16-bit product is the mean.
    const __m128i m = _mm_set1_epi16(int16_t(multiplier));
    const __m128i zero = _mm_setzero_si128();
    for (; i + 16 <= w; i += 16) {
        __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(sums + i));
        __m128i hi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(sums + i + 8));
        __m128i means = _mm_packus_epi16(_mm_mulhi_epu16(lo, m), _mm_mulhi_epu16(hi, m));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), means);
        __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
        __m128i g = _mm_loadu_si128(reinterpret_cast<const __m128i*>(gone + i));
        lo = _mm_sub_epi16(
            _mm_add_epi16(lo, _mm_unpacklo_epi8(a, zero)), _mm_unpacklo_epi8(g, zero));
        hi = _mm_sub_epi16(
            _mm_add_epi16(hi, _mm_unpackhi_epi8(a, zero)), _mm_unpackhi_epi8(g, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(sums + i), lo);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(sums + i + 8), hi);
    }
#endif
    for (; i < w; ++i) {
        out[i] = uint8_t((uint32_t(sums[i]) * multiplier) >> 16);
        sums[i] = uint16_t(sums[i] + in[i] - gone[i]);
    }
}

// The plane blur in place with no second plane: the horizontal pass a row at
// a time, then the vertical pass down the rows with one 16-bit running sum a
// column. A row the vertical pass overwrites is still needed r rows later as
// the one leaving the window, so the last r + 1 of them are kept in a ring.
void blurPlane(uint8_t* plane, int width, int height, int64_t r)
{
    const int64_t n = 2 * r + 1;
    const ShortMean shortMean(n);
    if (!shortMean.exact || r >= height) {
        blurBitmap<1>(plane, width, height, r);
        return;
    }
    const MeanTable<uint8_t> mean(n);
    const size_t w = size_t(width);
    std::vector<uint8_t> row(w);
    for (int y = 0; y < height; ++y) {
        uint8_t* line = plane + size_t(y) * w;
        blurPlaneRow(line, row.data(), width, r, mean);
        std::memcpy(line, row.data(), w);
    }

    const uint16_t m = uint16_t(shortMean.multiplier);
    std::vector<uint16_t> sums(w, 0);
    startWindow(height, r, [&](int32_t y, int64_t times) {
        const uint8_t* line = plane + size_t(y) * w;
        for (size_t i = 0; i < w; ++i)
            sums[i] = uint16_t(sums[i] + times * line[i]);
    });
    std::vector<uint8_t> ring(size_t(r + 1) * w);
    for (int y = 0; y < height; ++y) {
        uint8_t* line = plane + size_t(y) * w;
        uint8_t* kept = ring.data() + size_t(y % (r + 1)) * w;
        std::memcpy(kept, line, w);
        uint16_t* s = sums.data();
        if (y + 1 == height) {
            for (size_t i = 0; i < w; ++i)
                line[i] = uint8_t((uint32_t(s[i]) * m) >> 16);
            break;
        }
        const uint8_t* in = plane + size_t(std::min<int64_t>(y + r + 1, height - 1)) * w;
        const int64_t leaving = std::max<int64_t>(y - r, 0);
        const uint8_t* gone = ring.data() + size_t(leaving % (r + 1)) * w;
        verticalStep(line, s, in, gone, w, m);
    }
}

} // namespace

int32_t clamp(int32_t value, int32_t low, int32_t high)
{
    if (value < low)
        return low;
    return std::min(value, high);
}

void UMBBoxBlur::blur(
    std::span<const int32_t> in, std::span<int32_t> out, int width, int height, int radius)
{
    if (width <= 0 || height <= 0)
        return;
    const size_t count = size_t(width) * size_t(height);
    if (in.size() < count || out.size() < count)
        return;
    // Written transposed, the output would overwrite input not yet read.
    std::vector<int32_t> copy;
    if (in.data() < out.data() + count && out.data() < in.data() + count) {
        copy.assign(in.begin(), in.begin() + long(count));
        in = copy;
    }
    const int64_t r = std::max(radius, 0);
    MeanTable<uint32_t> mean(2 * r + 1);
    WindowSteps steps(width, r);
    for (int y = 0; y < height; ++y) {
        const int32_t* row = in.data() + size_t(y) * size_t(width);
        // Four lanes, one a byte of the packed value; they never mix.
        int64_t s31 = 0, s23 = 0, s15 = 0, s7 = 0;
        auto add = [&](uint32_t p, int64_t times) {
            s31 += times * (p >> 24);
            s23 += times * ((p >> 16) & 0xFF);
            s15 += times * ((p >> 8) & 0xFF);
            s7 += times * (p & 0xFF);
        };
        startWindow(width, r, [&](int32_t x, int64_t times) { add(uint32_t(row[x]), times); });
        for (int x = 0; x < width; ++x) {
            uint32_t v = mean(s31) << 24 | mean(s23) << 16 | mean(s15) << 8 | mean(s7);
            out[size_t(x) * size_t(height) + size_t(y)] = int32_t(v);
            add(uint32_t(row[steps.enter[size_t(x)]]), 1);
            add(uint32_t(row[steps.leave[size_t(x)]]), -1);
        }
    }
}

int UMBBoxBlur::filter(std::span<int32_t> pixels, int width, int height)
{
    if (width <= 0 || height <= 0 || iterations_ <= 0)
        return 0;
    const size_t count = size_t(width) * size_t(height);
    if (pixels.size() < count)
        return 0;
    std::vector<int32_t> transposed(count);
    for (int32_t i = 0; i < iterations_; ++i) {
        blur(pixels, transposed, width, height, hRadius_);
        blur(transposed, pixels, height, width, vRadius_);
    }
    return 0;
}

void UMBBoxBlur::boxBlurPixelsWithAlpha(platform::Bitmap& bitmap, int radius)
{
    if (!bitmap.hasAlpha() || bitmap.isEmpty())
        return;
    blurBitmap<4>(bitmap.data(), bitmap.width(), bitmap.height(), radius > 0 ? radius : 1);
}

void UMBBoxBlur::boxBlurPlane(std::span<uint8_t> plane, int width, int height, int radius)
{
    if (width <= 0 || height <= 0 || plane.size() < size_t(width) * size_t(height))
        return;
    blurPlane(plane.data(), width, height, radius > 0 ? radius : 1);
}

void UMBBoxBlur::boxBlurPixels(platform::Bitmap& bitmap, int radius)
{
    int r = radius > 0 ? radius : 1;
    if (bitmap.hasAlpha()) {
        boxBlurPixelsWithAlpha(bitmap, r);
        return;
    }
    if (bitmap.isEmpty())
        return;
    blurBitmap<3>(bitmap.data(), bitmap.width(), bitmap.height(), r);
}

} // namespace umb
