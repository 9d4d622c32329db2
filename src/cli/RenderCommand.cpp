// gloam render: the day/night map of any instant as a PNG file, for
// wallpapers and scripts: the widget's pictures or the caller's, either
// projection, any size, any centre, with a graticule on request.
#include "cli/Command.h"
#include "cli/OptionValues.h"
#include "cli/RenderJob.h"
#include "cli/RenderLoop.h"
#include "cli/RenderPictures.h"
#include "cli/TimeArg.h"
#include "cli/WidgetLocation.h"

#include "GloamPlugin.h"
#include "host/WidgetInfo.h"
#include "platform/Canvas.h"
#include "platform/Files.h"
#include "platform/PropertyList.h"
#include "umb/UMBEquirectangular.h"
#include "umb/UMBImageOps.h"
#include "umb/UMBMillerCylindrical.h"
#include "umb/UMBMoon.h"
#include "umb/UMBPhaseDisc.h"
#include "umb/UMBSun.h"
#include "umb/UMBTwilight.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

constexpr int kLargestSide = 16384;
// The whole world in Miller's projection is about 1000 : 734.
constexpr double kMillerShape = 734.0 / 1000.0;
constexpr float kLevelWithoutConfiguration = 0.75f;
// The Moon's disc when there is no sun picture to take its size from.
constexpr double kMarkerWithoutSun = 32.0;

} // namespace

namespace cli {

struct RenderOptions {
    std::string time = "now";
    std::optional<std::string> widget, projection, size, shadow, center, grid, base, lights, sun,
        blur, terminator, markerSize;
    bool moon = false;
    std::string output;
};

} // namespace cli

namespace {

using cli::RenderOptions;

// Everything the command line asks for, checked, before anything is drawn.
struct Request {
    double millis = 0;
    bool miller = false;
    std::optional<std::pair<int, int>> size;
    std::optional<float> shadow;
    std::optional<platform::Point> center;
    std::optional<std::pair<int, int>> grid;
    int blur = 6;
    umb::UMBTerminatorStyle terminator = umb::UMBTerminatorStyle::Blur;
    bool moon = false;
    std::optional<int> markerSize;
    std::string output;
};

Request checked(const RenderOptions& o)
{
    Request r;
    r.millis = cli::instantFromOption("--time", o.time);
    if (o.projection) {
        if (*o.projection == "miller")
            r.miller = true;
        else if (*o.projection != "equirectangular")
            throw cli::UsageError("--projection: '" + *o.projection
                + "' is not a projection; give equirectangular or miller");
    }
    if (o.size) {
        std::string text = *o.size;
        for (char& c : text)
            c = c == 'X' ? 'x' : c;
        auto parts = cli::splitValues("--size", text, 'x', 2, "WxH, such as 1024x512");
        r.size = {cli::wholeInRange("--size", parts[0], "a width", 1, kLargestSide),
            cli::wholeInRange("--size", parts[1], "a height", 1, kLargestSide)};
    }
    if (o.shadow) {
        // Any finite level is the renderer's to take; it clamps the shade.
        double level = cli::numberInRange("--shadow", *o.shadow, "the shadow level",
            -std::numeric_limits<double>::max(), std::numeric_limits<double>::max());
        if (!std::isfinite(float(level)))
            throw cli::UsageError("--shadow: " + *o.shadow + " is too large for a level; "
                + "0 draws no shade, 1 a black night side");
        r.shadow = float(level);
    }
    if (o.center) {
        auto parts = cli::splitValues("--center", *o.center, ',', 2, "LON,LAT, such as 90,0");
        r.center
            = platform::Point {cli::numberInRange("--center", parts[0], "a longitude", -180, 180),
                cli::numberInRange("--center", parts[1], "a latitude", -90, 90)};
    }
    if (o.grid) {
        auto parts = cli::splitValues("--grid", *o.grid, ',', 2, "A,B, such as 30,30");
        r.grid = {cli::wholeInRange("--grid", parts[0], "a longitude step", 1, 180),
            cli::wholeInRange("--grid", parts[1], "a latitude step", 1, 180)};
    }
    if (o.blur)
        r.blur = cli::wholeInRange("--blur", *o.blur, "a blur radius in pixels", 1, 1000);
    if (o.terminator) {
        if (*o.terminator == "bands")
            r.terminator = umb::UMBTerminatorStyle::Bands;
        else if (*o.terminator == "smooth")
            r.terminator = umb::UMBTerminatorStyle::Smooth;
        else if (*o.terminator != "blur")
            throw cli::UsageError("--terminator: '" + *o.terminator
                + "' is not a terminator style; give blur, bands or smooth");
    }
    r.moon = o.moon;
    if (o.markerSize)
        r.markerSize
            = cli::wholeInRange("--marker-size", *o.markerSize, "a marker size in pixels", 1, 1024);
    r.output = o.output;
    return r;
}

// A picture the caller named, or one of the widget's.
struct Source {
    std::optional<std::string> path; // none: the layer is left out
    bool given = false; // named on the command line
};

void requireFile(const std::string& option, const std::string& path)
{
    std::error_code error;
    if (!fs::exists(path, error))
        throw cli::UsageError(option + ": " + path + " does not exist");
    if (!fs::is_regular_file(path, error))
        throw cli::UsageError(option + ": " + path + " is not a file");
    if (::access(path.c_str(), R_OK) != 0)
        throw cli::UsageError(option + ": " + path + " cannot be read");
}

bool endsWithPng(const std::string& path)
{
    return path.size() >= 4 && path.compare(path.size() - 4, 4, ".png") == 0;
}

platform::Image pictureOrThrow(const std::string& option, const std::string& path)
{
    requireFile(option, path);
    std::optional<platform::Image> picture = platform::Image::fromFile(path);
    if (!picture || !picture->bitmap())
        throw cli::UsageError(option + ": " + path + " is not a JPEG or PNG picture");
    return std::move(*picture);
}

// The widget's plug-in bundle, for whatever the command line leaves to it.
class WidgetResources {
public:
    explicit WidgetResources(const std::optional<std::string>& widget)
        : given_(widget)
    {
        if (widget)
            bundle(); // a folder named on the command line is checked at once
    }

