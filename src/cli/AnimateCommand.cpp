// gloam animate: a time-lapse of the day/night map, every frame the picture
// `gloam render` draws for its instant. Frames are drawn on every core and
// go to the encoder in order, a few at a time, so that memory stays that of
// a few frames however many there are; the file appears whole at the end.
#include "cli/Command.h"
#include "cli/Duration.h"
#include "cli/OptionValues.h"
#include "cli/RenderJob.h"
#include "cli/TimeArg.h"

#include "platform/ApngWriter.h"
#include "platform/AtomicFile.h"
#include "platform/Clock.h"
#include "platform/Files.h"
#include "platform/ImageCodec.h"
#include "platform/SideThread.h"
#include "platform/StopSignals.h"
#include "platform/WebpAnimation.h"

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <mutex>
#include <span>
#include <thread>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

constexpr int64_t kMostFrames = 100000;
constexpr int kExitInterrupted = 128; // plus the signal's number

struct AnimateOptions {
    std::string from, to, step, output;
    std::optional<std::string> fps, quality;
    bool quiet = false;
};

// A frame on its way to the file: encoded already, or the picture itself for
// an encoder that must see the frames in order.
struct Frame {
    std::vector<uint8_t> bytes;
    platform::Image picture;
};

// Where the frames go. encode() runs on the drawing threads, add() on one
// thread in frame order.
class FrameSink {
public:
    virtual ~FrameSink() = default;
    virtual Frame encode(platform::Image picture) const = 0;
    virtual void add(Frame frame) = 0;
    virtual void finish() = 0;
};

std::vector<uint8_t> pngOf(const platform::Image& frame)
{
    // The writer `gloam render` uses, at its settings: the same file.
    if (!frame.bitmap())
        throw std::runtime_error("a frame has no pixels to encode");
    platform::ErrorOr<std::vector<uint8_t>> png = platform::encodePng(*frame.bitmap());
    if (!png)
        throw std::runtime_error("a frame could not be encoded: " + png.error().message());
    return std::move(*png);
}

// frame-00001.png, frame-00002.png, ... each written whole on its own.
class FolderSink : public FrameSink {
public:
    FolderSink(std::string folder, int64_t count)
        : folder_(std::move(folder))
        , digits_(std::max<int>(5, int(std::to_string(count).size())))
    {
    }
    Frame encode(platform::Image picture) const override { return {pngOf(picture), {}}; }
    void add(Frame frame) override
    {
        char name[32];
        std::snprintf(name, sizeof name, "frame-%0*lld.png", digits_, (long long)++written_);
        const std::string path = platform::joinPath(folder_, name);
        platform::ErrorOr<void> written
            = platform::writeFileAtomically(path, frame.bytes, platform::Durability::Replaced);
        if (!written)
            throw std::runtime_error(written.error().message());
    }
    void finish() override { }

private:
    std::string folder_;
    int digits_;
    int64_t written_ = 0;
};

// The temporary an animation streams into, or the error of making it.
std::unique_ptr<platform::AtomicFile> opened(const std::string& path)
{
    platform::ErrorOr<std::unique_ptr<platform::AtomicFile>> file
        = platform::AtomicFile::begin(path);
    if (!file)
        throw std::runtime_error(file.error().message());
    return std::move(file.value());
}

// An animated PNG streamed into a temporary that becomes the file at the end.
class ApngSink : public FrameSink {
public:
    ApngSink(const std::string& path, int64_t count, int fps)
        : path_(path)
        , file_(opened(path))
        , writer_([this](std::span<const uint8_t> bytes) { return file_->write(bytes); },
              uint32_t(count), 1, uint16_t(fps))
    {
    }
    Frame encode(platform::Image picture) const override { return {pngOf(picture), {}}; }
    void add(Frame frame) override
    {
        if (!writer_.addFrame(frame.bytes))
            throw std::runtime_error("cannot write " + path_
                + ": a frame differs from the first in size or kind, or the disk is full");
    }
    void finish() override
    {
        if (!writer_.finish())
            throw std::runtime_error("cannot write " + path_ + ": the disk is full");
        platform::ErrorOr<void> committed = file_->commit(platform::Durability::Replaced);
        if (!committed)
            throw std::runtime_error(committed.error().message());
    }

private:
    std::string path_;
    std::unique_ptr<platform::AtomicFile> file_;
    platform::ApngWriter writer_;
};

