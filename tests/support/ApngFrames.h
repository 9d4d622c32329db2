// ApngFrames: a small reader of animated PNG files for tests. It checks every
// chunk's CRC and the sequence numbers of fcTL and fdAT, and gives each frame
// back as a plain PNG file (the IHDR, the frame's data as IDAT) that any PNG
// decoder reads.
#pragma once

#include "support/PngBytes.h"

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace testing_support {

struct Apng {
    uint32_t frameCount = 0, plays = 0; // from acTL
    std::vector<uint16_t> delayNumerators, delayDenominators; // from each fcTL
    std::vector<std::vector<uint8_t>> frames; // each frame as a PNG file
    bool defaultImageIsFirstFrame = false; // an fcTL came before the IDAT
};

// The animation in `file`, or none with `why` set when it is malformed.
inline std::optional<Apng> readApng(const std::vector<uint8_t>& file, std::string& why)
{
    static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (file.size() < 8 || std::memcmp(file.data(), kSignature, 8) != 0)
        return why = "no PNG signature", std::nullopt;
    Apng apng;
    std::vector<uint8_t> ihdr;
    std::vector<std::vector<uint8_t>> data; // each frame's zlib stream
    uint32_t sequence = 0;
    bool ended = false;
    for (size_t at = 8; at < file.size();) {
        if (file.size() - at < 12)
            return why = "a truncated chunk", std::nullopt;
        const uint32_t n = bigEndian32(&file[at]);
        if (n > file.size() - at - 12)
            return why = "a chunk longer than the file", std::nullopt;
        const std::string type(reinterpret_cast<const char*>(&file[at + 4]), 4);
        const uint8_t* d = &file[at + 8];
        if (crc32(&file[at + 4], n + 4) != bigEndian32(d + n))
            return why = "a bad CRC in " + type, std::nullopt;
        auto nextSequence = [&] { return n >= 4 && bigEndian32(d) == sequence++; };
        if (type == "IHDR") {
            ihdr.assign(d, d + n);
        } else if (type == "acTL" && n == 8) {
            apng.frameCount = bigEndian32(d);
            apng.plays = bigEndian32(d + 4);
        } else if (type == "fcTL") {
            if (n != 26 || !nextSequence())
                return why = "a bad fcTL", std::nullopt;
            if (std::memcmp(d + 4, ihdr.data(), 8) != 0 || bigEndian32(d + 12)
                || bigEndian32(d + 16))
                return why = "a frame not covering the canvas", std::nullopt;
            apng.delayNumerators.push_back(uint16_t(d[20] << 8 | d[21]));
            apng.delayDenominators.push_back(uint16_t(d[22] << 8 | d[23]));
            data.emplace_back();
        } else if (type == "IDAT") {
            if (data.size() > 1)
                return why = "IDAT after the first frame", std::nullopt;
            apng.defaultImageIsFirstFrame = data.size() == 1;
            if (data.size() == 1)
                data.back().insert(data.back().end(), d, d + n);
        } else if (type == "fdAT") {
            if (data.size() < 2 || !nextSequence())
                return why = "a bad fdAT", std::nullopt;
            data.back().insert(data.back().end(), d + 4, d + n);
        } else if (type == "IEND") {
            ended = true;
        }
        at += 12 + size_t(n);
    }
    if (!ended)
        return why = "no IEND", std::nullopt;
    for (const auto& stream : data) {
        std::vector<uint8_t> png(kSignature, kSignature + 8);
        appendChunk(png, "IHDR", ihdr.data(), ihdr.size());
        appendChunk(png, "IDAT", stream.data(), stream.size());
        appendChunk(png, "IEND", nullptr, 0);
        apng.frames.push_back(std::move(png));
    }
    return apng;
}

} // namespace testing_support