    std::string worldImage(const std::string& name)
    {
        return bundle() + "/Contents/Resources/worldimages/" + name;
    }

    float shadowLevel()
    {
        auto configuration = platform::PropertyList::readDictionary(
            platform::joinPath(bundle(), GloamPlugin::kConfigurationPath));
        std::optional<double> level
            = configuration ? configuration->number(GloamPlugin::kShadowLevelKey) : std::nullopt;
        if (!level || !std::isfinite(float(*level)))
            return kLevelWithoutConfiguration;
        return float(*level);
    }

private:
    const std::string& bundle()
    {
        if (bundle_)
            return *bundle_;
        const std::string dir = cli::resolveWidgetDir(given_);
        host::WidgetInfo info;
        try {
            info = host::WidgetInfo::read(dir);
        } catch (const host::WidgetError& e) {
            throw cli::UsageError(std::string("--widget: ") + e.what());
        }
        if (!info.pluginBundle)
            throw cli::UsageError("--widget: the widget in " + info.widgetDir + " has no plug-in");
        bundle_ = *info.pluginBundle;
        return *bundle_;
    }

    std::optional<std::string> given_;
    std::optional<std::string> bundle_;
};

void drawGrid(platform::Image& composite, const platform::Image& grid)
{
    // The layers are built top row first; a canvas the other way up lays
    // them upright, as the composite itself does.
    platform::Canvas canvas(composite);
    canvas.drawImage(grid, platform::Rect {{0, 0}, composite.size()}, platform::Rect {},
        platform::CompositeOp::SourceOver, 1.0);
    canvas.end();
}

void saveOrThrow(const platform::Image& composite, const std::string& output)
{
    if (umb::UMBImageOps::saveImage(composite, output))
        return;
    std::error_code error;
    fs::path folder = fs::path(output).parent_path();
    if (folder.empty())
        folder = ".";
    std::string why = !fs::is_directory(folder, error) ? "its folder does not exist"
        : fs::is_directory(output, error)              ? "it is a folder"
                                                       : "the folder or the file is not writable";
    throw std::runtime_error("cannot write " + output + ": " + why);
}

// Where the Moon is drawn and how: its place, its phase, its size.
struct MoonMarker {
    platform::Point sublunar;
    double illuminated = 0;
    double diameter = 0;
};

// The point `distance` degrees from `from` along the great circle toward `to`.
platform::Point towardOnGlobe(platform::Point from, platform::Point to, double distance)
{
    constexpr double D = 0.017453292519943295;
    const double p1 = from.y * D, p2 = to.y * D, dl = (to.x - from.x) * D, d = distance * D;
    const double bearing = std::atan2(std::sin(dl) * std::cos(p2),
        std::cos(p1) * std::sin(p2) - std::sin(p1) * std::cos(p2) * std::cos(dl));
    const double lat
        = std::asin(std::sin(p1) * std::cos(d) + std::cos(p1) * std::sin(d) * std::cos(bearing));
    const double lon = from.x * D
        + std::atan2(std::sin(bearing) * std::sin(d) * std::cos(p1),
            std::cos(d) - std::sin(p1) * std::sin(lat));
    return {lon / D, lat / D};
}

// The Moon's phase disc at the sublunar point, its bright limb turned toward
// the subsolar point as the map shows that direction there.
template<class Renderer>
void drawMoon(const Renderer& renderer, platform::Image& composite, const MoonMarker& moon,
    platform::Point subsolar)
{
    platform::Bitmap* pixels = composite.bitmap();
    if (!pixels)
        return;
    const platform::Point at
        = renderer.geographicToPhysical(float(moon.sublunar.x), float(moon.sublunar.y));
    const platform::Point step = towardOnGlobe(moon.sublunar, subsolar, 1.0);
    const platform::Point next = renderer.geographicToPhysical(float(step.x), float(step.y));
    platform::Point direction {next.x - at.x, next.y - at.y};
    // A step across the map's side edge comes back from the other side.
    const double w = renderer.mapwidth();
    if (direction.x > w / 2)
        direction.x -= w;
    else if (direction.x < -w / 2)
        direction.x += w;
    umb::UMBPhaseDisc::draw(*pixels, at, moon.diameter, direction, moon.illuminated);
}

// The pictures of one month fitted to the map: what every instant of that
// month draws over and with.
struct Fitted {
    int width = 0, height = 0;
    std::shared_ptr<const platform::Image> base;
    std::shared_ptr<const platform::Image> lights; // none: from its file, or no lights
    bool stretchLights = false; // the renderer stretches the lights as it draws them
};

// The base map and the lights picture on the pixel grid of `renderer`, a
// renderer of the map's size that nothing has moved yet: stretched and
// centred on the map's centre, or resampled through Miller's projection.
template<class Renderer>
Fitted fit(Renderer& renderer, const Request& request, platform::Image base,
    const std::optional<platform::Image>& lightsPicture)
{
    const int w = int(renderer.mapwidth()), h = int(renderer.mapheight());
    const platform::Point center = request.center.value_or(platform::Point {});
    const bool moved = center.x != 0.0 || center.y != 0.0;
    std::optional<platform::Image> lightsFitted;
    bool stretchLights = false;

    if constexpr (std::is_same_v<Renderer, umb::UMBMillerCylindrical>) {
        // The bundled pictures are equirectangular: each Miller pixel takes
        // the colour of the place the renderer puts there. With the centre
        // set first, the pictures follow the same conversion as every layer,
        // on every row (re-centring by whole rows would not: Miller's rows
        // are not evenly spaced in latitude).
        renderer.setMaporigin(center);
        auto geographicOf
            = [&renderer](float x, float y) { return renderer.physicalToGeographic(x, y); };
        base = cli::reprojected(base, w, h, geographicOf);
        if (lightsPicture)
            lightsFitted = cli::reprojected(*lightsPicture, w, h, geographicOf);
    } else {
        const platform::Bitmap& pixels = *base.bitmap();
        if (moved && (pixels.width() != w || pixels.height() != h))
            base = cli::stretched(base, w, h);
        if (lightsPicture) {
            const platform::Bitmap& lp = *lightsPicture->bitmap();
            // The lights are read pixel for pixel on the map's grid, so they
            // are scaled to it and stay on their cities. Unmoved, the renderer
            // stretches them as it draws them, never holding a copy of the
            // map's size.
            const bool fits = lp.width() == w && lp.height() == h;
            stretchLights = !fits && !moved;
            lightsFitted
                = fits || !moved ? lightsPicture->clone() : cli::stretched(*lightsPicture, w, h);
        }
        if (moved) {
            base = renderer.centerImage(std::move(base), center);
            if (lightsFitted) {
                // centerImage moves a picture only from the old origin.
                renderer.setMaporigin({0, 0});
                lightsFitted = renderer.centerImage(std::move(*lightsFitted), center);
            }
        }
    }
    Fitted fitted;
    fitted.width = w;
    fitted.height = h;
    fitted.base = std::make_shared<const platform::Image>(std::move(base));
    if (lightsFitted)
        fitted.lights = std::make_shared<const platform::Image>(std::move(*lightsFitted));
    fitted.stretchLights = stretchLights;
    return fitted;
}

template<class Renderer>
platform::Image drawMap(Renderer& renderer, const Request& request, const Fitted& fitted,
    const Source& lights, const Source& sun, float level, platform::Point subsolar,
    const std::optional<MoonMarker>& moon)
{
    renderer.setAlpha(level);
    renderer.setBlurdepth(request.blur);
    renderer.setTerminatorStyle(request.terminator);
    renderer.setSunimgpath(sun.path);
    // Where fitting left the origin: the map's centre in both projections.
    renderer.setMaporigin(request.center.value_or(platform::Point {}));
    // A fitted lights picture is handed to the renderer as it is: written
    // out and read back it would cost more than drawing the whole map.
    renderer.setLightsimgpath(lights.path);
    if (fitted.lights)
        renderer.setLightsPicture(fitted.lights, fitted.stretchLights);

    // Drawn from the shared base, which the composite copies once.
    platform::Image composite = renderer.drawCompositeImage(*fitted.base, subsolar);
    if (request.grid)
        drawGrid(composite, renderer.drawGridLayer(request.grid->first, request.grid->second));
    if (moon)
        drawMoon(renderer, composite, *moon, subsolar);
    return composite;
}

std::runtime_error outOfMemory(int w, int h)
{
    // A few pictures of the map's size are held at once; the largest sizes
    // allowed need several gigabytes.
    return std::runtime_error("not enough memory for a " + std::to_string(w) + "x"
        + std::to_string(h) + " map; try a smaller --size");
}

} // namespace

