#include "umb/UMBBoxBlur.h"

#include "support/HostileBytes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using platform::Bitmap;
using platform::PixelFormat;
using testing_support::noise;
using umb::UMBBoxBlur;

namespace {

// The reference: a w x h plane of samples blurred by direct summation, rows
// then columns, windows of 2r + 1 clamped at the edges, means truncated.
std::vector<int> referenceBlur(std::vector<int> plane, int w, int h, int rx, int ry)
{
    auto pass = [&](int n, int lines, int r, auto at) {
        for (int line = 0; line < lines; ++line) {
            std::vector<int> out(size_t(n), 0);
            for (int i = 0; i < n; ++i) {
                for (int k = -r; k <= r; ++k)
                    out[size_t(i)] += at(line, std::clamp(i + k, 0, n - 1));
                out[size_t(i)] /= 2 * r + 1;
            }
            for (int i = 0; i < n; ++i)
                at(line, i) = out[size_t(i)];
        }
    };
    pass(w, h, rx, [&](int y, int x) -> int& { return plane[size_t(y * w + x)]; });
    pass(h, w, ry, [&](int x, int y) -> int& { return plane[size_t(y * w + x)]; });
    return plane;
}

// Channel `c` of a bitmap, or the bytes of a plane, as ints.
std::vector<int> channel(const uint8_t* data, size_t count, int stride, int c)
{
    std::vector<int> out(count);
    for (size_t i = 0; i < count; ++i)
        out[i] = data[i * size_t(stride) + size_t(c)];
    return out;
}

bool same(const Bitmap& a, const Bitmap& b)
{
    return a.byteCount() == b.byteCount() && std::memcmp(a.data(), b.data(), a.byteCount()) == 0;
}

} // namespace

TEST(UMBBoxBlurTest, DefaultsAndPublishedSpreads)
{
    UMBBoxBlur blur;
    EXPECT_EQ(blur.hRadius() * 100 + blur.vRadius() * 10 + blur.iterations(), 441);

    // A radius far beyond the picture, computed without a table of its size.
    Bitmap two(2, 1);
    std::memset(two.pixelAt(0, 0), 200, 4);
    const int64_t r = 1 << 28;
    blur.boxBlurPixelsWithAlpha(two, int(r));
    EXPECT_EQ(two.pixelAt(0, 0)[0], int((r + 1) * 200 / (2 * r + 1)));
    EXPECT_EQ(two.pixelAt(1, 0)[0], int(r * 200 / (2 * r + 1)));
}

TEST(UMBBoxBlurTest, BitmapAndPlaneBlursMatchDirectSummation)
{
    UMBBoxBlur blur;
    struct {
        int w, h, r;
        PixelFormat format;
    } cases[] = {{17, 9, 1, PixelFormat::RGBA}, {17, 9, 3, PixelFormat::RGB},
        {5, 30, 6, PixelFormat::RGBA}, {3, 2, 10, PixelFormat::RGBA}, {1, 12, 2, PixelFormat::RGB},
        {40, 1, 4, PixelFormat::RGBA}, {64, 33, 0, PixelFormat::RGBA},
        {1, 2, 6, PixelFormat::RGBA}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h) + " r " + std::to_string(c.r));
        const Bitmap source = noise(c.w, c.h, c.format, uint32_t(c.w * 31 + c.r));
        const int s = source.samplesPerPixel(), r = std::max(c.r, 1), n = c.w * c.h;
        Bitmap b = source.clone(), withAlpha = source.clone();
        blur.boxBlurPixels(b, c.r);
        blur.boxBlurPixelsWithAlpha(withAlpha, c.r);
        EXPECT_TRUE(same(withAlpha, s == 4 ? b : source))
            << "the alpha blur, which leaves RGB alone";
        for (int ch = 0; ch < s; ++ch)
            EXPECT_EQ(channel(b.data(), size_t(n), s, ch),
                referenceBlur(channel(source.data(), size_t(n), s, ch), c.w, c.h, r, r))
                << "sample " << ch;
        std::vector<uint8_t> plane(static_cast<size_t>(n));
        for (size_t i = 0; i < plane.size(); ++i)
            plane[i] = source.data()[i * size_t(s)];
        blur.boxBlurPlane(plane, c.w, c.h, c.r);
        EXPECT_EQ(channel(plane.data(), size_t(n), 1, 0),
            referenceBlur(channel(source.data(), size_t(n), s, 0), c.w, c.h, r, r))
            << "plane";
    }
    // Shade-like planes: long flat runs of two values with changes close
    // together, at the edges and far apart, at radii up to the largest
    // whose sums fit 16 bits (128) and beyond it.
    for (int r : {1, 6, 20, 128, 129}) {
        const int w = 300, h = 150;
        std::vector<uint8_t> plane(size_t(w * h));
        uint32_t seed = uint32_t(r);
        for (int y = 0; y < h; ++y) {
            int edge = (y * 7) % w, other = (edge + 1 + y % 23) % w;
            for (int x = 0; x < w; ++x) {
                seed = seed * 1103515245u + 12345u;
                bool night = (x >= edge) != (x >= other) || x == w - 1 || (seed >> 28) == 0;
                plane[size_t(y * w + x)] = night ? 191 : 0;
            }
        }
        std::vector<int> want
            = referenceBlur(channel(plane.data(), plane.size(), 1, 0), w, h, r, r);
        blur.boxBlurPlane(plane, w, h, r);
        EXPECT_EQ(channel(plane.data(), plane.size(), 1, 0), want) << "shade-like, r " << r;
    }
}

