// Drives a UMBDataBuffer's readers (and a few writers) over arbitrary bytes
// and checks, after every operation, that it obeyed the read and write
// rules: a success moves the position by exactly what it transferred and
// returns the bytes that were there; a range error changes nothing. Any
// other exception, or a broken rule, is a crash.
#include "platform/Text.h"
#include "umb/UMBDataBuffer.h"

#include <algorithm>
#include <cstring>
#include <fuzzer/FuzzedDataProvider.h>
#include <limits>

using umb::DataBufferRangeError;
using umb::UMBDataBuffer;

namespace {

void require(bool condition)
{
    if (!condition)
        __builtin_trap();
}

// The bytes a read of `count` at `position` must return, or none when the
// read rule forbids it.
std::optional<UMBDataBuffer::Bytes> expectedRead(
    const UMBDataBuffer::Bytes& contents, std::intptr_t position, std::size_t count)
{
    if (position < 0 || static_cast<std::uintptr_t>(position) > contents.size()
        || count > contents.size() - static_cast<std::size_t>(position))
        return std::nullopt;
    return UMBDataBuffer::Bytes(contents.begin() + position,
        contents.begin() + position + static_cast<std::ptrdiff_t>(count));
}

// Decodes `bytes` as the buffer should for a value of their width.
template<typename T> T decode(UMBDataBuffer::Bytes bytes, bool bigEndian)
{
    if (bigEndian)
        std::reverse(bytes.begin(), bytes.end());
    uint64_t bits = 0;
    for (std::size_t i = bytes.size(); i-- > 0;)
        bits = (bits << 8) | bytes[i];
    T value;
    if constexpr (sizeof(T) == 1) {
        auto narrow = static_cast<uint8_t>(bits);
        std::memcpy(&value, &narrow, 1);
    } else if constexpr (sizeof(T) == 2) {
        auto narrow = static_cast<uint16_t>(bits);
        std::memcpy(&value, &narrow, 2);
    } else if constexpr (sizeof(T) == 4) {
        auto narrow = static_cast<uint32_t>(bits);
        std::memcpy(&value, &narrow, 4);
    } else {
        std::memcpy(&value, &bits, 8);
    }
    return value;
}

template<typename T> bool sameBits(T a, T b)
{
    return std::memcmp(&a, &b, sizeof(T)) == 0;
}

class Driver {
public:
    Driver(FuzzedDataProvider& in, UMBDataBuffer& buffer)
        : in_(in)
        , buffer_(buffer)
    {
    }

    void step()
    {
        before_ = buffer_.bufferData();
        position_ = buffer_.getFilePointer();
        switch (in_.ConsumeIntegralInRange<int>(0, 17)) {
        case 0:
            typed<int8_t>([](auto& b) { return b.readChar(); });
            break;
        case 1:
            typed<int16_t>([](auto& b) { return b.readShort(); });
            break;
        case 2:
            typed<int32_t>([](auto& b) { return b.readInt(); });
            break;
        case 3:
            typed<std::intptr_t>([](auto& b) { return b.readLong(); });
            break;
        case 4:
            typed<float>([](auto& b) { return b.readFloat(); });
            break;
        case 5:
            typed<double>([](auto& b) { return b.readDouble(); });
            break;
        case 6:
            raw();
            break;
        case 7:
            readString();
            break;
        case 8:
            readUTF();
            break;
        case 9:
            readLine();
            break;
        case 10:
            extractRange();
            break;
        case 11:
            slice();
            break;
        case 12:
            buffer_.seek(position());
            break;
        case 13:
            buffer_.setByteOrder(in_.ConsumeIntegralInRange<int32_t>(-1, 2));
            break;
        case 14:
            remaining();
            break;
        case 15:
            write();
            break;
        case 16:
            writeUTF();
            break;
        case 17:
            setToLength();
            break;
        }
    }

private:
    bool bigEndian() const { return buffer_.byteorder() == 1; }

    // Mostly positions near the contents, sometimes anything at all.
    std::intptr_t position()
    {
        if (in_.ConsumeBool())
            return in_.ConsumeIntegral<std::intptr_t>();
        return in_.ConsumeIntegralInRange<std::intptr_t>(
            -4, static_cast<std::intptr_t>(before_.size()) + 4);
    }

