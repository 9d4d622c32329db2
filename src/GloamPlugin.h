// GloamPlugin: the widget plug-in. The host creates it from the loaded module,
// it installs itself on the page's window object as "GloamPlugin", and the
// page's script sees exactly getCurrentComposite, setShadowLevel and
// getShadowLevel. Keeps the shadow level in memory and in the bundle's
// user.plist; owns its bundle path and, between requests, the last base map
// and lights picture it decoded, with the bytes they were decoded from.
#pragma once

#include "platform/Files.h"
#include "platform/Geometry.h"
#include "platform/PropertyList.h"
#include "platform/WebScript.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform {
class Image;
}

class GloamPlugin final : public platform::WebPlugin {
public:
    // The CFBundleIdentifier of the plug-in's bundle, under which the host
    // registers the bundle it loaded the module from.
    static constexpr const char* kBundleIdentifier = "org.gloam.widget.GloamPlugin";
    // The key on the window script object.
    static constexpr const char* kScriptKey = "GloamPlugin";
    // The configuration file inside the bundle and its one setting.
    static constexpr const char* kConfigurationPath = "Contents/Resources/user.plist";
    static constexpr const char* kShadowLevelKey = "shadowlevel";
    // The pictures the bundle ships, by name, and where a bundle keeps them.
    // Inline: the command finds a widget's pictures without the plug-in.
    static constexpr const char* kSunImage = "sun.png";
    static constexpr const char* kLightsImage = "earth_lights_sm.png";
    static std::string baseMapName(int32_t month) // of month 1..12
    {
        return "world_sm." + std::to_string(month) + ".jpg";
    }
    static std::string worldImagePath(const std::string& bundle, const std::string& name)
    {
        return bundle + "/Contents/Resources/worldimages/" + name;
    }
    // The picture every request writes: Images/current.png beside the bundle.
    static std::string picturePath(const std::string& bundle)
    {
        return platform::parentPath(bundle) + "/Images/current.png";
    }

    // Every operation of the class, as the host's bridge sees it.
    static inline const platform::Selector kInitWithWebView {
        "initWithWebView:", {platform::ScriptType::Void}, platform::ScriptType::Void};
    static inline const platform::Selector kWindowScriptObjectAvailable {
        "windowScriptObjectAvailable:", {platform::ScriptType::Void}, platform::ScriptType::Void};
    static inline const platform::Selector kGetCurrentComposite {
        "getCurrentComposite", {}, platform::ScriptType::String};
    static inline const platform::Selector kSetShadowLevel {
        "setShadowLevel:", {platform::ScriptType::Float}, platform::ScriptType::Void};
    static inline const platform::Selector kGetShadowLevel {
        "getShadowLevel", {}, platform::ScriptType::Float};
    static inline const platform::Selector kReadConfiguration {
        "readConfiguration", {}, platform::ScriptType::Void};
    static inline const platform::Selector kWriteConfiguration {
        "writeConfiguration", {}, platform::ScriptType::Void};
    static inline const platform::Selector kDealloc {"dealloc", {}, platform::ScriptType::Void};

    // initWithWebView: (the web view is not used). Finds the bundle directory
    // registered under kBundleIdentifier and takes the shadow level from the
    // configuration. Without a registered bundle the plug-in has no
    // configuration: the level starts at 0 and no file is read or written.
    explicit GloamPlugin(void* webView = nullptr);
    ~GloamPlugin() override; // dealloc

    void windowScriptObjectAvailable(platform::WindowScriptObject& window) override;

    // Takes the instant, computes the Sun, draws the day/night map over the
    // universal-time month's base map into Images/current.png beside the
    // bundle, stores the shadow level in the configuration, and returns the
    // instant as "MM-dd-yyyy hh:mm:ss a zzz" in the default time zone. A
    // month whose map cannot be loaded draws and saves nothing; the text is
    // still returned and the configuration still written.
    std::string getCurrentComposite();

    // No range is enforced: negative levels and levels above 1 are kept as
    // given. A level that is not a finite number is not a level and is
    // ignored (the current one stays). Nothing is written to disk here.
    void setShadowLevel(float level);
    float getShadowLevel() const { return m_alphalevel; }

    // The configuration as a dictionary; none when the file is missing, is not
    // a dictionary, or the plug-in has no bundle.
    std::optional<platform::PropertyList> readConfiguration() const;
    // Rewrites the configuration with the current level, keeping every other
    // key and the file's format. Never creates the file.
    void writeConfiguration() const;

    // The shadow level a configuration holds: its "shadowlevel" entry read as
    // a number (a real or an integer, a boolean as 1 or 0, a string holding
    // just a decimal number); 0 for no configuration, no entry, an entry of
    // any other kind, and a value that is not finite as a 32-bit float (NaN,
    // an infinity, or beyond the float range).
    static float shadowLevelFrom(const std::optional<platform::PropertyList>& configuration);

    // The class-level rules the host asks before exposing anything. An
    // operation is known by its name, as a selector is.
    static std::optional<std::string> webScriptNameForSelector(const platform::Selector& selector);
    static bool isSelectorExcludedFromWebScript(const platform::Selector& selector);
    static bool isKeyExcludedFromWebScript(const std::string& key);

    const platform::ScriptClass& scriptClass() const override;
    // Runs an exposed operation. Anything else, or arguments of the wrong
    // number or type, throws std::invalid_argument and changes nothing.
    platform::ScriptValue invoke(const platform::Selector& selector,
        const std::vector<platform::ScriptValue>& args) override;

    const std::string& appath() const { return m_appath; }

    // The base map of `month` (1..12) in the bundle, and the picture every
    // request writes.
    std::string baseMapPath(int32_t month) const;
    std::string outputPath() const;

private:
    std::string configurationPath() const;
    // Draws and saves the composite; says why when no picture was written,
    // nothing when one was.
    std::optional<std::string> drawComposite(int32_t month, platform::Point subsolar) const;

    // A picture file as last read and decoded: a request whose file holds the
    // same bytes takes the picture as it is, so that the host's requests
    // decode each bundled picture once, not each time.
    struct DecodedFile {
        std::vector<uint8_t> bytes;
        std::shared_ptr<const platform::Image> image;
    };
    static std::shared_ptr<const platform::Image> decoded(
        const std::string& path, DecodedFile& last);

    std::string m_appath; // the plug-in's bundle directory; empty when none was registered
    float m_alphalevel = 0;
    mutable DecodedFile m_base, m_lights;
};
