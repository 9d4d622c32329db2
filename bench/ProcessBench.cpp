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
#include <chrono>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "BenchSupport.h"

extern char** environ;

namespace {

// Programs are started by a small helper process forked while this one is
// still small: a child's peak memory as the kernel reports it includes the
// memory of the process it was spawned from, which here grows to hundreds of
// megabytes in the other benchmarks.
class Spawner {
public:
    struct Result {
        bool ok = false;
        double ms = 0;
        long peakKB = 0;
    };

    static Spawner& instance()
    {
        static Spawner spawner;
        return spawner;
    }

    Result run(const std::vector<std::string>& argv)
    {
        Result result;
        std::string request;
        for (const std::string& a : argv)
            request += a + '\0';
        uint32_t size = uint32_t(request.size());
        if (pid_ <= 0 || !writeAll(toHelper_, &size, sizeof size)
            || !writeAll(toHelper_, request.data(), size)
            || !readAll(fromHelper_, &result, sizeof result))
            return {};
        return result;
    }

private:
    Spawner()
    {
        int down[2], up[2];
        if (pipe(down) != 0 || pipe(up) != 0)
            return;
        pid_ = fork();
        if (pid_ == 0) {
            close(down[1]);
            close(up[0]);
            serve(down[0], up[1]);
            _exit(0);
        }
        close(down[0]);
        close(up[1]);
        toHelper_ = down[1];
        fromHelper_ = up[0];
    }

    static bool writeAll(int fd, const void* data, size_t n)
    {
        auto* p = static_cast<const char*>(data);
        while (n > 0) {
            ssize_t k = write(fd, p, n);
            if (k <= 0)
                return false;
            p += k, n -= size_t(k);
        }
        return true;
    }
    static bool readAll(int fd, void* data, size_t n)
    {
        auto* p = static_cast<char*>(data);
        while (n > 0) {
            ssize_t k = read(fd, p, n);
            if (k <= 0)
                return false;
            p += k, n -= size_t(k);
        }
        return true;
    }

    // The helper: one request at a time, until the pipe closes.
    static void serve(int in, int out)
    {
        uint32_t size = 0;
        while (readAll(in, &size, sizeof size)) {
            std::string request(size, '\0');
            if (!readAll(in, request.data(), size))
                return;
            std::vector<char*> args;
            for (size_t at = 0; at < request.size(); at += std::strlen(&request[at]) + 1)
                args.push_back(&request[at]);
            args.push_back(nullptr);
            Result result;
            posix_spawn_file_actions_t actions;
            posix_spawn_file_actions_init(&actions);
            posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
            posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
            pid_t pid = 0;
            auto start = std::chrono::steady_clock::now();
            if (posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ) == 0) {
                int status = 0;
                rusage usage {};
                if (wait4(pid, &status, 0, &usage) == pid) {
                    result.ms = std::chrono::duration<double, std::milli>(
                        std::chrono::steady_clock::now() - start)
                                    .count();
                    result.peakKB = usage.ru_maxrss;
                    result.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
                }
            }
            posix_spawn_file_actions_destroy(&actions);
            if (!writeAll(out, &result, sizeof result))
                return;
        }
    }

    pid_t pid_ = -1;
    int toHelper_ = -1, fromHelper_ = -1;
};

// Started before any benchmark runs, while this process is small.
const bool kSpawnerReady = (Spawner::instance(), true);

void runProgram(benchmark::State& state, const std::vector<std::string>& argv)
{
    long peakKB = 0;
    for (auto _ : state) {
        Spawner::Result result = Spawner::instance().run(argv);
        if (!result.ok) {
            state.SkipWithError(("could not run " + argv[0]).c_str());
            return;
        }
        // The helper's own clock: spawn to exit, without the pipe's turns.
        state.SetIterationTime(result.ms / 1000.0);
        peakKB = std::max(peakKB, result.peakKB);
    }
    state.counters["peak_MB"] = double(peakKB) / 1024.0;
}

// `gloam render` of the widget's map with its lights and sun at a fixed
// instant, from a fresh process, the way a user runs it.
void BM_Render(benchmark::State& state)
{
    const std::string size = std::to_string(state.range(0)) + "x" + std::to_string(state.range(1));
    runProgram(state,
        {GLOAM_CLI_PATH, "render", "--time", "2026-03-20T15:00:00Z", "--size", size, "-o",
            bench::scratchDir() + "/render.png"});
}
BENCHMARK(BM_Render)
    ->Args({1024, 512})
    ->Args({2048, 1024})
    ->Iterations(5)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Render)
    ->Args({8192, 4096})
    ->Iterations(1)
    ->Repetitions(5)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

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
BENCHMARK(BM_Xplanet_Rectangular)
    ->Args({1024, 512})
    ->Iterations(5)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Xplanet_Rectangular)
    ->Args({8192, 4096})
    ->Iterations(1)
    ->Repetitions(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

} // namespace