    void unchanged() const
    {
        require(buffer_.bufferData() == before_);
        require(buffer_.getFilePointer() == position_);
    }

    void movedBy(std::size_t count) const
    {
        require(buffer_.bufferData() == before_);
        require(buffer_.getFilePointer() == position_ + static_cast<std::intptr_t>(count));
    }

    template<typename T, typename Read> void typed(Read read)
    {
        auto expected = expectedRead(before_, position_, sizeof(T));
        try {
            T value = read(buffer_);
            require(expected.has_value());
            require(sameBits(value, decode<T>(*expected, bigEndian())));
            movedBy(sizeof(T));
        } catch (const DataBufferRangeError&) {
            require(!expected);
            unchanged();
        }
    }

    void raw()
    {
        auto count = in_.ConsumeIntegralInRange<int32_t>(-2, 64);
        auto expected = count < 0
            ? std::nullopt
            : expectedRead(before_, position_, static_cast<std::size_t>(count));
        UMBDataBuffer::Bytes out(64);
        try {
            require(buffer_.read(out.data(), count) == count);
            require(expected && std::equal(expected->begin(), expected->end(), out.begin()));
            movedBy(static_cast<std::size_t>(count));
        } catch (const DataBufferRangeError&) {
            require(!expected);
            unchanged();
        }
    }

    void readString()
    {
        auto count = in_.ConsumeIntegralInRange<int32_t>(-2, 64);
        auto expected = count < 0
            ? std::nullopt
            : expectedRead(before_, position_, static_cast<std::size_t>(count));
        try {
            auto text = buffer_.readString(count);
            require(expected.has_value());
            if (text)
                require(UMBDataBuffer::Bytes(text->begin(), text->end()) == *expected);
            movedBy(static_cast<std::size_t>(count));
        } catch (const DataBufferRangeError&) {
            require(!expected);
            unchanged();
        }
    }

    void readUTF()
    {
        auto prefix = expectedRead(before_, position_, 2);
        try {
            auto text = buffer_.readUTF();
            require(prefix.has_value());
            auto count = decode<int16_t>(*prefix, bigEndian());
            require(count >= 0);
            auto body = expectedRead(before_, position_ + 2, static_cast<std::size_t>(count));
            require(body.has_value());
            if (text)
                require(UMBDataBuffer::Bytes(text->begin(), text->end()) == *body);
            movedBy(2 + static_cast<std::size_t>(count));
        } catch (const DataBufferRangeError&) {
            // The prefix stays consumed when it could be read.
            require(buffer_.bufferData() == before_);
            require(buffer_.getFilePointer() == (prefix ? position_ + 2 : position_));
        }
    }

    void readLine()
    {
        auto line = buffer_.readLine();
        require(buffer_.bufferData() == before_);
        if (position_ < 0 || static_cast<std::uintptr_t>(position_) >= before_.size()) {
            require(line && line->empty());
            unchanged();
            return;
        }
        auto from = before_.begin() + position_;
        auto lineFeed = std::find(from, before_.end(), '\n');
        auto end = lineFeed == before_.end() ? lineFeed : lineFeed + 1;
        movedBy(static_cast<std::size_t>(end - from));
        // Trimmed text is a part of the line, and never holds its line feed.
        require(line.has_value() == platform::isValidUtf8(std::string(from, end)));
        if (line) {
            UMBDataBuffer::Bytes text(line->begin(), line->end());
            require(line->find('\n') == std::string::npos
                && std::search(from, end, text.begin(), text.end()) != end);
        }
    }

    void extractRange()
    {
        auto start = in_.ConsumeBool() ? in_.ConsumeIntegral<std::uintptr_t>()
                                       : in_.ConsumeIntegralInRange<std::uintptr_t>(0, 80);
        auto length = in_.ConsumeBool() ? in_.ConsumeIntegral<std::uintptr_t>()
                                        : in_.ConsumeIntegralInRange<std::uintptr_t>(0, 80);
        bool inside = start <= before_.size() && length <= before_.size() - start
            && position_
                <= std::numeric_limits<std::intptr_t>::max() - static_cast<std::intptr_t>(length);
        try {
            auto out = buffer_.extractRange(start, length);
            require(inside);
            require(std::equal(out.begin(), out.end(), before_.begin() + start)
                && out.size() == length);
            movedBy(length);
        } catch (const DataBufferRangeError&) {
            require(!inside);
            unchanged();
        }
    }

