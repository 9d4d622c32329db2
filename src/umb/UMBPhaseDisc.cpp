#include "umb/UMBPhaseDisc.h"

#include <algorithm>
#include <cmath>

namespace umb {

namespace {

// The lit part nearly white with a touch of warmth, the dark part a dim
// blue-grey that still stands out on the night side: straight RGBA.
constexpr double kBright[4] = {236, 232, 218, 255};
constexpr double kDim[4] = {52, 56, 70, 235};
constexpr int kSamples = 4; // per pixel and axis

} // namespace

bool UMBPhaseDisc::isLit(double u, double v, double illuminated)
{
    const double k = std::clamp(illuminated, 0.0, 1.0);
    return u >= (1 - 2 * k) * std::sqrt(std::max(0.0, 1 - v * v));
}

void UMBPhaseDisc::draw(platform::Bitmap& bitmap, platform::Point centre, double diameter,
    platform::Point towardSun, double illuminated)
{
    const double r = diameter * 0.5;
    // Far beyond the bitmap (or not a place at all) nothing is drawn, and no
    // coordinate is turned into an integer it would not fit.
    constexpr double kFar = 1 << 24;
    if (!(r > 0 && r < kFar) || !(std::fabs(centre.x) < kFar) || !(std::fabs(centre.y) < kFar))
        return;
    double length = std::hypot(towardSun.x, towardSun.y);
    const double ux = length > 0 ? towardSun.x / length : 0;
    const double uy = length > 0 ? towardSun.y / length : -1;
    const int x0 = std::max(0, int(std::floor(centre.x - r)));
    const int x1 = std::min(bitmap.width() - 1, int(std::ceil(centre.x + r)));
    const int y0 = std::max(0, int(std::floor(centre.y - r)));
    const int y1 = std::min(bitmap.height() - 1, int(std::ceil(centre.y + r)));
    const int samples = bitmap.hasAlpha() ? 4 : 3;
    for (int y = y0; y <= y1; ++y) {
        for (int x = x0; x <= x1; ++x) {
            // The average premultiplied colour of the samples inside the disc.
            double sum[4] = {0, 0, 0, 0};
            for (int j = 0; j < kSamples; ++j) {
                for (int i = 0; i < kSamples; ++i) {
                    const double dx = (x + (i + 0.5) / kSamples - centre.x) / r;
                    const double dy = (y + (j + 0.5) / kSamples - centre.y) / r;
                    if (dx * dx + dy * dy > 1)
                        continue;
                    const double u = dx * ux + dy * uy; // toward the Sun
                    const double v = dx * -uy + dy * ux;
                    const double* c = isLit(u, v, illuminated) ? kBright : kDim;
                    for (int k = 0; k < 3; ++k)
                        sum[k] += c[k] * c[3] / 255;
                    sum[3] += c[3];
                }
            }
            if (sum[3] == 0)
                continue;
            const double n = kSamples * kSamples;
            const double a = sum[3] / n / 255; // coverage times opacity
            uint8_t* d = bitmap.pixelAt(x, y);
            for (int k = 0; k < 3; ++k)
                d[k] = uint8_t(std::lround(std::min(255.0, sum[k] / n + d[k] * (1 - a))));
            if (samples == 4)
                d[3] = uint8_t(std::lround(std::min(255.0, sum[3] / n + d[3] * (1 - a))));
        }
    }
}

} // namespace umb
