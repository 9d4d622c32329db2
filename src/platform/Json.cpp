#include "platform/Json.h"

#include <cmath>
#include <nlohmann/json.hpp>

namespace platform {

namespace {

using nlohmann::json;

struct TooDeep { };

JsonValue fromLibrary(const json& node, int depth, int maxDepth)
{
    switch (node.type()) {
    case json::value_t::boolean:
        return node.get<bool>();
    case json::value_t::number_integer:
    case json::value_t::number_unsigned:
    case json::value_t::number_float:
        return node.get<double>();
    case json::value_t::string:
        return node.get<std::string>();
    case json::value_t::array: {
        if (depth >= maxDepth)
            throw TooDeep {};
        JsonValue::Array items;
        items.reserve(node.size());
        for (const auto& item : node)
            items.push_back(fromLibrary(item, depth + 1, maxDepth));
        return items;
    }
    case json::value_t::object: {
        if (depth >= maxDepth)
            throw TooDeep {};
        JsonValue::Object members;
        for (const auto& [name, item] : node.items())
            members.emplace_back(name, fromLibrary(item, depth + 1, maxDepth));
        return members;
    }
    default:
        return nullptr;
    }
}

json toLibrary(const JsonValue& value)
{
    if (value.isBool())
        return value.asBool();
    if (value.isNumber()) {
        double number = value.asNumber();
        if (!std::isfinite(number))
            return nullptr;
        // A whole number within a double's exact range is written as one
        // ("2026", not "2026.0"); it reads back as the same double.
        constexpr double kExact = 9007199254740992.0; // 2^53
        if (number == std::trunc(number) && std::fabs(number) <= kExact && !std::signbit(number))
            return json(static_cast<uint64_t>(number));
        if (number == std::trunc(number) && std::fabs(number) <= kExact && number != 0)
            return json(static_cast<int64_t>(number));
        return json(number);
    }
    if (value.isString())
        return value.asString();
    if (value.isArray()) {
        json items = json::array();
        for (const auto& item : value.asArray())
            items.push_back(toLibrary(item));
        return items;
    }
    if (value.isObject()) {
        json members = json::object();
        for (const auto& [name, item] : value.asObject())
            members[name] = toLibrary(item);
        return members;
    }
    return nullptr;
}

} // namespace

const JsonValue* JsonValue::find(std::string_view name) const
{
    if (!isObject())
        return nullptr;
    const JsonValue* found = nullptr;
    for (const auto& [member, value] : asObject()) {
        if (member == name)
            found = &value;
    }
    return found;
}

const char* JsonValue::kindName() const
{
    switch (m_value.index()) {
    case 0:
        return "null";
    case 1:
        return "a boolean";
    case 2:
        return "a number";
    case 3:
        return "a string";
    case 4:
        return "an array";
    default:
        return "an object";
    }
}

std::optional<JsonValue> parseJson(std::string_view text, std::string* error, int maxDepth)
{
    try {
        // The library's parser keeps its own stack on the heap, so depth is
        // checked while converting.
        json parsed = json::parse(text.begin(), text.end(), nullptr, true, false);
        return fromLibrary(parsed, 0, maxDepth);
    } catch (const json::exception& e) {
        // A syntax error, or a number too large for a double (out_of_range).
        if (error) {
            std::string what = e.what();
            // Drop the library's "[json.exception.parse_error.101] " tag.
            auto tag = what.find("] ");
            *error = tag == std::string::npos ? what : what.substr(tag + 2);
        }
    } catch (const TooDeep&) {
        if (error)
            *error = "arrays and objects nest deeper than " + std::to_string(maxDepth) + " levels";
    }
    return std::nullopt;
}

std::string toJson(const JsonValue& value)
{
    std::string text = toLibrary(value).dump(-1, ' ', false, json::error_handler_t::replace);
    // "</script" and "<!--" cannot appear once '<' is escaped; U+2028 and
    // U+2029 are escaped for script engines older than ES2019.
    std::string safe;
    safe.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '<') {
            safe += "\\u003c";
        } else if (text.compare(i, 3, "\xE2\x80\xA8") == 0) {
            safe += "\\u2028";
            i += 2;
        } else if (text.compare(i, 3, "\xE2\x80\xA9") == 0) {
            safe += "\\u2029";
            i += 2;
        } else {
            safe += text[i];
        }
    }
    return safe;
}

} // namespace platform
