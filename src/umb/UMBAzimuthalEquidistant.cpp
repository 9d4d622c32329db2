#include "umb/UMBAzimuthalEquidistant.h"

#include "umb/UMBGlobeFrame.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace umb {

namespace {
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kPi = std::numbers::pi;

// The view-frame unit vector at distance rho (in rims) along the direction
// (u, v) / rho: the great circle through the centre, c = pi rho (Snyder
// section 25's inverse, c = rho / R).
UMBVector3 alongRay(double u, double v, double rho)
{
    if (rho == 0.0)
        return {0, 0, 1};
    const double c = kPi * rho;
    const double s = std::sin(c) / rho;
    return {u * s, v * s, std::cos(c)};
}
} // namespace

UMBAzimuthalEquidistant::UMBAzimuthalEquidistant()
    : UMBAzimuthalEquidistant(512.0f, 512.0f)
{
}

UMBAzimuthalEquidistant::UMBAzimuthalEquidistant(float width, float height)
    : UMBMapRenderer(width, height)
{
    computeScales();
}

void UMBAzimuthalEquidistant::computeScales()
{
    radius_ = std::min(double(mapwidth_), double(mapheight_)) * 0.5;
}

// Snyder section 25: x = k' cos(phi) sin(lambda - lambda0), y = k' (...),
// k' = c / sin c, which in the view frame is the point's east and north
// components stretched so that their length is the angular distance c.
platform::Point UMBAzimuthalEquidistant::geographicToPhysical(float lon, float lat) const
{
    const UMBVector3 v = UMBGlobeFrame(maporigin_).toView(lon, lat);
    const double s = std::hypot(v.x, v.y);
    const double c = std::atan2(s, v.z); // distance from the centre, radians
    double ex = 0, ny = -1; // the antipode has no direction: the rim's bottom
    if (s > 0) {
        ex = v.x / s;
        ny = v.y / s;
    } else if (v.z > 0) {
        ny = 0;
    }
    const double rho = radius_ * c / kPi;
    return {mapwidth_ * 0.5 + rho * ex, mapheight_ * 0.5 - rho * ny};
}

platform::Point UMBAzimuthalEquidistant::physicalToGeographic(float x, float y) const
{
    const double u = (x - mapwidth_ * 0.5) / radius_, v = (mapheight_ * 0.5 - y) / radius_;
    const double rho = std::hypot(u, v);
    if (!(rho <= 1.0))
        return {kNaN, kNaN};
    return UMBGlobeFrame(maporigin_).geographicOf(alongRay(u, v, rho));
}

void UMBAzimuthalEquidistant::geographicRow(
    int y, float dx, float dy, double* lon, double* lat) const
{
    const UMBGlobeFrame frame(maporigin_);
    const double v = (mapheight_ * 0.5 - (y + double(dy))) / radius_;
    for (int x = 0, w = layerWidth(); x < w; ++x) {
        const double u = (x + double(dx) - mapwidth_ * 0.5) / radius_;
        const double rho = std::sqrt(u * u + v * v);
        platform::Point g {kNaN, kNaN};
        if (rho <= 1.0)
            g = frame.geographicOf(alongRay(u, v, rho));
        lon[x] = g.x;
        lat[x] = g.y;
    }
}

void UMBAzimuthalEquidistant::sineOfAltitudeRow(
    int y, float dx, float dy, platform::Point subsolar, double* out) const
{
    // sin h is the dot product with the Sun's unit vector; the distance from
    // the centre needs its own sine and cosine, the rest is linear.
    const UMBVector3 sun = UMBGlobeFrame(maporigin_).toView(subsolar.x, subsolar.y);
    const double v = (mapheight_ * 0.5 - (y + double(dy))) / radius_;
    const double rowTerm = v * sun.y;
    for (int x = 0, w = layerWidth(); x < w; ++x) {
        const double u = (x + double(dx) - mapwidth_ * 0.5) / radius_;
        const double rho = std::sqrt(u * u + v * v);
        if (rho == 0.0) {
            out[x] = sun.z;
            continue;
        }
        const double c = kPi * rho;
        out[x] = (u * sun.x + rowTerm) * (std::sin(c) / rho) + std::cos(c) * sun.z;
    }
}

void UMBAzimuthalEquidistant::coverageRow(int y, uint8_t* out) const
{
    const double v = y + 0.5 - mapheight_ * 0.5;
    for (int x = 0, w = layerWidth(); x < w; ++x) {
        const double u = x + 0.5 - mapwidth_ * 0.5;
        const double inside = radius_ - std::sqrt(u * u + v * v) + 0.5;
        out[x] = inside >= 1.0 ? 255 : inside <= 0.0 ? 0 : uint8_t(std::lround(inside * 255.0));
    }
}

} // namespace umb
