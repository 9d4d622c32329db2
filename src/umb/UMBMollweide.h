// UMBMollweide: Mollweide's equal-area projection of the whole world (Snyder,
// Map Projections: A Working Manual, USGS PP 1395, section 31) in a 2:1
// ellipse as large as the picture holds, centred, the map origin's longitude
// on the central meridian. Parallels are straight rows, so the per-row work
// is done once a row. The origin's latitude is not used: the projection has
// the equator across its middle. Owns what UMBMapRenderer owns.
#pragma once

#include "umb/UMBMapRenderer.h"

namespace umb {

class UMBMollweide : public UMBMapRenderer<UMBMollweide> {
public:
    static constexpr bool kCylindrical = false;

    // 1024 x 512.
    UMBMollweide();
    UMBMollweide(float width, float height);

    // Pixel position of a geographic point (degrees); a longitude 180 from
    // the central meridian lands on the right end of its parallel.
    platform::Point geographicToPhysical(float lon, float lat) const;
    // Geographic point (degrees) of a pixel position; NaN off the ellipse.
    platform::Point physicalToGeographic(float x, float y) const;

    // --- rows for the layers, as UMBOrthographic's: width() values for the
    // pixels of row y, each taken at (x + dx, y + dy).
    void geographicRow(int y, float dx, float dy, double* lon, double* lat) const;
    // Off the ellipse the parallels run on round the globe, so the values
    // continue smoothly across the outline.
    void sineOfAltitudeRow(int y, float dx, float dy, platform::Point subsolar, double* out) const;
    void coverageRow(int y, uint8_t* out) const;

    // Snyder's R, the globe's radius, in pixels: the ellipse's half-axes are
    // 2 sqrt(2) R across and sqrt(2) R up.
    double globeRadius() const { return radius_; }
    // The auxiliary angle theta of a latitude, radians: 2 theta + sin 2 theta
    // = pi sin phi.
    static double auxiliaryAngle(double latitudeRadians);

private:
    friend class UMBMapRenderer<UMBMollweide>;
    void computeScales();

    double radius_ = 0;
};

} // namespace umb
