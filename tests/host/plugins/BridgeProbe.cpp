// BridgeProbe: a plug-in module that exists only for the host's tests. It
// knows nothing of the host beyond the plug-in interface, and its class mixes
// operations that script may see with ones it must not, so that tests can
// check that the host exposes exactly what the class allows.
#include "platform/WebScript.h"

#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>

namespace {

using platform::ScriptType;
using platform::ScriptValue;
using platform::Selector;

std::map<std::string, std::string>& registeredBundles()
{
    static std::map<std::string, std::string> bundles;
    return bundles;
}

constexpr const char* kIdentifier = "org.gloam.tests.BridgeProbe";

const Selector kSetLevel {"setLevel:", {ScriptType::Float}, ScriptType::Void};
const Selector kLevel {"level", {}, ScriptType::Float};
const Selector kEcho {"echo:", {ScriptType::String}, ScriptType::String};
const Selector kScale {"scale:by:", {ScriptType::Double, ScriptType::Int32}, ScriptType::Double};
// Exposed without a script name: the host must fall back to its default.
const Selector kUnnamed {
    "unnamed:with:", {ScriptType::Int32, ScriptType::Int32}, ScriptType::Int32};
const Selector kBundlePath {"bundlePath", {}, ScriptType::String};
// Records overlapping calls and the threads that calls arrive on.
const Selector kSlowTick {"slowTick:", {ScriptType::Int32}, ScriptType::Int32};
const Selector kCallStats {"callStats", {}, ScriptType::String};
// Named, but excluded: script must never reach it.
const Selector kSecret {"secret", {}, ScriptType::String};

class ProbeClass final : public platform::ScriptClass {
public:
    std::string className() const override { return "BridgeProbe"; }
    std::vector<Selector> selectors() const override
    {
        return {kSetLevel, kLevel, kEcho, kScale, kUnnamed, kBundlePath, kSlowTick, kCallStats,
            kSecret};
    }
    std::vector<std::string> keys() const override { return {"level", "motto", "secretKey"}; }
    std::optional<std::string> webScriptNameForSelector(const Selector& selector) const override
    {
        static const std::map<std::string, std::string> names {{"setLevel:", "setLevel"},
            {"level", "getLevel"}, {"echo:", "echo"}, {"scale:by:", "scale"},
            {"bundlePath", "bundlePath"}, {"slowTick:", "slowTick"}, {"callStats", "callStats"},
            {"secret", "secret"}};
        auto it = names.find(selector.name);
        if (it == names.end())
            return std::nullopt;
        return it->second;
    }
    bool isSelectorExcludedFromWebScript(const Selector& selector) const override
    {
        return selector.name == "secret";
    }
    bool isKeyExcludedFromWebScript(const std::string& key) const override
    {
        return key != "motto";
    }
};

class Probe final : public platform::WebPlugin {
public:
    const platform::ScriptClass& scriptClass() const override
    {
        static const ProbeClass probeClass;
        return probeClass;
    }

    void windowScriptObjectAvailable(platform::WindowScriptObject& window) override
    {
        window.setValueForKey(this, "BridgeProbe");
    }

    ScriptValue valueForKey(const std::string& key) const override
    {
        if (key == "motto")
            return std::string("probing");
        return std::string("never shown");
    }

    ScriptValue invoke(const Selector& selector, const std::vector<ScriptValue>& args) override
    {
        noteThread();
        if (selector.name == "setLevel:") {
            m_level = static_cast<float>(std::get<double>(args.at(0)));
            return {};
        }
        if (selector.name == "level")
            return static_cast<double>(m_level);
        if (selector.name == "echo:")
            return std::get<std::string>(args.at(0));
        if (selector.name == "scale:by:")
            return std::get<double>(args.at(0)) * std::get<double>(args.at(1));
        if (selector.name == "unnamed:with:")
            return std::get<double>(args.at(0)) + std::get<double>(args.at(1));
        if (selector.name == "bundlePath") {
            auto it = registeredBundles().find(kIdentifier);
            return it == registeredBundles().end() ? std::string() : it->second;
        }
        if (selector.name == "slowTick:") {
            if (m_inCall.fetch_add(1) != 0)
                ++m_overlaps;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            m_inCall.fetch_sub(1);
            m_ticks.push_back(static_cast<int>(std::get<double>(args.at(0))));
            return static_cast<double>(m_ticks.size());
        }
        if (selector.name == "callStats") {
            std::lock_guard lock(m_threadsMutex);
            return "overlaps=" + std::to_string(m_overlaps.load()) + " threads="
                + std::to_string(m_threads.size()) + " ticks=" + std::to_string(m_ticks.size());
        }
        if (selector.name == "secret")
            return std::string("the host exposed an excluded operation");
        return {};
    }

private:
    void noteThread()
    {
        std::lock_guard lock(m_threadsMutex);
        m_threads.insert(std::this_thread::get_id());
    }

    float m_level = 0.25f;
    std::atomic<int> m_inCall {0};
    std::atomic<int> m_overlaps {0};
    std::vector<int> m_ticks;
    std::mutex m_threadsMutex;
    std::set<std::thread::id> m_threads;
};

} // namespace

extern "C" {

__attribute__((visibility("default"))) int gloam_plugin_abi_version()
{
    return platform::kPluginAbiVersion;
}

__attribute__((visibility("default"))) void gloam_plugin_register_bundle(
    const char* identifier, const char* path)
{
    registeredBundles()[identifier] = path;
}

__attribute__((visibility("default"))) platform::WebPlugin* gloam_plugin_create(void*)
{
    return new Probe;
}

__attribute__((visibility("default"))) void gloam_plugin_destroy(platform::WebPlugin* plugin)
{
    delete plugin;
}
}
