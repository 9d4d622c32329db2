// CairoLibrary: the cairo functions the canvas calls, bound from the cairo
// library when the first canvas is made rather than when the program starts.
#pragma once

#include "platform/SharedLibrary.h"

#include <cairo.h>

namespace platform {

#define GLOAM_CAIRO_FUNCTIONS(X)                                                                   \
    X(clip)                                                                                        \
    X(close_path)                                                                                  \
    X(create)                                                                                      \
    X(destroy)                                                                                     \
    X(fill)                                                                                        \
    X(image_surface_create)                                                                        \
    X(image_surface_get_data)                                                                      \
    X(image_surface_get_stride)                                                                    \
    X(line_to)                                                                                     \
    X(matrix_init)                                                                                 \
    X(move_to)                                                                                     \
    X(new_path)                                                                                    \
    X(paint)                                                                                       \
    X(paint_with_alpha)                                                                            \
    X(pattern_create_for_surface)                                                                  \
    X(pattern_destroy)                                                                             \
    X(pattern_set_extend)                                                                          \
    X(pattern_set_filter)                                                                          \
    X(pattern_set_matrix)                                                                          \
    X(rectangle)                                                                                   \
    X(restore)                                                                                     \
    X(save)                                                                                        \
    X(scale)                                                                                       \
    X(set_antialias)                                                                               \
    X(set_line_width)                                                                              \
    X(set_operator)                                                                                \
    X(set_source)                                                                                  \
    X(set_source_rgba)                                                                             \
    X(stroke)                                                                                      \
    X(surface_destroy)                                                                             \
    X(surface_flush)                                                                               \
    X(surface_mark_dirty)                                                                          \
    X(surface_status)                                                                              \
    X(transform)                                                                                   \
    X(translate)

// Each function under its name without the "cairo_" prefix.
struct CairoLibrary {
    SharedLibrary library;
#define GLOAM_CAIRO_SLOT(name) decltype(&::cairo_##name) name = nullptr;
    GLOAM_CAIRO_FUNCTIONS(GLOAM_CAIRO_SLOT)
#undef GLOAM_CAIRO_SLOT
};

// Null when cairo cannot be loaded; the reason is logged once.
const CairoLibrary* cairoLibrary();

} // namespace platform
