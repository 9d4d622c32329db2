// UMBEquirectangular: the plate carree renderer, longitude and latitude both
// linear in pixels, the map origin at the centre of the picture. This is the
// renderer of the widget's composite. Owns what UMBMapRenderer owns.
#pragma once

#include "umb/UMBMapRenderer.h"

namespace umb {

class UMBEquirectangular : public UMBMapRenderer<UMBEquirectangular> {
public:
    // 1000 x 500.
    UMBEquirectangular();
    UMBEquirectangular(float width, float height);

    // Pixel position of a geographic point (degrees); the result is rounded
    // to single precision. Longitude 180 from the origin maps to x = mapwidth.
    platform::Point geographicToPhysical(float lon, float lat) const;
    // Geographic point (degrees) of a pixel position, rounded to single
    // precision.
    platform::Point physicalToGeographic(float x, float y) const;

private:
    friend class UMBMapRenderer<UMBEquirectangular>;
    void computeScales();
};

} // namespace umb
