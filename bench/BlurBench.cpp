// The night shade's blur at the widget's size and at the largest map: the
// whole RGBA bitmap against the alpha plane alone (the shade is black, so
// the plane is all that changes). Each iteration blurs a fresh copy of the
// hard-edged mask (the copy is not timed): the plane blur does less work
// where a row is flat, so blurring its own output again would not measure
// the shade.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "BenchSupport.h"
#include "umb/UMBBoxBlur.h"

namespace {

void BM_BoxBlurBitmap(benchmark::State& state)
{
    const platform::Bitmap mask = bench::shadeMask(int(state.range(0)), int(state.range(1)));
    platform::Bitmap work = mask.clone();
    umb::UMBBoxBlur blur;
    for (auto _ : state) {
        state.PauseTiming();
        std::memcpy(work.data(), mask.data(), mask.byteCount());
        state.ResumeTiming();
        blur.boxBlurPixelsWithAlpha(work, 6);
        benchmark::DoNotOptimize(work.data());
    }
}
BENCHMARK(BM_BoxBlurBitmap)
    ->Args({1024, 512})
    ->Args({2048, 1024})
    ->Args({8192, 4096})
    ->Unit(benchmark::kMillisecond);

void BM_BoxBlurAlphaPlane(benchmark::State& state)
{
    const int w = int(state.range(0)), h = int(state.range(1));
    platform::Bitmap mask = bench::shadeMask(w, h);
    std::vector<uint8_t> fresh(size_t(w) * size_t(h));
    for (size_t i = 0; i < fresh.size(); ++i)
        fresh[i] = mask.data()[i * 4 + 3];
    std::vector<uint8_t> plane(fresh.size());
    umb::UMBBoxBlur blur;
    for (auto _ : state) {
        state.PauseTiming();
        std::memcpy(plane.data(), fresh.data(), fresh.size());
        state.ResumeTiming();
        blur.boxBlurPlane(plane, w, h, 6);
        benchmark::DoNotOptimize(plane.data());
    }
}
BENCHMARK(BM_BoxBlurAlphaPlane)
    ->Args({1024, 512})
    ->Args({2048, 1024})
    ->Args({8192, 4096})
    ->Unit(benchmark::kMillisecond);

} // namespace
