#include "platform/Color.h"

namespace platform {

std::string_view Color::colorSpaceName() const
{
    switch (space_) {
    case ColorSpace::DeviceRGB:
        return "NSDeviceRGBColorSpace";
    case ColorSpace::CalibratedRGB:
        return "NSCalibratedRGBColorSpace";
    case ColorSpace::DeviceGray:
        return "NSDeviceWhiteColorSpace";
    case ColorSpace::CalibratedGray:
        return "NSCalibratedWhiteColorSpace";
    }
    return "NSDeviceRGBColorSpace";
}

double Color::white() const
{
    if (!isRGB())
        return red_;
    // Rec. 709 luma weights: the grey that a display shows as equally bright.
    return 0.2126 * red_ + 0.7152 * green_ + 0.0722 * blue_;
}

Color Color::converted(ColorSpace space) const
{
    // Device and calibrated spaces are one space here: nothing is colour
    // managed, so a change between them keeps every component as it is.
    switch (space) {
    case ColorSpace::DeviceRGB:
    case ColorSpace::CalibratedRGB:
        return Color(space, red_, green_, blue_, alpha_);
    case ColorSpace::DeviceGray:
    case ColorSpace::CalibratedGray: {
        double w = white();
        return Color(space, w, w, w, alpha_);
    }
    }
    return *this;
}

} // namespace platform
