#include "umb/UMBCompositeBuilder.h"

#include <algorithm>
#include <cstring>
#include <numeric>
#include <system_error>

#include "platform/Canvas.h"
#include "platform/PictureInRect.h"
#include "platform/SideThread.h"

namespace umb {
namespace {

// Keeping `keep` / 255 of a sample is premultiplication's arithmetic, and
// the drawing library's for source-over on premultiplied pixels: the
// composite then holds exactly the bytes that drawing each layer picture
// over it would leave.
using platform::premultiply;

// Source-over of one premultiplied RGBA pixel `s` onto `d` (`Samples` bytes;
// an RGB pixel is opaque and stays so).
template<int Samples> inline void over(uint8_t* d, const uint8_t* s)
{
    const unsigned keep = 255u - s[3];
    for (int c = 0; c < 3; ++c)
        d[c] = uint8_t(std::min(255u, s[c] + unsigned(premultiply(d[c], keep))));
    if constexpr (Samples == 4)
        d[3] = uint8_t(std::min(255u, s[3] + unsigned(premultiply(d[3], keep))));
}

// Every byte of a stretch keeps `keep` / 255 of itself: a loop the compiler
// turns into vector code.
void keepOfEach(uint8_t* bytes, size_t count, unsigned keep)
{
    for (size_t i = 0; i < count; ++i)
        bytes[i] = uint8_t(premultiply(bytes[i], keep));
}

// The shade over one opaque row: the night side is long runs of one opacity,
// each darkened as one stretch of bytes; only the ramps at the terminator go
// pixel by pixel.
void shadeOpaqueRow(uint8_t* pixels, const uint8_t* shade, size_t width)
{
    for (size_t x = 0; x < width;) {
        const uint8_t k = shade[x];
        size_t end = x + 1;
        while (end + 8 <= width) {
            uint64_t block;
            std::memcpy(&block, shade + end, 8);
            if (block != k * 0x0101010101010101ull)
                break;
            end += 8;
        }
        while (end < width && shade[end] == k)
            ++end;
        if (k != 0)
            keepOfEach(pixels + 3 * x, 3 * (end - x), 255u - k);
        x = end;
    }
}

// The black shade at opacity k over one pixel: black adds nothing, so the
// colour only keeps 255 - k of itself.
template<int Samples> void shadePixels(uint8_t* pixels, const uint8_t* shade, size_t count)
{
    for (size_t i = 0; i < count; ++i, pixels += Samples) {
        const unsigned k = shade[i];
        if (k == 0)
            continue;
        const unsigned keep = 255u - k;
        pixels[0] = uint8_t(premultiply(pixels[0], keep));
        pixels[1] = uint8_t(premultiply(pixels[1], keep));
        pixels[2] = uint8_t(premultiply(pixels[2], keep));
        if constexpr (Samples == 4)
            pixels[3] = uint8_t(k + premultiply(pixels[3], keep));
    }
}

// The lights picture's row over the night pixels of one row. A transparent
// lights pixel changes nothing and is skipped.
template<int Samples, int LightSamples>
void lightsRow(uint8_t* out, const uint8_t* lights, const uint8_t* night, int count)
{
    for (int x = 0; x < count; ++x) {
        if (!night[x])
            continue;
        const uint8_t* l = lights + size_t(x) * LightSamples;
        uint8_t* d = out + size_t(x) * Samples;
        if constexpr (LightSamples == 3) {
            d[0] = l[0], d[1] = l[1], d[2] = l[2];
            if constexpr (Samples == 4)
                d[3] = 255;
        } else {
            if ((l[0] | l[1] | l[2] | l[3]) == 0)
                continue;
            over<Samples>(d, l);
        }
    }
}

// The lights picture's row over one row, each pixel first faded to `show` /
// 255 of itself (premultiplied, so all four samples scale alike).
template<int Samples, int LightSamples>
void fadedLightsRow(uint8_t* out, const uint8_t* lights, const uint8_t* show, int count)
{
    for (int x = 0; x < count; ++x) {
        const unsigned k = show[x];
        if (k == 0)
            continue;
        const uint8_t* l = lights + size_t(x) * LightSamples;
        const uint8_t s[4] = {uint8_t(premultiply(l[0], k)), uint8_t(premultiply(l[1], k)),
            uint8_t(premultiply(l[2], k)), uint8_t(LightSamples == 4 ? premultiply(l[3], k) : k)};
        if ((s[0] | s[1] | s[2] | s[3]) == 0)
            continue;
        over<Samples>(out + size_t(x) * Samples, s);
    }
}

// rows(from, to) over the rows of a map: in two halves at once, the bottom
// one on another core, where that helps (sideThreadsHelp); otherwise all
// here.
template<class Rows> void inTwoHalves(int width, int height, Rows&& rows)
{
    std::optional<platform::SideThread> bottom;
    const int half = height / 2;
    if (height >= 2 && platform::sideThreadsHelp(size_t(width) * size_t(height))) {
        try {
            bottom.emplace([&] { rows(half, height); });
        } catch (const std::system_error&) {
            // No thread to be had: all rows here.
        }
    }
    rows(0, bottom ? half : height);
}

} // namespace

std::optional<platform::Bitmap> UMBCompositeBuilder::baseOf(
    const platform::Image& base, platform::Image* takeable, int width, int height)
{
    const platform::Bitmap* bitmap = base.bitmap();
    if (bitmap && !base.isFlipped() && bitmap->width() == width && bitmap->height() == height
        && base.size() == platform::Size {double(width), double(height)}) {
        // Drawn one to one onto a transparent canvas, a picture of the map's
        // own size leaves its own pixels.
        if (takeable)
            return std::move(*takeable->bitmap());
        return bitmap->clone();
    }
    // Any other base is drawn as the composite draws it: stretched over the
    // whole map, upright, with the best interpolation. An opaque one is
    // drawn in bands, where they give the same pixels, straight into an RGB
    // bitmap: at the largest sizes a whole RGBA picture of the map is more
    // memory than all the rest of the composite.
    const int band = bitmap ? exactBandRows(bitmap->height(), height, bandRowsFor(width)) : 0;
    if (bitmap && !bitmap->hasAlpha() && !base.isFlipped() && band > 0 && band < height) {
        std::optional<platform::Bitmap> opaque
            = platform::Bitmap::tryCreate(width, height, platform::PixelFormat::RGB);
        unsigned alphas = opaque ? 255 : 0;
        for (int top = 0; top < height && alphas == 255; top += band) {
            const int rows = std::min(band, height - top);
            const platform::Image drawn
                = stretchedRows(base, width, height, top, rows, platform::CompositeOp::SourceOver);
            if (!drawn.bitmap()) {
                alphas = 0;
                break;
            }
            const uint8_t* in = drawn.bitmap()->data();
            uint8_t* out = opaque->pixelAt(0, top);
            for (size_t i = 0, n = size_t(width) * size_t(rows); i < n; ++i, in += 4, out += 3) {
                out[0] = in[0], out[1] = in[1], out[2] = in[2];
                alphas &= in[3];
            }
        }
        // Any pixel short of opaque: the whole picture, as below.
        if (alphas == 255)
            return opaque;
    }
    platform::Image canvasImage(platform::Size {double(width), double(height)});
    if (!canvasImage.bitmap())
        return std::nullopt;
    {
        platform::Canvas canvas(canvasImage, false);
        canvas.setInterpolation(platform::Interpolation::High);
        canvas.drawImage(base, platform::Rect {{0, 0}, {double(width), double(height)}}, {},
            platform::CompositeOp::SourceOver, 1.0);
    }
    platform::Bitmap& drawn = *canvasImage.bitmap();
    // An opaque base stretched over every pixel leaves every alpha at 255:
    // kept as RGB, the layers and the PNG have a quarter less to go through.
    if (!bitmap || bitmap->hasAlpha())
        return std::move(drawn);
    std::optional<platform::Bitmap> opaque
        = platform::Bitmap::tryCreate(width, height, platform::PixelFormat::RGB);
    if (!opaque)
        return std::move(drawn);
    const uint8_t* in = drawn.data();
    uint8_t* out = opaque->data();
    unsigned alphas = 255;
    for (size_t i = 0, n = size_t(width) * size_t(height); i < n; ++i, in += 4, out += 3) {
        out[0] = in[0], out[1] = in[1], out[2] = in[2];
        alphas &= in[3];
    }
    if (alphas != 255)
        return std::move(drawn);
    return opaque;
}

bool UMBCompositeBuilder::makeShade(const Settings& settings)
{
    const size_t w = size_t(settings.width), h = size_t(settings.height);
    const uint8_t a = settings.shade;
    if (a == 0)
        return false; // a transparent shade blurs to transparent
    shade_.resize(w * h);
    if (twilight_) {
        // The twilight's own levels, sharp: no blur.
        for (size_t y = 0; y < h; ++y)
            std::memcpy(shade_.data() + y * w, twilight_->shadeRow(int(y)), w);
        return true;
    }
    for (size_t y = 0; y < h; ++y) {
        const uint8_t* night = mask_.row(int(y));
        uint8_t* row = shade_.data() + y * w;
        for (size_t x = 0; x < w; ++x)
            row[x] = night[x] & a;
    }
    blur_.boxBlurPlane(shade_, settings.width, settings.height, settings.blurdepth);
    return true;
}

void UMBCompositeBuilder::shadeRows(
    platform::Bitmap& out, const Settings& settings, int from, int to)
{
    const size_t w = size_t(settings.width);
    if (settings.night && settings.night->bitmap()) {
        drawNight(out, *settings.night->bitmap(), from, to);
    } else if (out.hasAlpha()) {
        shadePixels<4>(
            out.pixelAt(0, from), shade_.data() + size_t(from) * w, w * size_t(to - from));
    } else {
        for (int y = from; y < to; ++y)
            shadeOpaqueRow(out.pixelAt(0, y), shade_.data() + size_t(y) * w, w);
    }
}

void UMBCompositeBuilder::drawNight(
    platform::Bitmap& out, const platform::Bitmap& night, int from, int to)
{
    // The night map's pixels, premultiplied by the shade, over the map: what
    // the shade layer in the night map's colours leaves. Where the night map
    // has no pixel the shade stays black.
    const int w = out.width(), nw = std::min(w, night.width()), nh = night.height();
    for (int y = from; y < to; ++y) {
        const uint8_t* k = shade_.data() + size_t(y) * size_t(w);
        for (int x = 0; x < w; ++x) {
            if (k[x] == 0)
                continue;
            uint8_t s[4] = {0, 0, 0, k[x]};
            if (x < nw && y < nh) {
                const uint8_t* n = night.pixelAt(x, y);
                for (int c = 0; c < 3; ++c)
                    s[c] = premultiply(n[c], k[x]);
            }
            if (out.hasAlpha())
                over<4>(out.pixelAt(x, y), s);
            else
                over<3>(out.pixelAt(x, y), s);
        }
    }
}

platform::Image stretchedRows(const platform::Image& picture, int width, int height, int top,
    int rows, platform::CompositeOp op)
{
    platform::Image band(platform::Size {double(width), double(rows)});
    platform::Canvas canvas(band);
    canvas.setInterpolation(platform::Interpolation::High);
    // The canvas counts up from its bottom row.
    canvas.translate(0, -double(height - top - rows));
    canvas.drawImage(picture, platform::Rect {{0, 0}, {double(width), double(height)}},
        platform::Rect {}, op, 1.0);
    canvas.end();
    return band;
}

int exactBandRows(int from, int to, int wanted)
{
    if (from <= 0 || to <= 0 || (int64_t(from) << 16) % to != 0)
        return 0;
    // A whole number of the shortest exact band.
    const int step = to / std::gcd(from, to);
    return step * std::max(1, wanted / step);
}

void UMBCompositeBuilder::drawStretchedLights(platform::Bitmap& out, const platform::Image& lights)
{
    const int w = out.width(), h = out.height();
    const platform::Bitmap* picture = lights.bitmap();
    if (!picture)
        return;
    int band = exactBandRows(picture->height(), h, bandRowsFor(w));
    if (band == 0 || band >= h)
        band = h;
    for (int top = 0; top < h; top += band) {
        const int rows = std::min(band, h - top);
        bool lit = false;
        for (int y = top; y < top + rows && !lit; ++y)
            lit = twilight_ ? twilight_->rowHasLights(y) : mask_.nightCount(y) != 0;
        if (!lit)
            continue;
        const platform::Image drawn = stretchedRows(lights, w, h, top, rows);
        if (drawn.bitmap())
            drawLights(out, *drawn.bitmap(), top, top, top + rows);
    }
}

void UMBCompositeBuilder::drawLights(
    platform::Bitmap& out, const platform::Bitmap& lights, int top, int from, int to)
{
    // The lights picture is read at the map's own pixel coordinates; where it
    // has no pixel the layer stays transparent.
    const int w = std::min(out.width(), lights.width());
    const int first = std::max(from - top, 0);
    const int h = std::min({out.height() - top, lights.height(), to - top});
    if (twilight_) {
        for (int j = first; j < h; ++j) {
            const int y = top + j;
            if (!twilight_->rowHasLights(y))
                continue;
            uint8_t* row = out.pixelAt(0, y);
            const uint8_t* light = lights.pixelAt(0, j);
            const uint8_t* show = twilight_->lightsRow(y);
            if (out.hasAlpha()) {
                if (lights.hasAlpha())
                    fadedLightsRow<4, 4>(row, light, show, w);
                else
                    fadedLightsRow<4, 3>(row, light, show, w);
            } else {
                if (lights.hasAlpha())
                    fadedLightsRow<3, 4>(row, light, show, w);
                else
                    fadedLightsRow<3, 3>(row, light, show, w);
            }
        }
        return;
    }
    for (int j = first; j < h; ++j) {
        const int y = top + j;
        if (mask_.nightCount(y) == 0)
            continue;
        uint8_t* row = out.pixelAt(0, y);
        const uint8_t* light = lights.pixelAt(0, j);
        const uint8_t* night = mask_.row(y);
        if (out.hasAlpha()) {
            if (lights.hasAlpha())
                lightsRow<4, 4>(row, light, night, w);
            else
                lightsRow<4, 3>(row, light, night, w);
        } else {
            if (lights.hasAlpha())
                lightsRow<3, 4>(row, light, night, w);
            else
                lightsRow<3, 3>(row, light, night, w);
        }
    }
}

void UMBCompositeBuilder::drawLayer(platform::Bitmap& out, const platform::Bitmap& layer)
{
    const int w = std::min(out.width(), layer.width());
    const int h = std::min(out.height(), layer.height());
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const uint8_t* s = layer.pixelAt(x, y);
            if ((s[0] | s[1] | s[2] | s[3]) == 0)
                continue;
            if (out.hasAlpha())
                over<4>(out.pixelAt(x, y), s);
            else
                over<3>(out.pixelAt(x, y), s);
        }
    }
}

