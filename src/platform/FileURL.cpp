#include "platform/FileURL.h"

#include "platform/Text.h"

#include <optional>

namespace platform {

namespace {

bool isAlpha(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

// The scheme of `url` (RFC 3986: a letter, then letters, digits, "+", "-" or
// ".", then ":"), or an empty view when it has none.
std::string_view schemeOf(std::string_view url)
{
    if (url.empty() || !isAlpha(url[0]))
        return {};
    for (size_t i = 1; i < url.size(); ++i) {
        char c = url[i];
        if (c == ':')
            return url.substr(0, i);
        if (!isAlpha(c) && !isDigit(c) && c != '+' && c != '-' && c != '.')
            return {};
    }
    return {};
}

std::optional<std::string> percentDecoded(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '%') {
            if (i + 2 >= text.size())
                return std::nullopt;
            int hi = hexDigitValue(text[i + 1]), lo = hexDigitValue(text[i + 2]);
            if (hi < 0 || lo < 0)
                return std::nullopt;
            c = static_cast<char>(hi * 16 + lo);
            i += 2;
        }
        if (c == '\0')
            return std::nullopt;
        out.push_back(c);
    }
    return out;
}

} // namespace

ErrorOr<std::string> localPathForURL(std::string_view url)
{
    // The URL as given, less what would end it early as a C string.
    auto refuse = [url](const char* why) {
        return Error(
            Error::Code::Invalid, "resolve", std::string(url.substr(0, url.find('\0'))), why);
    };
    if (url.empty())
        return refuse("no URL given");
    if (url.find('\0') != std::string_view::npos)
        return refuse("the URL holds a zero byte");
    std::string_view scheme = schemeOf(url);
    if (scheme.empty())
        return std::string(url); // a plain path
    if (!equalsIgnoringCase(scheme, "file"))
        return refuse("not a file URL");

    std::string_view rest = url.substr(scheme.size() + 1);
    rest = rest.substr(0, rest.find_first_of("?#"));
    if (rest.starts_with("//")) {
        rest.remove_prefix(2);
        size_t slash = rest.find('/');
        if (slash == std::string_view::npos)
            return refuse("a host and no path");
        std::string_view host = rest.substr(0, slash);
        if (!host.empty() && !equalsIgnoringCase(host, "localhost"))
            return refuse("a file on another machine");
        rest.remove_prefix(slash);
    }
    if (!rest.starts_with('/'))
        return refuse("not an absolute path");
    std::optional<std::string> path = percentDecoded(rest);
    if (!path)
        return refuse("a malformed escape, or an escaped zero byte");
    return std::move(*path);
}

} // namespace platform
