#include "umb/UMBBoxBlur.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <vector>

using platform::Bitmap;
using platform::PixelFormat;
using umb::UMBBoxBlur;

namespace {

// A w x h RGBA bitmap, all 0 but for pixel (px, py) whose samples are all 255.
Bitmap dot(int w, int h, int px, int py)
{
    Bitmap b(w, h);
    std::memset(b.pixelAt(px, py), 255, 4);
    return b;
}

// Reference box blur of one line of samples: windows of 2r + 1 clamped at the
// ends, means truncated, by direct summation.
std::vector<int> boxLine(const std::vector<int>& in, int r)
{
    int n = int(in.size());
    std::vector<int> out(in.size());
    for (int i = 0; i < n; ++i) {
        int sum = 0;
        for (int k = -r; k <= r; ++k)
            sum += in[size_t(std::clamp(i + k, 0, n - 1))];
        out[size_t(i)] = sum / (2 * r + 1);
    }
    return out;
}

// Reference for the bitmap blur: every sample, horizontal then vertical.
Bitmap referenceBlur(const Bitmap& src, int r)
{
    int w = src.width(), h = src.height(), s = src.samplesPerPixel();
    Bitmap out = src.clone();
    std::vector<int> mid(size_t(w * h * s));
    for (int y = 0; y < h; ++y)
        for (int c = 0; c < s; ++c) {
            std::vector<int> line;
            for (int x = 0; x < w; ++x)
                line.push_back(src.pixelAt(x, y)[c]);
            line = boxLine(line, r);
            for (int x = 0; x < w; ++x)
                mid[size_t((y * w + x) * s + c)] = line[size_t(x)];
        }
    for (int x = 0; x < w; ++x)
        for (int c = 0; c < s; ++c) {
            std::vector<int> line;
            for (int y = 0; y < h; ++y)
                line.push_back(mid[size_t((y * w + x) * s + c)]);
            line = boxLine(line, r);
            for (int y = 0; y < h; ++y)
                out.pixelAt(x, y)[c] = uint8_t(line[size_t(y)]);
        }
    return out;
}

Bitmap noise(int w, int h, PixelFormat format, uint32_t seed)
{
    Bitmap b(w, h, format);
    for (size_t i = 0; i < b.byteCount(); ++i) {
        seed = seed * 1103515245u + 12345u;
        b.data()[i] = uint8_t(seed >> 23);
    }
    return b;
}

bool same(const Bitmap& a, const Bitmap& b)
{
    return a.byteCount() == b.byteCount() && std::memcmp(a.data(), b.data(), a.byteCount()) == 0;
}

} // namespace

TEST(UMBBoxBlurTest, ClampKeepsValuesInRange)
{
    struct {
        int32_t v, lo, hi, out;
    } cases[] = {{-1, 0, 9, 0}, {0, 0, 9, 0}, {5, 0, 9, 5}, {9, 0, 9, 9}, {10, 0, 9, 9},
        {INT_MIN, -3, 3, -3}, {INT_MAX, -3, 3, 3},
        // low is tested first: with low above high, values below low
        // give low, all others high.
        {4, 5, 2, 5}, {9, 5, 2, 2}};
    for (auto c : cases)
        EXPECT_EQ(umb::clamp(c.v, c.lo, c.hi), c.out) << c.v << " in " << c.lo << ".." << c.hi;
}

TEST(UMBBoxBlurTest, DefaultsAndProperties)
{
    UMBBoxBlur blur;
    EXPECT_EQ(blur.hRadius(), 4);
    EXPECT_EQ(blur.vRadius(), 4);
    EXPECT_EQ(blur.iterations(), 1);
    blur.setHRadius(-2);
    blur.setVRadius(7);
    blur.setIterations(3);
    EXPECT_EQ(blur.hRadius(), -2) << "no validation in the setters";
    EXPECT_EQ(blur.vRadius(), 7);
    EXPECT_EQ(blur.iterations(), 3);
}

