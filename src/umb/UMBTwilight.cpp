#include "umb/UMBTwilight.h"

#include "umb/UMBDefines.h"

#include <algorithm>
#include <cmath>

namespace umb {

namespace {

uint8_t level(double fraction, uint8_t full)
{
    return uint8_t(std::lround(std::clamp(fraction, 0.0, 1.0) * full));
}

double sinDegrees(double degrees)
{
    return std::sin(degrees * kDegreesToRadians);
}

} // namespace

UMBTwilight::UMBTwilight(UMBTerminatorStyle style, platform::Point subsolar, uint8_t shade)
    : style_(style)
    , shadeLevel_(shade)
    , subsolar_(subsolar)
    , subsolarLon_(subsolar.x)
    , sinDelta_(std::sin(subsolar.y * kDegreesToRadians))
    , cosDelta_(std::cos(subsolar.y * kDegreesToRadians))
    , sinDay_(sinDegrees(kDay))
    , sinCivil_(sinDegrees(kCivil))
    , sinNautical_(sinDegrees(kNautical))
    , sinAstronomical_(sinDegrees(kAstronomical))
    , civilShade_(level(0.4, shade))
    , nauticalShade_(level(0.6, shade))
    , astronomicalShade_(level(0.8, shade))
{
    // The ramps are linear in h; the tables hold them over sin h, each bin's
    // value at the bin's centre, so a pixel needs no arcsine.
    smoothScale_ = kBins / (sinDay_ - sinAstronomical_);
    lightsScale_ = kBins / (sinDay_ - sinCivil_);
    for (int i = 0; i < kBins; ++i) {
        const double centre = (i + 0.5) / kBins;
        const double hSmooth = std::asin(sinAstronomical_ + centre * (sinDay_ - sinAstronomical_))
            * kRadiansToDegrees;
        smoothTable_[size_t(i)] = level((kDay - hSmooth) / (kDay - kAstronomical), shade);
        const double hLights
            = std::asin(sinCivil_ + centre * (sinDay_ - sinCivil_)) * kRadiansToDegrees;
        lightsTable_[size_t(i)] = level((kDay - hLights) / (kDay - kCivil), 255);
    }
}

double UMBTwilight::sineOfAltitude(double longitude, double latitude) const
{
    const double phi = latitude * kDegreesToRadians;
    const double columnCos = std::cos((subsolarLon_ - longitude) * kDegreesToRadians);
    return columnCos * (std::cos(phi) * cosDelta_) + std::sin(phi) * sinDelta_;
}

uint8_t UMBTwilight::shadeFor(double s) const
{
    if (!(s < sinDay_))
        return 0;
    if (style_ == UMBTerminatorStyle::Bands) {
        if (s >= sinCivil_)
            return civilShade_;
        if (s >= sinNautical_)
            return nauticalShade_;
        if (s >= sinAstronomical_)
            return astronomicalShade_;
        return shadeLevel_;
    }
    if (!(s > sinAstronomical_))
        return shadeLevel_;
    const int bin = std::min(kBins - 1, int((s - sinAstronomical_) * smoothScale_));
    return smoothTable_[size_t(bin)];
}

uint8_t UMBTwilight::lightsFor(double s) const
{
    if (!(s < sinDay_))
        return 0;
    if (!(s > sinCivil_))
        return 255;
    const int bin = std::min(kBins - 1, int((s - sinCivil_) * lightsScale_));
    return lightsTable_[size_t(bin)];
}

void UMBTwilight::resize(int width, int height)
{
    width_ = std::max(width, 0);
    height_ = std::max(height, 0);
    longitudes_.resize(size_t(width_));
    columnCos_.resize(size_t(width_));
    latitudes_.resize(size_t(height_));
    rowSin_.resize(size_t(height_));
    rowCos_.resize(size_t(height_));
    rowLights_.resize(size_t(height_));
    shade_.resize(size_t(width_) * size_t(height_));
    lights_.resize(size_t(width_) * size_t(height_));
}

void UMBTwilight::fill()
{
    // The terms of sineOfAltitude, in its order, once a column and once a row.
    for (int x = 0; x < width_; ++x)
        columnCos_[size_t(x)]
            = std::cos((subsolarLon_ - longitudes_[size_t(x)]) * kDegreesToRadians);
    for (int y = 0; y < height_; ++y) {
        const double phi = latitudes_[size_t(y)] * kDegreesToRadians;
        rowCos_[size_t(y)] = std::cos(phi) * cosDelta_;
        rowSin_[size_t(y)] = std::sin(phi) * sinDelta_;
    }
    for (int y = 0; y < height_; ++y) {
        uint8_t* shade = shade_.data() + size_t(y) * size_t(width_);
        uint8_t* lights = lights_.data() + size_t(y) * size_t(width_);
        const double rowCos = rowCos_[size_t(y)], rowSin = rowSin_[size_t(y)];
        uint8_t any = 0;
        for (int x = 0; x < width_; ++x) {
            const double s = columnCos_[size_t(x)] * rowCos + rowSin;
            shade[x] = shadeFor(s);
            lights[x] = lightsFor(s);
            any |= lights[x];
        }
        rowLights_[size_t(y)] = any;
    }
}

void UMBTwilight::fillRow(int y)
{
    uint8_t* shade = shade_.data() + size_t(y) * size_t(width_);
    uint8_t* lights = lights_.data() + size_t(y) * size_t(width_);
    uint8_t any = 0;
    for (int x = 0; x < width_; ++x) {
        const double s = sines_[size_t(x)];
        shade[x] = shadeFor(s);
        lights[x] = lightsFor(s);
        any |= lights[x];
    }
    rowLights_[size_t(y)] = any;
}

} // namespace umb
