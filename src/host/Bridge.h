// Bridge: the page's way to the objects on the host's window script object.
// It writes the script that defines window.<key> for each installed object,
// and answers each call the page makes, running it on the host's executor.
// The bridge borrows the window and the executor; the host owns both.
#pragma once

#include "host/Executor.h"
#include "host/ScriptWindow.h"
#include "platform/HttpServer.h"
#include "platform/Json.h"

#include <string>
#include <variant>
#include <vector>

namespace host {

inline constexpr const char* kBridgeScriptPath = "/_bridge/bridge.js";
inline constexpr const char* kBridgeCallPath = "/_bridge/call";

// Converts the arguments of a script call to the selector's parameter types,
// or says in one sentence why they do not fit: a Float or Double parameter
// takes a finite number (a Float one within the range of a 32-bit float), an
// Int32 one an integer in its range, a Bool one true or false, a String one a
// string, and the count must match.
std::variant<std::vector<platform::ScriptValue>, std::string> convertArguments(
    const ExposedMethod& method, const platform::JsonValue::Array& args);

// The JSON form of a result of type `type`: null for Void, a 32-bit float as
// the shortest decimal that reads back as the same float. Throws
// std::logic_error when `value` does not hold that type.
platform::JsonValue resultToJson(platform::ScriptType type, const platform::ScriptValue& value);

class Bridge {
public:
    Bridge(ScriptWindow& window, Executor& executor);

    // bridge.js: one frozen object per installed key, with one function per
    // exposed operation (each a synchronous POST to kBridgeCallPath) and one
    // read-only property per exposed field.
    std::string script() const;

    // Answers the JSON body of one call, {"object", "method", "args"} (or
    // {"object", "key"} to read a field): 200 {"result"}, 400 {"error"} for
    // JSON or arguments that do not fit, 404 for an unknown object or a name
    // that is not exposed, 500 when the operation itself fails.
    platform::HttpResponse call(const std::string& body) const;

private:
    ScriptWindow& m_window;
    Executor& m_executor;
};

} // namespace host
