// PngBytes: hand-built and rewritten PNG byte strings for tests of the
// readers and of what they refuse: a file's CRC-32, chunks, a file of one
// sound header claiming any size, and an encoded file re-chunked.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace testing_support {

// PNG's CRC-32 (ISO 3309), bit by bit: slow and obviously right.
inline uint32_t crc32(const uint8_t* p, size_t n)
{
    uint32_t c = 0xFFFFFFFFu;
    for (size_t i = 0; i < n; ++i) {
        c ^= p[i];
        for (int k = 0; k < 8; ++k)
            c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1)));
    }
    return ~c;
}

inline uint32_t bigEndian32(const uint8_t* p)
{
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

inline void appendChunk(std::vector<uint8_t>& out, const char* type, const uint8_t* data, size_t n)
{
    for (int s = 24; s >= 0; s -= 8)
        out.push_back(uint8_t(n >> s));
    const size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data, data + n);
    const uint32_t crc = crc32(out.data() + start, n + 4);
    for (int s = 24; s >= 0; s -= 8)
        out.push_back(uint8_t(crc >> s));
}

// The signature and an 8-bit RGBA IHDR claiming `width` x `height`; then,
// when `withData`, one IDAT chunk holding a single byte.
inline std::vector<uint8_t> pngClaiming(uint32_t width, uint32_t height, bool withData = true)
{
    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    const uint8_t ihdr[13] = {uint8_t(width >> 24), uint8_t(width >> 16), uint8_t(width >> 8),
        uint8_t(width), uint8_t(height >> 24), uint8_t(height >> 16), uint8_t(height >> 8),
        uint8_t(height), 8, 6, 0, 0, 0};
    appendChunk(png, "IHDR", ihdr, 13);
    const uint8_t data = 0x78;
    if (withData)
        appendChunk(png, "IDAT", &data, 1);
    return png;
}

// The same PNG with its zlib stream cut into IDATs of `piece` bytes, with a
// text chunk after IHDR when asked (the platform's own reader leaves such
// files to libspng), and the stream's byte `flip` changed, every CRC made
// good.
inline std::vector<uint8_t> rebuilt(
    const std::vector<uint8_t>& png, size_t piece, bool withText, size_t flip = SIZE_MAX)
{
    std::vector<uint8_t> out(png.begin(), png.begin() + 8), zlib;
    for (size_t at = 8; at + 12 <= png.size();) {
        const size_t n = bigEndian32(&png[at]);
        if (std::string(png.begin() + long(at) + 4, png.begin() + long(at) + 8) == "IDAT")
            zlib.insert(zlib.end(), png.begin() + long(at) + 8, png.begin() + long(at + 8 + n));
        at += 12 + n;
    }
    if (flip < zlib.size())
        zlib[flip] ^= 0x10;
    appendChunk(out, "IHDR", &png[16], 13);
    if (withText)
        appendChunk(out, "tEXt", reinterpret_cast<const uint8_t*>("Comment\0test"), 12);
    for (size_t at = 0; at < zlib.size(); at += piece)
        appendChunk(out, "IDAT", zlib.data() + at, std::min(piece, zlib.size() - at));
    appendChunk(out, "IEND", nullptr, 0);
    return out;
}

} // namespace testing_support
