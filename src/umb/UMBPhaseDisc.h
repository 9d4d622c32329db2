// UMBPhaseDisc: the Moon drawn on a map as a small disc that shows its phase:
// the part lit as seen from the Earth bright, the rest dim, the bright limb
// turned a given way. Pure drawing over a caller's bitmap; nothing is kept.
#pragma once

#include "platform/Bitmap.h"
#include "platform/Geometry.h"

namespace umb {

class UMBPhaseDisc {
public:
    UMBPhaseDisc() = delete;

    // Draws the disc source-over onto `bitmap` (RGB, or premultiplied RGBA):
    // `diameter` pixels across, centred on `centre` (pixels from the top-left
    // corner), its lit part the `illuminated` fraction of the disc (0..1,
    // bounded by the terminator's half-ellipse), on the side `towardSun`
    // points to (a direction in pixels, y downward; none, (0, 0), means
    // up). Edges antialiased with 4 x 4 samples a pixel; what lies beyond the
    // bitmap is clipped.
    static void draw(platform::Bitmap& bitmap, platform::Point centre, double diameter,
        platform::Point towardSun, double illuminated);

    // Whether the point (u, v) of the disc, in radii from the centre with u
    // along the direction of the Sun, is lit: the terminator lies at
    // u = (1 - 2 illuminated) sqrt(1 - v^2).
    static bool isLit(double u, double v, double illuminated);
};

} // namespace umb
