// UMBNightMask: which pixels of a renderer's grid lie on the night side of a
// subsolar point, decided exactly as UMBDefines::pointIsVisible decides them
// pixel by pixel, with the sines and cosines taken once a row and once a
// column. Owns its tables and the mask; kept between calls, it allocates only
// when the grid grows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/Geometry.h"

namespace umb {

class UMBNightMask {
public:
    // Fills the mask for a width x height grid. On a cylindrical projection a
    // pixel's longitude depends on its column alone and its latitude on its
    // row alone, which is what lets the trigonometry be done W + H times
    // rather than W x H times; other projections give the sine of the Sun's
    // altitude a row at a time, each as cheaply as it can.
    template<class Renderer>
    void compute(const Renderer& renderer, platform::Point subsolar, int width, int height)
    {
        resize(width, height);
        if constexpr (!Renderer::kCylindrical) {
            sines_.resize(size_t(width_));
            for (int y = 0; y < height_; ++y) {
                renderer.sineOfAltitudeRow(y, 0.0f, 0.0f, subsolar, sines_.data());
                fillRow(y);
            }
            return;
        }
        for (int x = 0; x < width_; ++x)
            longitudes_[size_t(x)] = renderer.physicalToGeographic(float(x), 0.0f).x;
        for (int y = 0; y < height_; ++y)
            latitudes_[size_t(y)] = renderer.physicalToGeographic(0.0f, float(y)).y;
        fill(subsolar);
    }

    int width() const { return width_; }
    int height() const { return height_; }
    // Row y of the mask: width() bytes, 0xFF where the pixel is night, 0 where
    // it is day (the terminator itself counts as day).
    const uint8_t* row(int y) const { return mask_.data() + size_t(y) * size_t(width_); }
    // How many pixels of row y are night.
    int nightCount(int y) const { return nightCounts_[size_t(y)]; }

private:
    void resize(int width, int height);
    void fill(platform::Point subsolar);
    // Row y from the sines in sines_: night where below 0 (NaN is day).
    void fillRow(int y);

    int width_ = 0;
    int height_ = 0;
    std::vector<double> longitudes_, latitudes_;
    std::vector<double> columnCos_, rowSin_, rowCos_, sines_;
    std::vector<int> nightCounts_;
    std::vector<uint8_t> mask_;
};

} // namespace umb
