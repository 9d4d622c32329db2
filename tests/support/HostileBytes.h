// HostileBytes: byte strings and pictures for tests of what the decoders and
// the plug-in refuse: headers that lie about their size, progressive JPEGs of
// thousands of scans, property lists written by hand. Everything is returned
// by value; nothing is kept between calls.
#pragma once

#include "platform/Bitmap.h"
#include "platform/Color.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace testing_support {

inline std::vector<uint8_t> bytesOf(const std::string& s)
{
    return {s.begin(), s.end()};
}

// A picture whose every pixel differs from its neighbours, so that a decoder
// or an encoder that drops a row, a column or a channel is seen. `red` sets
// the red channel throughout, to tell pictures apart; `alphaSteps` above 1
// makes the alpha vary by column in that many steps.
inline platform::Bitmap gradient(
    int w, int h, platform::PixelFormat format, double red = -1, int alphaSteps = 1)
{
    platform::Bitmap b(w, h, format);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b.setColorAt(x, y,
                platform::Color::deviceRGB(red < 0 ? x / double(w) : red, y / double(h), 0.5,
                    alphaSteps > 1 ? (x % alphaSteps) / double(alphaSteps - 1) : 1.0));
    return b;
}

// A picture of noise, every sample drawn from `seed`: nothing for a
// compressor to find, and any sample moved shows.
inline platform::Bitmap noise(int w, int h, platform::PixelFormat format, uint32_t seed = 1)
{
    platform::Bitmap b(w, h, format);
    for (size_t i = 0; i < b.byteCount(); ++i) {
        seed = seed * 1103515245u + 12345u;
        b.data()[i] = uint8_t(seed >> 23);
    }
    return b;
}

// The JPEG with its frame header (SOF0 or SOF2) claiming `width` x `height`;
// unchanged when it has no frame header.
inline std::vector<uint8_t> jpegClaiming(std::vector<uint8_t> jpeg, uint16_t width, uint16_t height)
{
    for (size_t i = 2; i + 9 < jpeg.size(); ++i) {
        if (jpeg[i] == 0xFF && (jpeg[i + 1] == 0xC0 || jpeg[i + 1] == 0xC2)) {
            jpeg[i + 5] = uint8_t(height >> 8);
            jpeg[i + 6] = uint8_t(height);
            jpeg[i + 7] = uint8_t(width >> 8);
            jpeg[i + 8] = uint8_t(width);
            break;
        }
    }
    return jpeg;
}

// A progressive JPEG whose scans are repeated `copies` times: each scan is
// cheap to store and costly to decode, so a decoder without a scan limit
// spends minutes on a few hundred kilobytes.
inline std::vector<uint8_t> scanBomb(const std::vector<uint8_t>& progressive, int copies)
{
    const uint8_t sos[2] = {0xFF, 0xDA};
    auto first = std::search(progressive.begin(), progressive.end(), sos, sos + 2);
    std::vector<uint8_t> scans(first, progressive.end() - 2);
    std::vector<uint8_t> bomb(progressive.begin(), first);
    for (int i = 0; i < copies; ++i)
        bomb.insert(bomb.end(), scans.begin(), scans.end());
    bomb.insert(bomb.end(), {0xFF, 0xD9});
    return bomb;
}

// An XML property list around `body` (one element: `<dict>...</dict>`).
inline std::string xmlPlist(const std::string& body)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n" + body
        + "\n</plist>\n";
}

} // namespace testing_support
