#include "platform/PixelConvert.h"

#include <array>

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
    const Table& t = premultiplyTable();
    for (size_t i = 0; i < count; ++i, rgba += 4) {
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
