#include "umb/UMBDataBuffer.h"

#include "support/HostileBytes.h"
#include "support/TempDir.h"

#include <algorithm>
#include <bit>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <limits>

using umb::DataBufferRangeError;
using umb::UMBDataBuffer;
using Bytes = UMBDataBuffer::Bytes;
using Op = std::function<void(UMBDataBuffer&)>;
using testing_support::bytesOf;
using testing_support::TempDir;

namespace {

constexpr auto kMax = std::numeric_limits<std::intptr_t>::max();
constexpr auto kMin = std::numeric_limits<std::intptr_t>::min();

void writeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

Bytes fileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Expects `op` to throw the range error and leave contents and position alone.
void expectRangeError(UMBDataBuffer& buffer, const Op& op, const std::string& what)
{
    Bytes before = buffer.bufferData();
    std::intptr_t position = buffer.getFilePointer();
    EXPECT_THROW(op(buffer), DataBufferRangeError) << what;
    EXPECT_EQ(buffer.bufferData(), before) << what;
    EXPECT_EQ(buffer.getFilePointer(), position) << what;
}

} // namespace

TEST(UMBDataBufferTest, CreationFilesAndURLs)
{
    UMBDataBuffer fresh;
    EXPECT_TRUE(fresh.length() == 0 && fresh.getFilePointer() == 0 && fresh.remaining() == 0);
    EXPECT_FALSE(fresh.hasRemaining());
    EXPECT_EQ(fresh.byteorder(), 0);
    Bytes source = {1, 2, 3};
    UMBDataBuffer copy(source);
    source[0] = 9;
    copy.bufferData()[1] = 8;
    EXPECT_EQ(copy.bufferData(), (Bytes {1, 8, 3})) << "the source's bytes must be copied";
    EXPECT_EQ(source, (Bytes {9, 2, 3}));

    TempDir dir;
    const std::string path = dir / "a b%.bin", escaped = dir.path.string() + "/a%20b%25.bin";
    writeFile(path, std::string("\x00\x0A\xFF\x41", 4));
    const Bytes contents = {0x00, 0x0A, 0xFF, 0x41};
    std::pair<std::string, Bytes> urls[] = {{path, contents}, {"file://" + escaped, contents},
        {"file://localhost" + escaped, contents}, {"FILE:" + escaped + "#part", contents},
        {"file://elsewhere" + escaped, {}}, {"http://localhost" + escaped, {}},
        {"file://" + path, {}}, // a bare "%" is a malformed escape
        {dir / "missing", {}}, {dir.path.string(), {}}}; // a folder is not a file
    for (const auto& [url, expected] : urls) {
        UMBDataBuffer buffer = UMBDataBuffer::initWithURL(url);
        EXPECT_EQ(buffer.bufferData(), expected) << url;
        EXPECT_EQ(buffer.getFilePointer(), 0) << url;
    }
    EXPECT_EQ(UMBDataBuffer::initWithFile(path).bufferData(), contents);
    EXPECT_EQ(UMBDataBuffer::initWithFile(dir / "missing").length(), 0);

    // setFilePath erases, then loads, keeping the byte order.
    writeFile(dir / "f", std::string("\x00\x01", 2));
    UMBDataBuffer buffer(bytesOf("old contents"));
    buffer.seek(7);
    buffer.setByteOrder(1);
    buffer.setFilePath(dir / "f");
    EXPECT_EQ(buffer.getFilePointer(), 0);
    EXPECT_EQ(buffer.readShort(), 1) << "contents or byte order lost";
    EXPECT_EQ(buffer.length(), 2);
    buffer.setFilePath(dir / "missing");
    EXPECT_TRUE(buffer.length() == 0 && buffer.getFilePointer() == 0);

    // Writing puts the whole contents, wherever the position; an append adds
    // to an existing file and never creates one.
    UMBDataBuffer whole(bytesOf("whole"));
    whole.seek(3);
    EXPECT_TRUE(whole.writeToFile(dir / "a") && whole.writeToFile(dir / "b", false));
    EXPECT_TRUE(UMBDataBuffer(bytesOf("new")).writeToFile(dir / "b"));
    EXPECT_EQ(fileBytes(dir / "a"), bytesOf("whole"));
    EXPECT_EQ(fileBytes(dir / "b"), bytesOf("new"));
    EXPECT_FALSE(whole.writeToFile(dir / "no/such/folder"));
    EXPECT_FALSE(whole.writeToFile(dir / "missing", true));
    EXPECT_FALSE(std::filesystem::exists(dir / "missing"));
    EXPECT_TRUE(whole.writeToFile(dir / "a", true));
    EXPECT_EQ(fileBytes(dir / "a"), bytesOf("wholewhole"));
}