TEST(UMBBoxBlurTest, WhatIsLeftAlone)
{
    UMBBoxBlur blur;
    Bitmap empty;
    blur.boxBlurPixels(empty, 3);
    blur.boxBlurPixelsWithAlpha(empty, 3);
    EXPECT_TRUE(empty.isEmpty());
    std::vector<uint8_t> shortPlane(10, 200);
    shortPlane[0] = 0;
    blur.boxBlurPlane(shortPlane, 4, 4, 1);
    EXPECT_EQ(shortPlane[0], 0) << "a plane shorter than its size was overrun";
    const Bitmap base = noise(9, 7, PixelFormat::RGBA, 5);
    Bitmap one = base.clone(), below = base.clone();
    blur.boxBlurPixelsWithAlpha(one, 1);
    blur.boxBlurPixelsWithAlpha(below, -100);
    EXPECT_TRUE(same(below, one)) << "a radius below 1 counts as 1";
}

TEST(UMBBoxBlurTest, PackedColourPassesAndFilter)
{
    UMBBoxBlur blur;
    // 3 wide, 2 high; lanes are independent bytes, the top bit included.
    const std::vector<int32_t> in = {int32_t(0xFF000000u), 0, 0, 0x00030000, 0x00030000, 9};
    std::vector<int32_t> out(6, 7), r0(6), negative(6), tooShort(5, 7);
    blur.blur(in, out, 3, 2, 1);
    // Row 0: alpha 255, 0, 0 -> 170, 85, 0. Row 1: red 3, 3, 0 and blue 0, 0, 9
    // -> red 3, 2, 1 and blue 0, 3, 6. Element (x, y) lands at x * height + y.
    EXPECT_EQ(out,
        (std::vector<int32_t> {
            int32_t(0xAA000000u), 0x00030000, int32_t(0x55000000u), 0x00020003, 0, 0x00010006}));
    blur.blur(in, r0, 3, 2, 0);
    EXPECT_EQ(r0, (std::vector<int32_t> {in[0], in[3], in[1], in[4], in[2], in[5]}));
    blur.blur(in, negative, 3, 2, -5);
    EXPECT_EQ(negative, r0) << "a negative radius counts as 0";
    blur.blur(in, tooShort, 3, 2, 1);
    EXPECT_EQ(tooShort, std::vector<int32_t>(5, 7));

    // One column: only the vertical pass averages, over 9 rows at radius 4.
    std::vector<int32_t> column(12, 0);
    column[5] = 0x90;
    UMBBoxBlur().filter(column, 1, 12);
    for (int y = 0; y < 12; ++y)
        EXPECT_EQ(column[size_t(y)], std::abs(y - 5) <= 4 ? 16 : 0) << y;
    // filter: each lane of each row blurred, then each column.
    const int w = 6, h = 5;
    std::vector<int32_t> grid(w * h), expected(grid.size(), 0);
    for (size_t i = 0; i < grid.size(); ++i)
        grid[i] = int32_t(uint32_t(i * 2654435761u));
    const std::vector<int32_t> original = grid;
    for (int shift = 0; shift < 32; shift += 8) {
        std::vector<int> lane(grid.size());
        for (size_t i = 0; i < grid.size(); ++i)
            lane[i] = int(uint32_t(grid[i]) >> shift & 0xFF);
        lane = referenceBlur(lane, w, h, 1, 2);
        for (size_t i = 0; i < grid.size(); ++i)
            expected[i] |= int32_t(uint32_t(lane[i]) << shift);
    }
    for (auto [iterations, radius] : {std::pair {0, 4}, {-3, 4}, {2, 0}, {2, -9}}) {
        blur.setIterations(iterations);
        blur.setHRadius(radius);
        blur.setVRadius(radius);
        EXPECT_EQ(blur.filter(grid, w, h), 0);
        EXPECT_EQ(grid, original) << iterations << " iterations, radius " << radius;
    }
    blur.setIterations(1);
    blur.setHRadius(1);
    blur.setVRadius(2);
    blur.filter(grid, w, h);
    EXPECT_EQ(grid, expected);
}
