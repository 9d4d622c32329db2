#include "umb/UMBMollweide.h"

#include "umb/UMBDefines.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace umb {

namespace {
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kPi = std::numbers::pi;
constexpr double kSqrt2 = std::numbers::sqrt2;

double wrapRadians(double a)
{
    a = std::remainder(a, 2 * kPi);
    return a;
}

// The latitude of a row's auxiliary angle (Snyder section 31's inverse:
// phi = asin((2 theta + sin 2 theta) / pi)).
double latitudeOf(double theta)
{
    return std::asin(std::clamp((2 * theta + std::sin(2 * theta)) / kPi, -1.0, 1.0));
}
} // namespace

UMBMollweide::UMBMollweide()
    : UMBMollweide(1024.0f, 512.0f)
{
}

UMBMollweide::UMBMollweide(float width, float height)
    : UMBMapRenderer(width, height)
{
    computeScales();
}

void UMBMollweide::computeScales()
{
    radius_ = std::min(mapwidth_ / (4 * kSqrt2), mapheight_ / (2 * kSqrt2));
}

double UMBMollweide::auxiliaryAngle(double phi)
{
    // Newton-Raphson on theta' = 2 theta (Snyder 31-4), started at theta' =
    // phi; it converges slowly only next to the poles, where theta = phi.
    if (std::fabs(phi) >= kPi / 2 - 1e-9)
        return std::copysign(kPi / 2, phi);
    const double target = kPi * std::sin(phi);
    double t = phi;
    for (int i = 0; i < 60; ++i) {
        const double step = -(t + std::sin(t) - target) / (1 + std::cos(t));
        t += step;
        if (std::fabs(step) < 1e-15)
            break;
    }
    return t / 2;
}

// Snyder section 31: x = (2 sqrt 2 / pi) R (lambda - lambda0) cos theta,
// y = sqrt 2 R sin theta.
platform::Point UMBMollweide::geographicToPhysical(float lon, float lat) const
{
    const double dl = wrapRadians((double(lon) - maporigin_.x) * kDegreesToRadians);
    // Exactly half a turn stays on the eastern end.
    const double lambda = dl == -kPi && double(lon) - maporigin_.x > 0 ? kPi : dl;
    const double theta = auxiliaryAngle(double(lat) * kDegreesToRadians);
    const double x = 2 * kSqrt2 / kPi * radius_ * lambda * std::cos(theta);
    const double y = kSqrt2 * radius_ * std::sin(theta);
    return {mapwidth_ * 0.5 + x, mapheight_ * 0.5 - y};
}

platform::Point UMBMollweide::physicalToGeographic(float px, float py) const
{
    const double x = px - mapwidth_ * 0.5, y = mapheight_ * 0.5 - py;
    const double t = y / (kSqrt2 * radius_);
    if (!(std::fabs(t) <= 1.0))
        return {kNaN, kNaN};
    const double theta = std::asin(t);
    const double c = std::cos(theta);
    const double lambda = c > 0 ? kPi * x / (2 * kSqrt2 * radius_ * c) : 0.0;
    if (!(std::fabs(lambda) <= kPi))
        return {kNaN, kNaN};
    double lon = maporigin_.x + lambda * kRadiansToDegrees;
    if (lon > 180)
        lon -= 360;
    else if (lon < -180)
        lon += 360;
    return {lon, latitudeOf(theta) * kRadiansToDegrees};
}

void UMBMollweide::geographicRow(int y, float dx, float dy, double* lon, double* lat) const
{
    const int w = layerWidth();
    const double t = (mapheight_ * 0.5 - (y + double(dy))) / (kSqrt2 * radius_);
    if (!(std::fabs(t) <= 1.0)) {
        std::fill(lon, lon + w, kNaN);
        std::fill(lat, lat + w, kNaN);
        return;
    }
    // Latitude is the row's; longitude is linear along it.
    const double theta = std::asin(t);
    const double phi = latitudeOf(theta) * kRadiansToDegrees;
    const double c = std::cos(theta);
    const double perPixel = c > 0 ? 180.0 / (2 * kSqrt2 * radius_ * c) : 0.0;
    for (int x = 0; x < w; ++x) {
        const double dl = (x + double(dx) - mapwidth_ * 0.5) * perPixel;
        const bool inside = std::fabs(dl) <= 180.0;
        double l = maporigin_.x + dl;
        l = l > 180 ? l - 360 : l < -180 ? l + 360 : l;
        lon[x] = inside ? l : kNaN;
        lat[x] = inside ? phi : kNaN;
    }
}

void UMBMollweide::sineOfAltitudeRow(
    int y, float dx, float dy, platform::Point subsolar, double* out) const
{
    // sin h = sin phi sin delta + cos phi cos delta cos(lambda - lambda_sun).
    // phi is the row's; lambda steps evenly along it, so the cosine follows
    // by the angle-addition recurrence from one sine and cosine a row.
    const int w = layerWidth();
    const double t
        = std::clamp((mapheight_ * 0.5 - (y + double(dy))) / (kSqrt2 * radius_), -1.0, 1.0);
    const double theta = std::asin(t);
    const double phi = latitudeOf(theta);
    const double delta = subsolar.y * kDegreesToRadians;
    const double rowSin = std::sin(phi) * std::sin(delta);
    const double rowCos = std::cos(phi) * std::cos(delta);
    const double c = std::cos(theta);
    const double centre = (maporigin_.x - subsolar.x) * kDegreesToRadians;
    if (!(c > 1e-12)) {
        std::fill(out, out + w, rowSin + rowCos * std::cos(centre));
        return;
    }
    const double step = kPi / (2 * kSqrt2 * radius_ * c);
    const double first = centre + (double(dx) - mapwidth_ * 0.5) * step;
    double cosA = std::cos(first), sinA = std::sin(first);
    const double cosStep = std::cos(step), sinStep = std::sin(step);
    for (int x = 0; x < w; ++x) {
        out[x] = rowSin + rowCos * cosA;
        const double next = cosA * cosStep - sinA * sinStep;
        sinA = sinA * cosStep + cosA * sinStep;
        cosA = next;
    }
}

void UMBMollweide::coverageRow(int y, uint8_t* out) const
{
    // The pixel's share of the ellipse from its centre's distance to the
    // outline, that distance taken to first order: (1 - r) / |grad r|.
    const double a = 2 * kSqrt2 * radius_, b = kSqrt2 * radius_;
    const double v = y + 0.5 - mapheight_ * 0.5;
    for (int x = 0, w = layerWidth(); x < w; ++x) {
        const double u = x + 0.5 - mapwidth_ * 0.5;
        const double r = std::sqrt((u / a) * (u / a) + (v / b) * (v / b));
        const double g = std::hypot(u / (a * a), v / (b * b));
        const double inside = (r > 0 && g > 0 ? (1 - r) * r / g : b) + 0.5;
        out[x] = inside >= 1.0 ? 255 : inside <= 0.0 ? 0 : uint8_t(std::lround(inside * 255.0));
    }
}

} // namespace umb