TEST(UMBDataBufferTest, WriteRuleAppendsAtTheEndOverwritesBeforeItRefusesOutside)
{
    struct {
        Bytes start;
        std::intptr_t position;
        Bytes written, expected;
    } cases[] = {{{}, 0, {1, 2}, {1, 2}}, {{0xAA}, 1, {1, 2}, {0xAA, 1, 2}},
        {{0xAA, 0xBB, 0xCC}, 0, {1, 2}, {1, 2, 0xCC}},
        {{0xAA, 0xBB, 0xCC}, 2, {1, 2, 3, 4}, {0xAA, 0xBB, 1, 2, 3, 4}}, {{0xAA}, 1, {}, {0xAA}}};
    for (const auto& c : cases) {
        UMBDataBuffer buffer(c.start);
        buffer.seek(c.position);
        buffer.write(c.written.data(), int32_t(c.written.size()));
        EXPECT_EQ(buffer.bufferData(), c.expected) << c.position;
        EXPECT_EQ(buffer.getFilePointer(), c.position + std::intptr_t(c.written.size()));
    }
    const uint8_t one = 1;
    const Op writes[] = {[](auto& b) { b.writeChar(1); }, [](auto& b) { b.writeDouble(1); },
        [&](auto& b) { b.write(&one, 1); }, [](auto& b) { b.writeData(Bytes {1}); },
        [](auto& b) { b.writeString("x"); }, [](auto& b) { b.writeUTF("x"); }};
    for (std::intptr_t p : {std::intptr_t(5), std::intptr_t(-1), kMax, kMin}) {
        UMBDataBuffer buffer(Bytes {0xAA, 0xBB, 0xCC});
        buffer.seek(p);
        for (size_t i = 0; i < std::size(writes); ++i)
            expectRangeError(
                buffer, writes[i], "write " + std::to_string(i) + " at " + std::to_string(p));
    }
    UMBDataBuffer buffer(bytesOf("abcd"));
    expectRangeError(
        buffer, [&](auto& b) { b.write(&one, -1); }, "negative count");
    // The buffer's own bytes, written where it grows or overlaps them.
    buffer.seekToEnd();
    buffer.writeData(buffer.bufferData());
    EXPECT_EQ(buffer.bufferData(), bytesOf("abcdabcd"));
    buffer.seek(6);
    buffer.write(buffer.getBytes() + 1, 4);
    EXPECT_EQ(buffer.bufferData(), bytesOf("abcdabbcda"));
}

