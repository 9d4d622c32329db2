// UMBMapRenderer: the state and the layers shared by the map renderers. A
// renderer knows the size of a world map picture and how geographic points
// land on its pixels; the projection itself (the two conversions and the
// scales) belongs to the derived class, which every layer calls through.
// Cylindrical projections (a column is a meridian, a row a parallel, the map
// 360 degrees across) say so with kCylindrical; the others also give the
// layers whole rows at a time (geographicRow, sineOfAltitudeRow, coverageRow)
// and leave transparent what lies off the globe.
// Owns its paths, its map origin and its box blur; holds no pixels between
// calls: every layer is a new picture owned by the caller.
#pragma once

#include "platform/Color.h"
#include "platform/Geometry.h"
#include "platform/Image.h"
#include "umb/UMBBoxBlur.h"
#include "umb/UMBNightMask.h"
#include "umb/UMBTwilight.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace umb {

// A lights source is a picture when its name ends in ".png", and a file of
// lights points otherwise: the renderer, the composite and the command all
// decide it by this.
inline bool endsWithPng(std::string_view path)
{
    return path.ends_with(".png");
}

template<class Projection> class UMBMapRenderer {
public:
    static constexpr bool kCylindrical = true;

    // --- properties: plain reads and writes. Setting mapwidth or mapheight
    // alone leaves the scales as they are; setDimensions recomputes them.
    const std::optional<std::string>& lightsimgpath() const { return lightsimgpath_; }
    void setLightsimgpath(std::optional<std::string> path) { lightsimgpath_ = std::move(path); }
    // A lights picture already in memory: while one is set, the lights layer
    // is drawn from it as from a ".png" at lightsimgpath, and no file is read.
    // Lets a caller that has fitted the picture to the map hand it over
    // without writing it out and decoding it again.
    // With `stretched`, the picture is drawn stretched over the whole map, as
    // if fitted to it first, without a copy of the map's size being made.
    const std::shared_ptr<const platform::Image>& lightsPicture() const { return lightsPicture_; }
    bool lightsPictureStretched() const { return lightsPictureStretched_; }
    void setLightsPicture(std::shared_ptr<const platform::Image> picture, bool stretched = false)
    {
        lightsPicture_ = std::move(picture);
        lightsPictureStretched_ = stretched;
    }
    // An opaque night map on the map's grid: while one is set the night shade
    // shows it instead of black, at the shade's opacity, so that it is the
    // night side and fades into the day across the shade's edge.
    const std::shared_ptr<const platform::Image>& nightPicture() const { return nightPicture_; }
    void setNightPicture(std::shared_ptr<const platform::Image> picture)
    {
        nightPicture_ = std::move(picture);
    }
    const std::optional<std::string>& sunimgpath() const { return sunimgpath_; }
    void setSunimgpath(std::optional<std::string> path) { sunimgpath_ = std::move(path); }
    platform::Point maporigin() const { return maporigin_; }
    void setMaporigin(platform::Point origin) { maporigin_ = origin; }
    float mapwidth() const { return mapwidth_; }
    void setMapwidth(float width) { mapwidth_ = width; }
    float mapheight() const { return mapheight_; }
    void setMapheight(float height) { mapheight_ = height; }
    float alpha() const { return alpha_; }
    void setAlpha(float alpha) { alpha_ = alpha; }
    int32_t blurdepth() const { return blurdepth_; }
    void setBlurdepth(int32_t depth) { blurdepth_ = depth; }
    bool flipped() const { return flipped_; }
    void setFlipped(bool flipped) { flipped_ = flipped; }
    // How the night side is shaded: Blur (the default, the widget's look),
    // or Bands and Smooth, by the Sun's altitude at each pixel's centre (see
    // UMBTwilight), without blur, with the lights fading in with the dark.
    UMBTerminatorStyle terminatorStyle() const { return terminatorStyle_; }
    void setTerminatorStyle(UMBTerminatorStyle style) { terminatorStyle_ = style; }
    // The size in pixels the sun picture is drawn at (its longer side); none,
    // the default, draws it at its own size.
    std::optional<double> markerSize() const { return markerSize_; }
    void setMarkerSize(std::optional<double> size) { markerSize_ = size; }
    // The colour of the grid layer's lines; black at 25 % by default.
    const platform::Color& gridColor() const { return gridColor_; }
    void setGridColor(const platform::Color& color) { gridColor_ = color; }

    // Stores the size, then recomputes both scales for it. The map origin and
    // every other setting stay.
    void setDimensions(float width, float height)
    {
        mapwidth_ = width;
        mapheight_ = height;
        static_cast<Projection&>(*this).computeScales();
    }

    UMBBoxBlur& blurfilter() { return blurfilter_; }

    // The size a marker picture of `picture`'s size is drawn at: scaled so
    // that its longer side is the marker size, or its own without one.
    platform::Size markerExtent(platform::Size picture) const
    {
        const double longer = std::max(picture.width, picture.height);
        if (!markerSize_ || !(longer > 0))
            return picture;
        const double k = *markerSize_ / longer;
        return {picture.width * k, picture.height * k};
    }
    // The horizontal shifts at which a marker spanning [left, left + width)
    // is drawn: 0, and on a cylindrical map one map's width either way where
    // it crosses a side edge, since the globe goes on there.
    std::vector<double> markerCopies(double left, double width) const
    {
        std::vector<double> shifts {0.0};
        if constexpr (Projection::kCylindrical) {
            const double w = layerWidth();
            if (left < 0)
                shifts.push_back(w);
            if (left + width > w)
                shifts.push_back(-w);
        }
        return shifts;
    }

    // --- layers. Each is a new transparent picture of trunc(mapwidth) x
    // trunc(mapheight) pixels on the map's pixel grid; `subsolar` is the
    // point under the Sun (longitude in x, latitude in y, degrees).

    // The night shade: black at `alpha` (as an 8-bit alpha, clamped to
    // 0..255) wherever the Sun is below the horizon at a pixel's corner,
    // then box-blurred with radius `blurdepth`. With the Bands or Smooth
    // style, black at UMBTwilight's level for each pixel's centre instead.
    platform::Image drawTerminatorLayer(platform::Point subsolar);
    // City lights on the night side (with Bands or Smooth, faded by
    // UMBTwilight's lightsFor): from the lights picture when
    // `lightsimgpath` ends in ".png" (or a lights picture is set), from a
    // lights-point file otherwise.
    platform::Image drawLightsLayer(platform::Point subsolar) const;
    // The lights picture's pixels at the night-side pixels of the map, the
    // rest transparent; where the picture has no pixel (it is smaller than
    // the map, or missing) the layer stays transparent.
    platform::Image drawLightsLayerFromImage(platform::Point subsolar) const;
    // The sun picture at the marker size centred on the subsolar point. On a
    // cylindrical map what crosses a side edge comes back at the other, as
    // the map itself does; other edges clip it. No sun picture: transparent.
    platform::Image drawSunLayer(platform::Point subsolar) const;
    // Meridians every `lonStep` degrees from longitude 0 and parallels every
    // `latStep` degrees from latitude -90, one pixel wide, in gridColor();
    // straight and not antialiased on a cylindrical map, antialiased curves
    // on the others.
    // A step of 0 or below gives a transparent layer: such a loop would never
    // reach its end.
    platform::Image drawGridLayer(int32_t lonStep, int32_t latStep) const;

    // The base map stretched over the whole canvas, the night shade, the
    // lights and the sun over it, source-over each. Built in one bitmap
    // without the layer pictures wherever the settings allow (the same
    // pixels as drawCompositeImageFromLayers); an opaque base then gives an
    // RGB picture. Given the base to keep, it draws into the base's own
    // bitmap when that is of the map's size.
    platform::Image drawCompositeImage(const platform::Image& base, platform::Point subsolar);
    platform::Image drawCompositeImage(platform::Image&& base, platform::Point subsolar);
    // The same composite the straightforward way: each layer made as a
    // picture and drawn over the canvas in turn. The reference for the above.
    platform::Image drawCompositeImageFromLayers(
        const platform::Image& base, platform::Point subsolar);
    // Re-centres `picture` on `origin` by moving its pixels with wrap-around
    // both ways, and makes `origin` the map origin for every later layer. An
    // origin of exactly (0, 0) returns the picture as it is and keeps the map
    // origin.
    // Cylindrical maps only: the others are centred by their projection.
    platform::Image centerImage(
        platform::Image picture, platform::Point origin) requires Projection::kCylindrical;

protected:
    // The defaults common to both projections; the derived constructor then
    // computes its scales.
    UMBMapRenderer(float width, float height)
        : mapwidth_(width)
        , mapheight_(height)
        , alpha_(0.75f)
        , blurdepth_(6)
        , flipped_(true)
    {
    }

    // The offsets of a geographic point from the map origin are brought back
    // into range with one adjustment each way, in single precision: a second
    // turn is not undone, and a latitude is shifted by half a turn rather
    // than reflected over the pole.
    static float wrapLongitude(float lon)
    {
        if (lon > 180.0f)
            lon += -360.0f;
        if (lon < -180.0f)
            lon += 360.0f;
        return lon;
    }
    static float wrapLatitude(float lat)
    {
        if (lat > 90.0f)
            lat += -180.0f;
        if (lat < -90.0f)
            lat += 180.0f;
        return lat;
    }

    // A transparent RGBA bitmap of the layer size.
    platform::Bitmap makeLayerBitmap() const;
    // The night shade's black in the night map's colours, when there is one.
    void colourNightShade(platform::Bitmap& layer) const;
    // The night side of the map's grid for the Sun over `subsolar`.
    void nightMask(UMBNightMask& mask, platform::Point subsolar) const;
    // Off the globe of a non-cylindrical map, each pixel keeps only the share
    // of it the globe covers; an RGB bitmap becomes RGBA for that. Does
    // nothing on a cylindrical map.
    void clipToGlobe(platform::Bitmap& bitmap) const;
    void clipToGlobe(platform::Image& image) const
    {
        if (image.bitmap())
            clipToGlobe(*image.bitmap());
    }
    // The layer size in whole pixels. A size that is not a number of pixels
    // a bitmap could hold (negative, NaN, beyond 2^20) counts as 0.
    int layerWidth() const { return pixelCount(mapwidth_); }
    int layerHeight() const { return pixelCount(mapheight_); }
    static int pixelCount(float extent)
    {
        return extent >= 1.0f && extent <= float(1 << 20) ? int(extent) : 0;
    }
    const Projection& projection() const { return static_cast<const Projection&>(*this); }

    std::optional<std::string> lightsimgpath_;
    std::shared_ptr<const platform::Image> lightsPicture_;
    bool lightsPictureStretched_ = false;
    std::shared_ptr<const platform::Image> nightPicture_;
    std::optional<std::string> sunimgpath_;
    platform::Point maporigin_;
    double scalex_ = 0; // degrees of longitude per pixel column
    double scaley_ = 0; // the projection's ordinate units per pixel row
    float mapwidth_;
    float mapheight_;
    float alpha_; // opacity of the night shade
    int32_t blurdepth_; // blur radius of the night shade, pixels
    bool flipped_; // layers drawn top-left origin when true, composite bottom-left
    UMBTerminatorStyle terminatorStyle_ = UMBTerminatorStyle::Blur;
    std::optional<double> markerSize_;
    platform::Color gridColor_ = platform::Color::deviceRGB(0, 0, 0, 0.25);
    UMBBoxBlur blurfilter_;
};

} // namespace umb
