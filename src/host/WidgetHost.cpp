#include "host/WidgetHost.h"

#include <algorithm>
#include <cctype>

namespace host {

namespace {

std::string lower(std::string_view text)
{
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(),
        [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return result;
}

platform::HttpResponse refusal(int status, std::string message)
{
    return platform::HttpResponse::text(status, std::move(message) + "\n");
}

platform::HttpResponse methodNotAllowed(const char* allowed)
{
    auto answer = refusal(405, std::string("Use ") + allowed + " here.");
    answer.headers.emplace_back("Allow", allowed);
    return answer;
}

// The media type of a Content-Type value, without parameters, in lower case.
std::string mediaType(const std::string& contentType)
{
    std::string type = lower(contentType.substr(0, contentType.find(';')));
    auto isSpace = [](unsigned char c) { return std::isspace(c) != 0; };
    type.erase(type.begin(), std::find_if_not(type.begin(), type.end(), isSpace));
    type.erase(std::find_if_not(type.rbegin(), type.rend(), isSpace).base(), type.end());
    return type;
}

} // namespace

WidgetHost::WidgetHost(const std::string& widgetDir)
    : m_widget(WidgetInfo::read(widgetDir))
    , m_files(m_widget.widgetDir,
          m_widget.pluginBundle ? std::vector<std::string> {*m_widget.pluginBundle}
                                : std::vector<std::string> {})
    , m_bridge(m_window, m_executor)
{
    if (!m_widget.pluginBundle)
        return;
    m_executor.run([this] {
        m_plugin = std::make_unique<PluginLoader>(*m_widget.pluginBundle);
        m_plugin->plugin().windowScriptObjectAvailable(m_window);
    });
}

WidgetHost::~WidgetHost()
{
    m_executor.run([this] {
        m_window.clear();
        m_plugin.reset();
    });
}

platform::HttpHeaders WidgetHost::everyAnswerHeaders()
{
    return {
        {"X-Content-Type-Options", "nosniff"},
        {"Cache-Control", "no-store"},
        {"Content-Security-Policy", "default-src 'self'"},
    };
}

bool WidgetHost::isOwnAuthority(std::string_view authority) const
{
    std::string port = ":" + std::to_string(m_port);
    std::string given = lower(authority);
    return given == "127.0.0.1" + port || given == "localhost" + port;
}

std::optional<platform::HttpResponse> WidgetHost::screen(const platform::HttpRequest& request) const
{
    // Two of these are read one way by this check and another by the next
    // reader: only the first Origin would be checked, say, and the second
    // believed further on.
    for (const char* single : {"Host", "Origin", "Content-Type"}) {
        if (request.headerCount(single) > 1)
            return refusal(400, std::string("The request gives more than one ") + single + ".");
    }
    // A page from another site, or one reached through a name that resolves
    // here by a trick of DNS, must not drive the plug-in or read its files.
    if (!request.header("Host") || !isOwnAuthority(*request.header("Host")))
        return refusal(403, "This host answers only to 127.0.0.1 and localhost at its own port.");
    if (auto origin = request.header("Origin")) {
        std::string given = lower(*origin);
        if (given.rfind("http://", 0) != 0 || !isOwnAuthority(std::string_view(given).substr(7)))
            return refusal(403, "Requests from other origins are refused.");
    }
    // A chunked or compressed body could outgrow the size limit while being
    // read; a call is small enough to send whole and plain.
    if (request.header("Transfer-Encoding"))
        return refusal(411, "Send the body with a Content-Length, not a Transfer-Encoding.");
    if (request.header("Content-Encoding"))
        return refusal(415, "Compressed bodies are not accepted.");
    if (request.headerCount("Content-Length") > 1)
        return refusal(400, "The request gives more than one Content-Length.");
    if (auto length = request.header("Content-Length")) {
        if (length->empty() || length->size() > 18
            || !std::all_of(
                length->begin(), length->end(), [](unsigned char c) { return std::isdigit(c); }))
            return refusal(400, "The Content-Length is not a number.");
        if (std::stoull(*length) > kMaxCallBytes)
            return refusal(
                413, "The body is larger than " + std::to_string(kMaxCallBytes) + " bytes.");
    }
    if (request.method == "POST" && request.path() == kBridgeCallPath
        && mediaType(request.header("Content-Type").value_or("")) != "application/json")
        return refusal(415, "Calls must be sent as application/json.");
    return std::nullopt;
}

platform::HttpResponse WidgetHost::answer(const platform::HttpRequest& request) const
{
    std::string_view path = request.path();
    bool reading = request.method == "GET" || request.method == "HEAD";
    if (path == kBridgeCallPath) {
        if (request.method != "POST")
            return methodNotAllowed("POST");
        if (request.body.size() > kMaxCallBytes)
            return refusal(
                413, "The body is larger than " + std::to_string(kMaxCallBytes) + " bytes.");
        return m_bridge.call(request.body);
    }
    if (!reading)
        return methodNotAllowed("GET, HEAD");
    if (path == kBridgeScriptPath)
        return {200, "text/javascript; charset=utf-8", m_bridge.script(), {}};
    if (path.starts_with(kFileIdentityPrefix)) {
        auto identity = m_files.identity(path.substr(kFileIdentityPrefix.size() - 1));
        if (auto* status = std::get_if<int>(&identity))
            return refusal(*status, "This path is not one the widget host serves.");
        return platform::HttpResponse::text(200, std::get<std::string>(identity));
    }
    if (path == "/") {
        // A main page in a subfolder needs its own URL for its relative links.
        if (m_widget.mainPage.find('/') != std::string::npos) {
            auto moved = refusal(302, "The widget's page is at /" + m_widget.mainPage + ".");
            moved.headers.emplace_back("Location", "/" + m_widget.mainPage);
            return moved;
        }
        return m_files.get("/" + m_widget.mainPage);
    }
    return m_files.get(path);
}

} // namespace host
