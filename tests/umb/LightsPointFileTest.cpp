// Lights-point files that are not a whole number of records, are empty, hold
// a great many records, or hold values no map has: the reader takes every
// whole record and no byte past the end, and the layer plots only points
// that lie on the grid.
#include "support/TempDir.h"
#include "umb/UMBDataBuffer.h"
#include "umb/UMBEquirectangular.h"

#include <cmath>
#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <limits>

using umb::UMBDataBuffer;
using umb::UMBEquirectangular;

namespace {

struct Record {
    int32_t color;
    float lon, lat;
};

std::vector<uint8_t> encode(const std::vector<Record>& records, size_t extra)
{
    std::vector<uint8_t> bytes;
    for (const auto& r : records) {
        uint8_t b[12];
        std::memcpy(b, &r.color, 4);
        std::memcpy(b + 4, &r.lon, 4);
        std::memcpy(b + 8, &r.lat, 4);
        bytes.insert(bytes.end(), b, b + 12);
    }
    bytes.insert(bytes.end(), extra, 0x7F);
    return bytes;
}

// The reader's loop as the lights layer runs it: whole records while any
// remain, counting what it read; a range error would escape the test.
size_t readRecords(UMBDataBuffer& buffer)
{
    size_t n = 0;
    buffer.rewind();
    while (buffer.hasRemaining() && buffer.remaining() >= 12) {
        buffer.readInt();
        buffer.readFloat();
        buffer.readFloat();
        ++n;
    }
    return n;
}

int litPixels(const platform::Image& layer)
{
    const platform::Bitmap& b = *layer.bitmap();
    int lit = 0;
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x)
            lit += b.pixelAt(x, y)[3] != 0;
    return lit;
}

} // namespace

TEST(LightsPointFileTest, OnlyWholeRecordsAreReadAndNothingPastTheEnd)
{
    for (size_t records : {size_t(0), size_t(1), size_t(7)}) {
        for (size_t extra = 0; extra < 12; ++extra) {
            std::vector<uint8_t> bytes = encode(std::vector<Record>(records, {-1, 1, 2}), extra);
            bytes.shrink_to_fit(); // a read past the end is then one the sanitizer sees
            UMBDataBuffer buffer(bytes);
            EXPECT_EQ(readRecords(buffer), records) << records << " records + " << extra;
            EXPECT_EQ(buffer.getFilePointer(), std::intptr_t(records * 12));
            EXPECT_EQ(buffer.remaining(), int32_t(extra));
            // The reader without the whole-record test: the partial record is
            // a range error, and the position stays at its start.
            if (extra > 0 && extra < 4) {
                EXPECT_THROW(buffer.readInt(), umb::DataBufferRangeError);
                EXPECT_EQ(buffer.getFilePointer(), std::intptr_t(records * 12));
            }
        }
    }
}

TEST(LightsPointFileTest, AVeryLargeFileIsReadWholeAndPlotsOnlyTheNightSide)
{
    testing_support::TempDir dir;
    // 300 000 records, 3.6 MB: the night half of a 360 x 180 grid many
    // times over, a last partial record, and nothing outside the grid.
    std::vector<Record> records;
    records.reserve(300000);
    for (int i = 0; i < 300000; ++i)
        records.push_back(
            {int32_t(0xFF00FF00u), float(-179.5 + (i % 180)), float(-89.5 + (i / 180) % 180)});
    const std::string path = dir / "lights.bin";
    auto bytes = encode(records, 5);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));

    UMBDataBuffer buffer = UMBDataBuffer::initWithFile(path);
    EXPECT_EQ(buffer.length(), int32_t(300000 * 12 + 5));
    EXPECT_EQ(readRecords(buffer), 300000u);

    UMBEquirectangular r(360, 180);
    r.setLightsimgpath(path);
    // The Sun over (90, 0): longitudes -180..0 are night.
    platform::Image layer = r.drawLightsLayer({90, 0});
    EXPECT_EQ(litPixels(layer), 180 * 180);
}

TEST(LightsPointFileTest, ValuesNoMapHasArePassedOver)
{
    testing_support::TempDir dir;
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float big = std::numeric_limits<float>::max();
    const std::vector<Record> records = {
        {-1, nan, 0}, {-1, -120, nan}, {-1, inf, 0}, {-1, -inf, 0}, {-1, -120, inf},
        {-1, -120, -inf}, {-1, big, 10}, {-1, -big, 10}, {-1, -120, big}, {-1, -120, -big},
        {-1, -1e30f, -1e30f}, {-1, 7e9f, 0}, {-1, -120.5f, 10.2f}, // the one sound night-side point
    };
    const std::string path = dir / "lights.bin";
    auto bytes = encode(records, 0);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    UMBEquirectangular r(360, 180);
    r.setLightsimgpath(path);
    platform::Image layer = r.drawLightsLayer({0, 0});
    EXPECT_EQ(litPixels(layer), 1) << "points off the grid were plotted";
    EXPECT_NE(layer.bitmap()->pixelAt(59, 79)[3], 0);
}
