// UMBMillerCylindrical: the Miller cylindrical renderer. Longitude is linear
// in pixels; latitude goes through Miller's ordinate ln(tan(pi/4 + 0.4 phi))
// / 0.8, with a settable upper latitude on the top edge and its negative on
// the bottom edge. Owns what UMBMapRenderer owns.
#pragma once

#include "umb/UMBMapRenderer.h"

namespace umb {

class UMBMillerCylindrical : public UMBMapRenderer<UMBMillerCylindrical> {
public:
    // 1000 x 734, close to the shape of the whole world in this projection.
    UMBMillerCylindrical();
    UMBMillerCylindrical(float width, float height);

    // Puts `latitude` (degrees) on the top edge and its negative on the
    // bottom edge; recomputes the vertical scale only.
    void setUpperLatitude(double latitude);

    // Pixel position of a geographic point (degrees), rounded to single
    // precision. Latitudes beyond the upper latitude fold back inside the
    // picture at the top (the distance from the centre row is taken as an
    // absolute value) and fall outside it at the bottom.
    platform::Point geographicToPhysical(float lon, float lat) const;
    // Geographic point (degrees) of a pixel position, rounded to single
    // precision.
    platform::Point physicalToGeographic(float x, float y) const;

    // Miller's ordinate of a latitude in degrees, in double precision:
    // millerOrdinate(90) = 2.303412543376391.
    static double millerOrdinate(double latitude);

    // Writes `image` as a PNG file at `path`, atomically; true when written.
    // The same file as UMBImageOps::saveImage. Creates no folders.
    bool saveImage(const platform::Image& image, const std::string& path) const;

private:
    friend class UMBMapRenderer<UMBMillerCylindrical>;
    void computeScales();

    double ubound_ = 90.0; // latitude on the top edge, degrees
};

} // namespace umb