TEST(UMBBoxBlurTest, SinglePixelSpreadsAs85Then28)
{
    UMBBoxBlur blur;
    Bitmap b = dot(7, 6, 3, 2);
    blur.boxBlurPixelsWithAlpha(b, 1);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 7; ++x)
            for (int c = 0; c < 4; ++c) {
                bool inside = std::abs(x - 3) <= 1 && std::abs(y - 2) <= 1;
                EXPECT_EQ(b.pixelAt(x, y)[c], inside ? 28 : 0) << x << "," << y << " sample " << c;
            }
    // The horizontal pass alone: a bitmap one row high has no vertical blur.
    Bitmap row = dot(5, 1, 2, 0);
    blur.boxBlurPixelsWithAlpha(row, 1);
    const int want[5] = {0, 85, 85, 85, 0};
    for (int x = 0; x < 5; ++x)
        EXPECT_EQ(row.pixelAt(x, 0)[3], want[x]) << x;
}

TEST(UMBBoxBlurTest, EdgesRepeatTheEdgePixel)
{
    // Radius 2 on a row: at x = 0 the window is first pixel x3 + pixels 1, 2.
    UMBBoxBlur blur;
    Bitmap row(6, 1);
    const uint8_t alpha[6] = {250, 100, 50, 0, 0, 30};
    for (int x = 0; x < 6; ++x)
        std::memset(row.pixelAt(x, 0), alpha[x], 4);
    blur.boxBlurPixelsWithAlpha(row, 2);
    EXPECT_EQ(row.pixelAt(0, 0)[3], (3 * 250 + 100 + 50) / 5);
    EXPECT_EQ(row.pixelAt(5, 0)[3], (0 + 0 + 3 * 30) / 5);
    EXPECT_EQ(row.pixelAt(2, 0)[3], (250 + 100 + 50 + 0 + 0) / 5);
}

TEST(UMBBoxBlurTest, FewerRowsThanTheRadiusReadOnlyTheBitmap)
{
    // 2 rows, radius 6: the window at y = 0 is row 0 seven times and row 1
    // six times; at y = 1, row 0 six times and row 1 seven times.
    UMBBoxBlur blur;
    Bitmap b(1, 2);
    std::memset(b.pixelAt(0, 0), 130, 4);
    std::memset(b.pixelAt(0, 1), 0, 4);
    blur.boxBlurPixelsWithAlpha(b, 6);
    EXPECT_EQ(b.pixelAt(0, 0)[0], 7 * 130 / 13);
    EXPECT_EQ(b.pixelAt(0, 1)[0], 6 * 130 / 13);
}

TEST(UMBBoxBlurTest, BitmapBlurMatchesDirectSummation)
{
    UMBBoxBlur blur;
    struct {
        int w, h, r;
        PixelFormat format;
    } cases[] = {{17, 9, 1, PixelFormat::RGBA}, {17, 9, 3, PixelFormat::RGB},
        {5, 30, 6, PixelFormat::RGBA}, {3, 2, 10, PixelFormat::RGBA}, {1, 12, 2, PixelFormat::RGB},
        {40, 1, 4, PixelFormat::RGBA}};
    for (const auto& c : cases) {
        Bitmap b = noise(c.w, c.h, c.format, uint32_t(c.w * 31 + c.r));
        Bitmap want = referenceBlur(b, c.r);
        blur.boxBlurPixels(b, c.r);
        EXPECT_TRUE(same(b, want)) << c.w << "x" << c.h << " r " << c.r;
    }
}

