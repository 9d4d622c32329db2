// PluginLoader: one plug-in bundle loaded into the host. Opens the bundle's
// module with dlopen, registers the bundle under its identifier, and creates
// the plug-in through the module. The loader owns the module handle and the
// plug-in; it destroys the plug-in through the module before closing it.
#pragma once

#include "platform/WebScript.h"

#include <memory>
#include <stdexcept>
#include <string>

namespace host {

// Why a bundle could not be loaded, in words fit for the user.
struct PluginLoadError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class PluginLoader {
public:
    // Loads the bundle at `bundleDir` (the folder holding Contents/) and
    // creates its plug-in with initWithWebView:, passing `webView` through.
    // Throws PluginLoadError when the bundle, its module or its entry points
    // are missing or wrong, or when the module creates no plug-in.
    explicit PluginLoader(const std::string& bundleDir, void* webView = nullptr);
    ~PluginLoader();

    PluginLoader(const PluginLoader&) = delete;
    PluginLoader& operator=(const PluginLoader&) = delete;

    platform::WebPlugin& plugin() const { return *m_plugin; }
    // CFBundleIdentifier from the bundle's Contents/Info.plist.
    const std::string& identifier() const { return m_identifier; }
    // The absolute path under which the bundle was registered.
    const std::string& bundlePath() const { return m_bundlePath; }
    const std::string& modulePath() const { return m_modulePath; }

private:
    struct ModuleCloser {
        void operator()(void* handle) const;
    };
    struct PluginDestroyer {
        platform::PluginDestroyFn destroy;
        void operator()(platform::WebPlugin* plugin) const { destroy(plugin); }
    };

    std::string m_identifier;
    std::string m_bundlePath;
    std::string m_modulePath;
    // Declared before the plug-in so that it is closed after it.
    std::unique_ptr<void, ModuleCloser> m_module;
    std::unique_ptr<platform::WebPlugin, PluginDestroyer> m_plugin;
};

} // namespace host