// An animated WebP: the encoder takes the pixels in order on one thread.
class WebpSink : public FrameSink {
public:
    WebpSink(std::string path, int fps, std::optional<int> quality)
        : path_(std::move(path))
        , fps_(fps)
        , quality_(quality)
    {
    }
    // The picture goes over as it is; the encoder does the work.
    Frame encode(platform::Image picture) const override { return {{}, std::move(picture)}; }
    void add(Frame frame) override
    {
        const platform::Bitmap* pixels = frame.picture.bitmap();
        if (!pixels)
            throw std::runtime_error("cannot write " + path_ + ": a frame has no pixels");
        if (!animation_)
            animation_.emplace(
                pixels->width(), pixels->height(), int(std::lround(1000.0 / fps_)), quality_);
        if (!animation_->addFrame(*pixels))
            throw std::runtime_error(
                "cannot write " + path_ + ": the WebP encoder refused a frame (a different size?)");
    }
    void finish() override
    {
        std::optional<std::vector<uint8_t>> file = animation_ ? animation_->finish() : std::nullopt;
        if (!file)
            throw std::runtime_error("cannot write " + path_ + ": the WebP encoder failed");
        platform::ErrorOr<void> written
            = platform::writeFileAtomically(path_, *file, platform::Durability::Replaced);
        if (!written)
            throw std::runtime_error(written.error().message());
    }

private:
    std::string path_;
    int fps_;
    std::optional<int> quality_;
    std::optional<platform::WebpAnimation> animation_;
};

