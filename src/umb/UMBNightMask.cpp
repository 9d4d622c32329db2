#include "umb/UMBNightMask.h"

#include <algorithm>
#include <cmath>

#include "umb/UMBDefines.h"

namespace umb {
namespace {

// One row of the test. pointIsVisible computes, per pixel,
//   sum = cos((lon2 - lon1) D) * (cos(phi1) cos(phi2)) + sin(phi2) sin(phi1)
// and calls the pixel day when asin(clamp(sum, -1, 1)) >= 0. The clamp and
// asin keep the sign (and NaN fails both), so that is sum >= 0; the two
// products below are the very terms it forms, in the same order, so every
// pixel gets the bit-identical sum. Neither loop may fuse the multiply and
// the add, which x86-64 without FMA never does.
__attribute__((target_clones("avx2", "default"))) int nightRow(
    const double* columnCos, double rowCos, double rowSin, int width, uint8_t* out)
{
    int count = 0;
    for (int x = 0; x < width; ++x) {
        double sum = columnCos[x] * rowCos + rowSin;
        uint8_t night = sum >= 0.0 ? 0 : 0xFF;
        out[x] = night;
        count += night & 1;
    }
    return count;
}

} // namespace

void UMBNightMask::resize(int width, int height)
{
    width_ = std::max(width, 0);
    height_ = std::max(height, 0);
    longitudes_.resize(size_t(width_));
    columnCos_.resize(size_t(width_));
    latitudes_.resize(size_t(height_));
    rowSin_.resize(size_t(height_));
    rowCos_.resize(size_t(height_));
    nightCounts_.resize(size_t(height_));
    mask_.resize(size_t(width_) * size_t(height_));
}

void UMBNightMask::fill(platform::Point subsolar)
{
    // The same expressions as pointIsVisible(lon1, lat1, lon2, lat2) with the
    // pixel as point 1 and the subsolar point as point 2.
    const double phi2 = subsolar.y * kDegreesToRadians;
    const double sinPhi2 = std::sin(phi2), cosPhi2 = std::cos(phi2);
    for (int x = 0; x < width_; ++x)
        columnCos_[size_t(x)] = std::cos((subsolar.x - longitudes_[size_t(x)]) * kDegreesToRadians);
    for (int y = 0; y < height_; ++y) {
        const double phi1 = latitudes_[size_t(y)] * kDegreesToRadians;
        rowSin_[size_t(y)] = sinPhi2 * std::sin(phi1);
        rowCos_[size_t(y)] = std::cos(phi1) * cosPhi2;
    }
    for (int y = 0; y < height_; ++y) {
        nightCounts_[size_t(y)] = nightRow(columnCos_.data(), rowCos_[size_t(y)],
            rowSin_[size_t(y)], width_, mask_.data() + size_t(y) * size_t(width_));
    }
}

void UMBNightMask::fillRow(int y)
{
    uint8_t* out = mask_.data() + size_t(y) * size_t(width_);
    int count = 0;
    for (int x = 0; x < width_; ++x) {
        const uint8_t night = sines_[size_t(x)] < 0.0 ? 0xFF : 0;
        out[x] = night;
        count += night & 1;
    }
    nightCounts_[size_t(y)] = count;
}

} // namespace umb
