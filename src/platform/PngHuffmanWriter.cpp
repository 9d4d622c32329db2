// The default PNG writer: rows filtered as the writer on libdeflate filters
// them, then coded under one dynamic Huffman table built from a sample of the
// rows, with runs of zeros as matches at distance 1 and no other matching.
// Filtered map rows are small residuals that seldom repeat at a distance, so
// the match search of a deflate level finds little in them, and that search
// was most of the writer's time; coding bytes straight from a table is
// several times faster for a file a little larger (figures in
// bench/README.md). CRC-32 and Adler-32 are libdeflate's, which pick
// carry-less-multiply and vector code for the processor at run time.
#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <libdeflate.h>
#include <optional>
#include <queue>
#include <system_error>
#include <thread>
#include <vector>

#if defined(__x86_64__)
#include <immintrin.h>
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/ImageCodec.h"
#include "platform/PixelConvert.h"
#include "platform/PngFilter.h"
#include "platform/SideThread.h"

namespace platform {
namespace detail {
std::optional<std::vector<uint8_t>> encodePngWithHuffman(const Bitmap& bitmap);
} // namespace detail

namespace {

constexpr int kSymbols = 286; // literals, end of block, match lengths
constexpr int kEndOfBlock = 256;
// Below deflate's limit of 15, so that a pair of codes and its length fit one
// 32-bit table entry; only symbols rarer than one in a few thousand would
// have had longer codes.
constexpr unsigned kMaxBits = 12;
constexpr size_t kMaxRun = 258;

// Deflate's length symbol, extra bits and their value for a match of
// 3..258 bytes.
struct LengthCode {
    unsigned symbol, extraBits, extra;
};

LengthCode lengthCode(unsigned length)
{
    static constexpr uint16_t kBase[29] = {3, 4, 5, 6, 7, 8, 9, 10, 11, 13, 15, 17, 19, 23, 27, 31,
        35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
    static constexpr uint8_t kExtra[29]
        = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
    int i = 28;
    while (kBase[i] > length)
        --i;
    return {unsigned(257 + i), kExtra[i], length - kBase[i]};
}

// Code lengths of a Huffman code for `weights` (every one above 0), none
// longer than kMaxBits. Deeper codes are cut to kMaxBits, the rarest codes
// that are still shorter are lengthened until the code fits (the Kraft sum),
// then the commonest are shortened while it stays within: the code comes out
// complete, as inflaters require. Ties go to the lower symbol, so the same
// weights always give the same code.
std::array<uint8_t, kSymbols> codeLengths(const std::array<uint64_t, kSymbols>& weights)
{
    using Node = std::pair<uint64_t, int>;
    std::priority_queue<Node, std::vector<Node>, std::greater<Node>> queue;
    std::array<int, 2 * kSymbols> parent {};
    for (int s = 0; s < kSymbols; ++s)
        queue.push({weights[s], s});
    int next = kSymbols;
    while (queue.size() > 1) {
        Node a = queue.top();
        queue.pop();
        Node b = queue.top();
        queue.pop();
        parent[a.second] = parent[b.second] = next;
        queue.push({a.first + b.first, next++});
    }
    // Parents are numbered after their children: depths from the root down.
    std::array<unsigned, 2 * kSymbols> depth {};
    for (int node = next - 2; node >= 0; --node)
        depth[node] = depth[parent[node]] + 1;

    std::array<uint8_t, kSymbols> lengths;
    constexpr uint64_t kWhole = uint64_t(1) << kMaxBits;
    uint64_t kraft = 0; // the code's share of kWhole
    for (int s = 0; s < kSymbols; ++s) {
        lengths[s] = uint8_t(std::min(depth[s], kMaxBits));
        kraft += kWhole >> lengths[s];
    }
    std::array<int, kSymbols> byWeight;
    for (int s = 0; s < kSymbols; ++s)
        byWeight[s] = s;
    std::stable_sort(
        byWeight.begin(), byWeight.end(), [&](int a, int b) { return weights[a] < weights[b]; });
    for (int s : byWeight) {
        for (; kraft > kWhole && lengths[s] < kMaxBits; ++lengths[s])
            kraft -= kWhole >> (lengths[s] + 1);
    }
    // Every share is a multiple of the smallest, so this ends at kWhole.
    for (auto it = byWeight.rbegin(); it != byWeight.rend(); ++it) {
        for (uint8_t& length = lengths[*it]; length > 1 && kraft + (kWhole >> length) <= kWhole;
             --length)
            kraft += kWhole >> length;
    }
    return lengths;
}

// The canonical codes of `lengths` (RFC 1951, 3.2.2), bit-reversed because
// deflate sends a code's first bit in the lowest place.
template<size_t N> std::array<uint16_t, N> canonicalCodes(const std::array<uint8_t, N>& lengths)
{
    unsigned count[kMaxBits + 1] = {}, next[kMaxBits + 1] = {};
    for (uint8_t length : lengths)
        ++count[length];
    count[0] = 0;
    for (unsigned bits = 1, code = 0; bits <= kMaxBits; ++bits) {
        code = (code + count[bits - 1]) << 1;
        next[bits] = code;
    }
    std::array<uint16_t, N> codes {};
    for (size_t s = 0; s < N; ++s) {
        const unsigned length = lengths[s];
        if (!length)
            continue;
        unsigned code = next[length]++, reversed = 0;
        for (unsigned b = 0; b < length; ++b)
            reversed |= ((code >> b) & 1) << (length - 1 - b);
        codes[s] = uint16_t(reversed);
    }
    return codes;
}

// Bits into a buffer, first bit lowest. put() adds at most 57 bits between
// two flush() calls (64 less the 7 a flush may leave); flush() stores 8 bytes,
// so the buffer needs 8 bytes of room past the last one used.
struct BitWriter {
    uint8_t* at;
    uint64_t bits = 0;
    unsigned count = 0;

    void put(uint64_t code, unsigned n)
    {
        bits |= code << count;
        count += n;
    }
    void flush()
    {
        std::memcpy(at, &bits, 8);
        at += count >> 3;
        bits >>= count & 56;
        count &= 7;
    }
    // Pads with zeros to the next byte.
    void align()
    {
        count = (count + 7) & ~7u;
        flush();
    }
};

// The one code a picture is written with: literals, the end of the block, and
// a run of zeros as a match of length 3..258 at distance 1, each as the bits
// it is sent as.
struct HuffmanTable {
    std::array<uint8_t, kSymbols> lengths;
    std::array<uint16_t, kSymbols> codes;
    uint32_t run[kMaxRun + 1]; // length code, extra bits, distance code
    uint8_t runBits[kMaxRun + 1];

    // Two literals at once, indexed by the first byte plus the second times
    // 256: both codes, then their length from bit 24 up.
    std::vector<uint32_t> pairs;

    explicit HuffmanTable(const std::array<uint64_t, kSymbols>& weights)
        : lengths(codeLengths(weights))
        , codes(canonicalCodes(lengths))
        , pairs(65536)
    {
        for (uint32_t second = 0; second < 256; ++second) {
            uint32_t* row = pairs.data() + second * 256;
            const uint32_t high = uint32_t(codes[second]), highBits = lengths[second];
            for (uint32_t first = 0; first < 256; ++first) {
                const uint32_t bits = lengths[first];
                row[first] = (codes[first] | high << bits) | (bits + highBits) << 24;
            }
        }
        // Two distance codes of one bit each, a complete code that every
        // inflater takes; distance 1 is code 0, sent as a 0 bit.
        for (unsigned length = 3; length <= kMaxRun; ++length) {
            LengthCode c = lengthCode(length);
            run[length] = codes[c.symbol] | c.extra << lengths[c.symbol];
            runBits[length] = uint8_t(lengths[c.symbol] + c.extraBits + 1);
        }
    }

    // A dynamic block's header: the code lengths themselves are sent under a
    // code of sixteen 4-bit codes for the lengths 0..15, which is no more
    // than a couple of hundred bytes a picture.
    void writeHeader(BitWriter& out, bool final) const
    {
        out.put(final ? 1 : 0, 1);
        out.put(2, 2); // dynamic Huffman codes
        out.put(kSymbols - 257, 5);
        out.put(2 - 1, 5); // two distance codes
        out.put(19 - 4, 4); // all nineteen code length codes
        out.flush();
        static constexpr uint8_t kOrder[19]
            = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
        for (uint8_t symbol : kOrder) {
            out.put(symbol < 16 ? 4 : 0, 3);
            out.flush();
        }
        std::array<uint8_t, 16> lengthLengths;
        lengthLengths.fill(4);
        const std::array<uint16_t, 16> lengthCodes = canonicalCodes(lengthLengths);
        for (uint8_t length : lengths) {
            out.put(lengthCodes[length], 4);
            out.flush();
        }
        for (int distance = 0; distance < 2; ++distance)
            out.put(lengthCodes[1], 4);
        out.flush();
    }
};

// Reads 8 bytes as one number, for the test for zeros.
inline uint64_t load64(const uint8_t* p)
{
    uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}

// The number of zero bytes that p[0..n) starts with: whole vectors compared
// at once, then the first nonzero byte found from a word's lowest set bit.
inline size_t zerosAt(const uint8_t* p, size_t n)
{
    size_t k = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    while (n - k >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + k));
        const unsigned nonzero = ~unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(v, zero))) & 0xFFFF;
        if (nonzero)
            return k + unsigned(__builtin_ctz(nonzero));
        k += 16;
    }
