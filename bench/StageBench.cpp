// The stages of a request that do not depend on the layers, at the widget's
// size, at twice that and at the largest map: encoding the finished picture,
// writing it atomically, and making a fresh bitmap of the map's size (whose
// cost is page faults, which is why the hot paths reuse memory).
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "BenchSupport.h"
#include "platform/Files.h"
#include "platform/ImageCodec.h"

namespace {

void sizes(benchmark::internal::Benchmark* b)
{
    b->Args({1024, 512})->Args({2048, 1024})->Args({8192, 4096})->Unit(benchmark::kMillisecond);
}

void BM_Stage_EncodePng(benchmark::State& state)
{
    const platform::Bitmap map = bench::worldMapAt(int(state.range(0)), int(state.range(1)));
    size_t size = 0;
    for (auto _ : state) {
        auto png = platform::encodePng(map);
        if (!png) {
            state.SkipWithError("encoding failed");
            return;
        }
        size = png->size();
        benchmark::DoNotOptimize(png->data());
    }
    state.counters["bytes"] = double(size);
}
BENCHMARK(BM_Stage_EncodePng)->Apply(sizes);

void BM_Stage_AtomicWrite(benchmark::State& state)
{
    auto png = platform::encodePng(bench::worldMapAt(int(state.range(0)), int(state.range(1))));
    const std::string path = bench::scratchDir() + "/current.png";
    for (auto _ : state) {
        if (!platform::writeFileAtomically(path, *png)) {
            state.SkipWithError("write failed");
            return;
        }
    }
    state.counters["bytes"] = double(png->size());
}
BENCHMARK(BM_Stage_AtomicWrite)->Apply(sizes);

void BM_Stage_FreshBitmap(benchmark::State& state)
{
    for (auto _ : state) {
        platform::Bitmap bitmap(int(state.range(0)), int(state.range(1)));
        // Touch every page, as drawing into it would.
        for (size_t i = 0; i < bitmap.byteCount(); i += 4096)
            bitmap.data()[i] = 1;
        benchmark::DoNotOptimize(bitmap.data());
    }
}
BENCHMARK(BM_Stage_FreshBitmap)->Apply(sizes);

} // namespace
