// Whole programs as a user runs them, each a fresh process: the time from
// spawning to exit, and the child's peak resident memory ("peak_MB"). xplanet,
// when installed, draws the same day/night map with night lights as a
// yardstick; it is never needed by Gloam.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "BenchSupport.h"

extern char** environ;

namespace {

// Runs argv to completion with its output thrown away; false when it cannot
// be started or does not exit with 0. `peakKB` gets the child's peak RSS.
bool runOnce(const std::vector<std::string>& argv, long& peakKB)
{
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    int rc = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        return false;
    int status = 0;
    rusage usage {};
    if (wait4(pid, &status, 0, &usage) != pid)
        return false;
    peakKB = std::max(peakKB, usage.ru_maxrss);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void runProgram(benchmark::State& state, const std::vector<std::string>& argv)
{
    long peakKB = 0;
    for (auto _ : state) {
        if (!runOnce(argv, peakKB)) {
            state.SkipWithError(("could not run " + argv[0]).c_str());
            return;
        }
    }
    state.counters["peak_MB"] = double(peakKB) / 1024.0;
}

const char* const kXplanet = "/usr/bin/xplanet";

void BM_Xplanet_Rectangular(benchmark::State& state)
{
    if (access(kXplanet, X_OK) != 0) {
        state.SkipWithError("xplanet is not installed (apt-get install xplanet xplanet-images)");
        return;
    }
    // Gloam's January map as the day map, xplanet's own city lights.
    const std::string config = bench::scratchDir() + "/xplanet.conf";
    std::ofstream(config) << "[earth]\nmap=" << bench::resourcePath("world_sm.1.jpg")
                          << "\nnight_map=/usr/share/xplanet/images/night.jpg\n";
    const std::string size = std::to_string(state.range(0)) + "x" + std::to_string(state.range(1));
    runProgram(state,
        {kXplanet, "-config", config, "-num_times", "1", "-geometry", size, "-projection",
            "rectangular", "-output", bench::scratchDir() + "/xplanet.png"});
}
BENCHMARK(BM_Xplanet_Rectangular)->Args({1024, 512})->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Xplanet_Rectangular)
    ->Args({8192, 4096})
    ->Iterations(1)
    ->Repetitions(3)
    ->Unit(benchmark::kMillisecond);

} // namespace