#endif
    while (n - k >= 8) {
        const uint64_t v = load64(p + k);
        if (v)
            return k + unsigned(__builtin_ctzll(v)) / 8;
        k += 8;
    }
    while (k < n && p[k] == 0)
        ++k;
    return k;
}

// Cuts a filtered row into literals and runs of zeros and hands them to
// `sink`. A run starts where 8 bytes in a row are zero, at a multiple of 8
// from the start of the line, and takes every zero after them; `last` is the
// byte before the line (kept across lines), and a run right after a zero is
// all match.
template<class Sink> void tokenize(const uint8_t* s, size_t n, uint8_t& last, Sink& sink)
{
    size_t i = 0;
    while (n - i >= 8) {
        if (load64(s + i) != 0) {
            sink.literals8(s + i);
            i += 8;
            last = s[i - 1];
            continue;
        }
        const size_t j = i + 8 + zerosAt(s + i + 8, n - i - 8);
        size_t length = j - i;
        if (last != 0) {
            sink.literal(0);
            --length;
        }
        for (; length >= kMaxRun; length -= kMaxRun)
            sink.run(kMaxRun);
        if (length >= 3)
            sink.run(unsigned(length));
        else
            while (length--)
                sink.literal(0);
        last = 0;
        i = j;
    }
    for (; i < n; ++i) {
        sink.literal(s[i]);
        last = s[i];
    }
}