bool endsWith(const std::string& text, const std::string& suffix)
{
    return text.size() >= suffix.size()
        && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// One line on a terminal, rewritten in place: frames done, of how many, and
// the time left at the pace so far.
class Progress {
public:
    Progress(int64_t count, bool shown)
        : count_(count)
        , shown_(shown)
        , start_(platform::now().secondsSince1970)
    {
    }
    void update(int64_t done)
    {
        if (!shown_)
            return;
        const double now = platform::now().secondsSince1970;
        if (done < count_ && now - last_ < 0.2)
            return;
        last_ = now;
        const double left = done ? (now - start_) / double(done) * double(count_ - done) : 0;
        const long seconds = long(std::lround(left));
        std::fprintf(stderr, "\r\033[Kgloam animate: frame %lld of %lld, %ld:%02ld left",
            (long long)done, (long long)count_, seconds / 60, seconds % 60);
        std::fflush(stderr);
    }
    void end()
    {
        if (shown_)
            std::fprintf(stderr, "\r\033[K");
    }

private:
    int64_t count_;
    bool shown_;
    double start_, last_ = 0;
};

int animate(const AnimateOptions& o, const cli::RenderOptions& mapOptions)
{
    const double from = cli::instantFromOption("--from", o.from);
    const double to = cli::instantFromOption("--to", o.to);
    const int64_t step = cli::stepFromOption("--step", o.step);
    if (to < from)
        throw cli::UsageError("--to: " + o.to + " is before --from " + o.from);
    const int64_t count = cli::instantCount(from, to, step, kMostFrames);
    if (count > kMostFrames)
        throw cli::UsageError("--step: " + o.step + " makes more than "
            + std::to_string(kMostFrames) + " frames of that span; give a longer step");
    const int fps = o.fps ? cli::wholeInRange("--fps", *o.fps, "frames a second", 1, 60) : 10;
    std::optional<int> quality;
    if (o.quality)
        quality = cli::wholeInRange("--quality", *o.quality, "a WebP quality", 0, 100);
    if (o.output.empty())
        throw cli::UsageError("-o: give the file or folder to write, such as -o day.png");
    std::error_code error;
    const bool folder = endsWith(o.output, "/") || fs::is_directory(o.output, error);
    const bool webp = !folder && endsWith(o.output, ".webp");
    if (!folder && !webp && !endsWith(o.output, ".png"))
        throw cli::UsageError("-o: " + o.output
            + " is not a .png, a .webp or a folder (an existing one, or a name ending in /)");
    if (quality && !webp)
        throw cli::UsageError("--quality: only a .webp animation is lossy");

    const cli::RenderJob job(mapOptions);
    const platform::StopSignals stop;
    std::unique_ptr<FrameSink> sink;
    if (folder) {
        if (!fs::is_directory(o.output, error) && !fs::create_directory(o.output, error))
            throw std::runtime_error("cannot make the folder " + o.output + ": " + error.message());
        sink = std::make_unique<FolderSink>(o.output, count);
    } else if (webp) {
        sink = std::make_unique<WebpSink>(o.output, fps, quality);
    } else {
        sink = std::make_unique<ApngSink>(o.output, count, fps);
    }

    // Frames are drawn ahead of the writer by at most `window`: enough to
    // keep every core busy while one slow frame is awaited.
    const int threads = int(std::max(1u, std::thread::hardware_concurrency()));
    const int64_t window = int64_t(threads) * 2;
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::optional<Frame>> slots {size_t(window)};
    int64_t claimed = 0, written = 0;
    std::exception_ptr failure;

    auto work = [&] {
        // As many of these as cores: a frame's own work is not split.
        const platform::AllCoresBusy busy;
        for (;;) {
            int64_t index;
            {
                std::unique_lock<std::mutex> lock(mutex);
                changed.wait(lock, [&] {
                    return claimed >= count || failure || stop.stopped()
                        || claimed < written + window;
                });
                if (claimed >= count || failure || stop.stopped())
                    return;
                index = claimed++;
            }
            try {
                Frame encoded = sink->encode(job.draw(from + double(index) * double(step)));
                std::lock_guard<std::mutex> lock(mutex);
                slots[size_t(index % window)] = std::move(encoded);
            } catch (...) {
                std::lock_guard<std::mutex> lock(mutex);
                if (!failure)
                    failure = std::current_exception();
            }
            changed.notify_all();
        }
    };
    std::vector<std::thread> workers;
    for (int i = 0; i < threads; ++i)
        workers.emplace_back(work);

    Progress progress(count, !o.quiet && ::isatty(STDERR_FILENO));
    try {
        while (written < count) {
            Frame next;
            {
                std::unique_lock<std::mutex> lock(mutex);
                auto& slot = slots[size_t(written % window)];
                // A signal cannot notify; a short wait sees it soon enough.
                while (!slot && !failure && !stop.stopped())
                    changed.wait_for(lock, std::chrono::milliseconds(100));
                if (failure || stop.stopped())
                    break;
                next = std::move(*slot);
                slot.reset();
            }
            sink->add(std::move(next));
            {
                std::lock_guard<std::mutex> lock(mutex);
                ++written;
            }
            changed.notify_all();
            progress.update(written);
        }
    } catch (...) {
        std::lock_guard<std::mutex> lock(mutex);
        if (!failure)
            failure = std::current_exception();
    }
    changed.notify_all();
    for (std::thread& t : workers)
        t.join();
    progress.end();
    if (failure)
        std::rethrow_exception(failure);
    if (stop.stopped()) {
        std::fprintf(stderr, "gloam: animate: interrupted; %s\n",
            folder ? "the frames written so far are whole" : "nothing written");
        return kExitInterrupted + stop.signal();
    }
    sink->finish();
    return cli::kExitOk;
}

cli::Command::Registration registration {{
    "animate",
    "Render a time-lapse of the day/night map: an animated PNG or WebP, or a folder of frames",
    [](CLI::App& app) -> std::function<int()> {
        auto o = std::make_shared<AnimateOptions>();
        app.add_option("--from", o->from, "The first frame's instant, ISO 8601")
            ->type_name("T1")
            ->required();
        app.add_option("--to", o->to, "The last instant a frame may have, ISO 8601")
            ->type_name("T2")
            ->required();
        app.add_option("--step", o->step,
               "Time between frames: 30s, 10m, 1h, 1d or ISO 8601 such as PT10M, P1D")
            ->type_name("D")
            ->required();
        app.add_option("-o,--output", o->output,
               "name.png (animated PNG), name.webp (animated WebP) or a folder (an existing one "
               "or a name ending in /) for frame-00001.png, ... (required)")
            ->type_name("OUT");
        app.add_option("--fps", o->fps, "Frames a second, 1 to 60 (default 10)")->type_name("N");
        app.add_option("--quality", o->quality,
               "Lossy WebP at quality 0 to 100 (default: lossless, every pixel kept)")
            ->type_name("Q");
        app.add_flag("--quiet", o->quiet, "No progress line on standard error");
        std::shared_ptr<cli::RenderOptions> map = cli::newRenderOptions();
        cli::addMapOptions(app, *map);
        app.footer(
            "Every option of gloam render shapes the frames as it shapes a single map.\n"
            "Examples:\n"
            "  gloam animate --from 2026-06-21 --to 2026-06-22 --step 10m -o solstice.png\n"
            "  gloam animate --from 2026-01-01 --to 2026-12-31 --step P1D --fps 30 -o year.webp\n"
            "  gloam animate --from 2026-03-20 --to 2026-03-21 --step 1h -o frames/\n"
            "At most 100000 frames. A bad value exits with status 2 and writes nothing;\n"
            "an interrupted run leaves no partial file.");
        return [o, map] { return animate(*o, *map); };
    },
}};

} // namespace
