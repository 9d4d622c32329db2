#include "platform/PictureInRect.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace platform {

namespace {

struct Tap {
    int index;
    float weight;
};

// The picture's pixels along one axis that make a target pixel whose centre
// falls on `centre` (in picture pixels, pixel i spanning [i, i + 1)), with
// `step` picture pixels to a target pixel, and their weights (summing to 1).
void tapsAt(double centre, double step, int size, std::vector<Tap>& taps)
{
    taps.clear();
    auto clamped = [size](long i) { return int(std::clamp<long>(i, 0, size - 1)); };
    if (step <= 1.0) {
        const double p = centre - 0.5;
        const double first = std::floor(p);
        const float f = float(p - first);
        taps.push_back({clamped(long(first)), 1.0f - f});
        taps.push_back({clamped(long(first) + 1), f});
        return;
    }
    const double from = centre - step / 2, to = centre + step / 2;
    for (double i = std::floor(from); i < to; ++i) {
        const double part = std::min(to, i + 1) - std::max(from, i);
        if (part > 0)
            taps.push_back({clamped(long(i)), float(part / step)});
    }
}

// How much of target pixel `i` the span [from, to) covers.
double coverage(int i, double from, double to)
{
    return std::clamp(std::min(double(i) + 1, to) - std::max(double(i), from), 0.0, 1.0);
}

} // namespace

void drawPictureInRect(Image& target, bool flipped, const Image& picture, Rect into)
{
    Bitmap* out = target.bitmap();
    const Bitmap* in = picture.bitmap();
    if (!out || !in || out->format() != PixelFormat::RGBA || out->isEmpty() || in->isEmpty()
        || !(into.size.width > 0) || !(into.size.height > 0))
        return;
    const Size canvas = target.size(), own = picture.size();
    if (!(own.width > 0) || !(own.height > 0))
        return;
    // Target pixels per canvas point, picture pixels per picture point, and
    // picture points per canvas point inside the rectangle.
    const double px = target.pixelsPerPointX(), py = target.pixelsPerPointY();
    const double sx = picture.pixelsPerPointX(), sy = picture.pixelsPerPointY();
    const double kx = own.width / into.size.width, ky = own.height / into.size.height;

    // The rectangle in target pixels, and the target pixels it touches.
    const double left = into.origin.x * px, right = (into.origin.x + into.size.width) * px;
    const double top
        = flipped ? into.origin.y * py : (canvas.height - into.origin.y - into.size.height) * py;
    const double bottom = top + into.size.height * py;
    const int x0 = std::max(0, int(std::floor(left))),
              x1 = std::min(out->width(), int(std::ceil(right)));
    const int y0 = std::max(0, int(std::floor(top))),
              y1 = std::min(out->height(), int(std::ceil(bottom)));
    if (x0 >= x1 || y0 >= y1)
        return;

    // Each column's and row's picture pixels, worked out once.
    std::vector<std::vector<Tap>> columns(size_t(x1 - x0)), rows(size_t(y1 - y0));
    for (int x = x0; x < x1; ++x) {
        const double user = (x + 0.5) / px;
        tapsAt(
            sx * kx * (user - into.origin.x), sx * kx / px, in->width(), columns[size_t(x - x0)]);
    }
    for (int y = y0; y < y1; ++y) {
        const double user = flipped ? (y + 0.5) / py : canvas.height - (y + 0.5) / py;
        // The picture's own rows run down from its top when it is flipped,
        // up from its bottom otherwise; its pixel rows always run down.
        const double along = ky * (user - into.origin.y);
        const double v = picture.isFlipped() ? sy * along : sy * (own.height - along);
        tapsAt(v, sy * ky / py, in->height(), rows[size_t(y - y0)]);
    }

    const int samples = in->samplesPerPixel();
    for (int y = y0; y < y1; ++y) {
        const double coverY = coverage(y, top, bottom);
        for (int x = x0; x < x1; ++x) {
            float s[4] = {0, 0, 0, 0};
            for (const Tap& row : rows[size_t(y - y0)]) {
                for (const Tap& column : columns[size_t(x - x0)]) {
                    const uint8_t* p = in->pixelAt(column.index, row.index);
                    const float w = row.weight * column.weight;
                    for (int c = 0; c < 3; ++c)
                        s[c] += w * p[c];
                    s[3] += w * (samples == 4 ? p[3] : 255);
                }
            }
            // Source-over, premultiplied, the covered part of the pixel.
            const float part = float(coverY * coverage(x, left, right));
            uint8_t* d = out->pixelAt(x, y);
            const float keep = 1.0f - part * s[3] / 255.0f;
            for (int c = 0; c < 4; ++c)
                d[c] = uint8_t(std::clamp(std::lround(part * s[c] + keep * d[c]), 0L, 255L));
        }
    }
}

} // namespace platform
