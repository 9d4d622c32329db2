#include "cli/RenderPictures.h"

#include "platform/Canvas.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace cli {

namespace {

// Each pixel of a width x height picture takes the colour of `world` at the
// point `rows` gives: bilinear between the four nearest pixels, round the
// globe from one side edge to the other, clamped at the poles. Points that
// are not finite stay transparent (or black, in an RGB picture).
platform::Image sampled(const platform::Image& world, int width, int height,
    platform::PixelFormat format, int detail, const GeographicRow& rows)
{
    // Bilinear sampling of a much larger picture would skip most of its
    // pixels and sparkle; it is brought near the detail the map shows first.
    if (world.bitmap() && world.bitmap()->width() > detail * 3 / 2) {
        const platform::Bitmap& big = *world.bitmap();
        int h = std::max(1, int(std::lround(double(big.height()) * detail / big.width())));
        return sampled(stretched(world, detail, h), width, height, format, detail, rows);
    }
    const platform::Bitmap* source = world.bitmap();
    platform::Bitmap out(width, height, format);
    if (!source || source->isEmpty())
        return platform::Image(std::move(out));

    const int sw = source->width(), sh = source->height();
    const int samples = source->samplesPerPixel();
    const int outSamples = out.samplesPerPixel();
    const size_t n = size_t(std::max(width, 0));
    std::vector<double> lons(n), lats(n);
    for (int y = 0; y < height; ++y) {
        rows(y, lons.data(), lats.data());
        uint8_t* row = out.pixelAt(0, y);
        for (int x = 0; x < width; ++x) {
            // Source pixel centres lie at half-pixel positions.
            double u = (lons[size_t(x)] + 180.0) / 360.0 * sw - 0.5;
            double v = std::clamp((90.0 - lats[size_t(x)]) / 180.0 * sh - 0.5, 0.0, double(sh - 1));
            if (!std::isfinite(u) || !std::isfinite(v))
                continue;
            const double fu = std::floor(u), fv = std::floor(v);
            const double ax = u - fu, ay = v - fv;
            int x0 = int(std::fmod(fu, double(sw)));
            if (x0 < 0)
                x0 += sw;
            const int x1 = x0 + 1 == sw ? 0 : x0 + 1;
            const int y0 = int(fv), y1 = std::min(y0 + 1, sh - 1);
            const uint8_t* p00 = source->pixelAt(x0, y0);
            const uint8_t* p10 = source->pixelAt(x1, y0);
            const uint8_t* p01 = source->pixelAt(x0, y1);
            const uint8_t* p11 = source->pixelAt(x1, y1);
            uint8_t* d = row + size_t(x) * size_t(outSamples);
            // Premultiplied samples blend linearly, so alpha needs no care.
            for (int c = 0; c < samples; ++c) {
                double top = p00[c] + (p10[c] - p00[c]) * ax;
                double bottom = p01[c] + (p11[c] - p01[c]) * ax;
                d[c] = uint8_t(std::lround(std::clamp(top + (bottom - top) * ay, 0.0, 255.0)));
            }
            if (outSamples > samples)
                d[3] = 255; // an opaque world
        }
    }
    return platform::Image(std::move(out));
}

} // namespace

platform::Image stretched(const platform::Image& picture, int width, int height)
{
    platform::Image out(platform::Size {double(width), double(height)});
    platform::Canvas canvas(out);
    canvas.setInterpolation(platform::Interpolation::High);
    canvas.drawImage(picture, platform::Rect {{0, 0}, out.size()}, platform::Rect {},
        platform::CompositeOp::Copy, 1.0);
    canvas.end();
    return out;
}

platform::Image reprojected(
    const platform::Image& world, int width, int height, const GeographicOf& geographicOf)
{
    const platform::Bitmap* source = world.bitmap();
    const platform::PixelFormat format = source ? source->format() : platform::PixelFormat::RGBA;
    return sampled(world, width, height, format, width, [&](int y, double* lon, double* lat) {
        for (int x = 0; x < width; ++x) {
            const platform::Point g = geographicOf(float(x) + 0.5f, float(y) + 0.5f);
            lon[x] = g.x;
            lat[x] = g.y;
        }
    });
}

platform::Image reprojectedRows(const platform::Image& world, int width, int height,
    const GeographicRow& geographicRow, int detail)
{
    return sampled(world, width, height, platform::PixelFormat::RGBA, detail, geographicRow);
}

} // namespace cli
