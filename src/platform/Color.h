// Color: a colour value, red, green, blue and alpha as doubles in 0..1 with
// straight (not premultiplied) alpha, tagged with the colour space it was made
// in. A plain value type; owns nothing.
#pragma once

#include <string_view>

namespace platform {

// The spaces a colour can be made in. Device and calibrated RGB are treated as
// one and the same space (no colour management); so are the two grey spaces.
enum class ColorSpace { DeviceRGB, CalibratedRGB, DeviceGray, CalibratedGray };

class Color {
public:
    // Transparent black in device RGB.
    constexpr Color() = default;

    static constexpr Color deviceRGB(double red, double green, double blue, double alpha)
    {
        return Color(ColorSpace::DeviceRGB, red, green, blue, alpha);
    }
    static constexpr Color calibratedRGB(double red, double green, double blue, double alpha)
    {
        return Color(ColorSpace::CalibratedRGB, red, green, blue, alpha);
    }
    // A grey: its red, green and blue all read as `white`.
    static constexpr Color deviceGray(double white, double alpha)
    {
        return Color(ColorSpace::DeviceGray, white, white, white, alpha);
    }
    static constexpr Color calibratedGray(double white, double alpha)
    {
        return Color(ColorSpace::CalibratedGray, white, white, white, alpha);
    }

    ColorSpace colorSpace() const { return space_; }
    // "NSDeviceRGBColorSpace", "NSCalibratedRGBColorSpace",
    // "NSDeviceWhiteColorSpace" or "NSCalibratedWhiteColorSpace".
    std::string_view colorSpaceName() const;
    bool isRGB() const
    {
        return space_ == ColorSpace::DeviceRGB || space_ == ColorSpace::CalibratedRGB;
    }

    // Components as stored; a grey reads its white level in all three, which
    // is the grey converted to RGB.
    double red() const { return red_; }
    double green() const { return green_; }
    double blue() const { return blue_; }
    double alpha() const { return alpha_; }
    // The grey level: the white of a grey, the Rec. 709 luma of an RGB colour.
    double white() const;

    // The same colour in `space`. Between device and calibrated spaces the
    // components are copied unchanged, because the two are treated as one; a
    // grey becomes RGB with equal components; RGB becomes grey by its luma.
    Color converted(ColorSpace space) const;

    friend bool operator==(const Color&, const Color&) = default;

private:
    constexpr Color(ColorSpace space, double r, double g, double b, double a)
        : space_(space)
        , red_(r)
        , green_(g)
        , blue_(b)
        , alpha_(a)
    {
    }

    ColorSpace space_ = ColorSpace::DeviceRGB;
    double red_ = 0;
    double green_ = 0;
    double blue_ = 0;
    double alpha_ = 0;
};

} // namespace platform