namespace cli {

struct RenderJob::State {
    Request request;
    // Finds its bundle when first asked; after the constructor, only under
    // the mutex.
    mutable WidgetResources widget;
    Source lights, sun;
    float level = 0;
    double sunWidth = 0; // of the sun picture, 0 without one
    std::optional<platform::Image> lightsPicture; // a .png lights picture, decoded
    std::optional<platform::Image> base; // the one named by --base

    // Fitted pictures of the months last drawn, newest last: instants come
    // in order, and two months cover the frames drawn at once at a month's
    // turn without keeping a year of maps.
    mutable std::mutex mutex;
    mutable std::vector<std::pair<int, std::shared_ptr<const Fitted>>> fitted;

    explicit State(const RenderOptions& options)
        : request(checked(options))
        , widget(options.widget)
    {
        // The sources: what the command line names, else the widget's own.
        auto source = [&](const std::optional<std::string>& given, const char* option,
                          const char* bundled) {
            Source s;
            if (given && *given == "none")
                return s;
            s.given = given.has_value();
            s.path = given ? *given : widget.worldImage(bundled);
            if (s.given) {
                requireFile(option, *s.path);
                if (endsWithPng(*s.path) || std::string(option) == "--sun")
                    pictureOrThrow(option, *s.path);
            }
            return s;
        };
        lights = source(options.lights, "--lights", "earth_lights_sm.png");
        sun = source(options.sun, "--sun", "sun.png");
        if (lights.path && endsWithPng(*lights.path))
            lightsPicture = pictureOrThrow("--lights", *lights.path);
        if (options.base)
            base = pictureOrThrow("--base", *options.base);
        level = request.shadow ? *request.shadow : widget.shadowLevel();
        if (request.moon && sun.path) {
            std::optional<platform::Image> sunPicture = platform::Image::fromFile(*sun.path);
            sunWidth = sunPicture ? sunPicture->size().width : 0;
        }
    }

