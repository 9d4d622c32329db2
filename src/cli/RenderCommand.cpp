// gloam render: the day/night map of any instant as a PNG, JPEG or WebP file,
// once or kept current, for wallpapers and scripts: the widget's pictures or the caller's, five
// projections from the flat map to the globe, any size, any centre, with a
// graticule on request.
#include "cli/Command.h"
#include "cli/OptionValues.h"
#include "cli/RenderJob.h"
#include "cli/RenderLoop.h"
#include "cli/RenderOutput.h"
#include "cli/RenderPictures.h"
#include "cli/TimeArg.h"
#include "cli/WidgetLocation.h"

#include "GloamPlugin.h"
#include "host/WidgetInfo.h"
#include "platform/Canvas.h"
#include "platform/Files.h"
#include "platform/PropertyList.h"
#include "platform/SideThread.h"
#include "umb/UMBAzimuthalEquidistant.h"
#include "umb/UMBEquirectangular.h"
#include "umb/UMBImageOps.h"
#include "umb/UMBMillerCylindrical.h"
#include "umb/UMBMollweide.h"
#include "umb/UMBMoon.h"
#include "umb/UMBOrthographic.h"
#include "umb/UMBPhaseDisc.h"
#include "umb/UMBSun.h"
#include "umb/UMBTwilight.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <limits>
#include <memory>
#include <mutex>
#include <new>
#include <numbers>
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
// The sun picture's size is given for a map of this many rows.
constexpr double kMarkerRows = 512.0;

} // namespace

namespace cli {

struct RenderOptions {
    std::string time = "now";
    std::optional<std::string> widget, projection, size, shadow, center, grid, base, lights, sun,
        blur, terminator, markerSize, background, gridColor, lightsPoints, quality;
    bool moon = false;
    std::string output;
};

} // namespace cli

