// The benchmark runner: Google Benchmark's own, with defaults chosen so that
// `make bench` finishes in well under two minutes on a two-core machine and
// prints one line a case, the median of its repetitions. Any --benchmark_*
// flag given on the command line overrides these defaults.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// Shows only the median of repeated runs (the figure every target is stated
// in); a case run once shows as it is.
class MedianReporter : public benchmark::ConsoleReporter {
public:
    explicit MedianReporter(OutputOptions options)
        : ConsoleReporter(options)
    {
    }
    void ReportRuns(const std::vector<Run>& reports) override
    {
        std::vector<Run> shown;
        bool repeated = false;
        for (const Run& run : reports)
            repeated = repeated || run.run_type == Run::RT_Aggregate;
        for (const Run& run : reports) {
            if (!repeated || (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median"))
                shown.push_back(run);
        }
        if (!shown.empty())
            ConsoleReporter::ReportRuns(shown);
    }
};

bool given(int argc, char** argv, const char* flag)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], flag, std::strlen(flag)) == 0)
            return true;
    }
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> owned;
    if (!given(argc, argv, "--benchmark_min_time"))
        owned.push_back("--benchmark_min_time=0.05");
    if (!given(argc, argv, "--benchmark_repetitions"))
        owned.push_back("--benchmark_repetitions=5");
    if (!given(argc, argv, "--benchmark_display_aggregates_only")
        && !given(argc, argv, "--benchmark_report_aggregates_only"))
        owned.push_back("--benchmark_display_aggregates_only=true");
    std::vector<char*> args(argv, argv + argc);
    for (std::string& s : owned)
        args.push_back(s.data());
    args.push_back(nullptr);
    int count = int(args.size()) - 1;
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data()))
        return 1;
    // Only the console table is filtered; --benchmark_out files, and other
    // formats asked for, get every repetition.
    if (given(argc, argv, "--benchmark_format")) {
        benchmark::RunSpecifiedBenchmarks();
    } else {
        MedianReporter reporter(isatty(STDOUT_FILENO) ? benchmark::ConsoleReporter::OO_ColorTabular
                                                      : benchmark::ConsoleReporter::OO_Tabular);
        benchmark::RunSpecifiedBenchmarks(&reporter);
    }
    benchmark::Shutdown();
    return 0;
}
