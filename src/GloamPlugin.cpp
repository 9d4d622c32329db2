#include "GloamPlugin.h"

#include "platform/Bundle.h"
#include "platform/Files.h"
#include "platform/Log.h"
#include "umb/UMBDate.h"
#include "umb/UMBEquirectangular.h"
#include "umb/UMBImageOps.h"
#include "umb/UMBSun.h"

#include <cmath>
#include <stdexcept>

namespace {

class GloamPluginClass final : public platform::ScriptClass {
public:
    std::string className() const override { return "GloamPlugin"; }
    std::vector<platform::Selector> selectors() const override
    {
        return {GloamPlugin::kInitWithWebView, GloamPlugin::kWindowScriptObjectAvailable,
            GloamPlugin::kGetCurrentComposite, GloamPlugin::kSetShadowLevel,
            GloamPlugin::kGetShadowLevel, GloamPlugin::kReadConfiguration,
            GloamPlugin::kWriteConfiguration, GloamPlugin::kDealloc};
    }
    std::vector<std::string> keys() const override { return {"appath", "alphalevel"}; }
    std::optional<std::string> webScriptNameForSelector(
        const platform::Selector& selector) const override
    {
        return GloamPlugin::webScriptNameForSelector(selector);
    }
    bool isSelectorExcludedFromWebScript(const platform::Selector& selector) const override
    {
        return GloamPlugin::isSelectorExcludedFromWebScript(selector);
    }
    bool isKeyExcludedFromWebScript(const std::string& key) const override
    {
        return GloamPlugin::isKeyExcludedFromWebScript(key);
    }
};

bool isScriptMethod(const platform::Selector& selector)
{
    return selector.name == GloamPlugin::kGetCurrentComposite.name
        || selector.name == GloamPlugin::kSetShadowLevel.name
        || selector.name == GloamPlugin::kGetShadowLevel.name;
}

} // namespace

GloamPlugin::GloamPlugin(void* webView)
{
    static_cast<void>(webView);
    m_appath = platform::bundlePathForIdentifier(kBundleIdentifier).value_or(std::string());
    m_alphalevel = shadowLevelFrom(readConfiguration());
}

GloamPlugin::~GloamPlugin() = default;

void GloamPlugin::windowScriptObjectAvailable(platform::WindowScriptObject& window)
{
    window.setValueForKey(this, kScriptKey);
}

std::string GloamPlugin::getCurrentComposite()
{
    umb::UMBDate date;
    umb::UMBSun sun(date);
    // Fixed before anything is drawn, so the text names the instant drawn.
    std::string text = date.getCurrentFormat();
    const platform::Point subsolar = sun.getSubsolar();
    // The text names an instant the page will not see drawn: whoever runs
    // the host hears why.
    if (auto failure = drawComposite(date.Month(), subsolar))
        platform::log("GloamPlugin: " + outputPath() + " was not replaced: " + *failure);

    writeConfiguration();
    return text;
}

std::string GloamPlugin::baseMapPath(int32_t month) const
{
    return worldImagePath(m_appath, baseMapName(month));
}

std::string GloamPlugin::outputPath() const
{
    return picturePath(m_appath);
}

std::shared_ptr<const platform::Image> GloamPlugin::decoded(
    const std::string& path, DecodedFile& last)
{
    platform::ErrorOr<std::vector<uint8_t>> bytes = platform::readFile(path, size_t(1) << 28);
    if (bytes && last.image && *bytes == last.bytes)
        return last.image;
    std::optional<platform::Image> image;
    if (bytes)
        image = platform::Image::fromBytes(*bytes);
    if (!image || !image->bitmap()) {
        last = {};
        return nullptr;
    }
    last = {std::move(*bytes), std::make_shared<const platform::Image>(std::move(*image))};
    return last.image;
}

std::optional<std::string> GloamPlugin::drawComposite(int32_t month, platform::Point subsolar) const
{
    if (m_appath.empty())
        return "the plug-in has no bundle";
    // Without the month's map there is nothing to draw on: the renderer
    // would be 0 x 0. The last picture is left in place rather than replaced
    // by an empty one.
    std::shared_ptr<const platform::Image> base = decoded(baseMapPath(month), m_base);
    if (!base)
        return "the map " + baseMapPath(month) + " cannot be read";
    const platform::Bitmap& pixels = *base->bitmap();
    umb::UMBEquirectangular renderer(float(pixels.width()), float(pixels.height()));
    renderer.setAlpha(m_alphalevel);
    renderer.setSunimgpath(worldImagePath(m_appath, kSunImage));
    const std::string lights = worldImagePath(m_appath, kLightsImage);
    renderer.setLightsimgpath(lights);
    // Handed over decoded, the lights are drawn as from their file.
    if (std::shared_ptr<const platform::Image> picture = decoded(lights, m_lights))
        renderer.setLightsPicture(std::move(picture));
    // The composite is drawn into the copy.
    platform::Image composite = renderer.drawCompositeImage(base->clone(), subsolar);
    // The page only ever sees a whole picture: the file is replaced at once.
    platform::ErrorOr<void> written = composite.writePngFile(outputPath());
    if (written)
        return std::nullopt;
    return written.error().why();
}

