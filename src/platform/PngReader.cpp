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

// Undoes the filter of one row of `n` bytes into `out`, with `prev` the row
// above already undone (zeros for the first row). False for an unknown type.
template<size_t Bpp>
bool unfilterRow(int type, const uint8_t* in, const uint8_t* prev, size_t n, uint8_t* out)
{
    switch (type) {
    case 0:
        std::memcpy(out, in, n);
        return true;
    case 1:
        for (size_t i = 0; i < n; ++i)
            out[i] = uint8_t(in[i] + (i >= Bpp ? out[i - Bpp] : 0));
        return true;
    case 2:
        for (size_t i = 0; i < n; ++i)
            out[i] = uint8_t(in[i] + prev[i]);
        return true;
    case 3:
        for (size_t i = 0; i < n; ++i) {
            unsigned left = i >= Bpp ? out[i - Bpp] : 0;
            out[i] = uint8_t(in[i] + ((left + prev[i]) >> 1));
        }
        return true;
    case 4:
        for (size_t i = 0; i < n; ++i) {
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
    std::unique_ptr<uint8_t[]> raw(new (std::nothrow) uint8_t[rawBytes]);
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

    auto bitmap
        = Bitmap::tryCreate(int(width), int(height), alpha ? PixelFormat::RGBA : PixelFormat::RGB);
    if (!bitmap)
        return std::nullopt;
    const std::vector<uint8_t> zeros(rowBytes, 0);
    for (size_t y = 0; y < height; ++y) {
        const uint8_t* line = raw.get() + y * (rowBytes + 1);
        const uint8_t* prev = y ? bitmap->data() + (y - 1) * rowBytes : zeros.data();
        uint8_t* out = bitmap->data() + y * rowBytes;
        bool known = alpha ? unfilterRow<4>(line[0], line + 1, prev, rowBytes, out)
                           : unfilterRow<3>(line[0], line + 1, prev, rowBytes, out);
        if (!known)
            return std::nullopt;
    }
    if (alpha)
        premultiplyRows(bitmap->data(), size_t(width) * size_t(height));
    return bitmap;
}

} // namespace detail
} // namespace platform
