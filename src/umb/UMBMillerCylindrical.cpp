#include "umb/UMBMillerCylindrical.h"

#include "umb/UMBImageOps.h"

#include <cmath>

namespace umb {

namespace {
constexpr double kDegreesToRadians = 0.017453292519943295;
constexpr double kRadiansToDegrees = 57.29577951308232;
constexpr double kQuarterPi = 0.7853981633974483;
// The conversions divide by 0.8 in single precision widened to double, while
// the scales are made with the double 0.8: the two differ by 1.5e-8 relative,
// enough that latitude 90 lands 1.7e-5 pixel below the top edge.
constexpr double kMillerFactorSingle = static_cast<double>(0.8f);
} // namespace

UMBMillerCylindrical::UMBMillerCylindrical()
    : UMBMillerCylindrical(1000.0f, 734.0f)
{
}

UMBMillerCylindrical::UMBMillerCylindrical(float width, float height)
    : UMBMapRenderer(width, height)
{
    computeScales();
}

double UMBMillerCylindrical::millerOrdinate(double latitude)
{
    return std::log(std::tan(latitude * kDegreesToRadians * 0.4 + kQuarterPi)) / 0.8;
}

void UMBMillerCylindrical::computeScales()
{
    scalex_ = 360.0 / mapwidth_;
    scaley_ = millerOrdinate(ubound_) / (mapheight_ * 0.5);
}

void UMBMillerCylindrical::setUpperLatitude(double latitude)
{
    ubound_ = latitude;
    scaley_ = millerOrdinate(ubound_) / (mapheight_ * 0.5);
}

platform::Point UMBMillerCylindrical::geographicToPhysical(float lon, float lat) const
{
    float dlon = wrapLongitude(static_cast<float>(static_cast<double>(lon) - maporigin_.x));
    float dlat = wrapLatitude(static_cast<float>(static_cast<double>(lat) - maporigin_.y));
    float x = static_cast<float>(mapwidth_ * 0.5 + dlon / scalex_);
    float m = static_cast<float>(
        std::log(std::tan(dlat * kDegreesToRadians * 0.4 + kQuarterPi)) / kMillerFactorSingle);
    float y = static_cast<float>(std::fabs(m / scaley_ - mapheight_ * 0.5));
    return {x, y};
}

platform::Point UMBMillerCylindrical::physicalToGeographic(float x, float y) const
{
    float d = y - mapheight_ * 0.5f;
    float m = static_cast<float>(scaley_ * d);
    float scaled = m * 0.8f;
    float lat = static_cast<float>(std::atan(std::sinh(static_cast<double>(scaled)))
        / kMillerFactorSingle * -kRadiansToDegrees);
    float lon = static_cast<float>(scalex_ * (x - mapwidth_ * 0.5f));
    lon = wrapLongitude(static_cast<float>(lon + maporigin_.x));
    lat = wrapLatitude(static_cast<float>(lat + maporigin_.y));
    return {lon, lat};
}

bool UMBMillerCylindrical::saveImage(const platform::Image& image, const std::string& path) const
{
    return UMBImageOps::saveImage(image, path);
}

} // namespace umb
