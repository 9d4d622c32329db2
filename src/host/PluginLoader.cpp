#include "host/PluginLoader.h"

#include "platform/Bundle.h"
#include "platform/PropertyList.h"

#include <dlfcn.h>
#include <filesystem>
#include <system_error>
#include <vector>

namespace host {

namespace fs = std::filesystem;

namespace {

bool isPlainFileName(const std::string& name)
{
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos
        && name.find('\0') == std::string::npos;
}

// The module inside Contents/Linux/: the one that CFBundleExecutable names
// (with or without ".so"), or else the only ".so" there.
std::string findModule(const fs::path& contents, const platform::PropertyList& info)
{
    fs::path folder = contents / "Linux";
    std::error_code error;
    if (auto executable = info.string("CFBundleExecutable")) {
        if (!isPlainFileName(*executable))
            throw PluginLoadError("CFBundleExecutable \"" + *executable + "\" is not a file name");
        for (const fs::path& candidate : {folder / *executable, folder / (*executable + ".so")}) {
            if (fs::is_regular_file(candidate, error))
                return candidate.string();
        }
        throw PluginLoadError("the module " + (folder / *executable).string() + " does not exist");
    }
    std::vector<fs::path> found;
    for (fs::directory_iterator entry(folder, error), end; !error && entry != end;
         entry.increment(error)) {
        if (entry->path().extension() == ".so" && entry->is_regular_file(error))
            found.push_back(entry->path());
    }
    if (found.size() != 1)
        throw PluginLoadError(folder.string()
            + (found.empty() ? " holds no module"
                             : " holds several modules and no CFBundleExecutable"));
    return found.front().string();
}

template<typename Fn> Fn entryPoint(void* module, const char* symbol, const std::string& modulePath)
{
    dlerror();
    void* address = dlsym(module, symbol);
    if (!address)
        throw PluginLoadError(modulePath + " does not export " + symbol);
    return reinterpret_cast<Fn>(address);
}

} // namespace

void PluginLoader::ModuleCloser::operator()(void* handle) const
{
    dlclose(handle);
}

PluginLoader::PluginLoader(const std::string& bundleDir, void* webView)
{
    std::error_code error;
    fs::path bundle = fs::absolute(bundleDir, error).lexically_normal();
    if (error || !fs::is_directory(bundle, error))
        throw PluginLoadError("no plug-in bundle at " + bundleDir);
    if (!bundle.has_filename())
        bundle = bundle.parent_path();
    m_bundlePath = bundle.string();

    fs::path contents = bundle / "Contents";
    auto info = platform::PropertyList::readDictionary((contents / "Info.plist").string());
    if (!info)
        throw PluginLoadError(
            (contents / "Info.plist").string() + " is missing or not a dictionary");
    auto identifier = info->string("CFBundleIdentifier");
    if (!identifier || identifier->empty())
        throw PluginLoadError((contents / "Info.plist").string() + " has no CFBundleIdentifier");
    m_identifier = *identifier;
    m_modulePath = findModule(contents, *info);

    // RTLD_LOCAL: the module's symbols never satisfy another module's
    // references, so two plug-ins' copies of the platform layer stay apart.
    m_module.reset(dlopen(m_modulePath.c_str(), RTLD_NOW | RTLD_LOCAL));
    if (!m_module) {
        const char* why = dlerror();
        throw PluginLoadError("cannot load " + m_modulePath + ": " + (why ? why : "unknown error"));
    }

    auto abiVersion = entryPoint<platform::PluginAbiVersionFn>(
        m_module.get(), platform::kPluginAbiVersionSymbol, m_modulePath);
    auto registerBundle = entryPoint<platform::PluginRegisterBundleFn>(
        m_module.get(), platform::kPluginRegisterBundleSymbol, m_modulePath);
    auto create = entryPoint<platform::PluginCreateFn>(
        m_module.get(), platform::kPluginCreateSymbol, m_modulePath);
    auto destroy = entryPoint<platform::PluginDestroyFn>(
        m_module.get(), platform::kPluginDestroySymbol, m_modulePath);

    int version = abiVersion();
    if (version != platform::kPluginAbiVersion)
        throw PluginLoadError(m_modulePath + " speaks plug-in interface version "
            + std::to_string(version) + ", this host speaks version "
            + std::to_string(platform::kPluginAbiVersion));

    // The bundle is recorded twice: in the host's registry, and in the
    // module's own copy of it (the module links the platform layer
    // privately), which is where the plug-in looks itself up.
    platform::registerBundle(m_identifier, m_bundlePath);
    registerBundle(m_identifier.c_str(), m_bundlePath.c_str());

    platform::WebPlugin* created = nullptr;
    try {
        created = create(webView);
    } catch (const std::exception& e) {
        throw PluginLoadError(m_modulePath + " failed to create its plug-in: " + e.what());
    }
    if (!created)
        throw PluginLoadError(m_modulePath + " created no plug-in");
    m_plugin
        = std::unique_ptr<platform::WebPlugin, PluginDestroyer>(created, PluginDestroyer {destroy});
}

PluginLoader::~PluginLoader() = default;

} // namespace host
