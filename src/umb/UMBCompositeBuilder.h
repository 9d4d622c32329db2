// UMBCompositeBuilder: the day/night composite built in one bitmap, pixel for
// pixel what stacking the base map, the night shade, the lights and the sun
// layer pictures with source-over gives, without making those pictures. Owns
// its night mask, shade plane and row buffers, which it keeps between calls
// so that a renderer drawing again allocates nothing new but the result.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Bitmap.h"
#include "platform/Canvas.h"
#include "platform/Geometry.h"
#include "platform/Image.h"
#include "umb/UMBBoxBlur.h"
#include "umb/UMBMapRenderer.h"
#include "umb/UMBNightMask.h"
#include "umb/UMBTwilight.h"

namespace umb {

// Rows [top, top + rows) of `picture` stretched over a width x height map, as
// drawing it with `op` over the whole of an empty map's picture leaves them.
platform::Image stretchedRows(const platform::Image& picture, int width, int height, int top,
    int rows, platform::CompositeOp op = platform::CompositeOp::Copy);
// The height of the bands, about `wanted` rows, in which a picture `from`
// rows high stretched over `to` rows can be drawn and give exactly the pixels
// of drawing it whole, or 0 when none do: each band must start on a whole row
// of the picture, and the scale must be exact in the drawing library's 16.16
// fixed point.
int exactBandRows(int from, int to, int wanted = 64);
// About how many rows a band `width` pixels wide should have: each band costs
// the whole picture's conversion for the drawing library, each row memory.
inline int bandRowsFor(int width)
{
    return std::max(64, (1 << 20) / std::max(width, 1));
}

class UMBCompositeBuilder {
public:
    // What a renderer's settings say about the composite, taken by build().
    struct Settings {
        int width = 0, height = 0; // the map's size, truncated
        uint8_t shade = 0; // the night shade's alpha sample
        UMBTerminatorStyle style = UMBTerminatorStyle::Blur;
        int32_t blurdepth = 0;
        std::optional<std::string> lightsPicture; // a ".png" lights source, or none
        std::shared_ptr<const platform::Image> lightsInMemory; // or the picture itself
        bool stretchLights = false; // lightsInMemory is to be stretched over the map
        std::shared_ptr<const platform::Image> night; // the shade's colours, or black
        std::optional<std::string> sunPicture;
        platform::Point sunAt; // where the sun picture is centred, pixels
        std::optional<double> markerSize; // the sun's longer side, or its own size
        double wrapWidth = 0; // a cylindrical map's width, where markers wrap; else 0
    };

