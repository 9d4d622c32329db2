// drawPictureInRect: one picture drawn whole into a rectangle of another, as
// a Canvas with high interpolation draws it (Canvas::drawImage, source-over,
// at full opacity), but without the drawing library. Loading that library
// costs more than the rest of a small map; the sun marker, the one picture
// every map draws, is drawn with this instead.
#pragma once

#include "platform/Geometry.h"
#include "platform/Image.h"

namespace platform {

// `into` is in the coordinates of a canvas on `target` with the given
// orientation (flipped: origin at the top-left corner, y downward), and the
// picture is laid into it as that canvas lays it, its flipped attribute
// included. Shrunk, each pixel averages the picture's pixels under it;
// enlarged, it is interpolated between the nearest four. The picture's edge
// pixels extend past its edges, and a pixel that the rectangle covers in
// part takes that part of the picture. A target without an RGBA bitmap, or
// a picture without pixels, draws nothing.
void drawPictureInRect(Image& target, bool flipped, const Image& picture, Rect into);

} // namespace platform