// Counts symbols in four tables, added up by total(): a run of the same
// byte then does not wait on one counter.
struct Counter {
    std::array<uint32_t, kSymbols> counts[4] {};
    void literal(uint8_t b) { ++counts[0][b]; }
    void literals8(const uint8_t* p)
    {
        for (int k = 0; k < 8; ++k)
            ++counts[k & 3][p[k]];
    }
    void run(unsigned length) { ++counts[0][lengthCode(length).symbol]; }
    std::array<uint64_t, kSymbols> total() const
    {
        std::array<uint64_t, kSymbols> sum;
        for (int s = 0; s < kSymbols; ++s)
            sum[s] = uint64_t(counts[0][s]) + counts[1][s] + counts[2][s] + counts[3][s];
        return sum;
    }
};

struct Coder {
    const HuffmanTable& table;
    BitWriter& out;

    void literal(uint8_t b)
    {
        out.put(table.codes[b], table.lengths[b]);
        out.flush();
    }
    // Eight codes, looked up in pairs, are joined apart from the writer and
    // added to it four at a time: the writer's state then waits on one
    // addition, not four.
    void literals8(const uint8_t* p)
    {
        uint64_t word;
        std::memcpy(&word, p, 8);
        const uint32_t* pairs = table.pairs.data();
        const uint32_t e0 = pairs[word & 0xFFFF], e1 = pairs[(word >> 16) & 0xFFFF],
                       e2 = pairs[(word >> 32) & 0xFFFF], e3 = pairs[word >> 48];
        out.put(uint64_t(e0 & 0xFFFFFF) | uint64_t(e1 & 0xFFFFFF) << (e0 >> 24),
            (e0 >> 24) + (e1 >> 24));
        out.flush();
        out.put(uint64_t(e2 & 0xFFFFFF) | uint64_t(e3 & 0xFFFFFF) << (e2 >> 24),
            (e2 >> 24) + (e3 >> 24));
        out.flush();
    }
    void run(unsigned length)
    {
        out.put(table.run[length], table.runBits[length]);
        out.flush();
    }
};