TEST(UMBDataBufferTest, ReadRuleNeedsAllBytesInsideTheContents)
{
    uint8_t sink[8];
    const Op reads[] = {[](auto& b) { b.readInt(); }, [](auto& b) { b.readFloat(); },
        [&](auto& b) { b.read(sink, 4); }, [](auto& b) { b.readString(4); },
        [](auto& b) { b.slice(); }};
    // three bytes before the end, at it, past it, before the start, where p + 4 wraps
    for (std::intptr_t p : {std::intptr_t(3), std::intptr_t(6), std::intptr_t(10),
             std::intptr_t(-2), kMax - 1, kMin}) {
        UMBDataBuffer buffer(Bytes {1, 2, 3, 4, 5, 6});
        buffer.seek(p);
        // slice() reads nothing: at 3 and at the end it is inside
        for (size_t i = 0; i < std::size(reads) - (p == 3 || p == 6); ++i)
            expectRangeError(
                buffer, reads[i], "read " + std::to_string(i) + " at " + std::to_string(p));
    }
    UMBDataBuffer buffer(Bytes {0x80, 0xFF, 0xFF, 0xFE, 0xFF, 0xFF, 0xFF});
    EXPECT_EQ(buffer.readChar(), -128) << "reads sign-extend";
    EXPECT_EQ(buffer.readShort(), -1);
    EXPECT_EQ(buffer.readInt(), -2);
    EXPECT_EQ(buffer.getFilePointer(), 7);
    EXPECT_EQ(buffer.read(sink, 0), 0) << "an empty read at the end is inside";
    EXPECT_TRUE(buffer.slice().empty());
    buffer.rewind();
    EXPECT_EQ(buffer.read(sink, 3), 3);
    EXPECT_EQ(buffer.getFilePointer(), 3);
    EXPECT_EQ(buffer.slice(), (Bytes {0xFE, 0xFF, 0xFF, 0xFF})) << "slice copies from the position";
    EXPECT_EQ(buffer.getFilePointer(), 3);
    expectRangeError(
        buffer, [&](auto& b) { b.read(sink, -1); }, "negative count");
    buffer.seek(8);
    expectRangeError(
        buffer, [&](auto& b) { b.read(sink, 0); }, "empty read past the end");

    // extractRange moves by the length wherever the range starts.
    UMBDataBuffer range(Bytes {0, 1, 2, 3, 4, 5, 6});
    EXPECT_EQ(range.extractRange(4, 2), (Bytes {4, 5}));
    EXPECT_EQ(range.getFilePointer(), 2);
    EXPECT_EQ(range.extractRange(7, 0), Bytes {}) << "an empty range at the end is inside";
    constexpr auto kUMax = std::numeric_limits<std::uintptr_t>::max();
    for (auto [start, length] :
        {std::pair<std::uintptr_t, std::uintptr_t> {6, 2}, {8, 0}, {1, kUMax}, {kUMax, 2}})
        expectRangeError(
            range, [&](auto& b) { b.extractRange(start, length); },
            "range " + std::to_string(start) + "+" + std::to_string(length));
    range.seek(kMax);
    expectRangeError(
        range, [](auto& b) { b.extractRange(0, 1); }, "a move that would wrap");
}

