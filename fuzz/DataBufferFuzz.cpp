// Drives a UMBDataBuffer's readers and writers over arbitrary bytes and
// positions and checks, after every operation, the buffer's rules: a read
// leaves the contents alone and moves the position by exactly what it took,
// the bytes that were there; a write overwrites or appends at a position
// inside the contents or at their end; a range error changes nothing. Any
// other exception, or a broken rule, is a crash.
#include "platform/Text.h"
#include "support/FuzzCheck.h"
#include "umb/UMBDataBuffer.h"

#include <algorithm>
#include <fuzzer/FuzzedDataProvider.h>

using fuzz_support::require;
using umb::DataBufferRangeError;
using umb::UMBDataBuffer;
using Bytes = UMBDataBuffer::Bytes;

namespace {

// The `count` bytes at `position` of `contents`, or none outside them.
std::optional<Bytes> at(const Bytes& contents, std::intptr_t position, std::size_t count)
{
    if (position < 0 || std::size_t(position) > contents.size()
        || count > contents.size() - std::size_t(position))
        return std::nullopt;
    return Bytes(contents.begin() + position, contents.begin() + position + std::ptrdiff_t(count));
}

Bytes bytesOf(const std::optional<std::string>& text)
{
    return text ? Bytes(text->begin(), text->end()) : Bytes {};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The contents come from the front of the input, the operations on them
    // from the back.
    FuzzedDataProvider in(data, size);
    UMBDataBuffer buffer(in.ConsumeBytes<uint8_t>(in.ConsumeIntegralInRange<size_t>(0, size)));
    for (int steps = 0; steps < 256 && in.remaining_bytes() > 0; ++steps) {
        const Bytes before = buffer.bufferData();
        const std::intptr_t p = buffer.getFilePointer();
        const bool inside = p >= 0 && std::size_t(p) <= before.size();
        const int op = in.ConsumeIntegralInRange<int>(0, 15);
        const auto n = in.ConsumeIntegralInRange<int32_t>(-2, 64);
        // A read of `count` bytes is refused outside the contents; inside,
        // it moves the position past them.
        auto read = [&](std::size_t count, auto transfer) {
            auto expected = at(before, p, count);
            try {
                auto out = transfer();
                require(expected.has_value());
                require(buffer.getFilePointer() == p + std::intptr_t(count));
                return out;
            } catch (const DataBufferRangeError&) {
                require(!expected && buffer.getFilePointer() == p);
                return decltype(transfer()) {};
            }
        };
        // A write of `bytes` lands at the position, growing the contents as
        // needed, only from inside them or their end (and when `allowed`).
        auto write = [&](const Bytes& bytes, bool allowed, auto transfer) {
            try {
                transfer();
                require(inside && allowed);
                Bytes expected = before;
                expected.resize(std::max(before.size(), std::size_t(p) + bytes.size()));
                std::copy(bytes.begin(), bytes.end(), expected.begin() + p);
                require(buffer.bufferData() == expected);
                require(buffer.getFilePointer() == p + std::intptr_t(bytes.size()));
            } catch (const DataBufferRangeError&) {
                require(!(inside && allowed) && buffer.getFilePointer() == p);
                require(buffer.bufferData() == before);
            }
        };
        switch (op) {
        case 0:
            read(1, [&] { return buffer.readChar(); });
            break;
        case 1:
            read(2, [&] { return buffer.readShort(); });
            break;
        case 2:
            read(4, [&] { return buffer.readFloat(); });
            break;
        case 3:
            read(sizeof(std::intptr_t), [&] { return buffer.readLong(); });
            break;
        case 4: {
            Bytes out(64);
            read(std::size_t(n), [&] { return buffer.read(out.data(), n); });
            if (n >= 0 && buffer.getFilePointer() != p)
                require(Bytes(out.begin(), out.begin() + n) == *at(before, p, std::size_t(n)));
            break;
        }
        case 5: {
            auto text = read(std::size_t(n), [&] { return buffer.readString(n); });
            if (text)
                require(bytesOf(text) == *at(before, p, std::size_t(n)));
            break;
        }
        case 6: {
            // A 16-bit count in the buffer's byte order, then that many bytes.
            auto prefix = at(before, p, 2);
            std::size_t count = SIZE_MAX;
            if (prefix) {
                bool big = buffer.byteorder() == 1;
                auto c = int16_t((*prefix)[big ? 0 : 1] << 8 | (*prefix)[big ? 1 : 0]);
                count = c < 0 ? SIZE_MAX : 2 + std::size_t(c);
            }
            try {
                auto text = buffer.readUTF();
                require(count != SIZE_MAX && buffer.getFilePointer() == p + std::intptr_t(count));
                require(!text || bytesOf(text) == *at(before, p + 2, count - 2));
            } catch (const DataBufferRangeError&) {
                // The prefix stays consumed when it could be read.
                require(!at(before, p, count) && buffer.getFilePointer() == p + (prefix ? 2 : 0));
            }
            break;
        }
        case 7: {
            // Up to and past the next line feed; trimmed text never holds it.
            auto line = buffer.readLine();
            std::size_t rest = inside ? before.size() - std::size_t(p) : 0;
            auto from = before.begin() + (rest ? p : 0);
            auto end = std::find(from, from + std::ptrdiff_t(rest), '\n');
            end += end != from + std::ptrdiff_t(rest);
            require(buffer.getFilePointer() == p + (end - from));
            require(line.has_value() == platform::isValidUtf8(std::string(from, end)));
            require(!line || (line->find('\n') == std::string::npos && (rest || line->empty())));
            break;
        }
        case 8: {
            auto start = in.ConsumeIntegralInRange<std::uintptr_t>(0, 80);
            auto length = std::size_t(n);
            auto expected
                = start <= before.size() ? at(before, std::intptr_t(start), length) : std::nullopt;
            // The position moves by the length, and must not overflow.
            bool room = p <= INTPTR_MAX - std::intptr_t(std::min<std::size_t>(length, INTPTR_MAX));
            try {
                auto out = buffer.extractRange(start, length);
                require(expected && room && out == *expected);
                require(buffer.getFilePointer() == p + std::intptr_t(length));
            } catch (const DataBufferRangeError&) {
                require((!expected || !room) && buffer.getFilePointer() == p);
            }
            break;
        }
        case 9:
            read(0, [&] { return buffer.slice(); });
            if (inside)
                require(buffer.slice() == *at(before, p, before.size() - std::size_t(p)));
            break;
        case 10:
            buffer.seek(in.ConsumeBool() ? in.ConsumeIntegral<std::intptr_t>()
                                         : in.ConsumeIntegralInRange<std::intptr_t>(-4, 84));
            break;
        case 11:
            buffer.setByteOrder(in.ConsumeIntegralInRange<int32_t>(-1, 2));
            break;
        case 12:
            require(buffer.remaining() == int32_t(uint32_t(before.size()) - uint32_t(p)));
            require(buffer.hasRemaining() == (inside && std::size_t(p) < before.size()));
            break;
        case 13: {
            auto bytes = in.ConsumeBytes<uint8_t>(std::size_t(std::max(n, 0)) % 17);
            write(bytes, true, [&] { buffer.write(bytes.data(), int32_t(bytes.size())); });
            break;
        }
        case 14: {
            std::string text = in.ConsumeRandomLengthString(24);
            std::string stored = text.substr(0, text.find('\0'));
            bool big = buffer.byteorder() == 1;
            auto count = uint8_t(stored.size());
            Bytes bytes = {big ? uint8_t(0) : count, big ? count : uint8_t(0)};
            bytes.insert(bytes.end(), stored.begin(), stored.end());
            write(bytes, platform::isValidUtf8(stored), [&] { buffer.writeUTF(text); });
            break;
        }
        case 15:
            try {
                buffer.setToLength(n);
                require(n >= 0 && buffer.length() == n);
            } catch (const DataBufferRangeError&) {
                require(n < 0 && buffer.bufferData() == before);
            }
            require(buffer.getFilePointer() == p);
            break;
        }
        // Only writes and setToLength change the contents.
        if (op < 13)
            require(buffer.bufferData() == before);
    }
    return 0;
}
