#include "platform/ApngWriter.h"

#include <algorithm>
#include <cstring>
#include <libdeflate.h>
#include <optional>

namespace platform {
namespace {

constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

uint32_t read32(const uint8_t* p)
{
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

void put32(std::vector<uint8_t>& out, uint32_t v)
{
    out.insert(out.end(), {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)});
}

struct Chunk {
    char type[5] = {};
    std::span<const uint8_t> data;
};

// The chunks of a PNG file in order, or none when the file is not one the
// writer could have made: a signature, then whole chunks to the end. CRCs
// are not checked: the bytes come from the writer in this process.
std::optional<std::vector<Chunk>> chunksOf(std::span<const uint8_t> png)
{
    if (png.size() < 8 || std::memcmp(png.data(), kSignature, 8) != 0)
        return std::nullopt;
    std::vector<Chunk> chunks;
    for (size_t at = 8; at < png.size();) {
        if (png.size() - at < 12)
            return std::nullopt;
        const uint32_t length = read32(png.data() + at);
        if (length > png.size() - at - 12)
            return std::nullopt;
        Chunk c;
        std::memcpy(c.type, png.data() + at + 4, 4);
        c.data = png.subspan(at + 8, length);
        chunks.push_back(c);
        at += 12 + size_t(length);
    }
    return chunks;
}

} // namespace

ApngWriter::ApngWriter(
    Sink sink, uint32_t frames, uint16_t delayNumerator, uint16_t delayDenominator)
    : sink_(std::move(sink))
    , frames_(frames)
    , delayNumerator_(delayNumerator)
    , delayDenominator_(delayDenominator)
{
}

bool ApngWriter::put(const char type[4], std::span<const uint8_t> data)
{
    std::vector<uint8_t> head;
    put32(head, uint32_t(data.size()));
    head.insert(head.end(), type, type + 4);
    uint32_t crc = libdeflate_crc32(0, type, 4);
    // Never with an empty span: given no buffer, libdeflate returns a fresh CRC.
    if (!data.empty())
        crc = libdeflate_crc32(crc, data.data(), data.size());
    std::vector<uint8_t> tail;
    put32(tail, crc);
    ok_ = ok_ && sink_(head) && (data.empty() || sink_(data)) && sink_(tail);
    return ok_;
}

bool ApngWriter::putFrameControl()
{
    std::vector<uint8_t> fctl;
    put32(fctl, sequence_++);
    fctl.insert(fctl.end(), header_.begin(), header_.begin() + 8); // the whole canvas
    put32(fctl, 0); // x offset
    put32(fctl, 0); // y offset
    fctl.insert(fctl.end(),
        {uint8_t(delayNumerator_ >> 8), uint8_t(delayNumerator_), uint8_t(delayDenominator_ >> 8),
            uint8_t(delayDenominator_),
            0, // dispose: none; the next frame covers the canvas anyway
            0}); // blend: source, so that a frame replaces every pixel, alpha too
    return put("fcTL", fctl);
}

bool ApngWriter::addFrame(std::span<const uint8_t> png)
{
    if (!ok_ || added_ >= frames_)
        return ok_ = false;
    std::optional<std::vector<Chunk>> chunks = chunksOf(png);
    if (!chunks || chunks->empty() || std::strcmp(chunks->front().type, "IHDR") != 0
        || chunks->front().data.size() != 13 || chunks->front().data[12] != 0)
        return ok_ = false;
    const std::span<const uint8_t> ihdr = chunks->front().data;
    if (added_ == 0) {
        header_.assign(ihdr.begin(), ihdr.end());
        if (!sink_(std::span<const uint8_t>(kSignature, 8)) || !put("IHDR", ihdr))
            return ok_ = false;
        std::vector<uint8_t> actl;
        put32(actl, frames_);
        put32(actl, 0); // plays: 0 loops for ever
        if (!put("acTL", actl))
            return false;
    } else if (!std::equal(ihdr.begin(), ihdr.end(), header_.begin())) {
        return ok_ = false;
    }
    if (!putFrameControl())
        return false;
    for (const Chunk& c : *chunks) {
        if (std::strcmp(c.type, "IDAT") != 0)
            continue;
        if (added_ == 0) {
            if (!put("IDAT", c.data))
                return false;
            continue;
        }
        std::vector<uint8_t> fdat;
        fdat.reserve(c.data.size() + 4);
        put32(fdat, sequence_++);
        fdat.insert(fdat.end(), c.data.begin(), c.data.end());
        if (!put("fdAT", fdat))
            return false;
    }
    ++added_;
    return true;
}

bool ApngWriter::finish()
{
    return ok_ && added_ == frames_ && put("IEND", {});
}

} // namespace platform
