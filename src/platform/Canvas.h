// Canvas: draws into an Image's RGBA bitmap through cairo, as the target of a
// drawing session: created on the image, drawn on, and its pixels written back
// into the image by end() or the destructor. The canvas borrows the image,
// which must outlive it, and owns its cairo surface and context. cairo is
// loaded by the first canvas made; without it a canvas draws nothing (the
// reason is logged once).
#pragma once

#include <memory>
#include <vector>

#include "platform/AffineTransform.h"
#include "platform/Color.h"
#include "platform/Geometry.h"
#include "platform/Image.h"
#include "platform/Path.h"

namespace platform {

enum class CompositeOp {
    Copy = 1, // the source's pixels, alpha included, replace the target's
    SourceOver = 2, // Porter-Duff over
};

enum class Interpolation {
    Default = 0,
    None = 1, // nearest pixel
    Low = 2, // bilinear
    High = 3, // the best filter cairo has
};

class Canvas {
public:
    // Starts drawing into `target` (given an RGBA bitmap of its size if it has
    // none or an RGB one). Coordinates are the target's points. Flipped: the
    // origin is the top-left corner and y grows downward; not flipped: the
    // origin is the bottom-left corner and y grows upward.
    explicit Canvas(Image& target, bool flipped = false);
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    // Writes the pixels drawn so far into the target's bitmap and ends the
    // session; later drawing calls do nothing. Called by the destructor.
    void end();

    bool isFlipped() const { return flipped_; }

    // Draws the part `from` of `image` (in the image's own coordinates, which
    // its flipped attribute orients) stretched into `into`, with `op` at
    // opacity `fraction` (0..1). The image's own y axis is laid along the
    // canvas's, so a picture comes out upright when both are flipped alike,
    // and upside down when not. An empty `from` means the whole image.
    void drawImage(const Image& image, Rect into, Rect from, CompositeOp op, double fraction);
    // The same, with `from` drawn at its own size with its corner at `at`.
    void drawImage(const Image& image, Point at, Rect from, CompositeOp op, double fraction);

    void setInterpolation(Interpolation quality);
    Interpolation interpolation() const;
    void setAntialias(bool on);

    // The current transform of drawn points into canvas coordinates; concat
    // adds `t` to act on points first.
    void concat(const AffineTransform& t);
    void translate(double dx, double dy);
    void rotate(double degrees);

    // Colour for stroke() and fill(); transparent black at the start.
    void setColor(const Color& color);
    // Strokes `path` with its line width in the current colour, source-over.
    void stroke(const Path& path);
    void fill(const Path& path);

    // Saves and restores the transform, colour, interpolation, antialiasing
    // and clip. Restores beyond the saves do nothing.
    void saveState();
    void restoreState();

private:
    struct Impl;
    Image& target_;
    bool flipped_;
    std::unique_ptr<Impl> impl_;
};

} // namespace platform
