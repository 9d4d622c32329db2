// UMBTwilight: the night shade of the twilight looks, by the Sun's altitude h
// at each point rather than by a blurred day/night edge, and the fade of the
// city lights with the dark. The shading is a function of the geographic
// point alone (sineOfAltitude, then shadeFor and lightsFor), so any
// projection can use it pixel by pixel; compute() fills whole planes for the
// cylindrical projections with the trigonometry done once a row and once a
// column. Owns its planes and tables, kept between calls.
#pragma once

#include "platform/Geometry.h"

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace umb {

// How a renderer draws the night side: the widget's blurred edge, or the
// twilight shaded by the Sun's altitude.
enum class UMBTerminatorStyle {
    Blur, // black at the shadow level where h < 0, its edge box-blurred
    Bands, // day, civil, nautical, astronomical twilight and night in steps
    Smooth, // a ramp from h = -0.833 to h = -18 degrees
};

class UMBTwilight {
public:
    // Altitudes of the Sun's centre that bound the looks, degrees: day is
    // h >= -0.833 (the upper limb on the horizon with standard refraction).
    static constexpr double kDay = -0.833;
    static constexpr double kCivil = -6.0;
    static constexpr double kNautical = -12.0;
    static constexpr double kAstronomical = -18.0;

    // `style` is Bands or Smooth (Blur shades like Smooth here: it is not
    // this class's look); `shade` the alpha sample of full night.
    UMBTwilight(UMBTerminatorStyle style, platform::Point subsolar, uint8_t shade);

    // sin h at the point (longitude, latitude, degrees) for the Sun in the
    // zenith of the subsolar point, formed exactly as compute() forms it.
    double sineOfAltitude(double longitude, double latitude) const;
    // The shade's alpha sample for sin h. Bands: 0 by day, 40 % of `shade` in
    // civil twilight (-6 <= h < -0.833), 60 % in nautical (-12 <= h < -6),
    // 80 % in astronomical (-18 <= h < -12), all of it at night (h < -18).
    // Smooth: linear in h from 0 at -0.833 to `shade` at -18. The sines of
    // the bounds are compared, never an arcsine taken.
    uint8_t shadeFor(double sinAltitude) const;
    // How much of the city lights shows, 0..255: none at h >= -0.833, all at
    // h <= -6, linear in h between.
    uint8_t lightsFor(double sinAltitude) const;

    // The shade and the lights planes of a width x height grid, each pixel
    // taken at its centre through the renderer's physicalToGeographic. On a
    // cylindrical projection a pixel's longitude depends on its column alone
    // and its latitude on its row alone; the others give the sine of the
    // altitude a row at a time, as cheaply as each can, and off their globe
    // it runs on past the outline.
    template<class Renderer> void compute(const Renderer& renderer, int width, int height)
    {
        resize(width, height);
        if constexpr (!Renderer::kCylindrical) {
            sines_.resize(size_t(width_));
            for (int y = 0; y < height_; ++y) {
                renderer.sineOfAltitudeRow(y, 0.5f, 0.5f, subsolar_, sines_.data());
                fillRow(y);
            }
            return;
        }
        for (int x = 0; x < width_; ++x)
            longitudes_[size_t(x)] = renderer.physicalToGeographic(float(x) + 0.5f, 0.5f).x;
        for (int y = 0; y < height_; ++y)
            latitudes_[size_t(y)] = renderer.physicalToGeographic(0.5f, float(y) + 0.5f).y;
        fill();
    }

    // The same planes for any projection, one physicalToGeographic a pixel:
    // for projections whose rows and columns are not parallels and
    // meridians. A pixel off the globe (a coordinate that is not finite)
    // gets neither shade nor lights.
    template<class Renderer> void computeEachPixel(const Renderer& renderer, int width, int height)
    {
        resize(width, height);
        for (int y = 0; y < height_; ++y) {
            uint8_t any = 0;
            for (int x = 0; x < width_; ++x) {
                const platform::Point g
                    = renderer.physicalToGeographic(float(x) + 0.5f, float(y) + 0.5f);
                const size_t i = size_t(y) * size_t(width_) + size_t(x);
                const bool onGlobe = std::isfinite(g.x) && std::isfinite(g.y);
                const double s = onGlobe ? sineOfAltitude(g.x, g.y) : 1.0;
                shade_[i] = shadeFor(s);
                lights_[i] = lightsFor(s);
                any |= lights_[i];
            }
            rowLights_[size_t(y)] = any;
        }
    }

    int width() const { return width_; }
    int height() const { return height_; }
    // Row y of the planes, width() bytes each.
    const uint8_t* shadeRow(int y) const { return shade_.data() + size_t(y) * size_t(width_); }
    const uint8_t* lightsRow(int y) const { return lights_.data() + size_t(y) * size_t(width_); }
    // Whether any pixel of row y shows lights.
    bool rowHasLights(int y) const { return rowLights_[size_t(y)] != 0; }

private:
    // Bins of the tables that turn sin h into the ramps' values without an
    // arcsine: each holds the value at its centre, within a tenth of a level.
    static constexpr int kBins = 4096;

    void resize(int width, int height);
    void fill();
    // Row y of the planes from the sines in sines_.
    void fillRow(int y);

    UMBTerminatorStyle style_;
    uint8_t shadeLevel_;
    platform::Point subsolar_;
    double subsolarLon_, sinDelta_, cosDelta_;
    // sin of kDay, kCivil, kNautical, kAstronomical.
    double sinDay_, sinCivil_, sinNautical_, sinAstronomical_;
    uint8_t civilShade_, nauticalShade_, astronomicalShade_;
    std::array<uint8_t, kBins> smoothTable_ {}, lightsTable_ {};
    double smoothScale_ = 0, lightsScale_ = 0;

    int width_ = 0, height_ = 0;
    std::vector<double> longitudes_, latitudes_, columnCos_, rowSin_, rowCos_, sines_;
    std::vector<uint8_t> shade_, lights_, rowLights_;
};

} // namespace umb
