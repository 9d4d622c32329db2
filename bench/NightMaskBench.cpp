// The day/night test over a whole map: one pointIsVisible call a pixel, as
// the layers make it, against the mask that takes its sines and cosines once
// a row and once a column (the same pixels; tests/umb/UMBNightMaskTest.cpp).
#include <benchmark/benchmark.h>

#include <vector>

#include "umb/UMBDefines.h"
#include "umb/UMBEquirectangular.h"
#include "umb/UMBNightMask.h"

namespace {

const platform::Point kSun {-37.5, 17.25};

void BM_NightTest_PerPixel(benchmark::State& state)
{
    const int w = int(state.range(0)), h = int(state.range(1));
    umb::UMBEquirectangular r {float(w), float(h)};
    std::vector<uint8_t> night(size_t(w) * size_t(h));
    for (auto _ : state) {
        // Column by column, as the layers walk the picture.
        for (int x = 0; x < w; ++x) {
            for (int y = 0; y < h; ++y) {
                platform::Point g = r.physicalToGeographic(float(x), float(y));
                night[size_t(y) * size_t(w) + size_t(x)]
                    = umb::UMBDefines::pointIsVisible(g.x, g.y, kSun.x, kSun.y) ? 0 : 0xFF;
            }
        }
        benchmark::DoNotOptimize(night.data());
    }
}
BENCHMARK(BM_NightTest_PerPixel)
    ->Args({1024, 512})
    ->Args({2048, 1024})
    ->Unit(benchmark::kMillisecond);

void BM_NightTest_Mask(benchmark::State& state)
{
    const int w = int(state.range(0)), h = int(state.range(1));
    umb::UMBEquirectangular r {float(w), float(h)};
    umb::UMBNightMask mask;
    for (auto _ : state) {
        mask.compute(r, kSun, w, h);
        benchmark::DoNotOptimize(mask.row(0));
    }
}
BENCHMARK(BM_NightTest_Mask)
    ->Args({1024, 512})
    ->Args({2048, 1024})
    ->Args({8192, 4096})
    ->Unit(benchmark::kMillisecond);

} // namespace
