// The layers and the composite of the map renderers. They differ only in the
// projection they call through, so they are written once here and built for
// each renderer at the end of the file.
#include "umb/UMBAzimuthalEquidistant.h"
#include "umb/UMBEquirectangular.h"
#include "umb/UMBMillerCylindrical.h"
#include "umb/UMBMollweide.h"
#include "umb/UMBOrthographic.h"

#include "platform/Canvas.h"
#include "platform/Path.h"
#include "platform/PictureInRect.h"
#include "umb/UMBCompositeBuilder.h"
#include "umb/UMBDataBuffer.h"
#include "umb/UMBDefines.h"
#include "umb/UMBImageOps.h"

#include <cmath>
#include <cstring>
#include <stdexcept>

namespace umb {

namespace {

// The shade's alpha sample: the opacity times 255, truncated, clamped to a
// byte. Nothing upstream limits the shadow level, and a level outside 0..1
// must not wrap round to a light shade.
uint8_t shadeAlpha(float alpha)
{
    double a = double(alpha) * 255.0;
    if (!(a > 0.0))
        return 0;
    return a >= 255.0 ? 255 : uint8_t(a);
}

// The four samples of pixel (x, y) of `bitmap` as premultiplied RGBA; an RGB
// bitmap's pixels are opaque.
void copyPixel(const platform::Bitmap& from, int fx, int fy, platform::Bitmap& to, int tx, int ty)
{
    const uint8_t* s = from.pixelAt(fx, fy);
    uint8_t* d = to.pixelAt(tx, ty);
    d[0] = s[0];
    d[1] = s[1];
    d[2] = s[2];
    d[3] = from.hasAlpha() ? s[3] : 255;
}

// `v` brought back into [0, size) by one turn at most, in single precision
// as the centring's sums are made: a shift is less than one map across.
float wrappedOnce(float v, float size)
{
    if (v >= size)
        v -= size;
    if (v < 0)
        v += size;
    return v;
}

} // namespace

template<class Projection> platform::Bitmap UMBMapRenderer<Projection>::makeLayerBitmap() const
{
    return platform::Bitmap(layerWidth(), layerHeight(), platform::PixelFormat::RGBA);
}

template<class Projection>
void UMBMapRenderer<Projection>::clipToGlobe(platform::Bitmap& bitmap) const
{
    if constexpr (!Projection::kCylindrical) {
        const int w = std::min(bitmap.width(), layerWidth());
        const int h = std::min(bitmap.height(), layerHeight());
        if (w <= 0 || h <= 0)
            return;
        if (!bitmap.hasAlpha())
            bitmap = bitmap.toRGBA();
        std::vector<uint8_t> cover(static_cast<size_t>(layerWidth()));
        for (int y = 0; y < h; ++y) {
            projection().coverageRow(y, cover.data());
            uint8_t* p = bitmap.pixelAt(0, y);
            for (int x = 0; x < w; ++x, p += 4) {
                const unsigned k = cover[size_t(x)];
                if (k == 255)
                    continue;
                // Premultiplied: all four samples scale alike.
                for (int c = 0; c < 4; ++c)
                    p[c] = uint8_t((p[c] * k + 127) / 255);
            }
        }
    }
}

template<class Projection>
void UMBMapRenderer<Projection>::colourNightShade(platform::Bitmap& layer) const
{
    if (!nightPicture_ || !nightPicture_->bitmap())
        return;
    // The shade takes the night map's colours, premultiplied by its alpha.
    const platform::Bitmap& night = *nightPicture_->bitmap();
    for (int y = 0; y < std::min(layer.height(), night.height()); ++y)
        for (int x = 0; x < std::min(layer.width(), night.width()); ++x) {
            uint8_t* p = layer.pixelAt(x, y);
            const uint8_t* n = night.pixelAt(x, y);
            for (int c = 0; c < 3; ++c)
                p[c] = platform::premultiply(n[c], p[3]);
        }
}

template<class Projection>
void UMBMapRenderer<Projection>::nightMask(UMBNightMask& mask, platform::Point subsolar) const
{
    mask.compute(projection(), subsolar, layerWidth(), layerHeight());
}

template<class Projection>
platform::Image UMBMapRenderer<Projection>::drawTerminatorLayer(platform::Point subsolar)
{
    platform::Bitmap layer = makeLayerBitmap();
    const int w = layer.width(), h = layer.height();
    const uint8_t shade = shadeAlpha(alpha_);
    if (terminatorStyle_ != UMBTerminatorStyle::Blur) {
        UMBTwilight twilight(terminatorStyle_, subsolar, shade);
        twilight.compute(projection(), w, h);
        for (int y = 0; y < h; ++y) {
            const uint8_t* row = twilight.shadeRow(y);
            for (int x = 0; x < w; ++x)
                layer.pixelAt(x, y)[3] = row[x];
        }
        colourNightShade(layer);
        clipToGlobe(layer);
        return platform::Image(std::move(layer));
    }
    if constexpr (!Projection::kCylindrical) {
        // Off the globe the mask continues the night side outward, so the
        // blur sees no edge at the outline; the clip then takes it away.
        UMBNightMask mask;
        nightMask(mask, subsolar);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                layer.pixelAt(x, y)[3] = mask.row(y)[x] & shade;
    } else {
        // Each pixel is tested at its corner, exactly as the projection places
        // it; black premultiplied is all zeros but the alpha.
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                platform::Point g = projection().physicalToGeographic(float(x), float(y));
                if (!UMBDefines::pointIsVisible(g.x, g.y, subsolar.x, subsolar.y))
                    layer.pixelAt(x, y)[3] = shade;
            }
        }
    }
    if (!layer.isEmpty())
        blurfilter_.boxBlurPixelsWithAlpha(layer, blurdepth_);
    colourNightShade(layer);
    clipToGlobe(layer);
    return platform::Image(std::move(layer));
}