void GloamPlugin::setShadowLevel(float level)
{
    if (std::isfinite(level))
        m_alphalevel = level;
}

std::string GloamPlugin::configurationPath() const
{
    return platform::joinPath(m_appath, kConfigurationPath);
}

std::optional<platform::PropertyList> GloamPlugin::readConfiguration() const
{
    // With no bundle there is no configuration: the path would otherwise
    // name a file in whatever the working directory happens to be.
    if (m_appath.empty())
        return std::nullopt;
    platform::ErrorOr<platform::PropertyList> configuration
        = platform::PropertyList::readDictionary(configurationPath());
    if (!configuration)
        return std::nullopt;
    return std::move(*configuration);
}

void GloamPlugin::writeConfiguration() const
{
    std::optional<platform::PropertyList> configuration = readConfiguration();
    if (!configuration)
        return; // never created, only updated
    configuration->setReal(kShadowLevelKey, static_cast<double>(m_alphalevel));
    // A failed write keeps the old file, and the page has no one to tell.
    static_cast<void>(configuration->writeToFile(configurationPath()));
}

float GloamPlugin::shadowLevelFrom(const std::optional<platform::PropertyList>& configuration)
{
    if (!configuration)
        return 0;
    std::optional<double> value = configuration->number(kShadowLevelKey);
    if (!value)
        return 0;
    auto level = static_cast<float>(*value);
    return std::isfinite(level) ? level : 0;
}

std::optional<std::string> GloamPlugin::webScriptNameForSelector(const platform::Selector& selector)
{
    if (isScriptMethod(selector)) {
        // The script name is the selector's name without its colon.
        std::string name = selector.name;
        if (!name.empty() && name.back() == ':')
            name.pop_back();
        return name;
    }
    platform::log("\tUnknown Selector");
    return std::nullopt;
}

bool GloamPlugin::isSelectorExcludedFromWebScript(const platform::Selector& selector)
{
    return !isScriptMethod(selector);
}

bool GloamPlugin::isKeyExcludedFromWebScript(const std::string&)
{
    return true;
}

const platform::ScriptClass& GloamPlugin::scriptClass() const
{
    static const GloamPluginClass instance;
    return instance;
}

platform::ScriptValue GloamPlugin::invoke(
    const platform::Selector& selector, const std::vector<platform::ScriptValue>& args)
{
    auto expectArguments = [&](size_t count) {
        if (args.size() != count) {
            throw std::invalid_argument(selector.name + " takes " + std::to_string(count)
                + " argument(s), not " + std::to_string(args.size()));
        }
    };
    if (selector.name == kGetCurrentComposite.name) {
        expectArguments(0);
        return getCurrentComposite();
    }
    if (selector.name == kSetShadowLevel.name) {
        expectArguments(1);
        const double* level = std::get_if<double>(&args[0]);
        if (!level)
            throw std::invalid_argument("setShadowLevel: takes a number");
        setShadowLevel(static_cast<float>(*level));
        return {};
    }
    if (selector.name == kGetShadowLevel.name) {
        expectArguments(0);
        return static_cast<double>(getShadowLevel());
    }
    throw std::invalid_argument(selector.name + " is not a script method of GloamPlugin");
}

// The module's entry points, found by the host with dlsym. Nothing may throw
// across them.
#define GLOAM_EXPORT extern "C" __attribute__((visibility("default")))

GLOAM_EXPORT int gloam_plugin_abi_version()
{
    return platform::kPluginAbiVersion;
}

// The module carries its own copy of the bundle registry, so the host
// registers the bundle it loaded here before it creates the plug-in.
GLOAM_EXPORT void gloam_plugin_register_bundle(const char* identifier, const char* path)
{
    if (!identifier || !path)
        return;
    try {
        platform::registerBundle(identifier, path);
    } catch (...) {
    }
}

GLOAM_EXPORT platform::WebPlugin* gloam_plugin_create(void* webView)
{
    try {
        return new GloamPlugin(webView);
    } catch (...) {
        return nullptr;
    }
}

GLOAM_EXPORT void gloam_plugin_destroy(platform::WebPlugin* plugin)
{
    delete plugin;
}
