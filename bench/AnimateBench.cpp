// A day's time-lapse, 144 frames at ten minutes, 1024 x 512: one `gloam
// animate` process against the 144 `gloam render` processes a script would
// run for the same frames, timed one after the other in the same iteration
// so that both see the same machine. The ratio is the figure that matters;
// the processor's name goes in the label.
#include <benchmark/benchmark.h>

#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

#include "BenchSupport.h"

extern char** environ;

namespace {

bool run(const std::vector<std::string>& arguments)
{
    std::vector<char*> argv;
    for (const std::string& a : arguments)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (::posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return false;
    int status = 0;
    return ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::string processorName()
{
    std::ifstream info("/proc/cpuinfo");
    for (std::string line; std::getline(info, line);) {
        if (line.rfind("model name", 0) == 0)
            return line.substr(line.find(':') + 2);
    }
    return "unknown processor";
}

std::string iso(std::time_t t)
{
    char text[32];
    std::tm tm;
    ::gmtime_r(&t, &tm);
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return text;
}

void BM_Animate_DayVersusSingleRenders(benchmark::State& state)
{
    constexpr int kFrames = 144;
    const std::time_t start = 1782000000; // 2026-06-21T00:00:00Z
    const std::string dir = bench::scratchDir();
    double animateSeconds = 0, rendersSeconds = 0;
    using Clock = std::chrono::steady_clock;
    for (auto _ : state) {
        auto t0 = Clock::now();
        if (!run({GLOAM_CLI_PATH, "animate", "--quiet", "--from", iso(start), "--to",
                iso(start + (kFrames - 1) * 600), "--step", "10m", "-o", dir + "/day.png"})) {
            state.SkipWithError("gloam animate failed");
            return;
        }
        auto t1 = Clock::now();
        for (int i = 0; i < kFrames; ++i) {
            if (!run({GLOAM_CLI_PATH, "render", "--time", iso(start + i * 600), "-o",
                    dir + "/frame-" + std::to_string(i) + ".png"})) {
                state.SkipWithError("gloam render failed");
                return;
            }
        }
        auto t2 = Clock::now();
        animateSeconds += std::chrono::duration<double>(t1 - t0).count();
        rendersSeconds += std::chrono::duration<double>(t2 - t1).count();
    }
    const double n = double(state.iterations());
    state.counters["animate_s"] = animateSeconds / n;
    state.counters["renders_s"] = rendersSeconds / n;
    state.counters["ratio"] = rendersSeconds / animateSeconds;
    state.SetLabel(processorName());
}
BENCHMARK(BM_Animate_DayVersusSingleRenders)->Unit(benchmark::kSecond)->Iterations(1);

} // namespace
