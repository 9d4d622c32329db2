// UMBGlobeFrame: the sphere seen from above one point of it, for the
// azimuthal projections. View coordinates are x east and y north in the plane
// tangent at the centre, z out of the globe through the centre; geographic
// points go in and out as longitude and latitude in degrees. A plain value.
#pragma once

#include "platform/Geometry.h"
#include "umb/UMBDefines.h"

#include <algorithm>
#include <cmath>

namespace umb {

struct UMBVector3 {
    double x = 0, y = 0, z = 0;
};

class UMBGlobeFrame {
public:
    // The frame above `center` (longitude, latitude, degrees).
    explicit UMBGlobeFrame(platform::Point center)
    {
        const double l = center.x * kDegreesToRadians, p = center.y * kDegreesToRadians;
        const double sl = std::sin(l), cl = std::cos(l), sp = std::sin(p), cp = std::cos(p);
        east_ = {-sl, cl, 0};
        north_ = {-sp * cl, -sp * sl, cp};
        out_ = {cp * cl, cp * sl, sp};
    }

    // The unit vector of a geographic point in Earth-fixed axes: x toward
    // (0, 0), y toward (90, 0), z toward the north pole.
    static UMBVector3 earthVector(double lon, double lat)
    {
        const double l = lon * kDegreesToRadians, p = lat * kDegreesToRadians;
        return {std::cos(p) * std::cos(l), std::cos(p) * std::sin(l), std::sin(p)};
    }

    UMBVector3 toView(const UMBVector3& e) const
    {
        return {dot(e, east_), dot(e, north_), dot(e, out_)};
    }
    UMBVector3 toView(double lon, double lat) const { return toView(earthVector(lon, lat)); }

    // The geographic point of a unit vector in view coordinates, longitude in
    // [-180, 180].
    platform::Point geographicOf(const UMBVector3& v) const
    {
        const double ex = v.x * east_.x + v.y * north_.x + v.z * out_.x;
        const double ey = v.x * east_.y + v.y * north_.y + v.z * out_.y;
        const double ez = v.x * east_.z + v.y * north_.z + v.z * out_.z;
        return {std::atan2(ey, ex) * kRadiansToDegrees,
            std::asin(std::clamp(ez, -1.0, 1.0)) * kRadiansToDegrees};
    }

    static double dot(const UMBVector3& a, const UMBVector3& b)
    {
        return a.x * b.x + a.y * b.y + a.z * b.z;
    }

private:
    UMBVector3 east_, north_, out_;
};

} // namespace umb
