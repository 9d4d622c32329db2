// RenderPictures: fits the widget's whole-world equirectangular pictures (the
// base map, the lights) to the pixel grid of the renderer that draws over
// them: stretched to another size, or resampled through the renderer's own
// projection. Free functions; every picture returned is new and the caller's.
#pragma once

#include "platform/Geometry.h"
#include "platform/Image.h"

#include <functional>

namespace cli {

// `picture` drawn stretched over width x height pixels, at high quality.
platform::Image stretched(const platform::Image& picture, int width, int height);

// The geographic point (longitude, latitude, degrees) of a pixel position,
// as a renderer's physicalToGeographic gives it.
using GeographicOf = std::function<platform::Point(float x, float y)>;

// A width x height picture whose every pixel takes the colour of `world`, an
// equirectangular picture of the whole Earth (longitude -180 on its left
// edge, latitude 90 on its top row), at the point `geographicOf` gives for
// the pixel's centre: bilinear between the four nearest pixels, round the
// globe from one side edge to the other, clamped at the poles. An RGB world
// gives an RGB picture, an RGBA one an RGBA picture.
platform::Image reprojected(
    const platform::Image& world, int width, int height, const GeographicOf& geographicOf);

// The longitudes and latitudes (degrees) of the centres of row y's `width`
// pixels, as a renderer's geographicRow gives them; NaN off the globe.
using GeographicRow = std::function<void(int y, double* lon, double* lat)>;

// The same sampling a row at a time, for projections that give whole rows
// cheaply. Pixels off the globe are transparent, so the picture is RGBA.
// `detail` is the width in pixels of the world as the finest part of the
// map shows it; a world much wider than that is first reduced to it.
platform::Image reprojectedRows(const platform::Image& world, int width, int height,
    const GeographicRow& geographicRow, int detail);

} // namespace cli
