// The widget's request as the host makes it, in a warm process: a copy of the
// built widget, its plug-in bundle registered, one GloamPlugin, and
// getCurrentComposite again and again (date and sun, base map decoded, the
// layers, the PNG encoded and written atomically, the configuration
// rewritten). The copy keeps the build tree's own picture and settings alone.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "BenchSupport.h"
#include "GloamPlugin.h"
#include "platform/Bundle.h"

namespace fs = std::filesystem;

namespace {

const std::string& widgetCopy()
{
    static const std::string dir = [] {
        std::string to = bench::scratchDir() + "/Gloam.wdgt";
        fs::copy(GLOAM_BUILD_WIDGET_DIR, to, fs::copy_options::recursive);
        return to;
    }();
    return dir;
}

void BM_Request_Widget(benchmark::State& state)
{
    const std::string bundle = widgetCopy() + "/GloamPlugin.widgetplugin";
    const std::string picture = widgetCopy() + "/Images/current.png";
    platform::registerBundle(GloamPlugin::kBundleIdentifier, bundle);
    GloamPlugin plugin;
    std::error_code ignored;
    fs::remove(picture, ignored);
    for (auto _ : state) {
        std::string text = plugin.getCurrentComposite();
        benchmark::DoNotOptimize(text.data());
    }
    if (!fs::exists(picture)) {
        state.SkipWithError("no Images/current.png was written");
        return;
    }
    state.counters["bytes"] = double(fs::file_size(picture));
}
BENCHMARK(BM_Request_Widget)->Unit(benchmark::kMillisecond);

} // namespace
