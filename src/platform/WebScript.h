// WebScript: the scripting bridge between a widget host and the objects it
// shows to a page's script. A plug-in describes its class (every operation,
// every field, and the rules for which of them script may see); the host
// installs plug-ins on the page's window object and calls what is exposed.
// Header-only interfaces: the host owns the window object, the plug-in module
// owns the plug-ins it creates (destroyed through its own entry point).
#pragma once

#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace platform {

enum class ScriptType { Void, Float, Double, Int32, Bool, String };

// One operation of a class as a host sees it: the full selector name, with a
// colon per parameter ("setShadowLevel:"), and its parameter and result types.
struct Selector {
    std::string name;
    std::vector<ScriptType> parameters;
    ScriptType result = ScriptType::Void;
    friend bool operator==(const Selector&, const Selector&) = default;
};

// A value crossing the bridge. Numbers of every width travel as double; a
// Void result is the monostate.
using ScriptValue = std::variant<std::monostate, double, bool, std::string>;

// The class-level side of a scriptable object: what the class has, and what
// of it script may see.
class ScriptClass {
public:
    virtual ~ScriptClass() = default;
    virtual std::string className() const = 0;
    // Every operation of the class, exposed or not, so that a host can ask
    // the rules below about each.
    virtual std::vector<Selector> selectors() const = 0;
    // Every field of the class.
    virtual std::vector<std::string> keys() const = 0;
    // The name under which script calls `selector`; none for an operation
    // that has no script name.
    virtual std::optional<std::string> webScriptNameForSelector(const Selector& selector) const = 0;
    virtual bool isSelectorExcludedFromWebScript(const Selector& selector) const = 0;
    virtual bool isKeyExcludedFromWebScript(const std::string& key) const = 0;
};

class ScriptObject {
public:
    virtual ~ScriptObject() = default;
    virtual const ScriptClass& scriptClass() const = 0;
    // Runs `selector` with arguments already converted to its parameter
    // types (numbers as double). Hosts call only exposed operations.
    virtual ScriptValue invoke(const Selector& selector, const std::vector<ScriptValue>& args) = 0;
    // The value of the field `key`, for a host that shows script a field the
    // class does not exclude. A class that excludes every field (as plug-ins
    // usually do) need not override this.
    virtual ScriptValue valueForKey(const std::string& key) const
    {
        (void)key;
        return {};
    }
};

// The page's window script object, implemented by the host.
class WindowScriptObject {
public:
    virtual ~WindowScriptObject() = default;
    // Installs `value` under `key`, replacing what was there (set-value-for-key).
    virtual void setValueForKey(ScriptObject* value, const std::string& key) = 0;
};

// A widget plug-in: a script object that a host creates from a loaded module
// and tells when the page's window object is available.
class WebPlugin : public ScriptObject {
public:
    virtual void windowScriptObjectAvailable(WindowScriptObject& window) = 0;
};

// The C entry points every plug-in module exports, found with dlsym.
//   int  gloam_plugin_abi_version(void);                     kPluginAbiVersion
//   void gloam_plugin_register_bundle(const char* identifier, const char* path);
//   WebPlugin* gloam_plugin_create(void* webView);           initWithWebView:
//   void gloam_plugin_destroy(WebPlugin*);
inline constexpr int kPluginAbiVersion = 1;
inline constexpr const char* kPluginAbiVersionSymbol = "gloam_plugin_abi_version";
inline constexpr const char* kPluginRegisterBundleSymbol = "gloam_plugin_register_bundle";
inline constexpr const char* kPluginCreateSymbol = "gloam_plugin_create";
inline constexpr const char* kPluginDestroySymbol = "gloam_plugin_destroy";

extern "C" {
using PluginAbiVersionFn = int (*)();
using PluginRegisterBundleFn = void (*)(const char* identifier, const char* path);
using PluginCreateFn = WebPlugin* (*)(void* webView);
using PluginDestroyFn = void (*)(WebPlugin*);
}

} // namespace platform
