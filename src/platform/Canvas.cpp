#include "platform/Canvas.h"

#include "platform/CairoLibrary.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <vector>

namespace platform {
namespace {

// Called only once a canvas has a surface, and so with cairo loaded.
const CairoLibrary& cairo()
{
    return *cairoLibrary();
}

struct SurfaceDeleter {
    void operator()(cairo_surface_t* s) const { cairo().cairo_surface_destroy(s); }
};
using Surface = std::unique_ptr<cairo_surface_t, SurfaceDeleter>;

struct ContextDeleter {
    void operator()(cairo_t* cr) const { cairo().cairo_destroy(cr); }
};
using Context = std::unique_ptr<cairo_t, ContextDeleter>;

struct PatternDeleter {
    void operator()(cairo_pattern_t* p) const { cairo().cairo_pattern_destroy(p); }
};
using Pattern = std::unique_ptr<cairo_pattern_t, PatternDeleter>;

// RGBA bytes read as a little-endian word are 0xAABBGGRR, cairo's ARGB32
// word is 0xAARRGGBB: either way is swapping the red and blue bytes, done a
// word at a time so that the loop runs in vector registers (the maps are up
// to hundreds of megabytes). Either side may be unaligned.
void swapRedAndBlue(void* to, const void* from, size_t count)
{
    static_assert(std::endian::native == std::endian::little);
    auto* out = static_cast<uint8_t*>(to);
    auto* in = static_cast<const uint8_t*>(from);
    for (size_t i = 0; i < count; ++i) {
        uint32_t p;
        std::memcpy(&p, in + 4 * i, 4);
        p = (p & 0xFF00FF00u) | ((p >> 16) & 0xFFu) | ((p & 0xFFu) << 16);
        std::memcpy(out + 4 * i, &p, 4);
    }
}

// cairo's ARGB32 is premultiplied like the RGBA bitmap but keeps each pixel
// as one native-endian 32-bit word (B, G, R, A bytes on little-endian); the
// conversion is a reshuffle without arithmetic.
void bitmapToSurface(const Bitmap& bitmap, cairo_surface_t* surface)
{
    cairo().cairo_surface_flush(surface);
    unsigned char* base = cairo().cairo_image_surface_get_data(surface);
    int stride = cairo().cairo_image_surface_get_stride(surface);
    for (int y = 0; y < bitmap.height(); ++y) {
        auto* out = reinterpret_cast<uint32_t*>(base + size_t(y) * size_t(stride));
        const uint8_t* in = bitmap.data() + size_t(y) * bitmap.bytesPerRow();
        if (bitmap.hasAlpha()) {
            swapRedAndBlue(out, in, size_t(bitmap.width()));
        } else {
            for (int x = 0; x < bitmap.width(); ++x, in += 3)
                out[x] = 0xFF000000u | uint32_t(in[0]) << 16 | uint32_t(in[1]) << 8 | in[2];
        }
    }
    cairo().cairo_surface_mark_dirty(surface);
}

void surfaceToBitmap(cairo_surface_t* surface, Bitmap& bitmap)
{
    cairo().cairo_surface_flush(surface);
    const unsigned char* base = cairo().cairo_image_surface_get_data(surface);
    int stride = cairo().cairo_image_surface_get_stride(surface);
    for (int y = 0; y < bitmap.height(); ++y) {
        auto* in = reinterpret_cast<const uint32_t*>(base + size_t(y) * size_t(stride));
        swapRedAndBlue(
            bitmap.data() + size_t(y) * bitmap.bytesPerRow(), in, size_t(bitmap.width()));
    }
}

Surface surfaceOf(const Bitmap& bitmap)
{
    cairo_format_t format = bitmap.hasAlpha() ? CAIRO_FORMAT_ARGB32 : CAIRO_FORMAT_RGB24;
    Surface s(cairo().cairo_image_surface_create(format, bitmap.width(), bitmap.height()));
    if (cairo().cairo_surface_status(s.get()) != CAIRO_STATUS_SUCCESS)
        return nullptr;
    bitmapToSurface(bitmap, s.get());
    return s;
}

// High quality is cairo's GOOD: a box-filtered reduction when shrinking,
// which averages whole source pixels, and bilinear when enlarging. cairo's
// BEST uses a Lanczos-like kernel that lets colours ring across edges.
cairo_filter_t filterFor(Interpolation quality)
{
    switch (quality) {
    case Interpolation::None:
        return CAIRO_FILTER_NEAREST;
    case Interpolation::High:
        return CAIRO_FILTER_GOOD;
    case Interpolation::Low:
    case Interpolation::Default:
        break;
    }
    return CAIRO_FILTER_BILINEAR;
}

} // namespace

struct Canvas::Impl {
    Surface surface;
    Context cr;
    std::vector<Interpolation> interpolations {Interpolation::Default};
    bool ended = false;
};

Canvas::Canvas(Image& target, bool flipped)
    : target_(target)
    , flipped_(flipped)
    , impl_(std::make_unique<Impl>())
{
    Bitmap* bitmap = target_.bitmap();
    if (!bitmap) {
        Image blank(target_.size());
        if (blank.bitmap())
            target_.setBitmap(std::move(*blank.bitmap()));
    } else if (bitmap->format() != PixelFormat::RGBA) {
        target_.setBitmap(bitmap->toRGBA());
    }
    bitmap = target_.bitmap();
    if (!bitmap || bitmap->isEmpty() || !cairoLibrary()) {
        impl_->ended = true;
        return;
    }
    impl_->surface = surfaceOf(*bitmap);
    if (!impl_->surface) {
        impl_->ended = true;
        return;
    }
    impl_->cr.reset(cairo().cairo_create(impl_->surface.get()));
    cairo_t* cr = impl_->cr.get();
    Size size = target_.size();
    cairo().cairo_scale(cr, target_.pixelsPerPointX(), target_.pixelsPerPointY());
    if (!flipped_) {
        // y upward from the bottom-left corner.
        cairo().cairo_translate(cr, 0, size.height);
        cairo().cairo_scale(cr, 1, -1);
    }
    cairo().cairo_set_source_rgba(cr, 0, 0, 0, 0);
}

Canvas::~Canvas()
{
    end();
}

void Canvas::end()
{
    if (impl_->ended)
        return;
    impl_->ended = true;
    if (Bitmap* bitmap = target_.bitmap())
        surfaceToBitmap(impl_->surface.get(), *bitmap);
    impl_->cr.reset();
    impl_->surface.reset();
}

void Canvas::drawImage(const Image& image, Rect into, Rect from, CompositeOp op, double fraction)
{
    if (impl_->ended)
        return;
    const Bitmap* bitmap = image.bitmap();
    if (!bitmap || bitmap->isEmpty() || !(into.size.width > 0) || !(into.size.height > 0))
        return;
    Size size = image.size();
    if (from.size.width == 0 || from.size.height == 0)
        from = Rect {{0, 0}, size};
    if (!(from.size.width > 0) || !(from.size.height > 0))
        return;
    Surface source = surfaceOf(*bitmap);
    if (!source)
        return;

    // Canvas point (X, Y) inside `into` shows the image's own point
    // (u, v) = from.origin + (X - into.x, Y - into.y) * k, whose pixel is
    // (u, v) scaled, with v counted from the image's top or bottom by its
    // flipped attribute. cairo wants that map from user space to pixels.
    double sx = image.pixelsPerPointX();
    double sy = image.pixelsPerPointY();
    double kx = from.size.width / into.size.width, ky = from.size.height / into.size.height;
    cairo_matrix_t m;
    double xx = sx * kx, x0 = sx * (from.origin.x - into.origin.x * kx);
    double yy, y0;
    if (image.isFlipped()) {
        yy = sy * ky;
        y0 = sy * (from.origin.y - into.origin.y * ky);
    } else {
        yy = -sy * ky;
        y0 = sy * (size.height - from.origin.y + into.origin.y * ky);
    }
    cairo().cairo_matrix_init(&m, xx, 0, 0, yy, x0, y0);

    Pattern pattern(cairo().cairo_pattern_create_for_surface(source.get()));
    cairo().cairo_pattern_set_matrix(pattern.get(), &m);
    cairo().cairo_pattern_set_filter(pattern.get(), filterFor(interpolation()));
    // Inside the image, edge pixels are repeated for the filter instead of
    // fading into transparent; a rectangle that reaches beyond the image
    // shows transparency there.
    bool inside = from.origin.x >= 0 && from.origin.y >= 0
        && from.origin.x + from.size.width <= size.width
        && from.origin.y + from.size.height <= size.height;
    cairo().cairo_pattern_set_extend(pattern.get(), inside ? CAIRO_EXTEND_PAD : CAIRO_EXTEND_NONE);

    cairo_t* cr = impl_->cr.get();
    cairo().cairo_save(cr);
    cairo().cairo_rectangle(cr, into.origin.x, into.origin.y, into.size.width, into.size.height);
    cairo().cairo_clip(cr);
    cairo().cairo_set_operator(
        cr, op == CompositeOp::Copy ? CAIRO_OPERATOR_SOURCE : CAIRO_OPERATOR_OVER);
    cairo().cairo_set_source(cr, pattern.get());
    double alpha = std::clamp(fraction, 0.0, 1.0);
    if (alpha >= 1.0)
        cairo().cairo_paint(cr);
    else
        cairo().cairo_paint_with_alpha(cr, alpha);
    cairo().cairo_restore(cr);
}

void Canvas::drawImage(const Image& image, Point at, Rect from, CompositeOp op, double fraction)
{
    if (from.size.width == 0 || from.size.height == 0)
        from = Rect {{0, 0}, image.size()};
    drawImage(image, Rect {at, from.size}, from, op, fraction);
}

void Canvas::setInterpolation(Interpolation quality)
{
    impl_->interpolations.back() = quality;
}

Interpolation Canvas::interpolation() const
{
    return impl_->interpolations.back();
}

void Canvas::setAntialias(bool on)
{
    if (!impl_->ended)
        cairo().cairo_set_antialias(
            impl_->cr.get(), on ? CAIRO_ANTIALIAS_DEFAULT : CAIRO_ANTIALIAS_NONE);
}

void Canvas::concat(const AffineTransform& t)
{
    if (impl_->ended)
        return;
    cairo_matrix_t m;
    cairo().cairo_matrix_init(&m, t.a, t.b, t.c, t.d, t.tx, t.ty);
    cairo().cairo_transform(impl_->cr.get(), &m);
}

void Canvas::translate(double dx, double dy)
{
    AffineTransform t;
    t.translate(dx, dy);
    concat(t);
}

void Canvas::rotate(double degrees)
{
    AffineTransform t;
    t.rotate(degrees);
    concat(t);
}

void Canvas::setColor(const Color& color)
{
    if (impl_->ended)
        return;
    Color rgb = color.isRGB() ? color : color.converted(ColorSpace::DeviceRGB);
    auto unit = [](double v) { return std::clamp(std::isnan(v) ? 0.0 : v, 0.0, 1.0); };
    cairo().cairo_set_source_rgba(
        impl_->cr.get(), unit(rgb.red()), unit(rgb.green()), unit(rgb.blue()), unit(rgb.alpha()));
}

namespace {

void buildPath(cairo_t* cr, const Path& path)
{
    cairo().cairo_new_path(cr);
    for (const Path::Element& e : path.elements()) {
        switch (e.verb) {
        case Path::Verb::MoveTo:
            cairo().cairo_move_to(cr, e.point.x, e.point.y);
            break;
        case Path::Verb::LineTo:
            cairo().cairo_line_to(cr, e.point.x, e.point.y);
            break;
        case Path::Verb::Close:
            cairo().cairo_close_path(cr);
            break;
        }
    }
}

} // namespace

void Canvas::stroke(const Path& path)
{
    if (impl_->ended || path.isEmpty())
        return;
    cairo_t* cr = impl_->cr.get();
    buildPath(cr, path);
    cairo().cairo_set_line_width(cr, path.lineWidth());
    cairo().cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    cairo().cairo_stroke(cr);
}

void Canvas::fill(const Path& path)
{
    if (impl_->ended || path.isEmpty())
        return;
    cairo_t* cr = impl_->cr.get();
    buildPath(cr, path);
    cairo().cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    cairo().cairo_fill(cr);
}

void Canvas::saveState()
{
    if (impl_->ended)
        return;
    cairo().cairo_save(impl_->cr.get());
    impl_->interpolations.push_back(impl_->interpolations.back());
}

void Canvas::restoreState()
{
    if (impl_->ended || impl_->interpolations.size() < 2)
        return;
    cairo().cairo_restore(impl_->cr.get());
    impl_->interpolations.pop_back();
}

} // namespace platform