TEST(UMBDataBufferTest, EveryWidthInBothByteOrders)
{
    const bool wide = sizeof(std::intptr_t) == 8;
    const std::intptr_t longValue
        = wide ? std::intptr_t(0x8102030405060708ULL) : std::intptr_t(0x81020304UL);
    const Bytes longBytes = wide ? Bytes {8, 7, 6, 5, 4, 3, 2, 0x81} : Bytes {4, 3, 2, 0x81};
    struct {
        Op write;
        std::function<bool(UMBDataBuffer&)> readBack;
        Bytes little;
    } rows[] = {
        {[](auto& b) { b.writeChar(-2); }, [](auto& b) { return b.readChar() == -2; }, {0xFE}},
        {[](auto& b) { b.writeShort(-32767); }, [](auto& b) { return b.readShort() == -32767; },
            {0x01, 0x80}},
        {[](auto& b) { b.writeInt(1); }, [](auto& b) { return b.readInt() == 1; }, {1, 0, 0, 0}},
        {[](auto& b) { b.writeInt(0x01020384); }, [](auto& b) { return b.readInt() == 0x01020384; },
            {0x84, 0x03, 0x02, 0x01}},
        {[&](auto& b) { b.writeLong(longValue); },
            [&](auto& b) { return b.readLong() == longValue; }, longBytes},
        {[](auto& b) { b.writeFloat(1.0f); }, [](auto& b) { return b.readFloat() == 1.0f; },
            {0, 0, 0x80, 0x3F}},
        {[](auto& b) { b.writeDouble(-2.5); }, [](auto& b) { return b.readDouble() == -2.5; },
            {0, 0, 0, 0, 0, 0, 0x04, 0xC0}},
    };
    for (int32_t order : {0, 1, 2, -1}) // only 1 is big-endian
        for (size_t i = 0; i < std::size(rows); ++i) {
            Bytes expected = rows[i].little;
            if (order == 1)
                std::reverse(expected.begin(), expected.end());
            UMBDataBuffer buffer;
            buffer.setByteOrder(order);
            rows[i].write(buffer);
            EXPECT_EQ(buffer.bufferData(), expected) << "row " << i << " order " << order;
            EXPECT_EQ(buffer.getFilePointer(), std::intptr_t(expected.size()));
            buffer.rewind();
            EXPECT_TRUE(rows[i].readBack(buffer)) << "row " << i << " order " << order;
            EXPECT_EQ(buffer.getFilePointer(), std::intptr_t(expected.size()));
        }
    // Switching the order converts nothing already stored.
    UMBDataBuffer little(Bytes {1, 0, 0, 0});
    little.setByteOrder(1);
    EXPECT_EQ(little.readInt(), 0x01000000);

    // Float patterns pass bit for bit: signalling NaNs with payloads, quiet
    // NaNs, denormals, signed zero, infinity, and values whose reversed
    // pattern is a signalling NaN.
    const uint64_t patterns[] = {0x7F800001, 0xFF800123, 0x7FC00001, 0x7FBFFFFF, 0x00000001,
        0x807FFFFF, 0x80000000, 0x0100807F, 0x7FF0000000000001, 0xFFF00000DEADBEEF,
        0x7FF8000000000001, 0x800FFFFFFFFFFFFF, 0x010000000000F07F};
    for (int32_t order : {0, 1})
        for (uint64_t bits : patterns) {
            const size_t width = bits >> 32 ? 8 : 4;
            UMBDataBuffer buffer;
            buffer.setByteOrder(order);
            if (width == 8)
                buffer.writeDouble(std::bit_cast<double>(bits));
            else
                buffer.writeFloat(std::bit_cast<float>(uint32_t(bits)));
            Bytes expected;
            for (size_t i = 0; i < width; ++i)
                expected.push_back(uint8_t(bits >> (8 * i)));
            if (order == 1)
                std::reverse(expected.begin(), expected.end());
            EXPECT_EQ(buffer.bufferData(), expected) << std::hex << bits << " order " << order;
            buffer.rewind();
            uint64_t back = width == 8 ? std::bit_cast<uint64_t>(buffer.readDouble())
                                       : std::bit_cast<uint32_t>(buffer.readFloat());
            EXPECT_EQ(back, bits) << std::hex << bits << " order " << order;
        }
    EXPECT_EQ(
        std::bit_cast<uint32_t>(UMBDataBuffer::floatToHost(std::bit_cast<float>(0x0100807Fu))),
        0x7F800001u);
    EXPECT_EQ(
        std::bit_cast<uint32_t>(UMBDataBuffer::hostToFloat(std::bit_cast<float>(0x7F800001u))),
        0x0100807Fu);
    EXPECT_EQ(std::bit_cast<uint64_t>(UMBDataBuffer::doubleToHost(
                  std::bit_cast<double>(uint64_t {0x010000000000F07F}))),
        uint64_t {0x7FF0000000000001});
    EXPECT_EQ(std::bit_cast<uint64_t>(UMBDataBuffer::hostToDouble(
                  std::bit_cast<double>(uint64_t {0x0102030405060708}))),
        uint64_t {0x0807060504030201});
}

