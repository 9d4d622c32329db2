// UMBMapRenderer: the state and the layers shared by the two map renderers.
// A renderer knows the size of a world map picture and how geographic points
// land on its pixels; the projection itself (the two conversions and the
// scales) belongs to the derived class, which every layer calls through.
// Owns its paths, its map origin and its box blur; holds no pixels.
#pragma once

#include "platform/Geometry.h"

#include <cstdint>
#include <optional>
#include <string>

namespace umb {

template<class Projection> class UMBMapRenderer {
public:
    // --- properties: plain reads and writes. Setting mapwidth or mapheight
    // alone leaves the scales as they are; setDimensions recomputes them.
    const std::optional<std::string>& lightsimgpath() const { return lightsimgpath_; }
    void setLightsimgpath(std::optional<std::string> path) { lightsimgpath_ = std::move(path); }
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

    // Stores the size, then recomputes both scales for it. The map origin and
    // every other setting stay.
    void setDimensions(float width, float height)
    {
        mapwidth_ = width;
        mapheight_ = height;
        static_cast<Projection&>(*this).computeScales();
    }

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

    std::optional<std::string> lightsimgpath_;
    std::optional<std::string> sunimgpath_;
    platform::Point maporigin_;
    double scalex_ = 0; // degrees of longitude per pixel column
    double scaley_ = 0; // the projection's ordinate units per pixel row
    float mapwidth_;
    float mapheight_;
    float alpha_; // opacity of the night shade
    int32_t blurdepth_; // blur radius of the night shade, pixels
    bool flipped_; // layers drawn top-left origin when true, composite bottom-left
};

} // namespace umb
