// RenderOutput: what `gloam render` writes, in the format its file name asks
// for: PNG, JPEG or WebP, or PNG on standard output for "-". Free functions;
// the picture stays the caller's.
#pragma once

#include "platform/Image.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace cli {

enum class OutputFormat { Png, Jpeg, Webp, StandardOutput };

// The format of `path` by its extension (.png, .jpg, .jpeg, .webp, any case),
// or StandardOutput for "-". Throws UsageError naming -o for any other.
OutputFormat outputFormat(const std::string& path);

// Writes `picture` to `path` in `format`, a file replaced whole or not at
// all. `quality` (1..100) is JPEG's (default 90) and makes a WebP lossy
// (lossless without it). Throws std::runtime_error saying why a write failed.
void writeOutput(const platform::Image& picture, const std::string& path, OutputFormat format,
    std::optional<int> quality);

// `picture` laid over an opaque colour (red, green, blue): an RGB picture.
platform::Image overBackground(const platform::Image& picture, std::array<uint8_t, 3> colour);

} // namespace cli