    void slice()
    {
        bool inside = position_ >= 0 && static_cast<std::uintptr_t>(position_) <= before_.size();
        try {
            auto out = buffer_.slice();
            require(
                inside && out == UMBDataBuffer::Bytes(before_.begin() + position_, before_.end()));
            unchanged();
        } catch (const DataBufferRangeError&) {
            require(!inside);
            unchanged();
        }
    }

    void remaining() const
    {
        int32_t r = buffer_.remaining();
        require(r
            == static_cast<int32_t>(
                static_cast<uint32_t>(before_.size()) - static_cast<uint32_t>(position_)));
        require(buffer_.hasRemaining()
            == (position_ >= 0 && static_cast<std::uintptr_t>(position_) < before_.size()));
    }

    // The write rule: at the end an append, before it an overwrite that may
    // grow the contents, anywhere else nothing.
    void checkWritten(const UMBDataBuffer::Bytes& bytes, bool refused)
    {
        bool allowed = position_ >= 0 && static_cast<std::uintptr_t>(position_) <= before_.size();
        if (refused) {
            unchanged();
            return;
        }
        require(allowed);
        auto p = static_cast<std::size_t>(position_);
        UMBDataBuffer::Bytes expected = before_;
        if (expected.size() < p + bytes.size())
            expected.resize(p + bytes.size());
        std::copy(bytes.begin(), bytes.end(), expected.begin() + static_cast<std::ptrdiff_t>(p));
        require(buffer_.bufferData() == expected);
        require(buffer_.getFilePointer() == position_ + static_cast<std::intptr_t>(bytes.size()));
    }

    void write()
    {
        auto bytes = in_.ConsumeBytes<uint8_t>(in_.ConsumeIntegralInRange<std::size_t>(0, 16));
        bool allowed = position_ >= 0 && static_cast<std::uintptr_t>(position_) <= before_.size();
        try {
            buffer_.write(bytes.data(), static_cast<int32_t>(bytes.size()));
            checkWritten(bytes, false);
        } catch (const DataBufferRangeError&) {
            require(!allowed);
            checkWritten(bytes, true);
        }
    }

    void writeUTF()
    {
        std::string text = in_.ConsumeRandomLengthString(24);
        std::string stored = text.substr(0, text.find('\0'));
        bool allowed = position_ >= 0 && static_cast<std::uintptr_t>(position_) <= before_.size()
            && platform::isValidUtf8(stored);
        try {
            buffer_.writeUTF(text);
            require(allowed);
            UMBDataBuffer::Bytes bytes(2);
            auto count = static_cast<uint16_t>(stored.size());
            bytes[bigEndian() ? 1 : 0] = static_cast<uint8_t>(count);
            bytes[bigEndian() ? 0 : 1] = static_cast<uint8_t>(count >> 8);
            bytes.insert(bytes.end(), stored.begin(), stored.end());
            checkWritten(bytes, false);
        } catch (const DataBufferRangeError&) {
            require(!allowed);
            unchanged();
        }
    }

    void setToLength()
    {
        auto n = in_.ConsumeIntegralInRange<int32_t>(-1, 96);
        try {
            buffer_.setToLength(n);
            require(n >= 0 && buffer_.length() == n);
            require(buffer_.getFilePointer() == position_);
        } catch (const DataBufferRangeError&) {
            require(n < 0);
            unchanged();
        }
    }

    FuzzedDataProvider& in_;
    UMBDataBuffer& buffer_;
    UMBDataBuffer::Bytes before_;
    std::intptr_t position_ = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider in(data, size);
    // The contents come from the front of the input, the operations that
    // work on them from the back.
    auto contentsLength = in.ConsumeIntegralInRange<std::size_t>(0, in.remaining_bytes());
    UMBDataBuffer buffer(in.ConsumeBytes<uint8_t>(contentsLength));
    Driver driver(in, buffer);
    for (int steps = 0; steps < 256 && in.remaining_bytes() > 0; ++steps)
        driver.step();
    return 0;
}
