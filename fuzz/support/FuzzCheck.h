// FuzzCheck: the one assertion the fuzz targets use. A broken rule traps, so
// libFuzzer and the corpus replay both see a crash and keep the input.
#pragma once

#include <cstdint>

namespace fuzz_support {

inline void require(bool condition)
{
    if (!condition)
        __builtin_trap();
}

// A decoder's answer to arbitrary bytes: a refusal that says why, or a
// picture within `limits`. True when there is a picture to check further.
template<class Decoded, class Limits>
bool decodedWithin(const Decoded& bitmap, const Limits& limits)
{
    if (!bitmap) {
        require(!bitmap.error().why().empty());
        return false;
    }
    require(!bitmap->isEmpty() && uint32_t(bitmap->width()) <= limits.maxSide
        && uint32_t(bitmap->height()) <= limits.maxSide
        && uint64_t(bitmap->width()) * uint64_t(bitmap->height()) <= limits.maxPixels);
    return true;
}

} // namespace fuzz_support