    // The base map of `month` (0 for the one --base names) and the lights,
    // fitted to the map, read and fitted when first asked for.
    std::shared_ptr<const Fitted> fittedFor(int month) const
    {
        std::lock_guard<std::mutex> lock(mutex);
        for (const auto& [m, f] : fitted) {
            if (m == month)
                return f;
        }
        platform::Image picture;
        if (base) {
            picture = base->clone();
        } else {
            const std::string path
                = widget.worldImage("world_sm." + std::to_string(month) + ".jpg");
            std::optional<platform::Image> decoded = platform::Image::fromFile(path);
            if (!decoded || !decoded->bitmap())
                throw std::runtime_error("the widget has no readable map for month "
                    + std::to_string(month) + " (" + path + "); name one with --base");
            picture = std::move(*decoded);
        }
        const platform::Bitmap& pixels = *picture.bitmap();
        int w = pixels.width(), h = pixels.height();
        if (request.size) {
            w = request.size->first;
            h = request.size->second;
        } else if (request.miller) {
            h = std::max(1, int(std::lround(w * kMillerShape)));
        }
        std::shared_ptr<const Fitted> made;
        try {
            if (request.miller) {
                umb::UMBMillerCylindrical renderer {float(w), float(h)};
                made = std::make_shared<const Fitted>(
                    fit(renderer, request, std::move(picture), lightsPicture));
            } else {
                umb::UMBEquirectangular renderer {float(w), float(h)};
                made = std::make_shared<const Fitted>(
                    fit(renderer, request, std::move(picture), lightsPicture));
            }
        } catch (const std::bad_alloc&) {
            throw outOfMemory(w, h);
        }
        if (fitted.size() == 2)
            fitted.erase(fitted.begin());
        fitted.emplace_back(month, made);
        return made;
    }
};

RenderJob::RenderJob(const RenderOptions& options)
    : state_(std::make_unique<State>(options))
{
}

RenderJob::~RenderJob() = default;

platform::Image RenderJob::draw(double millis) const
{
    const State& s = *state_;
    const umb::UMBDate date = cli::engineDateAt(millis);
    umb::UMBSun theSun;
    theSun.calculateForInstant(date, {0, 0});
    const platform::Point subsolar = theSun.getSubsolar();
    // The Moon at the same instant, as large as the sun picture unless the
    // command line says otherwise.
    std::optional<MoonMarker> moon;
    if (s.request.moon) {
        const umb::UMBMoon theMoon(date.JD(), {0, 0});
        MoonMarker marker;
        marker.sublunar = theMoon.getSublunar();
        marker.illuminated = theMoon.getIlluminated();
        marker.diameter = s.request.markerSize ? double(*s.request.markerSize)
            : s.sunWidth > 0                   ? s.sunWidth
                                               : kMarkerWithoutSun;
        moon = marker;
    }
    const std::shared_ptr<const Fitted> fitted = s.fittedFor(s.base ? 0 : date.Month());
    try {
        if (s.request.miller) {
            umb::UMBMillerCylindrical renderer {float(fitted->width), float(fitted->height)};
            return drawMap(renderer, s.request, *fitted, s.lights, s.sun, s.level, subsolar, moon);
        }
        umb::UMBEquirectangular renderer {float(fitted->width), float(fitted->height)};
        return drawMap(renderer, s.request, *fitted, s.lights, s.sun, s.level, subsolar, moon);
    } catch (const std::bad_alloc&) {
        throw outOfMemory(fitted->width, fitted->height);
    }
}

void savePicture(const platform::Image& picture, const std::string& output)
{
    saveOrThrow(picture, output);
}

std::shared_ptr<RenderOptions> newRenderOptions()
{
    return std::make_shared<RenderOptions>();
}

void addMapOptions(CLI::App& app, RenderOptions& options)
{
    RenderOptions* o = &options;
    app.add_option("--widget", o->widget,
           "Widget whose pictures and shadow level are the defaults (default: the built "
           "widget, else the installed one)")
        ->type_name("DIR");
    app.add_option("--projection", o->projection,
           "equirectangular (the default) or miller; the pictures are reprojected for miller")
        ->type_name("NAME");
    app.add_option("--size", o->size,
           "Width x height in pixels, 1 to 16384 each (default: the base map's; for miller "
           "its width and the 1000:734 shape)")
        ->type_name("WxH");
    app.add_option("--shadow", o->shadow,
           "Opacity of the night shade, 0 (none) to 1 (black); levels beyond are "
           "drawn as 0 or 1 (default: the widget's "
           "user.plist, else 0.75)")
        ->type_name("L");
    app.add_option("--center", o->center,
           "The point drawn at the centre of the map: longitude, latitude in degrees "
           "(default 0,0)")
        ->type_name("LON,LAT");
    app.add_option("--grid", o->grid,
           "Meridians every A and parallels every B degrees, 1 to 180 (default: none)")
        ->type_name("A,B");
    app.add_option("--base", o->base,
           "Base map, a whole-world equirectangular JPEG or PNG (default: the widget's map "
           "of the instant's month, in universal time)")
        ->type_name("FILE");
    app.add_option("--lights", o->lights,
           "City lights: an equirectangular PNG picture, or a lights-point file (any name "
           "not ending in .png), or none (default: the widget's)")
        ->type_name("FILE|none");
    app.add_option("--sun", o->sun,
           "Picture drawn over the subsolar point, or none (default: the widget's)")
        ->type_name("FILE|none");
    app.add_option(
           "--blur", o->blur, "Blur radius of the shade's edge in pixels, 1 to 1000 (default 6)")
        ->type_name("R");
    app.add_option("--terminator", o->terminator,
           "blur (the default, the widget's blurred edge), bands (civil, nautical and "
           "astronomical twilight in steps) or smooth (a ramp from the Sun's altitude "
           "-0.833 to -18 degrees); with bands and smooth the lights fade in with the dark")
        ->type_name("STYLE");
    app.add_flag("--moon", o->moon,
        "Draw the Moon at the sublunar point as a disc showing its phase, the bright limb "
        "toward the Sun");
    app.add_option("--marker-size", o->markerSize,
           "Diameter of the Moon's disc in pixels, 1 to 1024 (default: the sun picture's "
           "width)")
        ->type_name("PX");
}

} // namespace cli