TEST(UMBBoxBlurTest, PlaneBlurGivesTheAlphaOfTheBitmapBlur)
{
    // The night shade blurs its alpha plane alone: it must come out as the
    // alpha channel of the four-channel blur, edges and short sides included.
    UMBBoxBlur blur;
    struct {
        int w, h, r;
    } cases[] = {{17, 9, 1}, {5, 30, 6}, {3, 2, 10}, {1, 12, 2}, {40, 1, 4}, {64, 33, 0}};
    for (const auto& c : cases) {
        Bitmap b = noise(c.w, c.h, PixelFormat::RGBA, uint32_t(c.h * 7 + c.r));
        std::vector<uint8_t> plane(size_t(c.w) * size_t(c.h));
        for (size_t i = 0; i < plane.size(); ++i)
            plane[i] = b.data()[i * 4 + 3];
        blur.boxBlurPixelsWithAlpha(b, c.r);
        blur.boxBlurPlane(plane, c.w, c.h, c.r);
        size_t differing = 0;
        for (size_t i = 0; i < plane.size(); ++i)
            differing += plane[i] != b.data()[i * 4 + 3];
        EXPECT_EQ(differing, 0u) << c.w << "x" << c.h << " r " << c.r;
    }
    // Shade-like planes: long flat runs of two values with changes close
    // together, at the edges and far apart, at radii up to the largest
    // whose sums fit 16 bits (128) and beyond it.
    for (int r : {1, 6, 20, 128, 129}) {
        const int w = 300, h = 150;
        Bitmap b(w, h, PixelFormat::RGBA);
        uint32_t seed = uint32_t(r);
        for (int y = 0; y < h; ++y) {
            int edge = (y * 7) % w, other = (edge + 1 + y % 23) % w;
            for (int x = 0; x < w; ++x) {
                seed = seed * 1103515245u + 12345u;
                bool night = (x >= edge) != (x >= other) || x == w - 1 || (seed >> 28) == 0;
                b.pixelAt(x, y)[3] = night ? 191 : 0;
            }
        }
        std::vector<uint8_t> plane(size_t(w) * size_t(h));
        for (size_t i = 0; i < plane.size(); ++i)
            plane[i] = b.data()[i * 4 + 3];
        blur.boxBlurPixelsWithAlpha(b, r);
        blur.boxBlurPlane(plane, w, h, r);
        size_t differing = 0;
        for (size_t i = 0; i < plane.size(); ++i)
            differing += plane[i] != b.data()[i * 4 + 3];
        EXPECT_EQ(differing, 0u) << "shade-like, r " << r;
    }
    // A plane shorter than its stated size is left alone rather than overrun.
    std::vector<uint8_t> shortPlane(10, 200);
    shortPlane[0] = 0;
    blur.boxBlurPlane(shortPlane, 4, 4, 1);
    EXPECT_EQ(shortPlane[0], 0);
}

TEST(UMBBoxBlurTest, RadiusBelowOneActsAsOneAndUniformStaysUniform)
{
    UMBBoxBlur blur;
    Bitmap base = noise(9, 7, PixelFormat::RGBA, 5);
    Bitmap one = base.clone();
    blur.boxBlurPixelsWithAlpha(one, 1);
    for (int r : {0, -1, -100}) {
        Bitmap b = base.clone();
        blur.boxBlurPixelsWithAlpha(b, r);
        EXPECT_TRUE(same(b, one)) << r;
        Bitmap p = base.clone();
        blur.boxBlurPixels(p, r);
        EXPECT_TRUE(same(p, one)) << "boxBlurPixels with alpha, radius " << r;
    }
    for (int r : {1, 6, 50}) {
        Bitmap flat(8, 5);
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 8; ++x)
                flat.setColorAt(x, y, platform::Color::deviceRGB(0.2, 0.6, 1, 0.8));
        Bitmap before = flat.clone();
        blur.boxBlurPixelsWithAlpha(flat, r);
        EXPECT_TRUE(same(flat, before)) << r;
    }
}

TEST(UMBBoxBlurTest, EmptyAndWrongLayoutBitmapsAreLeftAlone)
{
    UMBBoxBlur blur;
    Bitmap empty;
    blur.boxBlurPixels(empty, 3);
    blur.boxBlurPixelsWithAlpha(empty, 3);
    EXPECT_TRUE(empty.isEmpty());
    Bitmap rgb = noise(6, 6, PixelFormat::RGB, 9);
    Bitmap before = rgb.clone();
    blur.boxBlurPixelsWithAlpha(rgb, 2);
    EXPECT_TRUE(same(rgb, before)) << "the alpha blur needs four samples a pixel";
}

TEST(UMBBoxBlurTest, PassBlursRowsAndWritesThemTransposed)
{
    UMBBoxBlur blur;
    // 3 wide, 2 high; lanes are independent bytes, the top bit included.
    std::vector<int32_t> in = {int32_t(0xFF000000u), 0, 0, //
        0x00030000, 0x00030000, 0x00000009};
    std::vector<int32_t> out(6, 7);
    blur.blur(in, out, 3, 2, 1);
    // Row 0: alpha lane 255, 0, 0 -> 170, 85, 0. Row 1: red 3, 3, 0 and blue
    // 0, 0, 9 -> red 3, 2, 1 and blue 0, 3, 6. Element (x, y) lands at
    // x * height + y.
    std::vector<int32_t> want
        = {int32_t(0xAA000000u), 0x00030000, int32_t(0x55000000u), 0x00020003, 0, 0x00010006};
    EXPECT_EQ(out, want);
    std::vector<int32_t> r0(6);
    blur.blur(in, r0, 3, 2, 0);
    EXPECT_EQ(r0, (std::vector<int32_t> {in[0], in[3], in[1], in[4], in[2], in[5]}));
    std::vector<int32_t> negative(6);
    blur.blur(in, negative, 3, 2, -5);
    EXPECT_EQ(negative, r0) << "a negative radius counts as 0";
    std::vector<int32_t> tooShort(5, 7);
    blur.blur(in, tooShort, 3, 2, 1);
    EXPECT_EQ(tooShort, std::vector<int32_t>(5, 7));
}

