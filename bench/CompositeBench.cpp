// The composite and the whole request at the widget's size, twice that and
// the largest map: each layer the straightforward way, the composite stacked
// from them and built in one bitmap, and a request from the base map's file
// to the written PNG. Base maps and lights pictures of each size are made
// once, before timing, from the bundle's own (stretched, so the larger ones
// are smoother than real imagery and deflate somewhat better).
#include <benchmark/benchmark.h>

#include <map>
#include <string>

#include "BenchSupport.h"
#include "platform/Files.h"
#include "platform/Image.h"
#include "platform/ImageCodec.h"
#include "umb/UMBEquirectangular.h"
#include "umb/UMBImageOps.h"
#include "umb/UMBSun.h"

namespace {

struct Pictures {
    std::string base, lights, sun;
};

// The files of one size: the January map as a JPEG, the lights as a PNG.
const Pictures& picturesAt(int w, int h)
{
    static std::map<std::pair<int, int>, Pictures> made;
    auto found = made.find({w, h});
    if (found != made.end())
        return found->second;
    Pictures p;
    p.sun = bench::resourcePath("sun.png");
    if (w == 1024 && h == 512) {
        p.base = bench::resourcePath("world_sm.1.jpg");
        p.lights = bench::resourcePath("earth_lights_sm.png");
    } else {
        const std::string size = std::to_string(w) + "x" + std::to_string(h);
        p.base = bench::scratchDir() + "/world-" + size + ".jpg";
        p.lights = bench::scratchDir() + "/lights-" + size + ".png";
        auto lights
            = platform::decodeImage(bench::readFile(bench::resourcePath("earth_lights_sm.png")));
        bench::writeFile(p.base, *platform::encodeJpeg(bench::worldMapAt(w, h), 90));
        bench::writeFile(p.lights, *platform::encodePng(bench::stretched(*lights, w, h)));
    }
    return made.emplace(std::pair {w, h}, p).first->second;
}

const platform::Point kSun {-37.5, 17.25};

umb::UMBEquirectangular rendererFor(const Pictures& p, int w, int h)
{
    umb::UMBEquirectangular r {float(w), float(h)};
    r.setLightsimgpath(p.lights);
    r.setSunimgpath(p.sun);
    return r;
}

void sizes(benchmark::internal::Benchmark* b)
{
    b->Args({1024, 512})->Args({2048, 1024})->Args({8192, 4096})->Unit(benchmark::kMillisecond);
}
// The per-pixel layers take seconds at the largest size: two sizes only.
void smallSizes(benchmark::internal::Benchmark* b)
{
    b->Args({1024, 512})->Args({2048, 1024})->Unit(benchmark::kMillisecond);
}

void BM_Layer_Terminator(benchmark::State& state)
{
    const int w = int(state.range(0)), h = int(state.range(1));
    umb::UMBEquirectangular r = rendererFor(picturesAt(w, h), w, h);
    for (auto _ : state)
        benchmark::DoNotOptimize(r.drawTerminatorLayer(kSun).bitmap());
}
BENCHMARK(BM_Layer_Terminator)->Apply(smallSizes);

void BM_Layer_Lights(benchmark::State& state)
{
    const int w = int(state.range(0)), h = int(state.range(1));
    umb::UMBEquirectangular r = rendererFor(picturesAt(w, h), w, h);
    for (auto _ : state)
        benchmark::DoNotOptimize(r.drawLightsLayer(kSun).bitmap());
}
BENCHMARK(BM_Layer_Lights)->Apply(smallSizes);

void BM_Layer_Sun(benchmark::State& state)
{
    const int w = int(state.range(0)), h = int(state.range(1));
    umb::UMBEquirectangular r = rendererFor(picturesAt(w, h), w, h);
    for (auto _ : state)
        benchmark::DoNotOptimize(r.drawSunLayer(kSun).bitmap());
}
BENCHMARK(BM_Layer_Sun)->Apply(sizes);

void BM_Composite_FromLayers(benchmark::State& state)
{
    const int w = int(state.range(0)), h = int(state.range(1));
    const Pictures& p = picturesAt(w, h);
    umb::UMBEquirectangular r = rendererFor(p, w, h);
    const platform::Image base = *platform::Image::fromFile(p.base);
    for (auto _ : state)
        benchmark::DoNotOptimize(r.drawCompositeImageFromLayers(base, kSun).bitmap());
}
BENCHMARK(BM_Composite_FromLayers)->Apply(smallSizes);

void BM_Composite_OneBitmap(benchmark::State& state)
{
    const int w = int(state.range(0)), h = int(state.range(1));
    const Pictures& p = picturesAt(w, h);
    umb::UMBEquirectangular r = rendererFor(p, w, h);
    const platform::Image base = *platform::Image::fromFile(p.base);
    for (auto _ : state) {
        // The request hands its base over; a copy of it is that base here.
        state.PauseTiming();
        platform::Image copy = base.clone();
        state.ResumeTiming();
        benchmark::DoNotOptimize(r.drawCompositeImage(std::move(copy), kSun).bitmap());
    }
}
BENCHMARK(BM_Composite_OneBitmap)->Apply(sizes);

// The same composite with the twilight shaded by the Sun's altitude
// (`--terminator bands`): a level and a lights weight per pixel, no blur.
void BM_Composite_Bands(benchmark::State& state)
{
    const int w = int(state.range(0)), h = int(state.range(1));
    const Pictures& p = picturesAt(w, h);
    umb::UMBEquirectangular r = rendererFor(p, w, h);
    r.setTerminatorStyle(umb::UMBTerminatorStyle::Bands);
    const platform::Image base = *platform::Image::fromFile(p.base);
    for (auto _ : state) {
        state.PauseTiming();
        platform::Image copy = base.clone();
        state.ResumeTiming();
        benchmark::DoNotOptimize(r.drawCompositeImage(std::move(copy), kSun).bitmap());
    }
}
BENCHMARK(BM_Composite_Bands)->Apply(sizes);

// What the plug-in does on a request, from the base map's file to the PNG
// file beside the bundle, with the sun computed for a fixed instant.
void BM_Request_Composite(benchmark::State& state)
{
    const int w = int(state.range(0)), h = int(state.range(1));
    const Pictures& p = picturesAt(w, h);
    const std::string out = bench::scratchDir() + "/current.png";
    umb::UMBDate date;
    date.initializeUTC(3, 20, 2026, 15, 0, 0);
    for (auto _ : state) {
        const platform::Point subsolar = umb::UMBSun(date).getSubsolar();
        platform::ErrorOr<platform::Image> base = platform::Image::fromFile(p.base);
        umb::UMBEquirectangular r = rendererFor(p, w, h);
        platform::Image composite = r.drawCompositeImage(std::move(*base), subsolar);
        if (!umb::UMBImageOps::saveImage(composite, out)) {
            state.SkipWithError("the picture was not written");
            return;
        }
    }
}
BENCHMARK(BM_Request_Composite)->Apply(sizes);

} // namespace
