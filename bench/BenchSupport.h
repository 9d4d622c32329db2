// Inputs shared by the benchmarks: the bundle's pictures, decoded once, and
// synthetic layers of any size. Everything here is made before timing starts.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/Bitmap.h"

namespace bench {

// Path of a picture in the bundle's worldimages directory of the source tree.
std::string resourcePath(const std::string& name);
// The bytes of a file; aborts the run when it cannot be read, since every
// figure after it would be meaningless.
std::vector<uint8_t> readFile(const std::string& path);
// Writes the file or ends the run, saying why.
void writeFile(const std::string& path, std::span<const uint8_t> bytes);
// The January base map (1024 x 512), decoded, as an RGBA bitmap.
const platform::Bitmap& worldMap();
// The January map stretched to width x height with cairo's best filter, as an
// RGBA bitmap: a stand-in for a larger base map (smoother than a real photo
// of that size, so it deflates somewhat better).
platform::Bitmap worldMapAt(int width, int height);
// Any bitmap stretched the same way, as RGBA.
platform::Bitmap stretched(const platform::Bitmap& bitmap, int width, int height);
// A folder of its own under the system's temporary folder, for files that
// benchmarks write; removed with everything in it when the run ends.
const std::string& scratchDir();
// A night-shade mask of width x height: alpha 191 on a night side bounded
// by a wavy terminator, 0 on the day side, black colour samples.
platform::Bitmap shadeMask(int width, int height);

} // namespace bench