void UMBCompositeBuilder::drawSun(platform::Bitmap& out, const platform::Image& sun,
    platform::Point at, platform::Size size, const std::vector<double>& shifts)
{
    if (!(size.width > 0) || !(size.height > 0) || shifts.empty())
        return;
    // The sun picture and its copies drawn, as its layer draws them, into
    // one transparent picture around them instead of one of the map's size,
    // in the same order: shifted by whole pixels, every pixel samples the
    // picture at the same positions and is blended in the same steps. Two
    // pixels of margin hold whatever the filter spreads past its edges.
    const double left = at.x - size.width * 0.5, top = at.y - size.height * 0.5;
    if (!std::isfinite(left) || !std::isfinite(top))
        return;
    const auto [fewest, most] = std::minmax_element(shifts.begin(), shifts.end());
    const double x0 = std::max(std::floor(left + *fewest) - 2, 0.0);
    const double x1 = std::min(std::ceil(left + *most + size.width) + 2, double(out.width()));
    const double y0 = std::max(std::floor(top) - 2, 0.0);
    const double y1 = std::min(std::ceil(top + size.height) + 2, double(out.height()));
    if (x1 <= x0 || y1 <= y0)
        return;
    platform::Image patch(platform::Size {x1 - x0, y1 - y0});
    if (!patch.bitmap())
        return;
    for (double shift : shifts)
        platform::drawPictureInRect(
            patch, true, sun, platform::Rect {{left + shift - x0, top - y0}, size});
    const platform::Bitmap& drawn = *patch.bitmap();
    const int ox = int(x0), oy = int(y0);
    for (int j = 0; j < drawn.height(); ++j) {
        for (int i = 0; i < drawn.width(); ++i) {
            const uint8_t* s = drawn.pixelAt(i, j);
            if (s[3] == 0 && (s[0] | s[1] | s[2]) == 0)
                continue;
            if (out.hasAlpha())
                over<4>(out.pixelAt(ox + i, oy + j), s);
            else
                over<3>(out.pixelAt(ox + i, oy + j), s);
        }
    }
}