TEST(UMBDataBufferTest, PositionLengthAndWholeRecords)
{
    struct {
        std::intptr_t position;
        int32_t remaining;
        bool hasRemaining;
    } cases[] = {{0, 4, true}, {3, 1, true}, {4, 0, false}, {10, -6, false},
        {-1, 5, false}}; // a count of five, none of them readable
    for (auto c : cases) {
        UMBDataBuffer buffer;
        buffer.setToLength(4);
        buffer.seek(c.position);
        EXPECT_EQ(buffer.remaining(), c.remaining) << c.position;
        EXPECT_EQ(buffer.hasRemaining(), c.hasRemaining) << c.position;
    }
    if constexpr (sizeof(std::intptr_t) == 8) {
        // The count is 32-bit by contract, but no byte lies 4 GiB out.
        UMBDataBuffer buffer(Bytes(4));
        buffer.seek((std::intptr_t {1} << 32) + 1);
        EXPECT_EQ(buffer.remaining(), 3);
        EXPECT_FALSE(buffer.hasRemaining());
    }
    UMBDataBuffer cut(Bytes {0xAA, 0xBB, 0xCC});
    cut.seek(3);
    cut.setToLength(1);
    EXPECT_EQ(cut.getFilePointer(), 3);
    EXPECT_EQ(cut.remaining(), -2);
    cut.setToLength(3);
    EXPECT_EQ(cut.bufferData(), (Bytes {0xAA, 0, 0})) << "extension must be zero bytes";
    cut.seek(1);
    cut.resize(2);
    EXPECT_EQ(cut.bufferData(), (Bytes {0xAA, 0, 0, 0, 0})) << "resize grows by n";
    EXPECT_EQ(cut.getFilePointer(), 1);
    expectRangeError(
        cut, [](auto& b) { b.setToLength(-1); }, "setToLength -1");
    expectRangeError(
        cut, [](auto& b) { b.resize(-1); }, "resize -1");
    cut.bufferData().push_back(3);
    cut.getBytes()[1] = 9;
    EXPECT_EQ(cut.length(), 6) << "bufferData is the live contents";
    EXPECT_EQ(cut.readChar(), 9);
    cut.setByteOrder(1);
    cut.erase();
    EXPECT_TRUE(cut.length() == 0 && cut.getFilePointer() == 0 && cut.byteorder() == 1);

    // Lights-point records, 12 bytes each, read while whole ones remain; the
    // partial record after them is a range error that leaves the position.
    for (size_t extra = 0; extra < 12; ++extra) {
        Bytes bytes(24 + extra, 0x7F);
        bytes.shrink_to_fit(); // a read past the end is then one the sanitizer sees
        UMBDataBuffer reader(bytes);
        int records = 0;
        for (; reader.hasRemaining() && reader.remaining() >= 12; ++records) {
            reader.readInt();
            reader.readFloat();
            reader.readFloat();
        }
        EXPECT_EQ(records, 2);
        EXPECT_EQ(reader.remaining(), int32_t(extra));
        if (extra > 0 && extra < 4)
            expectRangeError(
                reader, [](auto& b) { b.readInt(); }, "partial record");
    }
}