template<class Projection>
platform::Image UMBMapRenderer<Projection>::drawLightsLayer(platform::Point subsolar) const
{
    const std::string path = lightsimgpath_.value_or(std::string());
    if (lightsPicture_ || endsWithPng(path))
        return drawLightsLayerFromImage(subsolar);

    platform::Bitmap layer = makeLayerBitmap();
    const int w = layer.width(), h = layer.height();
    UMBImageOps ops;
    std::optional<UMBTwilight> fading;
    if (terminatorStyle_ != UMBTerminatorStyle::Blur)
        fading.emplace(terminatorStyle_, subsolar, uint8_t(255));
    UMBDataBuffer buffer = UMBDataBuffer::initWithFile(path);
    buffer.rewind();
    // Whole 12-byte records only: a partial last record is not a light, and
    // reading it would run past the end of the file.
    while (buffer.hasRemaining() && buffer.remaining() >= 12) {
        platform::Color color = ops.integerToColor(buffer.readInt());
        float lon = buffer.readFloat();
        float lat = buffer.readFloat();
        if (fading) {
            // The light's own place says how much of it the dark shows.
            const uint8_t show = fading->lightsFor(fading->sineOfAltitude(lon, lat));
            if (show == 0)
                continue;
            color = platform::Color::deviceRGB(
                color.red(), color.green(), color.blue(), color.alpha() * (show / 255.0));
        } else if (UMBDefines::pointIsVisible(lon, lat, subsolar.x, subsolar.y)) {
            continue;
        }
        platform::Point p = projection().geographicToPhysical(lon, lat);
        // NaN and points beyond the grid (180 degrees east of the origin lands
        // on x = mapwidth) are not plotted.
        if (!(p.x >= 0.0 && p.y >= 0.0 && p.x < double(w) && p.y < double(h)))
            continue;
        layer.setColorAt(int(p.x), int(p.y), color);
    }
    clipToGlobe(layer);
    return platform::Image(std::move(layer));
}