// All five filters of a row at once, by hand for AVX2: each filtered row is
// written out and its cost summed on the way, and the cheapest is coded
// straight from where it lies. The build's own vector code (SSE2 on any
// x86-64) is the fallback where the processor has no AVX2.
#if defined(__x86_64__)
#define GLOAM_AVX2 __attribute__((target("avx2"), always_inline)) inline

GLOAM_AVX2 __m256i load(const uint8_t* p)
{
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

// Paeth's predictor in 16-bit lanes, where a + b - 2c cannot overflow.
GLOAM_AVX2 __m256i paeth16(__m256i a, __m256i b, __m256i c)
{
    const __m256i bc = _mm256_sub_epi16(b, c), ac = _mm256_sub_epi16(a, c);
    const __m256i pa = _mm256_abs_epi16(bc), pb = _mm256_abs_epi16(ac);
    const __m256i pc = _mm256_abs_epi16(_mm256_add_epi16(bc, ac));
    const __m256i notA = _mm256_or_si256(_mm256_cmpgt_epi16(pa, pb), _mm256_cmpgt_epi16(pa, pc));
    const __m256i bOrC = _mm256_blendv_epi8(b, c, _mm256_cmpgt_epi16(pb, pc));
    return _mm256_blendv_epi8(a, bOrC, notA);
}

GLOAM_AVX2 __m256i paeth(__m256i a, __m256i b, __m256i c)
{
    const __m256i zero = _mm256_setzero_si256();
    const __m256i lo = paeth16(_mm256_unpacklo_epi8(a, zero), _mm256_unpacklo_epi8(b, zero),
        _mm256_unpacklo_epi8(c, zero));
    const __m256i hi = paeth16(_mm256_unpackhi_epi8(a, zero), _mm256_unpackhi_epi8(b, zero),
        _mm256_unpackhi_epi8(c, zero));
    return _mm256_packus_epi16(lo, hi);
}

// Stores a filtered vector and adds its cost, the bytes' signed magnitudes.
GLOAM_AVX2 void keep(__m256i f, uint8_t* out, __m256i& sum)
{
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), f);
    sum = _mm256_add_epi64(sum, _mm256_sad_epu8(_mm256_abs_epi8(f), _mm256_setzero_si256()));
}

// The five filtered bytes of one sample and their costs, for the bytes the
// vectors leave over.
void filterByte(
    int v, int left, int up, int corner, size_t i, uint8_t* const out[5], uint64_t sums[5])
{
    const int pa = std::abs(up - corner), pb = std::abs(left - corner),
              pc = std::abs(left + up - 2 * corner);
    const int predictor = pa <= pb && pa <= pc ? left : pb <= pc ? up : corner;
    const uint8_t f[5] = {uint8_t(v), uint8_t(v - left), uint8_t(v - up),
        uint8_t(v - ((left + up) >> 1)), uint8_t(v - predictor)};
    for (int k = 0; k < 5; ++k) {
        out[k][i] = f[k];
        sums[k] += uint64_t(std::abs(int(int8_t(f[k]))));
    }
}

__attribute__((target("avx2"))) void filterAllAvx2(const uint8_t* row, const uint8_t* prev,
    size_t n, size_t bpp, uint8_t* const out[5], uint64_t sums[5])
{
    for (int k = 0; k < 5; ++k)
        sums[k] = 0;
    size_t i = 0;
    for (; i < bpp && i < n; ++i)
        filterByte(row[i], 0, prev[i], 0, i, out, sums);
    __m256i acc[5];
    for (auto& a : acc)
        a = _mm256_setzero_si256();
    const __m256i one = _mm256_set1_epi8(1);
    for (; i + 32 <= n; i += 32) {
        const __m256i x = load(row + i), a = load(row + i - bpp), b = load(prev + i),
                      c = load(prev + i - bpp);
        keep(x, out[0] + i, acc[0]);
        keep(_mm256_sub_epi8(x, a), out[1] + i, acc[1]);
        keep(_mm256_sub_epi8(x, b), out[2] + i, acc[2]);
        // The byte average rounds up; the filter's rounds down.
        const __m256i average
            = _mm256_sub_epi8(_mm256_avg_epu8(a, b), _mm256_and_si256(_mm256_xor_si256(a, b), one));
        keep(_mm256_sub_epi8(x, average), out[3] + i, acc[3]);
        keep(_mm256_sub_epi8(x, paeth(a, b, c)), out[4] + i, acc[4]);
    }
    for (int k = 0; k < 5; ++k) {
        alignas(32) uint64_t lanes[4];
        _mm256_store_si256(reinterpret_cast<__m256i*>(lanes), acc[k]);
        sums[k] += lanes[0] + lanes[1] + lanes[2] + lanes[3];
    }
    for (; i < n; ++i)
        filterByte(row[i], row[i - bpp], prev[i], prev[i - bpp], i, out, sums);
}
#endif

