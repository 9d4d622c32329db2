// Path: a list of straight segments to be stroked or filled on a Canvas, with
// its line width. A plain value type; owns its points.
#pragma once

#include <vector>

#include "platform/Geometry.h"

namespace platform {

class Path {
public:
    enum class Verb { MoveTo, LineTo, Close };
    struct Element {
        Verb verb;
        Point point;
    };

    // Starts a new sub-path at `p`.
    void moveTo(Point p) { elements_.push_back({Verb::MoveTo, p}); }
    // A segment from the current point to `p`; without a current point it
    // starts a sub-path at `p`, as moveTo would.
    void lineTo(Point p) { elements_.push_back({Verb::LineTo, p}); }
    void close() { elements_.push_back({Verb::Close, {}}); }
    void addRect(Rect r)
    {
        moveTo(r.origin);
        lineTo({r.origin.x + r.size.width, r.origin.y});
        lineTo({r.origin.x + r.size.width, r.origin.y + r.size.height});
        lineTo({r.origin.x, r.origin.y + r.size.height});
        close();
    }

    double lineWidth() const { return lineWidth_; }
    void setLineWidth(double width) { lineWidth_ = width; }

    const std::vector<Element>& elements() const { return elements_; }
    bool isEmpty() const { return elements_.empty(); }

private:
    std::vector<Element> elements_;
    double lineWidth_ = 1.0;
};

} // namespace platform
