// UMBDataBuffer: a growable byte array with a read/write position and a
// byte-order switch, used like a random-access file held in memory. The
// buffer owns its bytes; every array it hands out by value is the caller's.
// A transfer outside the contents throws DataBufferRangeError.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace umb {

// The one error a byte buffer raises: a read or write outside the contents,
// a negative count, or text the buffer cannot store. The operation that
// throws it has changed neither the contents nor the position (readUTF keeps
// its two prefix bytes consumed).
class DataBufferRangeError : public std::out_of_range {
public:
    using std::out_of_range::out_of_range;
};

class UMBDataBuffer {
public:
    using Bytes = std::vector<uint8_t>;

    // Every creation starts at position 0 with byte order 0.
    UMBDataBuffer() = default;
    // An independent copy of `bytes`.
    explicit UMBDataBuffer(std::span<const uint8_t> bytes);
    // All bytes of the file at `path`; empty contents when it cannot be read.
    static UMBDataBuffer initWithFile(const std::string& path);
    // All bytes that `url` names: a file: URL (percent-escapes decoded) or a
    // plain path. Any other scheme, or an unreadable file, gives empty
    // contents.
    static UMBDataBuffer initWithURL(const std::string& url);

    // Erases the buffer, then loads the file at `path` (empty if unreadable).
    // The byte order is kept.
    void setFilePath(const std::string& path);

    // The live contents, not a copy: changes made through it change the
    // buffer.
    Bytes& bufferData() { return data_; }
    const Bytes& bufferData() const { return data_; }
    // The first byte of the live contents; valid until their length changes.
    uint8_t* getBytes() { return data_.data(); }
    const uint8_t* getBytes() const { return data_.data(); }

    // A copy of the bytes from the position to the end; the position stays.
    Bytes slice() const;
    // A copy of the bytes [start, start + length), which must lie within the
    // contents. The position advances by `length` wherever the range starts.
    Bytes extractRange(std::uintptr_t start, std::uintptr_t length);

    // Raw transfers at the position; the position moves past the bytes.
    int32_t read(void* destination, int32_t count);
    void write(const void* source, int32_t count);
    void writeData(std::span<const uint8_t> bytes);

    // Typed transfers: 2-, 4- and 8-byte values are stored least significant
    // byte first, or most significant first when the byte order is 1.
    int8_t readChar();
    int16_t readShort();
    int32_t readInt();
    std::intptr_t readLong();
    float readFloat();
    double readDouble();
    void writeChar(int8_t value);
    void writeShort(int16_t value);
    void writeInt(int32_t value);
    void writeLong(std::intptr_t value);
    void writeFloat(float value);
    void writeDouble(double value);

    // 1 selects most significant byte first; any other value the default.
    // Only later transfers are affected.
    void setByteOrder(int32_t order) { byteorder_ = order; }
    int32_t byteorder() const { return byteorder_; }

    // The value whose bytes are those of the argument in reverse order. Each
    // pair is one operation under two names.
    static float floatToHost(float value);
    static float hostToFloat(float value) { return floatToHost(value); }
    static double doubleToHost(double value);
    static double hostToDouble(double value) { return doubleToHost(value); }

    // The position is never clamped; only the next transfer objects to it.
    void seek(std::intptr_t position) { filepointer_ = position; }
    void seekToEnd() { filepointer_ = static_cast<std::intptr_t>(data_.size()); }
    void rewind() { filepointer_ = 0; }
    std::intptr_t getFilePointer() const { return filepointer_; }
    // Lengths are 32-bit counts; contents of 2 GiB or more wrap.
    int32_t length() const;
    // Cuts or zero-extends the contents to `n` bytes; the position stays.
    void setToLength(int32_t n);
    // Appends `n` zero bytes; the position stays.
    void resize(int32_t n);
    // Position 0 and no contents; the byte order is kept.
    void erase();
    // Length minus position in 32 bits; negative past the end.
    int32_t remaining() const;
    // True when at least one byte can be read at the position: never before
    // the start or past the end, whatever the 32-bit count says there.
    bool hasRemaining() const;

    // Writes the UTF-8 bytes of `text` before its first zero byte, with no
    // prefix and no terminator. Text that is not UTF-8 is refused.
    void writeString(std::string_view text);
    // The next `n` bytes as text; none (the bytes still consumed) when they
    // are not UTF-8.
    std::optional<std::string> readString(int32_t n);
    // The bytes writeString would write, after their count as a 16-bit value
    // in the buffer's byte order. More than 32767 bytes are refused.
    void writeUTF(std::string_view text);
    // A 16-bit count, then readString of that count.
    std::optional<std::string> readUTF();
    // The bytes up to and including the next line feed (or to the end),
    // decoded and trimmed of white space and line breaks at both ends. Empty
    // at the end of the contents or outside them, with the position kept.
    std::optional<std::string> readLine();

    // Replaces the file at `path` with the whole contents, atomically.
    // Callers may ignore the result; it is true when the file was written.
    bool writeToFile(const std::string& path) const;
    // With `append` set, adds the whole contents to the end of an existing
    // file, and creates nothing when there is none; otherwise as above.
    bool writeToFile(const std::string& path, bool append) const;

private:
    // Throws unless `count` bytes can be read at the position.
    void checkRead(std::size_t count, const char* what) const;
    // Throws unless `count` bytes can be written at the position.
    void checkWrite(std::size_t count, const char* what) const;
    // Copies `count` bytes in at the position by the write rule (after
    // checkWrite) and moves the position past them.
    void put(const uint8_t* source, std::size_t count);
    // Whether values are reversed between the caller and the buffer.
    bool reversesValues() const;
    template<typename Unsigned> Unsigned readBits(const char* what);
    template<typename Unsigned> void writeBits(Unsigned bits, const char* what);
    // The bytes of `text` that writeString stores, after checking them.
    static std::string_view storableText(std::string_view text, const char* what);

    Bytes data_;
    std::intptr_t filepointer_ = 0;
    int32_t byteorder_ = 0;
};

} // namespace umb
