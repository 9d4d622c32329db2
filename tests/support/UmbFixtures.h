// UmbFixtures: pictures, lights-point files and reference tables for the
// engine's tests. Everything is returned by value; nothing is kept between
// calls.
#pragma once

#include "platform/Bitmap.h"
#include "platform/Color.h"
#include "platform/Image.h"

#include <cstdint>
#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

namespace testing_support {

// The widget bundle's pictures: base maps, lights, the sun.
inline const std::string kWorldImages = std::string(GLOAM_SOURCE_DIR)
    + "/widget/Gloam.wdgt/GloamPlugin.widgetplugin/Contents/Resources/worldimages/";

// A picture of `w` x `h` pixels all of one straight RGBA colour.
inline platform::Image solid(int w, int h, uint8_t r, uint8_t g, uint8_t b, uint8_t a = 255)
{
    platform::Bitmap bitmap(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            bitmap.setColorAt(
                x, y, platform::Color::deviceRGB(r / 255.0, g / 255.0, b / 255.0, a / 255.0));
    return platform::Image(std::move(bitmap));
}

inline uint8_t alphaAt(const platform::Image& image, int x, int y)
{
    return image.bitmap()->pixelAt(x, y)[3];
}

inline int litPixels(const platform::Image& image)
{
    const platform::Bitmap& b = *image.bitmap();
    int lit = 0;
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x)
            lit += b.pixelAt(x, y)[3] != 0;
    return lit;
}

// A lights-point record as stored: colour, longitude, latitude, host order.
struct LightsRecord {
    int32_t color;
    float lon, lat;
};

// Writes the records and `extra` bytes of a partial record after them.
inline void writeLightsPoints(
    const std::string& path, const std::vector<LightsRecord>& records, size_t extra = 0)
{
    std::string bytes;
    for (const LightsRecord& r : records) {
        char record[12];
        std::memcpy(record, &r.color, 4);
        std::memcpy(record + 4, &r.lon, 4);
        std::memcpy(record + 8, &r.lat, 4);
        bytes.append(record, 12);
    }
    bytes.append(extra, '\x7f');
    std::ofstream(path, std::ios::binary) << bytes;
}

// The rows of a tab-separated table in tests/data; blank lines and lines
// starting with '#' are skipped, and "\t", "\n" and "\xHH" stand for the
// bytes they name.
inline std::vector<std::vector<std::string>> dataTable(const std::string& name)
{
    std::ifstream in(std::string(GLOAM_SOURCE_DIR) + "/tests/data/" + name);
    std::vector<std::vector<std::string>> rows;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#')
            continue;
        std::vector<std::string> row(1);
        for (size_t i = 0; i < line.size(); ++i) {
            if (line[i] == '\t')
                row.emplace_back();
            else if (line[i] == '\\' && i + 1 < line.size() && line[i + 1] == 'x')
                row.back() += char(std::stoi(line.substr(i + 2, 2), nullptr, 16)), i += 3;
            else if (line[i] == '\\' && i + 1 < line.size())
                row.back() += line[++i] == 't' ? '\t' : line[i] == 'n' ? '\n' : line[i];
            else
                row.back() += line[i];
        }
        rows.push_back(std::move(row));
    }
    if (rows.empty())
        ADD_FAILURE() << "no rows in tests/data/" << name;
    return rows;
}

} // namespace testing_support
