// ScriptWindow: the host's window script object. Plug-ins install themselves
// on it with setValueForKey; the bridge offers each installed object to the
// page under its key, with what its class exposes. The window holds the
// objects but does not own them: their plug-ins do, and remove them (or the
// host clears the window) before they go.
#pragma once

#include "platform/WebScript.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace host {

// One operation that script may call: its script name and the selector.
struct ExposedMethod {
    std::string scriptName;
    platform::Selector selector;
};

// What script may see of a class: exactly the operations that
// isSelectorExcludedFromWebScript: allows, under the names that
// webScriptNameForSelector: gives, and the fields that
// isKeyExcludedFromWebScript: allows.
struct Exposure {
    std::vector<ExposedMethod> methods; // in the class's order
    std::vector<std::string> keys;

    static Exposure of(const platform::ScriptClass& scriptClass);
    const ExposedMethod* method(std::string_view scriptName) const;
    bool hasKey(std::string_view key) const;
};

// The name script uses for an exposed operation whose class gives none: each
// '_' becomes "$_", then each ':' becomes '_' ("moveTo:by:" -> "moveTo_by_").
std::string defaultScriptName(const std::string& selectorName);

// Whether `name` can be a property of window or of a script object in
// generated script: a plain identifier of ASCII letters, digits, '_' and '$'.
bool isScriptIdentifier(std::string_view name);

class ScriptWindow final : public platform::WindowScriptObject {
public:
    struct Entry {
        std::string key;
        platform::ScriptObject* object;
    };

    // Installs `value` under `key`, replacing what was there; a null value
    // removes the key. A key that is not an identifier is refused and logged.
    void setValueForKey(platform::ScriptObject* value, const std::string& key) override;

    platform::ScriptObject* object(std::string_view key) const;
    // In the order the keys were first installed.
    const std::vector<Entry>& entries() const { return m_entries; }
    void clear() { m_entries.clear(); }

private:
    std::vector<Entry> m_entries;
};

} // namespace host
