#include "umb/UMBDataBuffer.h"

#include "platform/FileURL.h"
#include "platform/Files.h"
#include "platform/Text.h"

#include <bit>
#include <cstring>
#include <functional>
#include <limits>

namespace umb {

namespace {

constexpr std::intptr_t kMaxPosition = std::numeric_limits<std::intptr_t>::max();

// Stored texts carry a signed 16-bit byte count.
constexpr std::size_t kMaxUTFBytes = 32767;

template<typename Unsigned> constexpr Unsigned reverseBytes(Unsigned value)
{
    Unsigned out = 0;
    for (std::size_t i = 0; i < sizeof(Unsigned); ++i) {
        out = static_cast<Unsigned>((out << 8) | (value & 0xFF));
        value = static_cast<Unsigned>(value >> 8);
    }
    return out;
}

[[noreturn]] void fail(const char* what, const std::string& why)
{
    throw DataBufferRangeError(std::string("UMBDataBuffer::") + what + ": " + why);
}

std::string placeText(std::size_t count, std::intptr_t position, std::size_t length)
{
    return std::to_string(count) + " bytes at position " + std::to_string(position)
        + " with contents of length " + std::to_string(length);
}

void rejectNegative(int32_t count, const char* what)
{
    if (count < 0)
        fail(what, "negative count " + std::to_string(count));
}

// A file that cannot be read is an empty buffer: the contract has no room
// for the reason.
UMBDataBuffer::Bytes contentsOf(const std::string& path)
{
    return platform::readFile(path).value_or(UMBDataBuffer::Bytes {});
}

} // namespace

UMBDataBuffer::UMBDataBuffer(std::span<const uint8_t> bytes)
    : data_(bytes.begin(), bytes.end())
{
}

UMBDataBuffer UMBDataBuffer::initWithFile(const std::string& path)
{
    UMBDataBuffer buffer;
    buffer.data_ = contentsOf(path);
    return buffer;
}

UMBDataBuffer UMBDataBuffer::initWithURL(const std::string& url)
{
    UMBDataBuffer buffer;
    if (platform::ErrorOr<std::string> path = platform::localPathForURL(url))
        buffer.data_ = contentsOf(*path);
    return buffer;
}

void UMBDataBuffer::setFilePath(const std::string& path)
{
    erase();
    data_ = contentsOf(path);
}

// --- the read rule, the write rule ------------------------------------------

void UMBDataBuffer::checkRead(std::size_t count, const char* what) const
{
    // Compared so that no sum can wrap: a huge position or count never lands
    // back inside the contents.
    std::intptr_t p = filepointer_;
    if (p < 0 || static_cast<std::uintptr_t>(p) > data_.size()
        || count > data_.size() - static_cast<std::size_t>(p))
        fail(what, "read of " + placeText(count, p, data_.size()));
}

void UMBDataBuffer::checkWrite(std::size_t count, const char* what) const
{
    std::intptr_t p = filepointer_;
    if (p < 0 || static_cast<std::uintptr_t>(p) > data_.size())
        fail(what, "write of " + placeText(count, p, data_.size()));
    if (count > static_cast<std::uintptr_t>(kMaxPosition - p))
        fail(
            what, "write of " + placeText(count, p, data_.size()) + " passes the largest position");
}

void UMBDataBuffer::put(const uint8_t* source, std::size_t count)
{
    auto p = static_cast<std::size_t>(filepointer_);
    if (count > 0) {
        std::size_t end = p + count;
        if (end > data_.size()) {
            // Growing may move the array; a source inside it (a write of the
            // buffer's own bytes) is found again by its offset.
            const uint8_t* begin = data_.data();
            bool inside = !data_.empty() && std::greater_equal<const uint8_t*>()(source, begin)
                && std::less<const uint8_t*>()(source, begin + data_.size());
            std::size_t offset = inside ? static_cast<std::size_t>(source - begin) : 0;
            data_.resize(end);
            if (inside)
                source = data_.data() + offset;
        }
        std::memmove(data_.data() + p, source, count);
    }
    filepointer_ += static_cast<std::intptr_t>(count);
}

// --- contents ---------------------------------------------------------------

UMBDataBuffer::Bytes UMBDataBuffer::slice() const
{
    std::intptr_t p = filepointer_;
    if (p < 0 || static_cast<std::uintptr_t>(p) > data_.size())
        fail("slice",
            "position " + std::to_string(p) + " outside contents of length "
                + std::to_string(data_.size()));
    return Bytes(data_.begin() + p, data_.end());
}

UMBDataBuffer::Bytes UMBDataBuffer::extractRange(std::uintptr_t start, std::uintptr_t length)
{
    if (start > data_.size() || length > data_.size() - start)
        fail("extractRange",
            "range of " + std::to_string(length) + " bytes from " + std::to_string(start)
                + " outside contents of length " + std::to_string(data_.size()));
    // The position moves by the length wherever the range lies; refuse a move
    // that would wrap it.
    if (filepointer_ > kMaxPosition - static_cast<std::intptr_t>(length))
        fail("extractRange", "position " + std::to_string(filepointer_) + " cannot advance");
    Bytes out(data_.begin() + static_cast<std::ptrdiff_t>(start),
        data_.begin() + static_cast<std::ptrdiff_t>(start + length));
    filepointer_ += static_cast<std::intptr_t>(length);
    return out;
}

int32_t UMBDataBuffer::read(void* destination, int32_t count)
{
    rejectNegative(count, "read");
    checkRead(static_cast<std::size_t>(count), "read");
    if (count > 0)
        std::memcpy(destination, data_.data() + filepointer_, static_cast<std::size_t>(count));
    filepointer_ += count;
    return count;
}

void UMBDataBuffer::write(const void* source, int32_t count)
{
    rejectNegative(count, "write");
    checkWrite(static_cast<std::size_t>(count), "write");
    put(static_cast<const uint8_t*>(source), static_cast<std::size_t>(count));
}

void UMBDataBuffer::writeData(std::span<const uint8_t> bytes)
{
    checkWrite(bytes.size(), "writeData");
    put(bytes.data(), bytes.size());
}

// --- typed values -----------------------------------------------------------

bool UMBDataBuffer::reversesValues() const
{
    // The stored order is fixed (least significant byte first unless the
    // switch is 1), so a big-endian host reverses in the default order.
    bool storedBigEndian = byteorder_ == 1;
    return storedBigEndian != (std::endian::native == std::endian::big);
}

// Values move as unsigned bit patterns: a float or double is made from its
// final pattern once, so a NaN payload or a denormal is never touched by a
// floating-point register on the way.
template<typename Unsigned> Unsigned UMBDataBuffer::readBits(const char* what)
{
    checkRead(sizeof(Unsigned), what);
    Unsigned bits;
    std::memcpy(&bits, data_.data() + filepointer_, sizeof bits);
    filepointer_ += static_cast<std::intptr_t>(sizeof bits);
    return reversesValues() ? reverseBytes(bits) : bits;
}

template<typename Unsigned> void UMBDataBuffer::writeBits(Unsigned bits, const char* what)
{
    checkWrite(sizeof bits, what);
    if (reversesValues())
        bits = reverseBytes(bits);
    uint8_t bytes[sizeof bits];
    std::memcpy(bytes, &bits, sizeof bits);
    put(bytes, sizeof bytes);
}

int8_t UMBDataBuffer::readChar()
{
    return std::bit_cast<int8_t>(readBits<uint8_t>("readChar"));
}

int16_t UMBDataBuffer::readShort()
{
    return std::bit_cast<int16_t>(readBits<uint16_t>("readShort"));
}

int32_t UMBDataBuffer::readInt()
{
    return std::bit_cast<int32_t>(readBits<uint32_t>("readInt"));
}

std::intptr_t UMBDataBuffer::readLong()
{
    return std::bit_cast<std::intptr_t>(readBits<std::uintptr_t>("readLong"));
}

float UMBDataBuffer::readFloat()
{
    return std::bit_cast<float>(readBits<uint32_t>("readFloat"));
}

double UMBDataBuffer::readDouble()
{
    return std::bit_cast<double>(readBits<uint64_t>("readDouble"));
}

void UMBDataBuffer::writeChar(int8_t value)
{
    writeBits(std::bit_cast<uint8_t>(value), "writeChar");
}

void UMBDataBuffer::writeShort(int16_t value)
{
    writeBits(std::bit_cast<uint16_t>(value), "writeShort");
}

void UMBDataBuffer::writeInt(int32_t value)
{
    writeBits(std::bit_cast<uint32_t>(value), "writeInt");
}

void UMBDataBuffer::writeLong(std::intptr_t value)
{
    writeBits(std::bit_cast<std::uintptr_t>(value), "writeLong");
}

void UMBDataBuffer::writeFloat(float value)
{
    writeBits(std::bit_cast<uint32_t>(value), "writeFloat");
}

void UMBDataBuffer::writeDouble(double value)
{
    writeBits(std::bit_cast<uint64_t>(value), "writeDouble");
}

float UMBDataBuffer::floatToHost(float value)
{
    return std::bit_cast<float>(reverseBytes(std::bit_cast<uint32_t>(value)));
}

double UMBDataBuffer::doubleToHost(double value)
{
    return std::bit_cast<double>(reverseBytes(std::bit_cast<uint64_t>(value)));
}

// --- position and size ------------------------------------------------------

int32_t UMBDataBuffer::length() const
{
    return static_cast<int32_t>(static_cast<uint32_t>(data_.size()));
}

int32_t UMBDataBuffer::remaining() const
{
    // In 32 bits by contract, from the low halves of both.
    return static_cast<int32_t>(
        static_cast<uint32_t>(data_.size()) - static_cast<uint32_t>(filepointer_));
}

bool UMBDataBuffer::hasRemaining() const
{
    return filepointer_ >= 0 && static_cast<std::uintptr_t>(filepointer_) < data_.size();
}

void UMBDataBuffer::setToLength(int32_t n)
{
    rejectNegative(n, "setToLength");
    data_.resize(static_cast<std::size_t>(n));
}

void UMBDataBuffer::resize(int32_t n)
{
    rejectNegative(n, "resize");
    if (static_cast<std::size_t>(n) > data_.max_size() - data_.size())
        fail("resize", "contents cannot grow by " + std::to_string(n) + " bytes");
    data_.resize(data_.size() + static_cast<std::size_t>(n));
}

void UMBDataBuffer::erase()
{
    filepointer_ = 0;
    setToLength(0);
}

// --- text -------------------------------------------------------------------

std::string_view UMBDataBuffer::storableText(std::string_view text, const char* what)
{
    text = text.substr(0, text.find('\0'));
    if (!platform::isValidUtf8(text))
        fail(what, "text is not UTF-8");
    return text;
}

void UMBDataBuffer::writeString(std::string_view text)
{
    std::string_view bytes = storableText(text, "writeString");
    checkWrite(bytes.size(), "writeString");
    put(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

std::optional<std::string> UMBDataBuffer::readString(int32_t n)
{
    rejectNegative(n, "readString");
    checkRead(static_cast<std::size_t>(n), "readString");
    std::string text(
        reinterpret_cast<const char*>(data_.data()) + filepointer_, static_cast<std::size_t>(n));
    filepointer_ += n;
    if (!platform::isValidUtf8(text))
        return std::nullopt;
    return text;
}

void UMBDataBuffer::writeUTF(std::string_view text)
{
    std::string_view bytes = storableText(text, "writeUTF");
    if (bytes.size() > kMaxUTFBytes)
        fail("writeUTF",
            std::to_string(bytes.size()) + " bytes do not fit a 16-bit count (at most "
                + std::to_string(kMaxUTFBytes) + ")");
    // Checked whole before the prefix goes in, so a refused write leaves
    // nothing behind.
    checkWrite(2 + bytes.size(), "writeUTF");
    writeShort(static_cast<int16_t>(bytes.size()));
    put(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

std::optional<std::string> UMBDataBuffer::readUTF()
{
    int16_t count = readShort();
    return readString(count);
}

std::optional<std::string> UMBDataBuffer::readLine()
{
    std::intptr_t p = filepointer_;
    if (p < 0 || static_cast<std::uintptr_t>(p) >= data_.size())
        return std::string();
    const uint8_t* start = data_.data() + p;
    std::size_t left = data_.size() - static_cast<std::size_t>(p);
    const void* lineFeed = std::memchr(start, '\n', left);
    std::size_t taken = lineFeed
        ? static_cast<std::size_t>(static_cast<const uint8_t*>(lineFeed) - start) + 1
        : left;
    std::string_view line(reinterpret_cast<const char*>(start), taken);
    filepointer_ += static_cast<std::intptr_t>(taken);
    if (!platform::isValidUtf8(line))
        return std::nullopt;
    return platform::trimWhitespaceAndNewlines(line);
}

// --- files ------------------------------------------------------------------

bool UMBDataBuffer::writeToFile(const std::string& path) const
{
    return platform::writeFileAtomically(path, data_).has_value();
}

bool UMBDataBuffer::writeToFile(const std::string& path, bool append) const
{
    if (!append)
        return writeToFile(path);
    return platform::appendToExistingFile(path, data_).has_value();
}

} // namespace umb
