#include "cli/RenderLoop.h"

#include "cli/Command.h"
#include "cli/Duration.h"
#include "cli/OptionValues.h"
#include "cli/RenderJob.h"

#include "platform/Clock.h"
#include "platform/Process.h"
#include "platform/StopSignals.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>

namespace cli {

void addRepeatOptions(CLI::App& app, RepeatOptions& options)
{
    app.add_option("--every", options.every,
           "Render now, then at every multiple of D since 1970 (10m: at :00, :10, ...), "
           "replacing the file each time, until stopped; D is 30s, 10m, 1h, 1d or ISO 8601 "
           "(PT10M)")
        ->type_name("D");
    app.add_option("--count", options.count, "With --every: stop after N renders")->type_name("N");
    app.add_option("--exec", options.exec,
           "With --every: after each write run /bin/sh -c CMD sh FILE; the file's path is $1")
        ->type_name("CMD");
}

std::optional<Repeat> checkedRepeat(const RepeatOptions& options, bool timeGiven)
{
    if (!options.every) {
        if (options.count)
            throw UsageError("--count: it counts the renders of --every; give --every too");
        if (options.exec)
            throw UsageError("--exec: it runs after each render of --every; give --every too");
        return std::nullopt;
    }
    if (timeGiven)
        throw UsageError("--every: the map is of the moment of each render; leave out --time");
    Repeat repeat;
    repeat.every = stepFromOption("--every", *options.every);
    if (options.count)
        repeat.count = wholeInRange(
            "--count", *options.count, "a number of renders", 1, std::numeric_limits<int>::max());
    repeat.exec = options.exec;
    return repeat;
}

int renderRepeatedly(const Repeat& repeat, const std::string& output, std::optional<int> quality,
    const std::function<platform::Image(double)>& draw)
{
    const platform::StopSignals stop;
    // The command is told where the file is from wherever it runs.
    std::error_code error;
    const std::string path = std::filesystem::absolute(output, error).string();
    for (int64_t done = 0;;) {
        const double started = platform::now().secondsSince1970 * 1000.0;
        platform::Image picture = draw(started);
        if (stop.stopped())
            break; // abandoned before its file was touched
        try {
            savePicture(picture, output, quality);
        } catch (const std::runtime_error& e) {
            if (done == 0)
                throw;
            std::fprintf(stderr, "gloam: %s; trying again at the next render\n", e.what());
            picture = {};
        }
        if (picture.bitmap() && repeat.exec && !stop.stopped()) {
            const int status
                = platform::runShellCommand(*repeat.exec, {path.empty() ? output : path});
            if (status < 0)
                std::fprintf(stderr, "gloam: --exec: /bin/sh could not be started\n");
            else if (status != 0)
                std::fprintf(stderr, "gloam: --exec: the command failed with status %d\n", status);
        }
        if (++done == repeat.count)
            break;
        // The next multiple after this render; after the clock is set, the
        // next after the new time, so that missed renders are not made up.
        double at = nextMultiple(started, repeat.every);
        platform::StopSignals::Wake wake;
        while ((wake = stop.waitUntil(at)) == platform::StopSignals::Wake::ClockSet)
            at = nextMultiple(platform::now().secondsSince1970 * 1000.0, repeat.every);
        if (wake == platform::StopSignals::Wake::Stop)
            break;
    }
    return kExitOk;
}

} // namespace cli