template<class Projection>
platform::Image UMBMapRenderer<Projection>::drawLightsLayerFromImage(platform::Point subsolar) const
{
    platform::Bitmap layer = makeLayerBitmap();
    std::optional<platform::Image> lights;
    if (!lightsPicture_ && lightsimgpath_)
        if (auto read = platform::Image::fromFile(*lightsimgpath_))
            lights = std::move(*read);
    if (lightsPicture_ && lightsPictureStretched_)
        lights = stretchedRows(*lightsPicture_, layer.width(), layer.height(), 0, layer.height());
    const platform::Bitmap* source = lights ? lights->bitmap()
        : lightsPicture_                    ? lightsPicture_->bitmap()
                                            : nullptr;
    if (!source)
        return platform::Image(std::move(layer));
    // Only the part of the grid the lights picture covers can be copied.
    const int w = std::min(layer.width(), source->width());
    const int h = std::min(layer.height(), source->height());
    if (terminatorStyle_ != UMBTerminatorStyle::Blur) {
        UMBTwilight twilight(terminatorStyle_, subsolar, 255);
        twilight.compute(projection(), layer.width(), layer.height());
        for (int y = 0; y < h; ++y) {
            const uint8_t* show = twilight.lightsRow(y);
            for (int x = 0; x < w; ++x) {
                if (show[x] == 0)
                    continue;
                copyPixel(*source, x, y, layer, x, y);
                uint8_t* p = layer.pixelAt(x, y);
                for (int c = 0; c < 4; ++c)
                    p[c] = platform::premultiply(p[c], show[x]);
            }
        }
        clipToGlobe(layer);
        return platform::Image(std::move(layer));
    }
    if constexpr (!Projection::kCylindrical) {
        UMBNightMask mask;
        nightMask(mask, subsolar);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if (mask.row(y)[x])
                    copyPixel(*source, x, y, layer, x, y);
    } else {
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                platform::Point g = projection().physicalToGeographic(float(x), float(y));
                if (!UMBDefines::pointIsVisible(g.x, g.y, subsolar.x, subsolar.y))
                    copyPixel(*source, x, y, layer, x, y);
            }
        }
    }
    clipToGlobe(layer);
    return platform::Image(std::move(layer));
}

template<class Projection>
platform::Image UMBMapRenderer<Projection>::drawSunLayer(platform::Point subsolar) const
{
    platform::Image layer(platform::Size {double(layerWidth()), double(layerHeight())});
    std::optional<platform::Image> sun;
    if (sunimgpath_)
        if (auto read = platform::Image::fromFile(*sunimgpath_))
            sun = std::move(*read);
    if (!sun || !layer.bitmap())
        return layer;
    const platform::Size s = markerExtent(sun->size());
    const platform::Point p
        = projection().geographicToPhysical(float(subsolar.x), float(subsolar.y));
    const double left = p.x - s.width * 0.5;
    for (double shift : markerCopies(left, s.width))
        platform::drawPictureInRect(
            layer, flipped_, *sun, platform::Rect {{left + shift, p.y - s.height * 0.5}, s});
    clipToGlobe(layer);
    return layer;
}

template<class Projection>
platform::Image UMBMapRenderer<Projection>::drawGridLayer(int32_t lonStep, int32_t latStep) const
{
    platform::Image layer(platform::Size {double(layerWidth()), double(layerHeight())});
    if (lonStep <= 0 || latStep <= 0 || !layer.bitmap())
        return layer;
    platform::Canvas canvas(layer, flipped_);
    canvas.saveState();
    canvas.setInterpolation(platform::Interpolation::High);
    platform::Path path;
    path.setLineWidth(1.0);
    if constexpr (Projection::kCylindrical) {
        canvas.setAntialias(false);
        // A one-pixel line along a pixel boundary covers half of two pixels,
        // and without antialiasing the one before the boundary wins: the
        // meridian of longitude 0 would land a pixel west of it. Moved half a
        // pixel on, each line fills the pixel whose corner lies on it, as in
        // every other layer.
        constexpr double kHalfPixel = 0.5;
        // The end values are included, so a step that divides the circle
        // draws both 0 and 360 (the same meridian) and both poles.
        for (int64_t lon = 0; lon < int64_t(lonStep) + 360; lon += lonStep) {
            double x = projection().geographicToPhysical(float(lon), 0.0f).x + kHalfPixel;
            path.moveTo({x, 0.0});
            path.lineTo({x, double(mapheight_)});
        }
        for (int64_t lat = -90; lat < int64_t(latStep) + 90; lat += latStep) {
            double y = projection().geographicToPhysical(0.0f, float(lat)).y + kHalfPixel;
            path.moveTo({0.0, y});
            path.lineTo({double(mapwidth_), y});
        }
    } else {
        // Meridians and parallels are curves here: polylines through points a
        // quarter degree apart, broken where a point is hidden or where the
        // line leaves the map at one side and comes back at another.
        constexpr double kStep = 0.25;
        const double jump = 0.25 * std::min(double(mapwidth_), double(mapheight_));
        auto polyline = [&](auto pointAt, int count) {
            bool drawing = false;
            platform::Point last;
            for (int i = 0; i <= count; ++i) {
                const platform::Point p = pointAt(i);
                if (!std::isfinite(p.x) || !std::isfinite(p.y)) {
                    drawing = false;
                    continue;
                }
                if (drawing && std::hypot(p.x - last.x, p.y - last.y) < jump)
                    path.lineTo(p);
                else
                    path.moveTo(p);
                drawing = true;
                last = p;
            }
        };
        const int along = int(180 / kStep);
        for (int64_t lon = 0; lon < 360; lon += lonStep)
            polyline(
                [&](int i) {
                    return projection().geographicToPhysical(float(lon), float(-90 + i * kStep));
                },
                along);
        // The poles are points, not lines. Parallels start from the map's
        // own meridian so that none is cut where longitudes wrap.
        for (int64_t lat = -90 + latStep; lat < 90; lat += latStep)
            polyline(
                [&](int i) {
                    return projection().geographicToPhysical(
                        float(maporigin_.x - 180 + i * kStep), float(lat));
                },
                2 * along);
    }
    canvas.setColor(gridColor_);
    canvas.stroke(path);
    canvas.restoreState();
    canvas.end();
    clipToGlobe(layer);
    return layer;
}

