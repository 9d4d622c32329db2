// PngFilter: the row filters the PNG writers share. Internal to the platform
// layer; each is built for AVX2 as well and picks its build when first called.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform::detail {

// The sum of the filtered bytes, read as signed magnitudes, that each of the
// five filter types would give `row` (`prev` is the row above, zeros for the
// first; `bpp` 3 or 4): the usual cheap estimate of a row's cost. One pass,
// nothing written.
void filterSums(const uint8_t* row, const uint8_t* prev, size_t n, size_t bpp, uint64_t sums[5]);
// Writes filter `type` of `row` into out[0..n) and returns its sum as above.
uint64_t filterRow(
    int type, const uint8_t* row, const uint8_t* prev, size_t n, size_t bpp, uint8_t* out);

} // namespace platform::detail
