// HostFixture: a widget host serving a scratch copy of the probe widget (whose
// plug-in is the test-only BridgeProbe module) on 127.0.0.1 at a port of the
// system's choosing, and a loopback client that sends exactly the bytes a
// test gives it, so that broken and hostile clients can be played. Every
// exchange is bounded by socket timeouts.
#pragma once

#include "host/WidgetServer.h"
#include "support/TempDir.h"

#include <arpa/inet.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <sys/time.h>
#include <thread>
#include <unistd.h>

namespace testing_support {

// A scratch copy of the probe widget, removed with its folder when it goes.
struct ScratchWidget {
    ScratchWidget()
    {
        std::filesystem::copy(
            GLOAM_PROBE_WIDGET_DIR, widget(), std::filesystem::copy_options::recursive);
    }
    // The folder that holds the widget, for files that must lie outside it.
    const std::filesystem::path& root() const { return m_root.path; }
    std::filesystem::path widget() const { return root() / "Probe.wdgt"; }
    std::filesystem::path bundle() const { return widget() / "BridgeProbe.widgetplugin"; }

    TempDir m_root;
};

// An Info.plist of string entries, e.g. {{"MainHTML", "probe.html"}}.
inline std::string infoPlist(const std::map<std::string, std::string>& entries)
{
    std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>";
    for (const auto& [key, value] : entries)
        text += "<key>" + key + "</key><string>" + value + "</string>";
    return text + "</dict></plist>\n";
}

struct RawResponse {
    int status = 0; // 0: no answer came
    std::map<std::string, std::string> headers; // names in lower case
    std::string body;

    std::string operator[](const std::string& name) const
    {
        auto it = headers.find(name);
        return it == headers.end() ? std::string() : it->second;
    }
};

inline RawResponse parseResponse(const std::string& raw)
{
    RawResponse response;
    size_t end = raw.find("\r\n\r\n");
    if (raw.compare(0, 9, "HTTP/1.1 ") != 0 || end == std::string::npos)
        return response;
    response.status = std::atoi(raw.c_str() + 9);
    for (size_t line = raw.find("\r\n") + 2; line < end;) {
        size_t next = raw.find("\r\n", line);
        std::string header = raw.substr(line, next - line);
        size_t colon = header.find(':');
        std::string name = header.substr(0, colon);
        for (auto& c : name)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        size_t value = header.find_first_not_of(' ', colon + 1);
        response.headers[name] = value == std::string::npos ? "" : header.substr(value);
        line = next + 2;
    }
    response.body = raw.substr(end + 4);
    return response;
}

// A connection to 127.0.0.1:port whose sends and reads give up after
// `timeoutSeconds` of silence; closed when the object goes.
struct Connection {
    int fd = -1;
    explicit Connection(int port, int timeoutSeconds = 10)
    {
        fd = ::socket(AF_INET, SOCK_STREAM, 0);
        timeval timeout {timeoutSeconds, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            ::close(fd);
            fd = -1;
        }
    }
    ~Connection()
    {
        if (fd >= 0)
            ::close(fd);
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    bool send(const std::string& bytes) const
    {
        for (size_t sent = 0; sent < bytes.size();) {
            ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
            if (n <= 0)
                return false;
            sent += size_t(n);
        }
        return true;
    }
    // Everything until the server closes the connection or falls silent.
    std::string readAll() const
    {
        std::string raw;
        char buffer[8192];
        for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;)
            raw.append(buffer, size_t(n));
        return raw;
    }
};

// Sends `request` as it is and reads the answer (the server serves one
// request per connection).
inline RawResponse roundTrip(int port, const std::string& request, int timeoutSeconds = 10)
{
    Connection c(port, timeoutSeconds);
    if (c.fd < 0 || !c.send(request))
        return {};
    return parseResponse(c.readAll());
}

// A well-formed request as the page would send it, with `extraHeaders`
// (each ending in "\r\n") added.
inline std::string requestText(const std::string& method, const std::string& target, int port,
    const std::string& body = {}, const std::string& extraHeaders = {})
{
    std::string text = method + " " + target
        + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) + "\r\n" + extraHeaders;
    if (!body.empty() || method == "POST")
        text += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    return text + "\r\n" + body;
}

inline std::string callText(int port, const std::string& body)
{
    return requestText("POST", "/_bridge/call", port, body, "Content-Type: application/json\r\n");
}

// A call of the probe's `method` with `args` (JSON text), e.g. call("getLevel").
inline std::string probeCall(const std::string& method, const std::string& args = "")
{
    return R"({"object":"BridgeProbe","method":")" + method + R"(","args":[)" + args + "]}";
}

// The host, serving the scratch widget on its own thread for one test.
class HostFixture : public ::testing::Test {
protected:
    HostFixture()
        : HostFixture(platform::HttpServer::Limits {})
    {
    }
    explicit HostFixture(const platform::HttpServer::Limits& limits)
        : server(scratch.widget().string(), 0, limits)
        , port(server.port())
        , serving([this] { server.run(); })
    {
    }
    ~HostFixture() override
    {
        server.stop();
        serving.join();
    }

    RawResponse get(const std::string& target)
    {
        return roundTrip(port, requestText("GET", target, port));
    }
    RawResponse call(const std::string& body, int timeoutSeconds = 10)
    {
        return roundTrip(port, callText(port, body), timeoutSeconds);
    }

    ScratchWidget scratch;
    host::WidgetServer server;
    int port;
    std::thread serving;
};

} // namespace testing_support