const bool kHasAvx2 =
#if defined(__x86_64__)
    __builtin_cpu_supports("avx2");
#else
    false;
#endif

// The straight samples of the bitmap's rows, one after another, each with
// its filter applied, the filter's type byte first.
class RowFilter {
public:
    explicit RowFilter(const Bitmap& bitmap)
        : bitmap_(bitmap)
        , rowBytes_(bitmap.bytesPerRow())
        , bpp_(size_t(bitmap.samplesPerPixel()))
        , zeros_(rowBytes_, 0)
        , lines_(5 * (rowBytes_ + 1))
    {
        if (bitmap.hasAlpha())
            straight_.resize(rowBytes_ * 2);
        for (int type = 0; type < 5; ++type)
            lines_[size_t(type) * (rowBytes_ + 1)] = uint8_t(type);
    }

    size_t lineBytes() const { return rowBytes_ + 1; }

    // Row y, filtered: the line stays valid until the next call.
    const uint8_t* line(size_t y)
    {
        const uint8_t* prev = y == 0 ? zeros_.data() : row(y - 1);
        const uint8_t* cur = row(y);
        uint64_t sums[5];
        uint8_t* out[5];
        for (int type = 0; type < 5; ++type)
            out[type] = lines_.data() + size_t(type) * (rowBytes_ + 1) + 1;
#if defined(__x86_64__)
        if (kHasAvx2)
            filterAllAvx2(cur, prev, rowBytes_, bpp_, out, sums);
        else
#endif
            detail::filterSums(cur, prev, rowBytes_, bpp_, sums);
        int best = 0;
        for (int type = 1; type <= 4; ++type) {
            if (sums[type] < sums[best])
                best = type;
        }
        if (!kHasAvx2)
            detail::filterRow(best, cur, prev, rowBytes_, bpp_, out[best]);
        return out[best] - 1;
    }

private:
    // An RGB row is read where it is; an RGBA row is divided out into one of
    // two buffers, kept while it is there, never into the one that holds the
    // row above it.
    const uint8_t* row(size_t y)
    {
        const uint8_t* src = bitmap_.data() + y * rowBytes_;
        if (!bitmap_.hasAlpha())
            return src;
        for (int k = 0; k < 2; ++k) {
            if (straightRow_[k] == y)
                return straight_.data() + size_t(k) * rowBytes_;
        }
        const int k = straightRow_[0] + 1 == y ? 1 : 0;
        uint8_t* into = straight_.data() + size_t(k) * rowBytes_;
        unpremultiplyRows(into, src, size_t(bitmap_.width()));
        straightRow_[k] = y;
        return into;
    }

    const Bitmap& bitmap_;
    size_t rowBytes_, bpp_;
    std::vector<uint8_t> zeros_, lines_, straight_;
    size_t straightRow_[2] = {SIZE_MAX, SIZE_MAX};
};

// The code for a picture, from a sample of evenly spaced rows (about a
// quarter megabyte of them) filtered as they will be, and the bytes a row is
// expected to take under it. Every symbol can be coded, seen or not.
struct SampledCode {
    HuffmanTable table;
    double bytesPerRow;
};

