// FuzzCheck: the one assertion the fuzz targets use. A broken rule traps, so
// libFuzzer and the corpus replay both see a crash and keep the input.
#pragma once

namespace fuzz_support {

inline void require(bool condition)
{
    if (!condition)
        __builtin_trap();
}

} // namespace fuzz_support
