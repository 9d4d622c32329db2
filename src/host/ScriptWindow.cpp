#include "host/ScriptWindow.h"

#include "platform/Log.h"

#include <algorithm>

namespace host {

Exposure Exposure::of(const platform::ScriptClass& scriptClass)
{
    Exposure exposure;
    for (const auto& selector : scriptClass.selectors()) {
        if (scriptClass.isSelectorExcludedFromWebScript(selector))
            continue;
        std::string name = scriptClass.webScriptNameForSelector(selector).value_or(
            defaultScriptName(selector.name));
        if (!isScriptIdentifier(name)) {
            platform::log("host: " + scriptClass.className() + " names " + selector.name + " \""
                + name + "\", which script cannot call; it stays hidden");
            continue;
        }
        if (exposure.method(name)) {
            platform::log("host: " + scriptClass.className() + " gives the script name " + name
                + " twice; " + selector.name + " stays hidden");
            continue;
        }
        exposure.methods.push_back({std::move(name), selector});
    }
    for (const auto& key : scriptClass.keys()) {
        if (scriptClass.isKeyExcludedFromWebScript(key))
            continue;
        if (!isScriptIdentifier(key) || exposure.method(key) || exposure.hasKey(key)) {
            platform::log("host: " + scriptClass.className() + " field " + key + " stays hidden");
            continue;
        }
        exposure.keys.push_back(key);
    }
    return exposure;
}

const ExposedMethod* Exposure::method(std::string_view scriptName) const
{
    auto it = std::find_if(methods.begin(), methods.end(),
        [&](const ExposedMethod& method) { return method.scriptName == scriptName; });
    return it == methods.end() ? nullptr : &*it;
}

bool Exposure::hasKey(std::string_view key) const
{
    return std::find(keys.begin(), keys.end(), key) != keys.end();
}

std::string defaultScriptName(const std::string& selectorName)
{
    std::string name;
    for (char c : selectorName) {
        if (c == '_')
            name += "$_";
        else if (c == ':')
            name += '_';
        else
            name += c;
    }
    return name;
}

bool isScriptIdentifier(std::string_view name)
{
    if (name.empty() || (name.front() >= '0' && name.front() <= '9'))
        return false;
    return std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')
            || c == '_' || c == '$';
    });
}

void ScriptWindow::setValueForKey(platform::ScriptObject* value, const std::string& key)
{
    if (!isScriptIdentifier(key)) {
        platform::log("host: a plug-in tried to install an object under \"" + key
            + "\", which is not a script identifier");
        return;
    }
    auto it = std::find_if(
        m_entries.begin(), m_entries.end(), [&](const Entry& entry) { return entry.key == key; });
    if (!value) {
        if (it != m_entries.end())
            m_entries.erase(it);
    } else if (it != m_entries.end()) {
        it->object = value;
    } else {
        m_entries.push_back({key, value});
    }
}

platform::ScriptObject* ScriptWindow::object(std::string_view key) const
{
    for (const auto& entry : m_entries) {
        if (entry.key == key)
            return entry.object;
    }
    return nullptr;
}

} // namespace host