SampledCode sampledCode(const Bitmap& bitmap)
{
    const size_t height = size_t(bitmap.height());
    RowFilter filter(bitmap);
    const size_t wanted = std::clamp<size_t>((size_t(1) << 18) / filter.lineBytes(), 16, 64);
    const size_t rows = std::min(height, wanted);
    Counter counter;
    uint8_t last = 0;
    for (size_t k = 0; k < rows; ++k)
        tokenize(filter.line(k * height / rows), filter.lineBytes(), last, counter);
    std::array<uint64_t, kSymbols> counts = counter.total();
    counts[kEndOfBlock] = 1;
    // The sample stands for the whole picture: scaled up, a symbol it never
    // saw gets a code as long as a rare one's should be.
    const uint64_t scale = (height + rows - 1) / rows;
    std::array<uint64_t, kSymbols> weights;
    for (int s = 0; s < kSymbols; ++s)
        weights[s] = counts[s] * scale + 1;
    SampledCode code {HuffmanTable(weights), 0};
    uint64_t bits = 0;
    for (int s = 0; s < kSymbols; ++s)
        bits += counts[s] * (code.table.lengths[s] + (s > 256 ? 5 : 0));
    code.bytesPerRow = double(bits) / 8 / double(rows);
    return code;
}

// Where the zlib stream goes: a byte vector grown as needed, past whatever
// it already holds.
class Output {
public:
    explicit Output(std::vector<uint8_t>& bytes, size_t expected)
        : bytes_(bytes)
        , used_(bytes.size())
    {
        bytes_.resize(used_ + expected + 64);
    }

    // A writer with room for `bytes` more bytes and its flush's slack.
    BitWriter& room(size_t bytes)
    {
        used_ = size_t(writer_.at - bytes_.data());
        if (bytes_.size() - used_ < bytes + 16) {
            bytes_.resize(std::max(bytes_.size() * 3 / 2, used_ + bytes + 16));
            writer_.at = bytes_.data() + used_;
        }
        return writer_;
    }
    BitWriter& start()
    {
        writer_.at = bytes_.data() + used_;
        return room(0);
    }
    void finish() { bytes_.resize(size_t(writer_.at - bytes_.data())); }

private:
    std::vector<uint8_t>& bytes_;
    size_t used_;
    BitWriter writer_ {nullptr};
};

// Rows [from, to) as one deflate block in `out`, and their Adler-32 from 1.
// The last block ends the stream; any other ends on a byte, after an empty
// stored block, so that the next block can be written on its own and joined.
uint32_t codeRows(const Bitmap& bitmap, const SampledCode& code, size_t from, size_t to, bool last,
    std::vector<uint8_t>& bytes)
{
    const HuffmanTable& table = code.table;
    RowFilter filter(bitmap);
    const size_t lineBytes = filter.lineBytes();
    // A tenth more than the sample promises: seldom grown, never far too big.
    Output output(bytes, size_t(double(to - from) * code.bytesPerRow * 1.1) + 1024);
    BitWriter* out = &output.start();
    table.writeHeader(*out, last);
    uint32_t adler = 1;
    uint8_t before = 0xFF;
    for (size_t y = from; y < to; ++y) {
        const uint8_t* line = filter.line(y);
        adler = libdeflate_adler32(adler, line, lineBytes);
        // At most 12 bits a byte.
        out = &output.room(lineBytes * 2);
        Coder coder {table, *out};
        tokenize(line, lineBytes, before, coder);
    }
    out = &output.room(0);
    out->put(table.codes[kEndOfBlock], table.lengths[kEndOfBlock]);
    if (!last) {
        out->put(0, 3); // a stored block, not the last
        out->align();
        out->put(0xFFFF0000u, 32); // of length 0
    }
    out->align();
    output.finish();
    return adler;
}

// The Adler-32 of two byte strings one after the other, from the Adler-32
// of each and the second one's length.
uint32_t combineAdler(uint32_t first, uint32_t second, size_t secondLength)
{
    constexpr uint64_t kBase = 65521;
    const uint64_t a1 = first & 0xFFFF, b1 = first >> 16, a2 = second & 0xFFFF, b2 = second >> 16;
    const uint64_t n = secondLength % kBase;
    const uint64_t a = (a1 + a2 + kBase - 1) % kBase;
    const uint64_t b = (b1 + b2 + n * ((a1 + kBase - 1) % kBase)) % kBase;
    return uint32_t(b << 16 | a);
}

void put32(uint8_t* at, uint32_t v)
{
    at[0] = uint8_t(v >> 24), at[1] = uint8_t(v >> 16), at[2] = uint8_t(v >> 8), at[3] = uint8_t(v);
}