TEST(UMBBoxBlurTest, FilterWithZeroIterationsOrZeroRadiiChangesNothing)
{
    std::vector<int32_t> pixels(35);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = int32_t(uint32_t(i) * 0x9E3779B9u);
    const auto original = pixels;
    UMBBoxBlur blur;
    blur.setIterations(0);
    EXPECT_EQ(blur.filter(pixels, 7, 5), 0);
    EXPECT_EQ(pixels, original);
    blur.setIterations(-3);
    blur.filter(pixels, 7, 5);
    EXPECT_EQ(pixels, original);
    blur.setIterations(2);
    blur.setHRadius(0);
    blur.setVRadius(0);
    blur.filter(pixels, 7, 5);
    EXPECT_EQ(pixels, original) << "two transpositions give the array back";
    blur.setHRadius(-1);
    blur.setVRadius(-9);
    blur.filter(pixels, 7, 5);
    EXPECT_EQ(pixels, original) << "negative radii count as 0";
}

TEST(UMBBoxBlurTest, FilterBlursHorizontallyThenVertically)
{
    // One column 1 wide: only the vertical pass does anything, with windows
    // of 9 rows at the default radius 4.
    std::vector<int32_t> column(12, 0);
    column[5] = 0x00000090; // blue 144
    UMBBoxBlur blur;
    blur.filter(column, 1, 12);
    for (int y = 0; y < 12; ++y)
        EXPECT_EQ(column[size_t(y)], std::abs(y - 5) <= 4 ? 16 : 0) << y;

    // A grid: the same as blurring each lane of each row, then each column.
    const int w = 6, h = 5;
    std::vector<int32_t> grid(w * h);
    for (size_t i = 0; i < grid.size(); ++i)
        grid[i] = int32_t(uint32_t(i * 2654435761u));
    std::vector<int32_t> expected(grid.size(), 0);
    for (int shift = 0; shift < 32; shift += 8) {
        std::vector<int> lane(grid.size());
        for (size_t i = 0; i < grid.size(); ++i)
            lane[i] = int(uint32_t(grid[i]) >> shift & 0xFF);
        for (int y = 0; y < h; ++y) {
            std::vector<int> row(lane.begin() + y * w, lane.begin() + (y + 1) * w);
            row = boxLine(row, 1);
            std::copy(row.begin(), row.end(), lane.begin() + y * w);
        }
        for (int x = 0; x < w; ++x) {
            std::vector<int> col;
            for (int y = 0; y < h; ++y)
                col.push_back(lane[size_t(y * w + x)]);
            col = boxLine(col, 2);
            for (int y = 0; y < h; ++y)
                expected[size_t(y * w + x)] |= int32_t(uint32_t(col[size_t(y)]) << shift);
        }
    }
    blur.setHRadius(1);
    blur.setVRadius(2);
    EXPECT_EQ(blur.filter(grid, w, h), 0);
    EXPECT_EQ(grid, expected);
}

TEST(UMBBoxBlurTest, HugeRadiusAveragesWithTheEdgesRepeated)
{
    // A radius far beyond the picture: every window is the edge pixels
    // repeated, computed without a table of that size.
    UMBBoxBlur blur;
    Bitmap row(2, 1);
    std::memset(row.pixelAt(0, 0), 200, 4);
    const int r = 1 << 28;
    blur.boxBlurPixelsWithAlpha(row, r);
    const int64_t n = 2 * int64_t(r) + 1;
    EXPECT_EQ(row.pixelAt(0, 0)[0], int((int64_t(r) + 1) * 200 / n));
    EXPECT_EQ(row.pixelAt(1, 0)[0], int(int64_t(r) * 200 / n));
}