namespace {

int render(const RenderOptions& options, const cli::RepeatOptions& repeat)
{
    if (options.output.empty())
        throw cli::UsageError("-o: give the PNG file to write, such as -o map.png");
    const std::optional<cli::Repeat> every = cli::checkedRepeat(repeat, options.time != "now");
    const double millis = cli::instantFromOption("--time", options.time);
    const cli::RenderJob job(options);
    if (every)
        return cli::renderRepeatedly(
            *every, options.output, [&job](double at) { return job.draw(at); });
    cli::savePicture(job.draw(millis), options.output);
    return cli::kExitOk;
}

cli::Command::Registration registration {{
    "render",
    "Render the day/night map of an instant to a PNG file",
    [](CLI::App& app) -> std::function<int()> {
        std::shared_ptr<RenderOptions> o = cli::newRenderOptions();
        app.add_option("-o,--output", o->output, "The PNG file to write (required)")
            ->type_name("FILE");
        app.add_option("--time", o->time, cli::kTimeOptionHelp)->type_name("T");
        cli::addMapOptions(app, *o);
        auto repeat = std::make_shared<cli::RepeatOptions>();
        cli::addRepeatOptions(app, *repeat);
        app.footer(
            "Examples:\n"
            "  gloam render -o now.png\n"
            "  gloam render --time 2026-06-21T12:00:00Z --center 90,0 --grid 30,30 -o "
            "solstice.png\n"
            "  gloam render --projection miller --size 1920x1080 --shadow 0.9 -o wallpaper.png\n"
            "  gloam render --terminator bands --moon -o twilight.png\n"
            "  gloam render --every 10m --exec 'feh --bg-fill \"$1\"' -o ~/.cache/gloam.png\n"
            "A bad value exits with status 2 and writes nothing; a file that cannot be written,\n"
            "with status 1. The file is replaced whole or not at all.\n"
            "A negative value may be joined with '=': --center=-75,40");
        return [o, repeat] { return render(*o, *repeat); };
    },
}};

} // namespace