template<class Projection>
platform::Image UMBMapRenderer<Projection>::drawCompositeImage(
    const platform::Image& base, platform::Point subsolar)
{
    UMBCompositeBuilder builder;
    if (std::optional<platform::Bitmap> built
        = builder.build(projection(), base, subsolar, shadeAlpha(alpha_))) {
        clipToGlobe(*built);
        return platform::Image(std::move(*built));
    }
    return drawCompositeImageFromLayers(base, subsolar);
}

template<class Projection>
platform::Image UMBMapRenderer<Projection>::drawCompositeImage(
    platform::Image&& base, platform::Point subsolar)
{
    UMBCompositeBuilder builder;
    if (std::optional<platform::Bitmap> built
        = builder.build(projection(), std::move(base), subsolar, shadeAlpha(alpha_))) {
        clipToGlobe(*built);
        return platform::Image(std::move(*built));
    }
    return drawCompositeImageFromLayers(base, subsolar);
}

template<class Projection>
platform::Image UMBMapRenderer<Projection>::drawCompositeImageFromLayers(
    const platform::Image& base, platform::Point subsolar)
{
    platform::Image composite(platform::Size {double(layerWidth()), double(layerHeight())});
    if (!composite.bitmap())
        return composite;
    const platform::Rect whole {{0, 0}, composite.size()};
    // The layers are built top row first and drawn into a canvas of the
    // opposite orientation to theirs, which lays them upright.
    platform::Canvas canvas(composite, !flipped_);
    canvas.setInterpolation(platform::Interpolation::High);
    auto draw = [&](const platform::Image& picture) {
        canvas.drawImage(picture, whole, platform::Rect {}, platform::CompositeOp::SourceOver, 1.0);
    };
    draw(base);
    draw(drawTerminatorLayer(subsolar));
    draw(drawLightsLayer(subsolar));
    draw(drawSunLayer(subsolar));
    canvas.end();
    clipToGlobe(composite);
    return composite;
}

template<class Projection>
platform::Image UMBMapRenderer<Projection>::centerImage(
    platform::Image picture, platform::Point origin) requires Projection::kCylindrical
{
    if (origin.x == 0.0 && origin.y == 0.0)
        return picture;
    // Where the new centre lies now, with the old origin still in place.
    const platform::Point p = projection().geographicToPhysical(float(origin.x), float(origin.y));
    const float w = mapwidth_, h = mapheight_;
    maporigin_ = origin;

    platform::Bitmap moved = makeLayerBitmap();
    const platform::Bitmap* source = picture.bitmap();
    if (!source)
        return platform::Image(std::move(moved));
    const float dx = float(p.x - w * 0.5);
    const float dy = float(p.y - h * 0.5);
    for (int i = 0; i < moved.width(); ++i) {
        const float sx = wrappedOnce(float(i) + dx, w);
        // Single-precision sums can land on the far edge itself; such a
        // column has no source and stays transparent.
        if (!(sx >= 0 && int(sx) < source->width()))
            continue;
        for (int j = 0; j < moved.height(); ++j) {
            const float sy = wrappedOnce(float(j) + dy, h);
            if (!(sy >= 0 && int(sy) < source->height()))
                continue;
            copyPixel(*source, int(sx), int(sy), moved, i, j);
        }
    }
    return platform::Image(std::move(moved));
}

template class UMBMapRenderer<UMBEquirectangular>;
template class UMBMapRenderer<UMBMillerCylindrical>;
template class UMBMapRenderer<UMBOrthographic>;
template class UMBMapRenderer<UMBAzimuthalEquidistant>;
template class UMBMapRenderer<UMBMollweide>;

} // namespace umb
