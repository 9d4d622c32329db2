// AffineTransform: a 2-D affine map x' = a x + c y + tx, y' = b x + d y + ty,
// a plain value type. Each operation adds a step that acts on points before
// the steps already there, as a drawing transform is built up.
#pragma once

#include <cmath>
#include <numbers>

#include "platform/Geometry.h"

namespace platform {

struct AffineTransform {
    double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;

    // Points are moved by (dx, dy) first, then mapped by the steps so far.
    void translate(double dx, double dy)
    {
        tx += a * dx + c * dy;
        ty += b * dx + d * dy;
    }
    // Points are turned by `degrees` about the origin first; a positive angle
    // turns counter-clockwise when y points up.
    void rotate(double degrees)
    {
        double r = degrees * std::numbers::pi / 180.0;
        double s = std::sin(r), k = std::cos(r);
        double na = a * k + c * s, nb = b * k + d * s;
        double nc = -a * s + c * k, nd = -b * s + d * k;
        a = na, b = nb, c = nc, d = nd;
    }
    void scale(double sx, double sy) { a *= sx, b *= sx, c *= sy, d *= sy; }
    // Points are mapped by `first`, then by the steps so far.
    void concat(const AffineTransform& first)
    {
        AffineTransform m = *this;
        a = m.a * first.a + m.c * first.b;
        b = m.b * first.a + m.d * first.b;
        c = m.a * first.c + m.c * first.d;
        d = m.b * first.c + m.d * first.d;
        tx = m.a * first.tx + m.c * first.ty + m.tx;
        ty = m.b * first.tx + m.d * first.ty + m.ty;
    }
    Point apply(Point p) const { return {a * p.x + c * p.y + tx, b * p.x + d * p.y + ty}; }

    friend bool operator==(const AffineTransform&, const AffineTransform&) = default;
};

} // namespace platform