std::future<platform::ErrorOr<platform::Image>> UMBCompositeBuilder::startLoading(
    const Settings& settings)
{
    if (!settings.lightsPicture)
        return {};
    std::string path = *settings.lightsPicture;
    auto load = [path] { return platform::Image::fromFile(path); };
    try {
        return std::async(std::launch::async, load);
    } catch (const std::system_error&) {
        // No thread to be had: decode it here, later, all the same.
        return std::async(std::launch::deferred, load);
    }
}

std::optional<platform::Bitmap> UMBCompositeBuilder::compose(const platform::Image& base,
    platform::Image* takeable, const Settings& settings,
    std::future<platform::ErrorOr<platform::Image>>& lightsPicture,
    const std::optional<platform::Image>& lightsLayer)
{
    std::optional<platform::Bitmap> out = baseOf(base, takeable, settings.width, settings.height);
    if (!out)
        return std::nullopt;
    const bool shaded = makeShade(settings);
    std::optional<platform::Image> decoded;
    if (lightsPicture.valid()) {
        platform::ErrorOr<platform::Image> lights = lightsPicture.get();
        if (lights && lights->bitmap())
            decoded = std::move(*lights);
    }
    const bool stretched = settings.lightsInMemory && settings.stretchLights;
    const platform::Bitmap* inMemory
        = settings.lightsInMemory && !stretched ? settings.lightsInMemory->bitmap() : nullptr;
    // Each row's shade, then its lights; the rows are independent.
    inTwoHalves(settings.width, settings.height, [&](int from, int to) {
        if (shaded)
            shadeRows(*out, settings, from, to);
        if (decoded)
            drawLights(*out, *decoded->bitmap(), 0, from, to);
        if (inMemory)
            drawLights(*out, *inMemory, 0, from, to);
    });
    if (stretched)
        drawStretchedLights(*out, *settings.lightsInMemory);
    if (lightsLayer && lightsLayer->bitmap())
        drawLayer(*out, *lightsLayer->bitmap());
    if (settings.sunPicture) {
        platform::ErrorOr<platform::Image> sun = platform::Image::fromFile(*settings.sunPicture);
        if (sun && sun->bitmap()) {
            platform::Size size = sun->size();
            const double longer = std::max(size.width, size.height);
            if (settings.markerSize && longer > 0)
                size = {size.width * *settings.markerSize / longer,
                    size.height * *settings.markerSize / longer};
            // On a cylindrical map a sun across a side edge shows at both.
            const double left = settings.sunAt.x - size.width * 0.5;
            std::vector<double> shifts {0.0};
            if (settings.wrapWidth > 0 && left < 0)
                shifts.push_back(settings.wrapWidth);
            if (settings.wrapWidth > 0 && left + size.width > settings.wrapWidth)
                shifts.push_back(-settings.wrapWidth);
            drawSun(*out, *sun, settings.sunAt, size, shifts);
        }
    }
    return out;
}

} // namespace umb
