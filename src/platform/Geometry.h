// Geometry: plain value types for positions and extents, in whatever unit the
// caller says (degrees for geographic points, pixels or points on pictures).
#pragma once

namespace platform {

// A position: x first, y second. Geographic points keep longitude in x and
// latitude in y; physical points count pixels from the top-left corner.
struct Point {
    double x = 0;
    double y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
    double width = 0;
    double height = 0;
    friend bool operator==(const Size&, const Size&) = default;
};

struct Rect {
    Point origin;
    Size size;
    friend bool operator==(const Rect&, const Rect&) = default;
};

} // namespace platform