void appendChunk(std::vector<uint8_t>& png, const char type[4], const uint8_t* data, size_t n)
{
    const size_t start = png.size();
    png.resize(start + 12 + n);
    put32(&png[start], uint32_t(n));
    std::memcpy(&png[start + 4], type, 4);
    if (n)
        std::memcpy(&png[start + 8], data, n);
    put32(&png[start + 8 + n], libdeflate_crc32(0, &png[start + 4], n + 4));
}

constexpr size_t kPngHead = 8 + 25; // signature and IHDR
constexpr size_t kMaxChunk = size_t(1) << 30; // far below the format's 2^31 - 1

// The zlib stream sits in `png` past an IDAT chunk's length and type; closes
// that chunk, or cuts the stream into several when it is too long for one,
// and appends IEND.
void closeChunks(std::vector<uint8_t>& png)
{
    const size_t zlibSize = png.size() - kPngHead - 8;
    if (zlibSize <= kMaxChunk) {
        put32(&png[kPngHead], uint32_t(zlibSize));
        png.resize(png.size() + 4);
        put32(&png[png.size() - 4], libdeflate_crc32(0, &png[kPngHead + 4], zlibSize + 4));
    } else {
        std::vector<uint8_t> cut(png.begin(), png.begin() + kPngHead);
        cut.reserve(png.size() + (zlibSize / kMaxChunk + 2) * 12);
        const uint8_t* zlib = png.data() + kPngHead + 8;
        for (size_t at = 0; at < zlibSize; at += kMaxChunk)
            appendChunk(cut, "IDAT", zlib + at, std::min(kMaxChunk, zlibSize - at));
        png.swap(cut);
    }
    appendChunk(png, "IEND", nullptr, 0);
}

} // namespace

namespace detail {

std::optional<std::vector<uint8_t>> encodePngWithHuffman(const Bitmap& bitmap)
{
    if (bitmap.isEmpty())
        return std::nullopt;
    const size_t width = size_t(bitmap.width()), height = size_t(bitmap.height());
    const size_t lineBytes = bitmap.bytesPerRow() + 1;
    try {
        const SampledCode code = sampledCode(bitmap);

        std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
        uint8_t ihdr[13] = {};
        put32(ihdr, uint32_t(width));
        put32(ihdr + 4, uint32_t(height));
        ihdr[8] = 8; // bits per sample
        ihdr[9] = bitmap.hasAlpha() ? 6 : 2; // truecolour with alpha, or without
        appendChunk(png, "IHDR", ihdr, sizeof ihdr);
        png.insert(png.end(), {0, 0, 0, 0, 'I', 'D', 'A', 'T'});
        png.insert(png.end(), {0x78, 0x01}); // deflate, 32 KiB window, fastest

        // A picture large enough (sideThreadsHelp) is coded in two halves at
        // once, the bottom one into a buffer of its own that is then appended.
        uint32_t adler = 0;
        const size_t split = height >= 2 && sideThreadsHelp(width * height) ? height / 2 : 0;
        bool done = false;
        if (split) {
            try {
                std::vector<uint8_t> bottom;
                uint32_t bottomAdler = 1;
                bool bottomCoded = false;
                SideThread second([&] {
                    try {
                        bottomAdler = codeRows(bitmap, code, split, height, true, bottom);
                        bottomCoded = true;
                    } catch (const std::bad_alloc&) {
                    }
                });
                uint32_t topAdler = 1;
                try {
                    topAdler = codeRows(bitmap, code, 0, split, false, png);
                } catch (...) {
                    second.join();
                    throw;
                }
                second.join();
                if (!bottomCoded)
                    throw std::bad_alloc();
                png.insert(png.end(), bottom.begin(), bottom.end());
                adler = combineAdler(topAdler, bottomAdler, (height - split) * lineBytes);
                done = true;
            } catch (const std::system_error&) {
                // No second thread: one part, below.
                png.resize(kPngHead + 8 + 2);
            }
        }
        if (!done)
            adler = codeRows(bitmap, code, 0, height, true, png);
        png.resize(png.size() + 4);
        put32(&png[png.size() - 4], adler);
        closeChunks(png);
        return png;
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

} // namespace detail
} // namespace platform
