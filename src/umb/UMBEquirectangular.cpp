#include "umb/UMBEquirectangular.h"

namespace umb {

UMBEquirectangular::UMBEquirectangular()
    : UMBEquirectangular(1000.0f, 500.0f)
{
}

UMBEquirectangular::UMBEquirectangular(float width, float height)
    : UMBMapRenderer(width, height)
{
    computeScales();
}

void UMBEquirectangular::computeScales()
{
    scalex_ = 360.0 / mapwidth_;
    scaley_ = 180.0 / mapheight_;
}

// Each step rounds to single precision where the conversion's contract says
// so; the pixel grids of the layers depend on these exact roundings.
platform::Point UMBEquirectangular::geographicToPhysical(float lon, float lat) const
{
    float dlon = wrapLongitude(static_cast<float>(static_cast<double>(lon) - maporigin_.x));
    float dlat = wrapLatitude(static_cast<float>(static_cast<double>(lat) - maporigin_.y));
    float x = static_cast<float>(mapwidth_ * 0.5 + dlon / scalex_);
    float y = static_cast<float>((90.0 - dlat) / scaley_);
    return {x, y};
}

platform::Point UMBEquirectangular::physicalToGeographic(float x, float y) const
{
    float lon = static_cast<float>((static_cast<double>(x) - mapwidth_ * 0.5) * scalex_);
    lon = wrapLongitude(static_cast<float>(lon + maporigin_.x));
    float lat = static_cast<float>((mapheight_ * 0.5 - static_cast<double>(y)) * scaley_);
    lat = wrapLatitude(static_cast<float>(lat + maporigin_.y));
    return {lon, lat};
}

} // namespace umb
