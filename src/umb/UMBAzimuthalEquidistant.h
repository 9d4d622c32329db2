// UMBAzimuthalEquidistant: the whole world in a disc around the map origin
// (Snyder, Map Projections: A Working Manual, USGS PP 1395, section 25): the
// distance from the centre of the picture is proportional to the great-circle
// distance from the origin, the antipode is the rim, north is up along the
// origin's meridian. The disc's radius is min(W, H) / 2. Owns what
// UMBMapRenderer owns.
#pragma once

#include "umb/UMBMapRenderer.h"

namespace umb {

class UMBAzimuthalEquidistant : public UMBMapRenderer<UMBAzimuthalEquidistant> {
public:
    static constexpr bool kCylindrical = false;

    // 512 x 512.
    UMBAzimuthalEquidistant();
    UMBAzimuthalEquidistant(float width, float height);

    // Pixel position of a geographic point (degrees). The antipode, which is
    // the whole rim, is put at the bottom of it.
    platform::Point geographicToPhysical(float lon, float lat) const;
    // Geographic point (degrees) of a pixel position; NaN off the disc.
    platform::Point physicalToGeographic(float x, float y) const;

    // --- rows for the layers, as UMBOrthographic's: width() values for the
    // pixels of row y, each taken at (x + dx, y + dy).
    void geographicRow(int y, float dx, float dy, double* lon, double* lat) const;
    // Off the disc the great circles run on past the antipode, so the values
    // continue smoothly across the rim.
    void sineOfAltitudeRow(int y, float dx, float dy, platform::Point subsolar, double* out) const;
    void coverageRow(int y, uint8_t* out) const;

    double radius() const { return radius_; }

private:
    friend class UMBMapRenderer<UMBAzimuthalEquidistant>;
    void computeScales();

    double radius_ = 0;
};

} // namespace umb
