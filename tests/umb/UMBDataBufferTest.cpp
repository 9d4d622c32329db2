#include "umb/UMBDataBuffer.h"

#include "support/TempDir.h"
#include <algorithm>
#include <bit>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <limits>

namespace fs = std::filesystem;
using umb::DataBufferRangeError;
using umb::UMBDataBuffer;
using Bytes = UMBDataBuffer::Bytes;
using testing_support::TempDir;

namespace {

std::string hex(const Bytes& bytes)
{
    std::string out;
    char cell[4];
    for (uint8_t b : bytes) {
        std::snprintf(cell, sizeof cell, "%02X ", b);
        out += cell;
    }
    return out;
}

Bytes bytesOf(std::string_view s)
{
    return {s.begin(), s.end()};
}

void writeFile(const std::string& path, const Bytes& bytes)
{
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

Bytes fileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Expects `op` to throw the range error and to leave contents and position
// as they were.
template<typename Op>
void expectRangeErrorLeavesBuffer(UMBDataBuffer& buffer, Op op, const char* what)
{
    Bytes before = buffer.bufferData();
    std::intptr_t position = buffer.getFilePointer();
    EXPECT_THROW(op(buffer), DataBufferRangeError) << what;
    EXPECT_EQ(buffer.bufferData(), before) << what;
    EXPECT_EQ(buffer.getFilePointer(), position) << what;
}

} // namespace

// --- creation ---------------------------------------------------------------

TEST(UMBDataBufferTest, NewBufferIsEmptyAtPositionZero)
{
    UMBDataBuffer buffer;
    EXPECT_EQ(buffer.length(), 0);
    EXPECT_EQ(buffer.getFilePointer(), 0);
    EXPECT_EQ(buffer.remaining(), 0);
    EXPECT_FALSE(buffer.hasRemaining());
    EXPECT_EQ(buffer.byteorder(), 0);
}

TEST(UMBDataBufferTest, CreationFromBytesCopiesThem)
{
    Bytes source = {1, 2, 3};
    UMBDataBuffer buffer(source);
    source[0] = 9;
    EXPECT_EQ(buffer.bufferData(), (Bytes {1, 2, 3})) << "a change to the source leaked in";
    buffer.bufferData()[1] = 8;
    EXPECT_EQ(source, (Bytes {9, 2, 3})) << "a change to the buffer leaked out";
}

TEST(UMBDataBufferTest, FilesAndURLsLoadAllBytesOrNothing)
{
    TempDir dir;
    Bytes contents = {0x00, 0x0A, 0xFF, 0x41};
    writeFile(dir / "a b%.bin", contents);
    std::string path = dir / "a b%.bin";
    std::string escaped = dir.path.string() + "/a%20b%25.bin";
    struct {
        std::string url;
        Bytes expected;
    } urls[] = {
        {path, contents}, {"file://" + escaped, contents}, {"file://localhost" + escaped, contents},
        {"FILE:" + escaped + "#part", contents}, {"file://elsewhere" + escaped, {}},
        {"http://localhost" + escaped, {}},
        {"file://" + path, {}}, // a bare "%" is a malformed escape
        {dir / "missing", {}}, {dir.path.string(), {}}, // a folder is not a file
    };
    for (const auto& u : urls) {
        UMBDataBuffer buffer = UMBDataBuffer::initWithURL(u.url);
        EXPECT_EQ(buffer.bufferData(), u.expected) << u.url;
        EXPECT_EQ(buffer.getFilePointer(), 0) << u.url;
    }
    EXPECT_EQ(UMBDataBuffer::initWithFile(path).bufferData(), contents);
    EXPECT_EQ(UMBDataBuffer::initWithFile(dir / "missing").length(), 0);
}

TEST(UMBDataBufferTest, SetFilePathErasesThenLoadsAndKeepsByteOrder)
{
    TempDir dir;
    writeFile(dir / "f", {0x00, 0x01});
    UMBDataBuffer buffer(bytesOf("old contents"));
    buffer.seek(7);
    buffer.setByteOrder(1);
    buffer.setFilePath(dir / "f");
    EXPECT_EQ(buffer.bufferData(), (Bytes {0x00, 0x01}));
    EXPECT_EQ(buffer.getFilePointer(), 0);
    EXPECT_EQ(buffer.readShort(), 1) << "byte order 1 was lost";

    buffer.setFilePath(dir / "missing");
    EXPECT_EQ(buffer.length(), 0) << "an unreadable file must leave the buffer empty";
    EXPECT_EQ(buffer.getFilePointer(), 0);
}

// --- the write rule ---------------------------------------------------------

TEST(UMBDataBufferTest, WriteRuleAppendsAtTheEndAndOverwritesBeforeIt)
{
    struct {
        const char* what;
        Bytes start;
        std::intptr_t position;
        Bytes written;
        Bytes expected;
    } cases[] = {
        {"append to empty", {}, 0, {1, 2}, {1, 2}},
        {"append at end", {0xAA}, 1, {1, 2}, {0xAA, 1, 2}},
        {"overwrite inside", {0xAA, 0xBB, 0xCC}, 0, {1, 2}, {1, 2, 0xCC}},
        {"overwrite and grow", {0xAA, 0xBB, 0xCC}, 2, {1, 2, 3, 4}, {0xAA, 0xBB, 1, 2, 3, 4}},
        {"empty write at end", {0xAA}, 1, {}, {0xAA}},
    };
    for (const auto& c : cases) {
        UMBDataBuffer buffer(c.start);
        buffer.seek(c.position);
        buffer.write(c.written.data(), static_cast<int32_t>(c.written.size()));
        EXPECT_EQ(buffer.bufferData(), c.expected) << c.what << ": " << hex(buffer.bufferData());
        EXPECT_EQ(
            buffer.getFilePointer(), c.position + static_cast<std::intptr_t>(c.written.size()))
            << c.what;
    }
}

TEST(UMBDataBufferTest, WriteRuleRefusesPositionsOutsideTheContents)
{
    const uint8_t one = 1;
    struct {
        const char* what;
        std::intptr_t position;
    } positions[] = {
        {"past the end", 5},
        {"before the start", -1},
        {"largest position", std::numeric_limits<std::intptr_t>::max()},
        {"smallest position", std::numeric_limits<std::intptr_t>::min()},
    };
    for (auto p : positions) {
        UMBDataBuffer buffer(Bytes {0xAA, 0xBB, 0xCC});
        buffer.seek(p.position);
        expectRangeErrorLeavesBuffer(
            buffer, [](auto& b) { b.writeChar(1); }, p.what);
        expectRangeErrorLeavesBuffer(
            buffer, [](auto& b) { b.writeDouble(1); }, p.what);
        expectRangeErrorLeavesBuffer(
            buffer, [&](auto& b) { b.write(&one, 1); }, p.what);
        expectRangeErrorLeavesBuffer(
            buffer, [&](auto& b) { b.writeData(Bytes {1}); }, p.what);
        expectRangeErrorLeavesBuffer(
            buffer, [](auto& b) { b.writeString("x"); }, p.what);
        expectRangeErrorLeavesBuffer(
            buffer, [](auto& b) { b.writeUTF("x"); }, p.what);
    }
    UMBDataBuffer buffer(Bytes {0xAA});
    expectRangeErrorLeavesBuffer(
        buffer, [&](auto& b) { b.write(&one, -1); }, "negative count");
}

TEST(UMBDataBufferTest, SeekToEndThenWriteAppends)
{
    UMBDataBuffer buffer(Bytes {0xAA, 0xBB, 0xCC});
    buffer.seek(5);
    EXPECT_THROW(buffer.writeChar(1), DataBufferRangeError);
    EXPECT_EQ(buffer.length(), 3);
    EXPECT_EQ(buffer.getFilePointer(), 5);
    buffer.seekToEnd();
    buffer.writeChar(1);
    EXPECT_EQ(buffer.bufferData(), (Bytes {0xAA, 0xBB, 0xCC, 0x01}));
}

TEST(UMBDataBufferTest, WritingTheBuffersOwnBytesSurvivesGrowth)
{
    UMBDataBuffer buffer(bytesOf("abcd"));
    buffer.seekToEnd();
    buffer.writeData(buffer.bufferData());
    EXPECT_EQ(buffer.bufferData(), bytesOf("abcdabcd"));
    buffer.seek(6);
    buffer.write(buffer.getBytes() + 1, 4); // overlaps its own destination
    EXPECT_EQ(buffer.bufferData(), bytesOf("abcdabbcda"));
}

// --- the read rule ----------------------------------------------------------

TEST(UMBDataBufferTest, ReadRuleNeedsAllBytesInsideTheContents)
{
    struct {
        const char* what;
        std::intptr_t position;
    } outside[] = {
        {"three bytes before the end", 3},
        {"at the end", 6},
        {"past the end", 10},
        {"before the start", -2},
        {"where p + 4 wraps", std::numeric_limits<std::intptr_t>::max() - 1},
        {"smallest position", std::numeric_limits<std::intptr_t>::min()},
    };
    for (auto o : outside) {
        UMBDataBuffer buffer(Bytes {1, 2, 3, 4, 5, 6});
        buffer.seek(o.position);
        uint8_t sink[8];
        expectRangeErrorLeavesBuffer(
            buffer, [](auto& b) { b.readInt(); }, o.what);
        expectRangeErrorLeavesBuffer(
            buffer, [](auto& b) { b.readFloat(); }, o.what);
        expectRangeErrorLeavesBuffer(
            buffer, [&](auto& b) { b.read(sink, 4); }, o.what);
        expectRangeErrorLeavesBuffer(
            buffer, [](auto& b) { b.readString(4); }, o.what);
    }

    UMBDataBuffer buffer(Bytes {1, 2, 3});
    uint8_t sink[3] = {};
    EXPECT_EQ(buffer.read(sink, 3), 3);
    EXPECT_EQ(buffer.getFilePointer(), 3);
    EXPECT_EQ(buffer.read(sink, 0), 0) << "an empty read at the end is inside";
    buffer.rewind();
    expectRangeErrorLeavesBuffer(
        buffer, [&](auto& b) { b.read(sink, -1); }, "negative count");
    buffer.seek(4);
    expectRangeErrorLeavesBuffer(
        buffer, [&](auto& b) { b.read(sink, 0); }, "empty read past end");
}

TEST(UMBDataBufferTest, ReadsSignExtend)
{
    UMBDataBuffer buffer(Bytes {0x80, 0xFF, 0xFF, 0xFE, 0xFF, 0xFF, 0xFF});
    EXPECT_EQ(buffer.readChar(), -128);
    EXPECT_EQ(buffer.readShort(), -1);
    EXPECT_EQ(buffer.readInt(), -2);
    EXPECT_EQ(buffer.getFilePointer(), 7);
}

// --- byte orders ------------------------------------------------------------

TEST(UMBDataBufferTest, EveryWidthInBothByteOrders)
{
    const auto longBytes = [](bool big) {
        Bytes b = sizeof(std::intptr_t) == 8
            ? Bytes {0x08, 0x07, 0x06, 0x05, 0x04, 0x03, 0x02, 0x81}
            : Bytes {0x04, 0x03, 0x02, 0x81};
        if (big)
            std::reverse(b.begin(), b.end());
        return b;
    };
    const std::intptr_t longValue = sizeof(std::intptr_t) == 8
        ? static_cast<std::intptr_t>(0x8102030405060708ULL)
        : static_cast<std::intptr_t>(0x81020304UL);

    for (int32_t order : {0, 1, 2, -1}) {
        bool big = order == 1;
        SCOPED_TRACE("byte order " + std::to_string(order));
        struct {
            const char* what;
            std::function<void(UMBDataBuffer&)> write;
            std::function<bool(UMBDataBuffer&)> readBack;
            Bytes little;
        } rows[] = {
            {"char", [](auto& b) { b.writeChar(-2); }, [](auto& b) { return b.readChar() == -2; },
                {0xFE}},
            {"short", [](auto& b) { b.writeShort(-32767); },
                [](auto& b) { return b.readShort() == -32767; }, {0x01, 0x80}},
            {"int", [](auto& b) { b.writeInt(0x01020384); },
                [](auto& b) { return b.readInt() == 0x01020384; }, {0x84, 0x03, 0x02, 0x01}},
            {"long", [&](auto& b) { b.writeLong(longValue); },
                [&](auto& b) { return b.readLong() == longValue; }, longBytes(false)},
            {"float", [](auto& b) { b.writeFloat(1.0f); },
                [](auto& b) { return b.readFloat() == 1.0f; }, {0x00, 0x00, 0x80, 0x3F}},
            {"double", [](auto& b) { b.writeDouble(-2.5); },
                [](auto& b) { return b.readDouble() == -2.5; },
                {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x04, 0xC0}},
        };
        for (auto& r : rows) {
            Bytes expected = r.little;
            if (big)
                std::reverse(expected.begin(), expected.end());
            UMBDataBuffer buffer;
            buffer.setByteOrder(order);
            r.write(buffer);
            EXPECT_EQ(buffer.bufferData(), expected) << r.what << ": " << hex(buffer.bufferData());
            EXPECT_EQ(buffer.getFilePointer(), static_cast<std::intptr_t>(expected.size()))
                << r.what;
            buffer.rewind();
            EXPECT_TRUE(r.readBack(buffer)) << r.what;
            EXPECT_EQ(buffer.getFilePointer(), static_cast<std::intptr_t>(expected.size()))
                << r.what;
        }
    }
}

TEST(UMBDataBufferTest, PublishedByteOrderExamples)
{
    UMBDataBuffer little;
    little.writeInt(1);
    EXPECT_EQ(little.bufferData(), (Bytes {0x01, 0x00, 0x00, 0x00}));
    EXPECT_EQ(little.getFilePointer(), 4);

    UMBDataBuffer big;
    big.setByteOrder(1);
    big.writeInt(1);
    EXPECT_EQ(big.bufferData(), (Bytes {0x00, 0x00, 0x00, 0x01}));

    EXPECT_EQ(UMBDataBuffer(Bytes {0x00, 0x00, 0x80, 0x3F}).readFloat(), 1.0f);
    UMBDataBuffer bigFloat(Bytes {0x3F, 0x80, 0x00, 0x00});
    bigFloat.setByteOrder(1);
    EXPECT_EQ(bigFloat.readFloat(), 1.0f);

    // Switching the order converts nothing already stored.
    little.setByteOrder(1);
    EXPECT_EQ(little.bufferData(), (Bytes {0x01, 0x00, 0x00, 0x00}));
    little.rewind();
    EXPECT_EQ(little.readInt(), 0x01000000);
}

TEST(UMBDataBufferTest, FloatPatternsPassBitForBitInBothOrders)
{
    // Signalling NaNs with payloads, quiet NaNs, denormals, signed zero,
    // infinity, and values whose reversed pattern is a signalling NaN.
    const uint32_t floats[] = {0x7F800001, 0xFF800123, 0x7FC00001, 0x7FBFFFFF, 0x00000001,
        0x807FFFFF, 0x80000000, 0x7F800000, 0x0100807F, 0x3F800000};
    const uint64_t doubles[] = {0x7FF0000000000001, 0xFFF00000DEADBEEF, 0x7FF8000000000001,
        0x0000000000000001, 0x800FFFFFFFFFFFFF, 0x8000000000000000, 0x010000000000F07F};
    for (int32_t order : {0, 1}) {
        for (uint32_t bits : floats) {
            UMBDataBuffer buffer;
            buffer.setByteOrder(order);
            buffer.writeFloat(std::bit_cast<float>(bits));
            Bytes expected = {static_cast<uint8_t>(bits), static_cast<uint8_t>(bits >> 8),
                static_cast<uint8_t>(bits >> 16), static_cast<uint8_t>(bits >> 24)};
            if (order == 1)
                std::reverse(expected.begin(), expected.end());
            EXPECT_EQ(buffer.bufferData(), expected) << std::hex << bits << " order " << order;
            buffer.rewind();
            EXPECT_EQ(std::bit_cast<uint32_t>(buffer.readFloat()), bits)
                << std::hex << bits << " order " << order;
        }
        for (uint64_t bits : doubles) {
            UMBDataBuffer buffer;
            buffer.setByteOrder(order);
            buffer.writeDouble(std::bit_cast<double>(bits));
            Bytes expected;
            for (int i = 0; i < 8; ++i)
                expected.push_back(static_cast<uint8_t>(bits >> (8 * i)));
            if (order == 1)
                std::reverse(expected.begin(), expected.end());
            EXPECT_EQ(buffer.bufferData(), expected) << std::hex << bits << " order " << order;
            buffer.rewind();
            EXPECT_EQ(std::bit_cast<uint64_t>(buffer.readDouble()), bits)
                << std::hex << bits << " order " << order;
        }
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

// --- position and size ------------------------------------------------------

TEST(UMBDataBufferTest, RemainingGoesNegativePastTheEnd)
{
    struct {
        int32_t length;
        std::intptr_t position;
        int32_t remaining;
        bool hasRemaining;
    } cases[] = {
        {4, 0, 4, true}, {4, 3, 1, true}, {4, 4, 0, false}, {4, 10, -6, false},
        {4, -1, 5, false}, // a count of five, none of them readable
    };
    for (auto c : cases) {
        UMBDataBuffer buffer;
        buffer.setToLength(c.length);
        buffer.seek(c.position);
        EXPECT_EQ(buffer.remaining(), c.remaining) << c.position;
        EXPECT_EQ(buffer.hasRemaining(), c.hasRemaining) << c.position;
    }
    UMBDataBuffer buffer(Bytes(4));
    buffer.seek(10);
    EXPECT_THROW(buffer.readChar(), DataBufferRangeError);
    if constexpr (sizeof(std::intptr_t) == 8) {
        // The count is 32-bit by contract, but no byte lies 4 GiB out.
        buffer.seek((std::intptr_t {1} << 32) + 1);
        EXPECT_EQ(buffer.remaining(), 3);
        EXPECT_FALSE(buffer.hasRemaining());
    }
}

TEST(UMBDataBufferTest, SetToLengthAndResizeKeepThePosition)
{
    UMBDataBuffer cut(Bytes {0xAA, 0xBB, 0xCC});
    cut.seek(3);
    cut.setToLength(1);
    EXPECT_EQ(cut.bufferData(), (Bytes {0xAA}));
    EXPECT_EQ(cut.getFilePointer(), 3);
    EXPECT_EQ(cut.remaining(), -2);
    cut.setToLength(3);
    EXPECT_EQ(cut.bufferData(), (Bytes {0xAA, 0, 0})) << "extension must be zero bytes";

    UMBDataBuffer grown(Bytes {0xAA, 0xBB});
    grown.seek(1);
    grown.resize(4);
    EXPECT_EQ(grown.bufferData(), (Bytes {0xAA, 0xBB, 0, 0, 0, 0})) << "resize grows by n";
    EXPECT_EQ(grown.getFilePointer(), 1);

    expectRangeErrorLeavesBuffer(
        grown, [](auto& b) { b.setToLength(-1); }, "setToLength -1");
    expectRangeErrorLeavesBuffer(
        grown, [](auto& b) { b.resize(-1); }, "resize -1");
}

TEST(UMBDataBufferTest, EraseKeepsTheByteOrder)
{
    UMBDataBuffer buffer(Bytes {1, 2, 3});
    buffer.seek(2);
    buffer.setByteOrder(1);
    buffer.erase();
    EXPECT_EQ(buffer.length(), 0);
    EXPECT_EQ(buffer.getFilePointer(), 0);
    EXPECT_EQ(buffer.byteorder(), 1);
}

// --- contents: live access, slice, extractRange -----------------------------

TEST(UMBDataBufferTest, BufferDataIsTheLiveContents)
{
    UMBDataBuffer buffer(Bytes {1, 2});
    buffer.bufferData().push_back(3);
    EXPECT_EQ(buffer.length(), 3);
    buffer.getBytes()[0] = 9;
    EXPECT_EQ(buffer.readChar(), 9);
}

TEST(UMBDataBufferTest, SliceCopiesFromThePositionWithoutMoving)
{
    UMBDataBuffer buffer(Bytes {1, 2, 3});
    buffer.seek(1);
    EXPECT_EQ(buffer.slice(), (Bytes {2, 3}));
    EXPECT_EQ(buffer.getFilePointer(), 1);
    buffer.seekToEnd();
    EXPECT_TRUE(buffer.slice().empty());
    for (std::intptr_t p : {std::intptr_t {4}, std::intptr_t {-1}}) {
        buffer.seek(p);
        EXPECT_THROW(buffer.slice(), DataBufferRangeError) << p;
    }
}

TEST(UMBDataBufferTest, ExtractRangeMovesByTheLengthWhereverItStarts)
{
    UMBDataBuffer buffer(Bytes {0, 1, 2, 3, 4, 5, 6});
    EXPECT_EQ(buffer.extractRange(4, 2), (Bytes {4, 5}));
    EXPECT_EQ(buffer.getFilePointer(), 2);
    EXPECT_EQ(buffer.extractRange(7, 0), Bytes {}) << "an empty range at the end is inside";

    constexpr auto kMax = std::numeric_limits<std::uintptr_t>::max();
    struct {
        std::uintptr_t start, length;
    } outside[] = {{6, 2}, {8, 0}, {1, kMax}, {kMax, 2}};
    for (auto o : outside)
        expectRangeErrorLeavesBuffer(
            buffer, [&](auto& b) { b.extractRange(o.start, o.length); },
            ("range " + std::to_string(o.start) + "+" + std::to_string(o.length)).c_str());

    buffer.seek(std::numeric_limits<std::intptr_t>::max());
    expectRangeErrorLeavesBuffer(
        buffer, [](auto& b) { b.extractRange(0, 1); }, "a move that would wrap the position");
}

// --- lights-point records ---------------------------------------------------

TEST(UMBDataBufferTest, LightsPointRecordsReadWhileBytesRemain)
{
    UMBDataBuffer writer;
    for (int i = 0; i < 2; ++i) {
        writer.writeInt(static_cast<int32_t>(0xFF00FF00) + i);
        writer.writeFloat(-120.5f + static_cast<float>(i));
        writer.writeFloat(35.25f);
    }
    ASSERT_EQ(writer.length(), 24);
    UMBDataBuffer reader(writer.bufferData());
    int records = 0;
    reader.rewind();
    while (reader.hasRemaining()) {
        EXPECT_EQ(reader.readInt(), static_cast<int32_t>(0xFF00FF00) + records);
        EXPECT_EQ(reader.readFloat(), -120.5f + static_cast<float>(records));
        EXPECT_EQ(reader.readFloat(), 35.25f);
        ++records;
    }
    EXPECT_EQ(records, 2);

    // A length that is not a multiple of 12 ends inside its last record.
    reader.bufferData().push_back(0);
    reader.seek(24);
    EXPECT_TRUE(reader.hasRemaining());
    EXPECT_THROW(reader.readInt(), DataBufferRangeError);
}

// --- strings ----------------------------------------------------------------

TEST(UMBDataBufferTest, PrefixedStringsInBothOrders)
{
    const std::string hello = "h\xC3\xA9llo";
    struct {
        int32_t order;
        Bytes expected;
    } cases[] = {
        {0, {0x06, 0x00, 0x68, 0xC3, 0xA9, 0x6C, 0x6C, 0x6F}},
        {1, {0x00, 0x06, 0x68, 0xC3, 0xA9, 0x6C, 0x6C, 0x6F}},
    };
    for (const auto& c : cases) {
        UMBDataBuffer buffer;
        buffer.setByteOrder(c.order);
        buffer.writeUTF(hello);
        EXPECT_EQ(buffer.bufferData(), c.expected) << "order " << c.order;
        EXPECT_EQ(buffer.getFilePointer(), 8);
        buffer.rewind();
        EXPECT_EQ(buffer.readUTF(), hello) << "order " << c.order;
        EXPECT_EQ(buffer.getFilePointer(), 8);
    }

    UMBDataBuffer ab(Bytes {0x02, 0x00, 0x41, 0x42});
    EXPECT_EQ(ab.readUTF(), "AB");
    UMBDataBuffer empty(Bytes {0x00, 0x00});
    EXPECT_EQ(empty.readUTF(), "");
    EXPECT_EQ(empty.getFilePointer(), 2);
}

TEST(UMBDataBufferTest, ReadUTFPastTheEndKeepsOnlyThePrefixConsumed)
{
    struct {
        const char* what;
        Bytes bytes;
    } cases[] = {
        {"count past the end", {0x05, 0x00, 0x41}},
        {"negative count", {0xFF, 0xFF, 0x41}},
    };
    for (const auto& c : cases) {
        UMBDataBuffer buffer(c.bytes);
        EXPECT_THROW(buffer.readUTF(), DataBufferRangeError) << c.what;
        EXPECT_EQ(buffer.getFilePointer(), 2) << c.what;
    }
}

TEST(UMBDataBufferTest, WriteUTFRefusesCountsThePrefixCannotHold)
{
    UMBDataBuffer buffer;
    buffer.writeUTF(std::string(32767, 'a'));
    EXPECT_EQ(buffer.length(), 2 + 32767);
    buffer.rewind();
    EXPECT_EQ(buffer.readShort(), 32767);
    buffer.seekToEnd();
    expectRangeErrorLeavesBuffer(
        buffer, [](auto& b) { b.writeUTF(std::string(32768, 'a')); }, "32768 bytes");
    expectRangeErrorLeavesBuffer(
        buffer, [](auto& b) { b.writeUTF(std::string(65538, 'a')); },
        "a count whose low 16 bits fit");
}

TEST(UMBDataBufferTest, WriteStringStopsAtTheFirstZeroByte)
{
    UMBDataBuffer buffer;
    buffer.writeString(std::string_view("a\xC3\xA9\0z", 5));
    EXPECT_EQ(buffer.bufferData(), (Bytes {0x61, 0xC3, 0xA9}));
    EXPECT_EQ(buffer.getFilePointer(), 3);
    buffer.writeUTF(std::string_view("b\0c", 3));
    EXPECT_EQ(buffer.bufferData(), (Bytes {0x61, 0xC3, 0xA9, 0x01, 0x00, 0x62}));
}

TEST(UMBDataBufferTest, InvalidUtf8IsRefusedOnWriteAndNullOnRead)
{
    const char* invalid[] = {"\xFF", "ab\xC3", "\xED\xA0\x80" /* a surrogate */, "\xC0\xAF"};
    for (const char* text : invalid) {
        UMBDataBuffer buffer(Bytes {0x41});
        buffer.seekToEnd();
        expectRangeErrorLeavesBuffer(
            buffer, [&](auto& b) { b.writeString(text); }, text);
        expectRangeErrorLeavesBuffer(
            buffer, [&](auto& b) { b.writeUTF(text); }, text);
    }

    UMBDataBuffer bad(Bytes {0x41, 0xFF, 0x42, 0x02, 0x00, 0xC3, 0x28});
    EXPECT_EQ(bad.readString(0), "");
    EXPECT_EQ(bad.readString(3), std::nullopt);
    EXPECT_EQ(bad.getFilePointer(), 3) << "invalid bytes are consumed all the same";
    EXPECT_EQ(bad.readUTF(), std::nullopt);
    EXPECT_EQ(bad.getFilePointer(), 7);
    bad.rewind();
    expectRangeErrorLeavesBuffer(
        bad, [](auto& b) { b.readString(8); }, "past the end");
    expectRangeErrorLeavesBuffer(
        bad, [](auto& b) { b.readString(-1); }, "negative count");
}

// --- lines ------------------------------------------------------------------

TEST(UMBDataBufferTest, ReadLineOverThePublishedSixteenBytes)
{
    UMBDataBuffer buffer(Bytes {0x61, 0x62, 0x63, 0x0D, 0x0A, 0x20, 0x20, 0x64, 0x65, 0x66, 0x20,
        0x20, 0x0A, 0x78, 0x79, 0x7A});
    struct {
        const char* line;
        std::intptr_t position;
    } expected[] = {{"abc", 5}, {"def", 13}, {"xyz", 16}, {"", 16}, {"", 16}};
    for (auto e : expected) {
        EXPECT_EQ(buffer.readLine(), e.line) << "before position " << e.position;
        EXPECT_EQ(buffer.getFilePointer(), e.position) << e.line;
    }
}

TEST(UMBDataBufferTest, ReadLineTrimsBothEndsOnly)
{
    struct {
        const char* what;
        std::string bytes;
        std::optional<std::string> line;
        std::intptr_t position;
    } cases[] = {
        {"spaces only", "    \n", "", 5},
        {"inner space stays", " a \t b \n", "a \t b", 8},
        {"no-break space and NEL", "\xC2\xA0x\xC2\x85\n", "x", 6},
        {"invalid bytes", "\xFF\n", std::nullopt, 2},
        {"last line whole", "tail  ", "tail", 6},
        {"empty line", "\nnext", "", 1},
    };
    for (const auto& c : cases) {
        UMBDataBuffer buffer(bytesOf(c.bytes));
        EXPECT_EQ(buffer.readLine(), c.line) << c.what;
        EXPECT_EQ(buffer.getFilePointer(), c.position) << c.what;
    }
    UMBDataBuffer outside(bytesOf("abc\n"));
    for (std::intptr_t p : {std::intptr_t {-1}, std::intptr_t {9}}) {
        outside.seek(p);
        EXPECT_EQ(outside.readLine(), "") << p;
        EXPECT_EQ(outside.getFilePointer(), p) << "the position must not move";
    }
}

// --- files ------------------------------------------------------------------

TEST(UMBDataBufferTest, WriteToFileWritesTheWholeContents)
{
    TempDir dir;
    UMBDataBuffer buffer(bytesOf("whole"));
    buffer.seek(3);
    EXPECT_TRUE(buffer.writeToFile(dir / "a"));
    EXPECT_EQ(fileBytes(dir / "a"), bytesOf("whole")) << "the position must not matter";
    EXPECT_TRUE(UMBDataBuffer(bytesOf("new")).writeToFile(dir / "a"));
    EXPECT_EQ(fileBytes(dir / "a"), bytesOf("new"));
    EXPECT_TRUE(buffer.writeToFile(dir / "b", false));
    EXPECT_EQ(fileBytes(dir / "b"), bytesOf("whole"));
    EXPECT_FALSE(buffer.writeToFile(dir / "no/such/folder"));
}

TEST(UMBDataBufferTest, AppendAddsToAnExistingFileAndCreatesNothing)
{
    TempDir dir;
    UMBDataBuffer buffer(bytesOf("tail"));
    EXPECT_FALSE(buffer.writeToFile(dir / "missing", true));
    EXPECT_FALSE(fs::exists(dir / "missing")) << "an append must never create a file";

    writeFile(dir / "log", bytesOf("head-"));
    EXPECT_TRUE(buffer.writeToFile(dir / "log", true));
    EXPECT_EQ(fileBytes(dir / "log"), bytesOf("head-tail"));
}
