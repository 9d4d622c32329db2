// Json: JSON text to and from a small tree of plain values, for the host's
// script bridge. A JsonValue owns its children; parsing bounds the nesting so
// that a hostile body cannot exhaust the stack.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace platform {

class JsonValue {
public:
    using Array = std::vector<JsonValue>;
    // Members ordered by name, each name once (given twice, the last value counts).
    using Object = std::vector<std::pair<std::string, JsonValue>>;

    JsonValue() = default;
    JsonValue(std::nullptr_t) { }
    JsonValue(bool value)
        : m_value(value)
    {
    }
    JsonValue(double value)
        : m_value(value)
    {
    }
    JsonValue(std::string value)
        : m_value(std::move(value))
    {
    }
    JsonValue(const char* value)
        : m_value(std::string(value))
    {
    }
    JsonValue(Array value)
        : m_value(std::move(value))
    {
    }
    JsonValue(Object value)
        : m_value(std::move(value))
    {
    }

    bool isNull() const { return std::holds_alternative<std::nullptr_t>(m_value); }
    bool isBool() const { return std::holds_alternative<bool>(m_value); }
    bool isNumber() const { return std::holds_alternative<double>(m_value); }
    bool isString() const { return std::holds_alternative<std::string>(m_value); }
    bool isArray() const { return std::holds_alternative<Array>(m_value); }
    bool isObject() const { return std::holds_alternative<Object>(m_value); }

    // Each accessor requires the matching kind (std::bad_variant_access otherwise).
    bool asBool() const { return std::get<bool>(m_value); }
    double asNumber() const { return std::get<double>(m_value); }
    const std::string& asString() const { return std::get<std::string>(m_value); }
    const Array& asArray() const { return std::get<Array>(m_value); }
    const Object& asObject() const { return std::get<Object>(m_value); }

    // The member `name` of an object; null for a missing member or a non-object.
    const JsonValue* find(std::string_view name) const;
    // "null", "a boolean", "a number", "a string", "an array" or "an object",
    // for messages.
    const char* kindName() const;

private:
    std::variant<std::nullptr_t, bool, double, std::string, Array, Object> m_value;
};

// The value that `text` holds; none, with `error` set to a one-line reason,
// when it is not JSON (strict: no comments, no trailing text, UTF-8 only) or
// nests arrays and objects deeper than `maxDepth`.
std::optional<JsonValue> parseJson(
    std::string_view text, std::string* error = nullptr, int maxDepth = 64);

// Compact JSON text. Non-finite numbers become null; bytes that are not UTF-8
// become U+FFFD. Characters that would end a script element are escaped, so
// the text is safe inside generated script as well.
std::string toJson(const JsonValue& value);

} // namespace platform
