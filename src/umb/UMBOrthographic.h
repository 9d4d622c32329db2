// UMBOrthographic: the globe as seen from infinitely far above the map origin
// (Snyder, Map Projections: A Working Manual, USGS PP 1395, section 20): a
// disc of radius min(W, H) / 2 centred in the picture, north up at the
// centre, any centre latitude. Only the near hemisphere shows. Owns what
// UMBMapRenderer owns.
#pragma once

#include "umb/UMBMapRenderer.h"

namespace umb {

class UMBOrthographic : public UMBMapRenderer<UMBOrthographic> {
public:
    static constexpr bool kCylindrical = false;

    // 512 x 512.
    UMBOrthographic();
    UMBOrthographic(float width, float height);

    // Pixel position of a geographic point (degrees); NaN for a point on the
    // far hemisphere, which the globe hides.
    platform::Point geographicToPhysical(float lon, float lat) const;
    // Geographic point (degrees) of a pixel position; NaN off the disc.
    platform::Point physicalToGeographic(float x, float y) const;

    // --- rows for the layers: width() values for the pixels of row y, each
    // taken at (x + dx, y + dy).
    // Longitudes and latitudes; NaN off the disc.
    void geographicRow(int y, float dx, float dy, double* lon, double* lat) const;
    // The sine of the Sun's altitude for the Sun in the zenith of
    // `subsolar`. Off the disc the rim's value continues outward, so that a
    // blur across the rim sees no edge.
    void sineOfAltitudeRow(int y, float dx, float dy, platform::Point subsolar, double* out) const;
    // How much of each pixel the disc covers, 0..255.
    void coverageRow(int y, uint8_t* out) const;

    // The disc's radius in pixels.
    double radius() const { return radius_; }

private:
    friend class UMBMapRenderer<UMBOrthographic>;
    void computeScales();

    double radius_ = 0;
};

} // namespace umb
