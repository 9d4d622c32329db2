// PngBytes: hand-built PNG byte strings for tests of what the decoders refuse:
// a file's CRC-32, and a file of one sound header claiming any size.
#pragma once

#include <cstddef>
#include <cstdint>
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

// The signature and an 8-bit RGBA IHDR claiming `width` x `height`; then,
// when `withData`, one IDAT chunk holding a single byte.
inline std::vector<uint8_t> pngClaiming(uint32_t width, uint32_t height, bool withData = true)
{
    std::vector<uint8_t> png
        = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
    auto put32 = [&](uint32_t v) {
        for (int s = 24; s >= 0; s -= 8)
            png.push_back(uint8_t(v >> s));
    };
    put32(width);
    put32(height);
    png.insert(png.end(), {8, 6, 0, 0, 0});
    put32(crc32(png.data() + 12, 17));
    if (withData) {
        png.insert(png.end(), {0, 0, 0, 1, 'I', 'D', 'A', 'T', 0x78});
        put32(crc32(png.data() + png.size() - 5, 5));
    }
    return png;
}

} // namespace testing_support
