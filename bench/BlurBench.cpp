// The night shade's blur at the widget's size and at the largest map: the
// whole RGBA bitmap against the alpha plane alone (the shade is black, so
// the plane is all that changes). Blurring in place again and again costs
// the same as blurring a fresh mask: the work does not depend on the samples.
#include <benchmark/benchmark.h>

#include <vector>

#include "BenchSupport.h"
#include "umb/UMBBoxBlur.h"

namespace {

void BM_BoxBlurBitmap(benchmark::State& state)
{
    platform::Bitmap mask = bench::shadeMask(int(state.range(0)), int(state.range(1)));
    umb::UMBBoxBlur blur;
    for (auto _ : state) {
        blur.boxBlurPixelsWithAlpha(mask, 6);
        benchmark::DoNotOptimize(mask.data());
    }
}
BENCHMARK(BM_BoxBlurBitmap)->Args({1024, 512})->Args({8192, 4096})->Unit(benchmark::kMillisecond);

void BM_BoxBlurAlphaPlane(benchmark::State& state)
{
    const int w = int(state.range(0)), h = int(state.range(1));
    platform::Bitmap mask = bench::shadeMask(w, h);
    std::vector<uint8_t> plane(size_t(w) * size_t(h));
    for (size_t i = 0; i < plane.size(); ++i)
        plane[i] = mask.data()[i * 4 + 3];
    umb::UMBBoxBlur blur;
    for (auto _ : state) {
        blur.boxBlurPlane(plane, w, h, 6);
        benchmark::DoNotOptimize(plane.data());
    }
}
BENCHMARK(BM_BoxBlurAlphaPlane)
    ->Args({1024, 512})
    ->Args({8192, 4096})
    ->Unit(benchmark::kMillisecond);

} // namespace