TEST(UMBDataBufferTest, StringsInBothOrdersValidOrRefused)
{
    const std::string hello = "h\xC3\xA9llo";
    for (int32_t order : {0, 1}) {
        UMBDataBuffer buffer;
        buffer.setByteOrder(order);
        buffer.writeUTF(hello);
        Bytes expected = {0x68, 0xC3, 0xA9, 0x6C, 0x6C, 0x6F};
        expected.insert(expected.begin(), {uint8_t(order ? 0 : 6), uint8_t(order ? 6 : 0)});
        EXPECT_EQ(buffer.bufferData(), expected) << "order " << order;
        buffer.rewind();
        EXPECT_EQ(buffer.readUTF(), hello) << "order " << order;
        EXPECT_EQ(buffer.getFilePointer(), 8);
    }
    UMBDataBuffer empty(Bytes {0, 0});
    EXPECT_EQ(empty.readUTF(), "");
    EXPECT_EQ(empty.getFilePointer(), 2);
    // A count past the end, or negative, keeps only the prefix consumed.
    for (Bytes bytes : {Bytes {0x05, 0x00, 0x41}, Bytes {0xFF, 0xFF, 0x41}}) {
        UMBDataBuffer buffer(bytes);
        EXPECT_THROW(buffer.readUTF(), DataBufferRangeError);
        EXPECT_EQ(buffer.getFilePointer(), 2);
    }
    // A count the prefix cannot hold is refused.
    UMBDataBuffer longest;
    longest.writeUTF(std::string(32767, 'a'));
    EXPECT_EQ(longest.length(), 2 + 32767);
    expectRangeError(
        longest, [](auto& b) { b.writeUTF(std::string(32768, 'a')); }, "32768");
    expectRangeError(
        longest, [](auto& b) { b.writeUTF(std::string(65538, 'a')); }, "low 16 bits fit");
    // Texts stop at their first zero byte.
    UMBDataBuffer zero;
    zero.writeString(std::string_view("a\xC3\xA9\0z", 5));
    EXPECT_EQ(zero.getFilePointer(), 3);
    zero.writeUTF(std::string_view("b\0c", 3));
    EXPECT_EQ(zero.bufferData(), (Bytes {0x61, 0xC3, 0xA9, 0x01, 0x00, 0x62}));
    // Invalid UTF-8 is refused on writing and null on reading, consumed all the same.
    for (const char* text : {"\xFF", "ab\xC3", "\xED\xA0\x80" /* a surrogate */, "\xC0\xAF"}) {
        UMBDataBuffer buffer(Bytes {0x41});
        buffer.seekToEnd();
        expectRangeError(
            buffer, [&](auto& b) { b.writeString(text); }, text);
        expectRangeError(
            buffer, [&](auto& b) { b.writeUTF(text); }, text);
    }
    UMBDataBuffer bad(Bytes {0x41, 0xFF, 0x42, 0x02, 0x00, 0xC3, 0x28});
    EXPECT_EQ(bad.readString(0), "");
    EXPECT_EQ(bad.readString(3), std::nullopt);
    EXPECT_EQ(bad.getFilePointer(), 3);
    EXPECT_EQ(bad.readUTF(), std::nullopt);
    EXPECT_EQ(bad.getFilePointer(), 7);
    bad.rewind();
    expectRangeError(
        bad, [](auto& b) { b.readString(8); }, "past the end");
    expectRangeError(
        bad, [](auto& b) { b.readString(-1); }, "negative count");
}

TEST(UMBDataBufferTest, LinesAreTrimmedAtBothEndsOnly)
{
    // The published sixteen bytes: "abc\r\n  def  \nxyz", then the end.
    UMBDataBuffer buffer(bytesOf("abc\r\n  def  \nxyz"));
    std::pair<const char*, std::intptr_t> lines[]
        = {{"abc", 5}, {"def", 13}, {"xyz", 16}, {"", 16}};
    for (auto [line, position] : lines) {
        EXPECT_EQ(buffer.readLine(), line) << position;
        EXPECT_EQ(buffer.getFilePointer(), position) << line;
    }
    struct {
        std::string bytes;
        std::optional<std::string> line;
        std::intptr_t position;
    } cases[] = {{"    \n", "", 5}, {" a \t b \n", "a \t b", 8}, {"\xC2\xA0x\xC2\x85\n", "x", 6},
        {"\xFF\n", std::nullopt, 2}, {"tail  ", "tail", 6}, {"\nnext", "", 1}};
    for (const auto& c : cases) {
        UMBDataBuffer one(bytesOf(c.bytes));
        EXPECT_EQ(one.readLine(), c.line) << c.bytes;
        EXPECT_EQ(one.getFilePointer(), c.position) << c.bytes;
    }
    for (std::intptr_t p : {std::intptr_t(-1), std::intptr_t(17)}) {
        buffer.seek(p);
        EXPECT_EQ(buffer.readLine(), "") << p;
        EXPECT_EQ(buffer.getFilePointer(), p) << "the position must not move";
    }
}
