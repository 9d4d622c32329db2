#include "host/Bridge.h"

#include "platform/Log.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <stdexcept>

namespace host {

using platform::JsonValue;
using platform::ScriptType;
using platform::ScriptValue;

namespace {

std::string argumentCount(size_t count)
{
    return std::to_string(count) + (count == 1 ? " argument" : " arguments");
}

// Why `arg` does not fit `type`; empty when it does.
std::string misfit(ScriptType type, const JsonValue& arg)
{
    switch (type) {
    case ScriptType::Float:
    case ScriptType::Double: {
        if (!arg.isNumber() || !std::isfinite(arg.asNumber()))
            return std::string("must be a finite number, not ") + arg.kindName();
        if (type == ScriptType::Float
            && std::fabs(arg.asNumber()) > std::numeric_limits<float>::max())
            return "must be a number within the range of a 32-bit float";
        return {};
    }
    case ScriptType::Int32: {
        if (!arg.isNumber())
            return std::string("must be an integer, not ") + arg.kindName();
        double number = arg.asNumber();
        if (number != std::floor(number) || number < std::numeric_limits<int32_t>::min()
            || number > std::numeric_limits<int32_t>::max())
            return "must be an integer from -2147483648 to 2147483647";
        return {};
    }
    case ScriptType::Bool:
        return arg.isBool() ? std::string()
                            : std::string("must be true or false, not ") + arg.kindName();
    case ScriptType::String:
        return arg.isString() ? std::string()
                              : std::string("must be a string, not ") + arg.kindName();
    case ScriptType::Void:
        break;
    }
    return "has a type that script cannot pass";
}

ScriptValue toScriptValue(ScriptType type, const JsonValue& arg)
{
    switch (type) {
    case ScriptType::Float:
        // Rounded here, once, so the plug-in sees exactly the float it stores.
        return static_cast<double>(static_cast<float>(arg.asNumber()));
    case ScriptType::Double:
    case ScriptType::Int32:
        return arg.asNumber();
    case ScriptType::Bool:
        return arg.asBool();
    default:
        return arg.asString();
    }
}

platform::HttpResponse jsonAnswer(int status, JsonValue body)
{
    return {status, "application/json; charset=utf-8", platform::toJson(body) + "\n", {}};
}

platform::HttpResponse errorAnswer(int status, const std::string& message)
{
    return jsonAnswer(status, JsonValue::Object {{"error", message}});
}

const char* kBridgeRuntime = R"JS(
  function call(body) {
    var request = new XMLHttpRequest();
    request.open("POST", "/_bridge/call", false);
    request.setRequestHeader("Content-Type", "application/json");
    try {
      request.send(JSON.stringify(body));
    } catch (e) {
      throw new Error("The widget host cannot be reached.");
    }
    var answer = null;
    try {
      answer = JSON.parse(request.responseText);
    } catch (e) {
    }
    if (request.status === 200 && answer && "result" in answer)
      return answer.result;
    if (request.status === 0)
      throw new Error("The widget host cannot be reached.");
    var message = answer && typeof answer.error === "string"
      ? answer.error : "The widget host answered " + request.status + ".";
    if (request.status === 400)
      throw new TypeError(message);
    throw new Error(message);
  }

  Object.keys(objects).forEach(function (key) {
    var description = objects[key];
    var object = {};
    description.methods.forEach(function (method) {
      object[method.name] = function () {
        var result = call({object: key, method: method.name, args: Array.prototype.slice.call(arguments)});
        return method.returns ? result : undefined;
      };
    });
    description.keys.forEach(function (field) {
      Object.defineProperty(object, field, {
        enumerable: true,
        get: function () { return call({object: key, key: field}); }
      });
    });
    if (key in window) {
      console.error("The widget host cannot install " + key + ": the window already has it.");
      return;
    }
    Object.defineProperty(window, key, {value: Object.freeze(object), enumerable: true});
  });
})();
)JS";

} // namespace

std::variant<std::vector<ScriptValue>, std::string> convertArguments(
    const ExposedMethod& method, const JsonValue::Array& args)
{
    const auto& parameters = method.selector.parameters;
    if (args.size() != parameters.size())
        return method.scriptName + " takes " + argumentCount(parameters.size()) + ", not "
            + std::to_string(args.size());
    std::vector<ScriptValue> converted;
    for (size_t i = 0; i < args.size(); ++i) {
        if (std::string why = misfit(parameters[i], args[i]); !why.empty())
            return "argument " + std::to_string(i + 1) + " of " + method.scriptName + " " + why;
        converted.push_back(toScriptValue(parameters[i], args[i]));
    }
    return converted;
}