namespace {

using cli::RenderOptions;

enum class Projection { Equirectangular, Miller, Orthographic, Azimuthal, Mollweide };

// Everything the command line asks for, checked, before anything is drawn.
struct Request {
    double millis = 0;
    Projection projection = Projection::Equirectangular;
    std::optional<std::pair<int, int>> size;
    std::optional<float> shadow;
    std::optional<platform::Point> center;
    std::optional<std::pair<int, int>> grid;
    int blur = 6;
    umb::UMBTerminatorStyle terminator = umb::UMBTerminatorStyle::Blur;
    bool moon = false;
    std::optional<std::array<uint8_t, 3>> background;
    std::optional<std::array<uint8_t, 4>> gridColor;
    std::optional<int> markerSize;
};

bool cylindrical(Projection p)
{
    return p == Projection::Equirectangular || p == Projection::Miller;
}

Request checked(const RenderOptions& o)
{
    Request r;
    r.millis = cli::instantFromOption("--time", o.time);
    if (o.projection) {
        const std::pair<const char*, Projection> names[]
            = {{"equirectangular", Projection::Equirectangular}, {"miller", Projection::Miller},
                {"orthographic", Projection::Orthographic}, {"azimuthal", Projection::Azimuthal},
                {"mollweide", Projection::Mollweide}};
        auto named = std::find_if(std::begin(names), std::end(names),
            [&](const auto& n) { return *o.projection == n.first; });
        if (named == std::end(names))
            throw cli::UsageError("--projection: '" + *o.projection
                + "' is not a projection; give equirectangular, miller, orthographic, azimuthal "
                  "or mollweide");
        r.projection = named->second;
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
        // A flat map's rows cannot be moved north or south without wrapping
        // the poles round; the azimuthal maps centre on any latitude.
        if (r.center->y != 0 && cylindrical(r.projection))
            throw cli::UsageError("--center: a latitude other than 0 would wrap the map's rows; "
                                  "use --projection orthographic or azimuthal to centre on "
                + parts[1]);
        if (r.center->y != 0 && r.projection == Projection::Mollweide)
            throw cli::UsageError("--center: mollweide keeps the equator across its middle; "
                                  "give latitude 0, or use --projection orthographic or azimuthal");
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
    if (o.background) {
        auto c = cli::hexColour("--background", *o.background, false);
        r.background = {c[0], c[1], c[2]};
    }
    if (o.gridColor)
        r.gridColor = cli::hexColour("--grid-color", *o.gridColor, true);
    if (o.markerSize)
        r.markerSize
            = cli::wholeInRange("--marker-size", *o.markerSize, "a marker size in pixels", 1, 1024);
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
        return GloamPlugin::worldImagePath(bundle(), name);
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

// The city lights: a picture (RGBA lights, or an opaque night map that is
// then the whole night side), a lights-point file, or none.
struct Lights {
    // The picture, waiting for the bundled one if it is still being decoded.
    std::shared_ptr<const platform::Image> picture() const
    {
        return decoding.valid() ? decoding.get() : given;
    }
    std::shared_ptr<const platform::Image> given; // by --lights
    // The bundled picture, decoded on the second core while the first reads
    // the base map: together the two are most of a small map's work.
    std::shared_future<std::shared_ptr<const platform::Image>> decoding;
    std::unique_ptr<platform::SideThread> decoder;
    bool nightMap = false; // the picture is opaque
    std::optional<std::string> points;
};

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
    if (!std::isfinite(at.x) || !std::isfinite(at.y))
        return; // on the far side of the globe
    umb::UMBPhaseDisc::draw(*pixels, at, moon.diameter, direction, moon.illuminated);
    // On a flat map a disc across a side edge shows at both, as the sun does.
    for (double shift : renderer.markerCopies(at.x - moon.diameter / 2, moon.diameter))
        if (shift != 0)
            umb::UMBPhaseDisc::draw(
                *pixels, {at.x + shift, at.y}, moon.diameter, direction, moon.illuminated);
}

// No pixel of the picture lets the map show through.
bool opaque(const platform::Image& picture)
{
    const platform::Bitmap* b = picture.bitmap();
    if (!b || !b->hasAlpha())
        return b != nullptr;
    const uint8_t* p = b->data();
    for (size_t i = 0, n = size_t(b->width()) * size_t(b->height()); i < n; ++i, p += 4)
        if (p[3] != 255)
            return false;
    return true;
}

// A lights-point file: whole 12-byte records (colour, longitude, latitude).
void requireLightsPoints(const std::string& path)
{
    requireFile("--lights-points", path);
    std::error_code error;
    const auto size = fs::file_size(path, error);
    if (error || size % 12 != 0)
        throw cli::UsageError("--lights-points: " + path + " is " + std::to_string(size)
            + " bytes, not whole 12-byte records (colour, longitude, latitude)");
}

// The pictures of one month fitted to the map: what every instant of that
// month draws over and with.
struct Fitted {
    int width = 0, height = 0;
    std::shared_ptr<platform::Image> base; // taken by a job's last picture
    std::shared_ptr<const platform::Image> lights; // none: from its file, or no lights
    bool stretchLights = false; // the renderer stretches the lights as it draws them
    // The sun's size on this map (none: the sun picture's own), and the Moon's.
    std::optional<double> markerSize;
    double moonDiameter = 0;
};

// The picture in `path`, decoded on another core into `picture`; none if it
// is not one. The thread is `decoder`'s to keep until the picture is taken.
void decodeBeside(std::string path,
    std::shared_future<std::shared_ptr<const platform::Image>>& picture,
    std::unique_ptr<platform::SideThread>& decoder)
{
    std::packaged_task<std::shared_ptr<const platform::Image>()> decode(
        [path = std::move(path)]() -> std::shared_ptr<const platform::Image> {
            platform::ErrorOr<platform::Image> read = platform::Image::fromFile(path);
            if (!read || !read->bitmap())
                return nullptr;
            return std::make_shared<const platform::Image>(std::move(*read));
        });
    picture = decode.get_future().share();
    auto task = std::make_shared<decltype(decode)>(std::move(decode));
    try {
        decoder = std::make_unique<platform::SideThread>([task] { (*task)(); });
    } catch (const std::system_error&) {
        (*task)(); // no thread to be had: decoded here and now
    }
}

// The base map and the lights picture on the pixel grid of `renderer`, a
// renderer of the map's size that nothing has moved yet: stretched and
// centred on the map's centre, or resampled through the projection.
template<class Renderer>
Fitted fit(Renderer& renderer, const Request& request, platform::Image base, const Lights& lights)
{
    const int w = int(renderer.mapwidth()), h = int(renderer.mapheight());
    const platform::Point center = request.center.value_or(platform::Point {});
    const bool moved = center.x != 0.0 || center.y != 0.0;
    const std::shared_ptr<const platform::Image> lightsPicture = lights.picture();
    std::optional<platform::Image> lightsFitted; // made for this map
    bool shareLights = false; // the decoded picture serves as it is
    bool stretchLights = false;

    if constexpr (!Renderer::kCylindrical) {
        // The pictures are equirectangular: each pixel of the globe takes the
        // colour of the place the projection puts there, a row at a time.
        renderer.setMaporigin(center);
        auto rows = [&renderer](int y, double* lon, double* lat) {
            renderer.geographicRow(y, 0.5f, 0.5f, lon, lat);
        };
        // Mollweide shows the world across its width; the globes show it
        // largest at their centre, a radian to half the disc.
        const int detail = std::is_same_v<Renderer, umb::UMBMollweide>
            ? w
            : int(std::lround(std::numbers::pi * std::min(w, h)));
        base = cli::reprojectedRows(base, w, h, rows, detail);
        if (lightsPicture)
            lightsFitted = cli::reprojectedRows(*lightsPicture, w, h, rows, detail);
    } else if constexpr (std::is_same_v<Renderer, umb::UMBMillerCylindrical>) {
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
            // map's size. A night map is read on the grid as it is.
            const bool fits = lp.width() == w && lp.height() == h;
            stretchLights = !fits && !moved && !lights.nightMap;
            shareLights = (fits && !moved) || stretchLights;
            if (!shareLights)
                lightsFitted = fits ? lightsPicture->clone() : cli::stretched(*lightsPicture, w, h);
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
    fitted.base = std::make_shared<platform::Image>(std::move(base));
    if (shareLights)
        fitted.lights = lightsPicture;
    else if (lightsFitted)
        fitted.lights = std::make_shared<const platform::Image>(std::move(*lightsFitted));
    fitted.stretchLights = stretchLights;
    return fitted;
}

template<class Renderer>
platform::Image drawMap(Renderer& renderer, const Request& request, const Fitted& fitted,
    const Lights& lights, const Source& sun, float level, platform::Point subsolar,
    const std::optional<MoonMarker>& moon, bool takeBase)
{
    renderer.setAlpha(level);
    renderer.setBlurdepth(request.blur);
    renderer.setTerminatorStyle(request.terminator);
    renderer.setSunimgpath(sun.path);
    renderer.setMarkerSize(fitted.markerSize);
    if (request.gridColor) {
        const auto& c = *request.gridColor;
        renderer.setGridColor(
            platform::Color::deviceRGB(c[0] / 255.0, c[1] / 255.0, c[2] / 255.0, c[3] / 255.0));
    }
    // Where fitting left the origin: the map's centre in every projection.
    renderer.setMaporigin(request.center.value_or(platform::Point {}));
    // A fitted lights picture is handed to the renderer as it is: written
    // out and read back it would cost more than drawing the whole map.
    renderer.setLightsimgpath(lights.points);
    if (fitted.lights && lights.nightMap)
        renderer.setNightPicture(fitted.lights);
    else if (fitted.lights)
        renderer.setLightsPicture(fitted.lights, fitted.stretchLights);

    // Drawn from the shared base, which the composite copies once, unless no
    // other picture will be drawn from it.
    platform::Image composite = takeBase
        ? renderer.drawCompositeImage(std::move(*fitted.base), subsolar)
        : renderer.drawCompositeImage(*fitted.base, subsolar);
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

// Calls `f` with a renderer of the projection `request` asks for, `w` x `h`.
template<class F> auto withRenderer(Projection projection, int w, int h, F&& f)
{
    switch (projection) {
    case Projection::Miller: {
        umb::UMBMillerCylindrical renderer {float(w), float(h)};
        return f(renderer);
    }
    case Projection::Orthographic: {
        umb::UMBOrthographic renderer {float(w), float(h)};
        return f(renderer);
    }
    case Projection::Azimuthal: {
        umb::UMBAzimuthalEquidistant renderer {float(w), float(h)};
        return f(renderer);
    }
    case Projection::Mollweide: {
        umb::UMBMollweide renderer {float(w), float(h)};
        return f(renderer);
    }
    case Projection::Equirectangular:
        break;
    }
    umb::UMBEquirectangular renderer {float(w), float(h)};
    return f(renderer);
}

} // namespace

namespace cli {

struct RenderJob::State {
    Request request;
    // Finds its bundle when first asked; after the constructor, only under
    // the mutex.
    mutable WidgetResources widget;
    Source sun;
    Lights lights; // decoded once
    float level = 0;
    double sunWidth = 0; // of the sun picture, 0 without one
    std::optional<double> bundledSunSide; // the widget's sun picture's larger side
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
        if (!options.sun || *options.sun != "none") {
            sun.given = options.sun.has_value();
            sun.path = options.sun ? *options.sun : widget.worldImage(GloamPlugin::kSunImage);
            if (sun.given)
                pictureOrThrow("--sun", *sun.path);
        }
        if (options.lightsPoints) {
            requireLightsPoints(*options.lightsPoints);
            if (options.lights && *options.lights != "none")
                throw cli::UsageError("--lights-points: give either --lights (a picture) or "
                                      "--lights-points, not both");
            lights.points = *options.lightsPoints;
        } else if (options.lights && *options.lights != "none") {
            // Told by its content, whatever its name.
            requireFile("--lights", *options.lights);
            std::optional<platform::Image> picture = platform::Image::fromFile(*options.lights);
            if (!picture || !picture->bitmap())
                throw cli::UsageError("--lights: " + *options.lights
                    + " is not a JPEG or PNG picture; give a lights-point file with "
                      "--lights-points");
            lights.nightMap = opaque(*picture);
            lights.given = std::make_shared<const platform::Image>(std::move(*picture));
        } else if (!options.lights) {
            decodeBeside(
                widget.worldImage(GloamPlugin::kLightsImage), lights.decoding, lights.decoder);
        }
        if (options.base)
            base = pictureOrThrow("--base", *options.base);
        // A night map is the night side itself, unless a level says otherwise.
        level = request.shadow ? *request.shadow : lights.nightMap ? 1.0f : widget.shadowLevel();
        // The sun is drawn at the bundled picture's size for a map of 512
        // rows, scaled with the map's height, unless the command line says
        // otherwise.
        if (!request.markerSize) {
            if (std::optional<platform::Image> bundled
                = platform::Image::fromFile(widget.worldImage(GloamPlugin::kSunImage))) {
                const platform::Size s = bundled->size();
                bundledSunSide = std::max(s.width, s.height);
            }
        }
        if (request.moon && sun.path) {
            std::optional<platform::Image> sunPicture = platform::Image::fromFile(*sun.path);
            sunWidth = sunPicture ? sunPicture->size().width : 0;
        }
    }

    // The base map of `month` (0 for the one --base names) and the lights,
    // fitted to the map, read and fitted when first asked for.
    // With `keep` false the pictures are made for the caller alone.
    std::shared_ptr<const Fitted> fittedFor(int month, bool keep = true) const
    {
        std::lock_guard<std::mutex> lock(mutex);
        for (const auto& [m, f] : fitted) {
            if (m == month && keep)
                return f;
        }
        platform::Image picture;
        if (base) {
            picture = base->clone();
        } else {
            const std::string path = widget.worldImage(GloamPlugin::baseMapName(month));
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
        } else if (request.projection == Projection::Miller) {
            h = std::max(1, int(std::lround(w * kMillerShape)));
        } else if (request.projection == Projection::Orthographic
            || request.projection == Projection::Azimuthal) {
            w = h; // a square as high as the base map
        }
        std::shared_ptr<Fitted> made;
        try {
            made = withRenderer(request.projection, w, h, [&](auto& renderer) {
                return std::make_shared<Fitted>(fit(renderer, request, std::move(picture), lights));
            });
        } catch (const std::bad_alloc&) {
            throw outOfMemory(w, h);
        }
        if (request.markerSize)
            made->markerSize = *request.markerSize;
        else if (bundledSunSide)
            made->markerSize = std::max(1.0, std::round(*bundledSunSide * h / kMarkerRows));
        // The Moon at the sun's marker size.
        made->moonDiameter = made->markerSize ? *made->markerSize
            : sunWidth > 0                    ? sunWidth
                                              : kMarkerWithoutSun;
        if (!keep)
            return made;
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
    return drawAt(*state_, millis, false);
}

platform::Image RenderJob::drawOnly(double millis) &&
{
    return drawAt(*state_, millis, true);
}

platform::Image RenderJob::drawAt(const State& s, double millis, bool only)
{
    const umb::UMBDate date = cli::engineDateAt(millis);
    umb::UMBSun theSun;
    theSun.calculateForInstant(date, {0, 0});
    const platform::Point subsolar = theSun.getSubsolar();
    const std::shared_ptr<const Fitted> fitted = s.fittedFor(s.base ? 0 : date.Month(), !only);
    // The Moon at the same instant.
    std::optional<MoonMarker> moon;
    if (s.request.moon) {
        const umb::UMBMoon theMoon(date.JD(), {0, 0});
        MoonMarker marker;
        marker.sublunar = theMoon.getSublunar();
        marker.illuminated = theMoon.getIlluminated();
        marker.diameter = fitted->moonDiameter;
        moon = marker;
    }
    try {
        platform::Image composite = withRenderer(
            s.request.projection, fitted->width, fitted->height, [&](auto& renderer) {
                return drawMap(
                    renderer, s.request, *fitted, s.lights, s.sun, s.level, subsolar, moon, only);
            });
        if (s.request.background)
            composite = cli::overBackground(composite, *s.request.background);
        return composite;
    } catch (const std::bad_alloc&) {
        throw outOfMemory(fitted->width, fitted->height);
    }
}

void savePicture(
    const platform::Image& picture, const std::string& output, std::optional<int> quality)
{
    cli::writeOutput(picture, output, cli::outputFormat(output), quality);
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
           "equirectangular (the default), miller, orthographic (the globe seen from above "
           "--center), azimuthal (equidistant from --center, the whole world in a disc) or "
           "mollweide (equal-area, the whole world in an ellipse); the pictures are "
           "reprojected for all but the first")
        ->type_name("NAME");
    app.add_option("--size", o->size,
           "Width x height in pixels, 1 to 16384 each (default: the base map's; for miller "
           "its width and the 1000:734 shape; for orthographic and azimuthal a square of "
           "its height)")
        ->type_name("WxH");
    app.add_option("--shadow", o->shadow,
           "Opacity of the night shade, 0 (none) to 1 (black); levels beyond are "
           "drawn as 0 or 1 (default: the widget's "
           "user.plist, else 0.75)")
        ->type_name("L");
    app.add_option("--center", o->center,
           "The point drawn at the centre of the map: longitude, latitude in degrees "
           "(default 0,0); a latitude other than 0 only for orthographic and azimuthal")
        ->type_name("LON,LAT");
    app.add_option("--grid", o->grid,
           "Meridians every A and parallels every B degrees, 1 to 180 (default: none)")
        ->type_name("A,B");
    app.add_option("--grid-color", o->gridColor,
           "Colour of the grid's lines in hexadecimal (default 00000040, black at 25 %)")
        ->type_name("RRGGBB[AA]");
    app.add_option("--base", o->base,
           "Base map, a whole-world equirectangular JPEG or PNG (default: the widget's map "
           "of the instant's month, in universal time)")
        ->type_name("FILE");
    app.add_option("--lights", o->lights,
           "City lights, a whole-world equirectangular JPEG or PNG: RGBA lights over the "
           "night side, or an opaque night map drawn as the night side; or none (default: "
           "the widget's)")
        ->type_name("FILE|none");
    app.add_option("--lights-points", o->lightsPoints,
           "City lights from a lights-point file of 12-byte records (colour, longitude, "
           "latitude) instead of a picture")
        ->type_name("FILE");
    app.add_option("--sun", o->sun,
           "Picture drawn over the subsolar point, or none (default: the widget's)")
        ->type_name("FILE|none");
    app.add_option("--marker-size", o->markerSize,
           "Size of the sun picture and the Moon's disc in pixels, 1 to 1024 (default: the "
           "widget's sun scaled with the map's height against 512 rows)")
        ->type_name("PX");
    app.add_option("--background", o->background,
           "Colour of what lies off the globe or ellipse, in hexadecimal (default: "
           "transparent)")
        ->type_name("RRGGBB");
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
}

} // namespace cli

namespace {

// The output's format and quality, checked: a UsageError for a file that is
// not a picture format or a quality a PNG cannot take.
std::optional<int> checkedQuality(const RenderOptions& options)
{
    if (options.output.empty())
        throw cli::UsageError("-o: give the picture file to write, such as -o map.png");
    const cli::OutputFormat format = cli::outputFormat(options.output);
    if (!options.quality)
        return std::nullopt;
    const int quality = cli::wholeInRange("--quality", *options.quality, "a quality", 1, 100);
    if (format == cli::OutputFormat::Png || format == cli::OutputFormat::StandardOutput)
        throw cli::UsageError(
            "--quality: a PNG is lossless; give --quality with a .jpg or .webp output");
    return quality;
}

int render(const RenderOptions& options, const cli::RepeatOptions& repeat)
{
    const std::optional<cli::Repeat> every = cli::checkedRepeat(repeat, options.time != "now");
    const double millis = cli::instantFromOption("--time", options.time);
    checked(options);
    const std::optional<int> quality = checkedQuality(options);
    cli::RenderJob job(options);
    if (every)
        return cli::renderRepeatedly(
            *every, options.output, quality, [&job](double at) { return job.draw(at); });
    cli::savePicture(std::move(job).drawOnly(millis), options.output, quality);
    return cli::kExitOk;
}

cli::Command::Registration registration {{
    "render",
    "Render the day/night map of an instant to a PNG, JPEG or WebP file",
    [](CLI::App& app) -> std::function<int()> {
        std::shared_ptr<RenderOptions> o = cli::newRenderOptions();
        app.add_option("-o,--output", o->output,
               "The picture file to write (required): .png, .jpg, .jpeg or .webp by its name, "
               "or - for PNG on standard output")
            ->type_name("FILE");
        app.add_option("--time", o->time, cli::kTimeOptionHelp)->type_name("T");
        cli::addMapOptions(app, *o);
        app.add_option("--quality", o->quality,
               "JPEG and WebP quality, 1 to 100 (JPEG default 90; a WebP is lossless without it)")
            ->type_name("Q");
        auto repeat = std::make_shared<cli::RepeatOptions>();
        cli::addRepeatOptions(app, *repeat);
        app.footer(
            "Examples:\n"
            "  gloam render -o now.png\n"
            "  gloam render --time 2026-06-21T12:00:00Z --center 90,0 --grid 30,30 -o "
            "solstice.png\n"
            "  gloam render --projection miller --size 1920x1080 --shadow 0.9 -o wallpaper.jpg\n"
            "  gloam render --projection orthographic --center 10,50 --background 000000 -o "
            "globe.png\n"
            "  gloam render --terminator bands --moon -o twilight.png\n"
            "  gloam render --every 10m --exec 'feh --bg-fill \"$1\"' -o ~/.cache/gloam.png\n"
            "A bad value exits with status 2 and writes nothing; a file that cannot be written,\n"
            "with status 1. The file is replaced whole or not at all.\n"
            "A negative value may be joined with '=': --center=-75,40");
        return [o, repeat] { return render(*o, *repeat); };
    },
}};

} // namespace