    // The composite of `base` for the renderer's settings, or none when the
    // settings ask for something only the layer pictures do (surfaces drawn
    // the other way up, a map of no or fractional size); the caller then
    // stacks the layers. `shade` is the alpha sample the terminator layer
    // gives its night pixels. An opaque base gives an RGB bitmap, since every
    // layer is drawn over it and its alpha stays 255; otherwise RGBA.
    template<class Renderer>
    std::optional<platform::Bitmap> build(const Renderer& renderer, const platform::Image& base,
        platform::Point subsolar, uint8_t shade)
    {
        return build(renderer, base, nullptr, subsolar, shade);
    }
    // The same, drawing into the base's own bitmap when it is already the
    // map's size (the caller gives the picture up), which saves a copy of the
    // largest bitmap of all.
    template<class Renderer>
    std::optional<platform::Bitmap> build(
        const Renderer& renderer, platform::Image&& base, platform::Point subsolar, uint8_t shade)
    {
        return build(renderer, base, &base, subsolar, shade);
    }

private:
    template<class Renderer>
    std::optional<platform::Bitmap> build(const Renderer& renderer, const platform::Image& base,
        platform::Image* takeable, platform::Point subsolar, uint8_t shade)
    {
        // Whole sizes of a bitmap's reach only; fractional, huge or
        // nonsensical ones are the layers' to deal with.
        const float w = renderer.mapwidth(), h = renderer.mapheight();
        if (!renderer.flipped() || !(w >= 1.0f && w <= float(1 << 20))
            || !(h >= 1.0f && h <= float(1 << 20)) || w != std::floor(w) || h != std::floor(h))
            return std::nullopt;
        Settings settings;
        settings.width = int(w);
        settings.height = int(h);
        // A lights-point file holds few points: its layer, made the layer's
        // own way, costs little and is laid over like the picture's lights.
        const std::optional<std::string>& lights = renderer.lightsimgpath();
        std::optional<platform::Image> lightsLayer;
        if (renderer.lightsPicture()) {
            settings.lightsInMemory = renderer.lightsPicture();
            settings.stretchLights = renderer.lightsPictureStretched();
        } else if (lights && endsWithPng(*lights))
            settings.lightsPicture = lights;
        else if (lights)
            lightsLayer = renderer.drawLightsLayer(subsolar);
        settings.shade = shade;
        settings.night = renderer.nightPicture();
        settings.blurdepth = renderer.blurdepth();
        settings.sunPicture = renderer.sunimgpath();
        settings.sunAt = renderer.geographicToPhysical(float(subsolar.x), float(subsolar.y));
        settings.markerSize = renderer.markerSize();
        if constexpr (Renderer::kCylindrical)
            settings.wrapWidth = settings.width;
        // The lights picture is decoded on a second core meanwhile.
        std::future<platform::ErrorOr<platform::Image>> lightsPicture = startLoading(settings);
        settings.style = renderer.terminatorStyle();
        twilight_.reset();
        if (settings.style == UMBTerminatorStyle::Blur) {
            mask_.compute(renderer, subsolar, settings.width, settings.height);
        } else {
            twilight_.emplace(settings.style, subsolar, shade);
            twilight_->compute(renderer, settings.width, settings.height);
        }
        return compose(base, takeable, settings, lightsPicture, lightsLayer);
    }

    static std::future<platform::ErrorOr<platform::Image>> startLoading(const Settings& settings);
    // Everything after the mask: the base in the result bitmap, then the
    // shade, the lights and the sun over it.
    std::optional<platform::Bitmap> compose(const platform::Image& base, platform::Image* takeable,
        const Settings& settings, std::future<platform::ErrorOr<platform::Image>>& lightsPicture,
        const std::optional<platform::Image>& lightsLayer);
    // The base as the composite's first layer leaves it; `takeable` (the base
    // itself, or null) may give up its bitmap for it.
    std::optional<platform::Bitmap> baseOf(
        const platform::Image& base, platform::Image* takeable, int width, int height);
    // The shade's opacity at each pixel, from the mask or the twilight;
    // false when the shade is transparent and there is nothing to draw.
    bool makeShade(const Settings& settings);
    // The shade over the rows [from, to) of the map.
    void shadeRows(platform::Bitmap& out, const Settings& settings, int from, int to);
    // The lights over the rows [from, to); `lights` holds the map's rows from
    // `top` on.
    void drawLights(
        platform::Bitmap& out, const platform::Bitmap& lights, int top, int from, int to);
    // The lights picture stretched over the map, a band of rows at a time
    // where the bands come out as the whole would, skipping bands of day.
    void drawStretchedLights(platform::Bitmap& out, const platform::Image& lights);
    // The shade in the night map's colours instead of black.
    void drawNight(platform::Bitmap& out, const platform::Bitmap& night, int from, int to);
    // A whole layer of the map's size over the composite.
    static void drawLayer(platform::Bitmap& out, const platform::Bitmap& layer);
    // The sun picture centred on `at`, and again `shifts` to the side (the
    // first shift is 0).
    void drawSun(platform::Bitmap& out, const platform::Image& sun, platform::Point at,
        platform::Size size, const std::vector<double>& shifts);

    UMBNightMask mask_;
    std::optional<UMBTwilight> twilight_; // in place of the mask for Bands and Smooth
    UMBBoxBlur blur_;
    std::vector<uint8_t> shade_;
};

} // namespace umb