JsonValue resultToJson(ScriptType type, const ScriptValue& value)
{
    auto wrong = [&] {
        return std::logic_error("the operation returned a value of another type than it declares");
    };
    switch (type) {
    case ScriptType::Void:
        return nullptr;
    case ScriptType::Float: {
        if (!std::holds_alternative<double>(value))
            throw wrong();
        float single = static_cast<float>(std::get<double>(value));
        if (!std::isfinite(single))
            return nullptr;
        // 0.7f widened is 0.699999988079071; script should see the 0.7 it set.
        char text[32];
        auto end = std::to_chars(text, text + sizeof text, single).ptr;
        double shortest = 0;
        std::from_chars(text, end, shortest);
        return shortest;
    }
    case ScriptType::Double:
    case ScriptType::Int32:
        if (!std::holds_alternative<double>(value))
            throw wrong();
        return std::get<double>(value);
    case ScriptType::Bool:
        if (!std::holds_alternative<bool>(value))
            throw wrong();
        return std::get<bool>(value);
    case ScriptType::String:
        if (!std::holds_alternative<std::string>(value))
            throw wrong();
        return std::get<std::string>(value);
    }
    throw wrong();
}

Bridge::Bridge(ScriptWindow& window, Executor& executor)
    : m_window(window)
    , m_executor(executor)
{
}

std::string Bridge::script() const
{
    JsonValue::Object objects = m_executor.run([this] {
        JsonValue::Object described;
        for (const auto& entry : m_window.entries()) {
            Exposure exposure = Exposure::of(entry.object->scriptClass());
            JsonValue::Array methods;
            for (const auto& method : exposure.methods) {
                methods.push_back(JsonValue::Object {{"name", method.scriptName},
                    {"returns", method.selector.result != ScriptType::Void}});
            }
            JsonValue::Array keys(exposure.keys.begin(), exposure.keys.end());
            described.emplace_back(
                entry.key, JsonValue::Object {{"methods", methods}, {"keys", keys}});
        }
        return described;
    });
    return "// The widget host's script objects; written by the host for this page.\n"
           "(function () {\n"
           "  \"use strict\";\n"
           "  var objects = "
        + platform::toJson(objects) + ";\n" + kBridgeRuntime;
}

platform::HttpResponse Bridge::call(const std::string& body) const
{
    std::string error;
    auto parsed = platform::parseJson(body, &error);
    if (!parsed)
        return errorAnswer(400, "the call is not JSON: " + error);
    if (!parsed->isObject())
        return errorAnswer(
            400, std::string("the call must be a JSON object, not ") + parsed->kindName());
    const JsonValue* object = parsed->find("object");
    const JsonValue* method = parsed->find("method");
    const JsonValue* key = parsed->find("key");
    const JsonValue* args = parsed->find("args");
    if (!object || !object->isString())
        return errorAnswer(400, "the call must name its object as a string");
    if (method && key)
        return errorAnswer(400, "the call must name a method or a key, not both");
    if (key) {
        if (!key->isString())
            return errorAnswer(400, "the call must name its key as a string");
        if (args)
            return errorAnswer(400, "reading a key takes no arguments");
    } else {
        if (!method || !method->isString())
            return errorAnswer(400, "the call must name its method as a string");
        if (!args || !args->isArray())
            return errorAnswer(400, "the call must give its arguments as an array");
    }

    return m_executor.run([&]() -> platform::HttpResponse {
        const std::string& objectKey = object->asString();
        platform::ScriptObject* target = m_window.object(objectKey);
        if (!target)
            return errorAnswer(404, "there is no script object " + objectKey);
        Exposure exposure = Exposure::of(target->scriptClass());
        try {
            if (key) {
                if (!exposure.hasKey(key->asString()))
                    return errorAnswer(404, objectKey + " has no field " + key->asString());
                ScriptValue value = target->valueForKey(key->asString());
                JsonValue result = std::visit(
                    [](const auto& v) -> JsonValue {
                        using V = std::decay_t<decltype(v)>;
                        if constexpr (std::is_same_v<V, std::monostate>)
                            return nullptr;
                        else
                            return v;
                    },
                    value);
                return jsonAnswer(200, JsonValue::Object {{"result", result}});
            }
            const ExposedMethod* exposed = exposure.method(method->asString());
            if (!exposed)
                return errorAnswer(404, objectKey + " has no method " + method->asString());
            auto converted = convertArguments(*exposed, args->asArray());
            if (auto* why = std::get_if<std::string>(&converted))
                return errorAnswer(400, *why);
            ScriptValue value
                = target->invoke(exposed->selector, std::get<std::vector<ScriptValue>>(converted));
            return jsonAnswer(
                200, JsonValue::Object {{"result", resultToJson(exposed->selector.result, value)}});
        } catch (const std::exception& e) {
            platform::log("host: " + objectKey + " failed: " + e.what());
            return errorAnswer(500, objectKey + " failed: " + e.what());
        }
    });
}

} // namespace host
