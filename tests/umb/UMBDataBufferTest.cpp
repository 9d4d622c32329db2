#include "umb/UMBDataBuffer.h"

#include "platform/Files.h"

#include "support/HostileBytes.h"
#include "support/TempDir.h"

#include <algorithm>
#include <bit>
#include <functional>
#include <gtest/gtest.h>
#include <limits>
#include <map>
#include <sstream>

#include "support/UmbFixtures.h"

using umb::DataBufferRangeError;
using umb::UMBDataBuffer;
using Bytes = UMBDataBuffer::Bytes;
using Op = std::function<void(UMBDataBuffer&)>;
using testing_support::bytesOf;
using testing_support::TempDir;

namespace {

constexpr auto kMax = std::numeric_limits<std::intptr_t>::max();
constexpr auto kMin = std::numeric_limits<std::intptr_t>::min();

Bytes hexBytes(const std::string& text)
{
    Bytes bytes;
    std::istringstream in(text);
    for (std::string word; in >> word;)
        bytes.push_back(uint8_t(std::stoul(word, nullptr, 16)));
    return bytes;
}

std::string hex(const Bytes& bytes)
{
    std::string out;
    char cell[4];
    for (uint8_t b : bytes) {
        std::snprintf(cell, sizeof cell, out.empty() ? "%02X" : " %02X", b);
        out += cell;
    }
    return out;
}

std::intptr_t position(const std::string& text)
{
    return text == "max"  ? kMax
        : text == "max-1" ? kMax - 1
        : text == "min"   ? kMin
                          : std::stoll(text);
}

// A floating-point value's bit pattern in hexadecimal, as the table writes it.
template<typename T> std::string bitsOf(T value)
{
    using Bits = std::conditional_t<sizeof(T) == 4, uint32_t, uint64_t>;
    char text[20];
    std::snprintf(text, sizeof text, "%0*llX", int(2 * sizeof(T)),
        (unsigned long long)std::bit_cast<Bits>(value));
    return text;
}

std::string text(const std::optional<std::string>& s)
{
    return s ? *s : "null";
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
    const Bytes contents = {0x00, 0x0A, 0xFF, 0x41};
    ASSERT_TRUE(platform::writeFileAtomically(path, contents));
    // URLs are the platform's to resolve: a file URL gives the file's bytes,
    // another kind none.
    EXPECT_EQ(UMBDataBuffer::initWithURL("file://localhost" + escaped).bufferData(), contents);
    EXPECT_EQ(UMBDataBuffer::initWithURL("http://localhost" + escaped).length(), 0);
    EXPECT_EQ(UMBDataBuffer::initWithFile(path).bufferData(), contents);
    EXPECT_EQ(UMBDataBuffer::initWithFile(dir / "missing").length(), 0);

    // setFilePath erases, then loads, keeping the byte order.
    ASSERT_TRUE(platform::writeFileAtomically(dir / "f", Bytes {0x00, 0x01}));
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
    EXPECT_EQ(platform::readFile(dir / "a"), bytesOf("whole"));
    EXPECT_EQ(platform::readFile(dir / "b"), bytesOf("new"));
    EXPECT_FALSE(whole.writeToFile(dir / "no/such/folder"));
    EXPECT_FALSE(whole.writeToFile(dir / "missing", true));
    EXPECT_TRUE(whole.writeToFile(dir / "a", true));
    EXPECT_EQ(platform::readFile(dir / "a"), bytesOf("wholewhole"));
}

TEST(UMBDataBufferTest, OperationsGiveTheTabledBytesResultsAndPositions)
{
    static_assert(sizeof(std::intptr_t) == 8, "the table's long values are 64-bit");
    using Run = std::function<std::string(UMBDataBuffer&, const std::string&)>;
    auto n = [](const std::string& a) { return int32_t(std::stol(a)); };
    auto bits = [](const std::string& a) { return std::stoull(a, nullptr, 16); };
    // Writers give no result.
    auto w = [](auto op) -> Run {
        return [op](UMBDataBuffer& b, const std::string& a) { return op(b, a), std::string(); };
    };
    auto f32 = [&](auto& a) { return std::bit_cast<float>(uint32_t(bits(a))); };
    auto f64 = [&](auto& a) { return std::bit_cast<double>(uint64_t(bits(a))); };
    const std::map<std::string, Run> ops = {
        {"write", w([](auto& b, auto& a) {
             Bytes x = hexBytes(a);
             b.write(x.data(), int32_t(x.size()));
         })},
        {"writeData", w([](auto& b, auto& a) { b.writeData(hexBytes(a)); })},
        {"writeChar", w([&](auto& b, auto& a) { b.writeChar(int8_t(n(a))); })},
        {"writeShort", w([&](auto& b, auto& a) { b.writeShort(int16_t(n(a))); })},
        {"writeInt", w([&](auto& b, auto& a) { b.writeInt(n(a)); })},
        {"writeLong", w([](auto& b, auto& a) { b.writeLong(std::intptr_t(std::stoll(a))); })},
        {"writeFloat", w([&](auto& b, auto& a) { b.writeFloat(f32(a)); })},
        {"writeDouble", w([&](auto& b, auto& a) { b.writeDouble(f64(a)); })},
        {"writeString", w([](auto& b, auto& a) { b.writeString(a); })},
        {"writeUTF", w([](auto& b, auto& a) { b.writeUTF(a); })},
        {"readChar", [](auto& b, auto&) { return std::to_string(b.readChar()); }},
        {"readShort", [](auto& b, auto&) { return std::to_string(b.readShort()); }},
        {"readInt", [](auto& b, auto&) { return std::to_string(b.readInt()); }},
        {"readLong", [](auto& b, auto&) { return std::to_string(b.readLong()); }},
        {"readFloat", [](auto& b, auto&) { return bitsOf(b.readFloat()); }},
        {"readDouble", [](auto& b, auto&) { return bitsOf(b.readDouble()); }},
        {"read",
            [&](auto& b, auto& a) {
                uint8_t sink[16];
                return std::to_string(b.read(sink, n(a)));
            }},
        {"readString", [&](auto& b, auto& a) { return text(b.readString(n(a))); }},
        {"readUTF", [](auto& b, auto&) { return text(b.readUTF()); }},
        {"readLine", [](auto& b, auto&) { return text(b.readLine()); }},
        {"slice", [](auto& b, auto&) { return hex(b.slice()); }},
        {"remaining",
            [](auto& b, auto&) {
                return std::to_string(b.remaining()) + (b.hasRemaining() ? " some" : " none");
            }},
        {"extractRange",
            [](auto& b, auto& a) {
                std::uintptr_t start = 0, length = 0;
                std::istringstream(a) >> start >> length;
                return hex(b.extractRange(start, length));
            }},
        {"setToLength", w([&](auto& b, auto& a) { b.setToLength(n(a)); })},
        {"resize", w([&](auto& b, auto& a) { b.resize(n(a)); })},
    };
    for (const auto& row : testing_support::dataTable("data-buffer-ops.tsv")) {
        ASSERT_EQ(row.size(), 8u);
        const std::string what
            = row[3] + "(" + row[4] + ") on [" + row[0] + "] order " + row[1] + " at " + row[2];
        ASSERT_TRUE(ops.contains(row[3])) << what;
        UMBDataBuffer buffer(hexBytes(row[0]));
        buffer.setByteOrder(n(row[1]));
        buffer.seek(position(row[2]));
        std::string result;
        try {
            result = ops.at(row[3])(buffer, row[4]);
        } catch (const DataBufferRangeError&) {
            result = "error";
        }
        EXPECT_EQ(result, row[5]) << what;
        EXPECT_EQ(hex(buffer.bufferData()), row[6] == "=" ? hex(hexBytes(row[0])) : row[6]) << what;
        EXPECT_EQ(buffer.getFilePointer(), position(row[7] == "=" ? row[2] : row[7])) << what;
    }
}

TEST(UMBDataBufferTest, WhatTheTableCannotHold)
{
    // Counts a writer cannot be given as bytes; the buffer's own bytes as
    // the source, where it grows or overlaps them.
    UMBDataBuffer buffer(bytesOf("abcd"));
    const uint8_t one = 1;
    expectRangeError(
        buffer, [&](auto& b) { b.write(&one, -1); }, "negative count");
    buffer.seekToEnd();
    buffer.writeData(buffer.bufferData());
    EXPECT_EQ(buffer.bufferData(), bytesOf("abcdabcd"));
    buffer.seek(6);
    buffer.write(buffer.getBytes() + 1, 4);
    EXPECT_EQ(buffer.bufferData(), bytesOf("abcdabbcda"));
    // The longest text a two-byte count holds, and the counts it cannot.
    UMBDataBuffer longest;
    longest.writeUTF(std::string(32767, 'a'));
    EXPECT_EQ(longest.length(), 2 + 32767);
    expectRangeError(
        longest, [](auto& b) { b.writeUTF(std::string(32768, 'a')); }, "32768");
    expectRangeError(
        longest, [](auto& b) { b.writeUTF(std::string(65538, 'a')); }, "low 16 bits fit");
    // Switching the order converts nothing already stored.
    UMBDataBuffer little;
    little.writeInt(1);
    little.setByteOrder(1);
    little.rewind();
    EXPECT_EQ(little.readInt(), 0x01000000);
    // The byte swaps, on values whose swapped pattern is a signalling NaN.
    EXPECT_EQ(
        std::bit_cast<uint32_t>(UMBDataBuffer::floatToHost(std::bit_cast<float>(0x0100807Fu))),
        0x7F800001u);
    EXPECT_EQ(std::bit_cast<uint64_t>(UMBDataBuffer::doubleToHost(
                  std::bit_cast<double>(uint64_t {0x010000000000F07F}))),
        uint64_t {0x7FF0000000000001});
}

TEST(UMBDataBufferTest, LiveContentsAndErase)
{
    UMBDataBuffer cut(Bytes {0xAA, 0xBB, 0xCC});
    cut.bufferData().push_back(3);
    cut.getBytes()[0] = 9;
    EXPECT_EQ(cut.length(), 4) << "bufferData is the live contents";
    EXPECT_EQ(cut.readChar(), 9);
    cut.setByteOrder(1);
    cut.erase();
    EXPECT_TRUE(cut.length() == 0 && cut.getFilePointer() == 0 && cut.byteorder() == 1);
}
