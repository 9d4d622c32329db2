#include "umb/UMBOrthographic.h"

#include "umb/UMBGlobeFrame.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace umb {

namespace {
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
} // namespace

UMBOrthographic::UMBOrthographic()
    : UMBOrthographic(512.0f, 512.0f)
{
}

UMBOrthographic::UMBOrthographic(float width, float height)
    : UMBMapRenderer(width, height)
{
    computeScales();
}

void UMBOrthographic::computeScales()
{
    radius_ = std::min(double(mapwidth_), double(mapheight_)) * 0.5;
}

// Snyder section 20's forward formulas with R = 1 are the view frame's east
// and north components; cos c, the third, says whether the point faces the
// viewer (c > 90 degrees is hidden).
platform::Point UMBOrthographic::geographicToPhysical(float lon, float lat) const
{
    const UMBVector3 v = UMBGlobeFrame(maporigin_).toView(lon, lat);
    if (v.z < 0)
        return {kNaN, kNaN};
    return {mapwidth_ * 0.5 + radius_ * v.x, mapheight_ * 0.5 - radius_ * v.y};
}

// Snyder section 20's inverse: rho = sqrt(x^2 + y^2), c = asin(rho); in the
// view frame that is the point (x, y, cos c).
platform::Point UMBOrthographic::physicalToGeographic(float x, float y) const
{
    const double u = (x - mapwidth_ * 0.5) / radius_, v = (mapheight_ * 0.5 - y) / radius_;
    const double rr = u * u + v * v;
    if (!(rr <= 1.0))
        return {kNaN, kNaN};
    return UMBGlobeFrame(maporigin_).geographicOf({u, v, std::sqrt(1.0 - rr)});
}

void UMBOrthographic::geographicRow(int y, float dx, float dy, double* lon, double* lat) const
{
    const UMBGlobeFrame frame(maporigin_);
    const double v = (mapheight_ * 0.5 - (y + double(dy))) / radius_;
    for (int x = 0, w = layerWidth(); x < w; ++x) {
        const double u = (x + double(dx) - mapwidth_ * 0.5) / radius_;
        const double rr = u * u + v * v;
        platform::Point g {kNaN, kNaN};
        if (rr <= 1.0)
            g = frame.geographicOf({u, v, std::sqrt(1.0 - rr)});
        lon[x] = g.x;
        lat[x] = g.y;
    }
}

void UMBOrthographic::sineOfAltitudeRow(
    int y, float dx, float dy, platform::Point subsolar, double* out) const
{
    // sin h is the dot product of the point's and the Sun's unit vectors:
    // linear in the view coordinates, so a pixel costs one square root.
    const UMBVector3 sun = UMBGlobeFrame(maporigin_).toView(subsolar.x, subsolar.y);
    const double v = (mapheight_ * 0.5 - (y + double(dy))) / radius_;
    const double rowTerm = v * sun.y;
    for (int x = 0, w = layerWidth(); x < w; ++x) {
        const double u = (x + double(dx) - mapwidth_ * 0.5) / radius_;
        const double rr = u * u + v * v;
        if (rr <= 1.0) {
            out[x] = u * sun.x + rowTerm + std::sqrt(1.0 - rr) * sun.z;
        } else {
            const double rho = std::sqrt(rr);
            out[x] = (u * sun.x + rowTerm) / rho;
        }
    }
}

void UMBOrthographic::coverageRow(int y, uint8_t* out) const
{
    const double v = y + 0.5 - mapheight_ * 0.5;
    for (int x = 0, w = layerWidth(); x < w; ++x) {
        const double u = x + 0.5 - mapwidth_ * 0.5;
        // The pixel's share of the disc, from its centre's distance to the
        // rim: a one-pixel ramp that smooths the outline.
        const double inside = radius_ - std::sqrt(u * u + v * v) + 0.5;
        out[x] = inside >= 1.0 ? 255 : inside <= 0.0 ? 0 : uint8_t(std::lround(inside * 255.0));
    }
}

} // namespace umb
