// PixelConvert: conversions between premultiplied and straight RGBA rows,
// shared by the PNG codecs. Internal to the platform layer; pure functions on
// caller-owned memory.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

// Premultiplies `count` RGBA pixels in place.
void premultiplyRows(uint8_t* rgba, size_t count);
// Writes the straight form of `count` premultiplied RGBA pixels; `out` may be
// `in`.
void unpremultiplyRows(uint8_t* out, const uint8_t* in, size_t count);

} // namespace platform
