// CairoLibrary: the cairo functions the canvas calls, bound from the cairo
// library when the first canvas is made rather than when the program starts.
#pragma once

#include "platform/SharedLibrary.h"

#include <cairo.h>

namespace platform {

#define GLOAM_CAIRO_FUNCTIONS(X)                                                                   \
    X(cairo_clip)                                                                                  \
    X(cairo_close_path)                                                                            \
    X(cairo_create)                                                                                \
    X(cairo_destroy)                                                                               \
    X(cairo_fill)                                                                                  \
    X(cairo_image_surface_create)                                                                  \
    X(cairo_image_surface_get_data)                                                                \
    X(cairo_image_surface_get_stride)                                                              \
    X(cairo_line_to)                                                                               \
    X(cairo_matrix_init)                                                                           \
    X(cairo_move_to)                                                                               \
    X(cairo_new_path)                                                                              \
    X(cairo_paint)                                                                                 \
    X(cairo_paint_with_alpha)                                                                      \
    X(cairo_pattern_create_for_surface)                                                            \
    X(cairo_pattern_destroy)                                                                       \
    X(cairo_pattern_set_extend)                                                                    \
    X(cairo_pattern_set_filter)                                                                    \
    X(cairo_pattern_set_matrix)                                                                    \
    X(cairo_rectangle)                                                                             \
    X(cairo_restore)                                                                               \
    X(cairo_save)                                                                                  \
    X(cairo_scale)                                                                                 \
    X(cairo_set_antialias)                                                                         \
    X(cairo_set_line_width)                                                                        \
    X(cairo_set_operator)                                                                          \
    X(cairo_set_source)                                                                            \
    X(cairo_set_source_rgba)                                                                       \
    X(cairo_stroke)                                                                                \
    X(cairo_surface_destroy)                                                                       \
    X(cairo_surface_flush)                                                                         \
    X(cairo_surface_mark_dirty)                                                                    \
    X(cairo_surface_status)                                                                        \
    X(cairo_transform)                                                                             \
    X(cairo_translate)

struct CairoLibrary {
    SharedLibrary library;
#define GLOAM_CAIRO_SLOT(name) decltype(&::name) name = nullptr;
    GLOAM_CAIRO_FUNCTIONS(GLOAM_CAIRO_SLOT)
#undef GLOAM_CAIRO_SLOT
};

// Null when cairo cannot be loaded; the reason is logged once.
const CairoLibrary* cairoLibrary();

} // namespace platform
