// RenderJob: the work of `gloam render` cut into the pieces that commands
// drawing many instants share: every render option on a command line, the
// pictures those options name read and fitted to the map once (the base map
// once a month), one instant drawn into a new picture, and the atomic write.
// The job owns its decoded pictures; each drawn picture is the caller's.
#pragma once

#include "platform/Image.h"

#include <CLI/CLI.hpp>
#include <memory>
#include <optional>
#include <string>

namespace cli {

// What the command line says about the map, as text; read by RenderJob.
struct RenderOptions;

// Empty options, for a command line to fill.
std::shared_ptr<RenderOptions> newRenderOptions();
// Adds every option of `gloam render` that shapes the map (all but --time,
// -o and --quality, which say what is written) to `app`, bound to `options`.
void addMapOptions(CLI::App& app, RenderOptions& options);

class RenderJob {
public:
    // Checks the options (UsageError for a bad one) and reads the pictures
    // that every instant shares. A base map of the widget's is read when an
    // instant of its month is first drawn.
    explicit RenderJob(const RenderOptions& options);
    ~RenderJob();
    RenderJob(const RenderJob&) = delete;
    RenderJob& operator=(const RenderJob&) = delete;

    // The map at `millis` (milliseconds since 1970 UTC): pixel for pixel the
    // picture `gloam render --time` draws for that instant. Safe to call from
    // several threads at once; a month's fitted base map is kept while
    // instants of that month or the one before are being drawn.
    platform::Image draw(double millis) const;
    // The same picture for a job that draws no other: its pictures are fitted
    // for this one alone, and the base map becomes the picture rather than
    // being copied into it. The job draws nothing after it.
    platform::Image drawOnly(double millis) &&;

private:
    struct State;
    static platform::Image drawAt(const State& state, double millis, bool only);
    std::unique_ptr<State> state_;
};

// Writes `picture` at `output` in the format its name asks for (PNG, JPEG or
// WebP, or PNG on standard output for "-"), at `quality` for a JPEG or WebP,
// replacing the file whole or not at all; a runtime_error that says why when
// it cannot.
void savePicture(
    const platform::Image& picture, const std::string& output, std::optional<int> quality);

} // namespace cli
