// WidgetServer: a WidgetHost listening on the loopback interface. Owns the
// host and the HTTP server; run() serves until stop(), which any thread (a
// signal watcher, a test) may call.
#pragma once

#include "host/WidgetHost.h"
#include "platform/HttpServer.h"

#include <string>

namespace host {

inline constexpr const char* kLoopbackAddress = "127.0.0.1";
inline constexpr int kDefaultPort = 8642;

class WidgetServer {
public:
    // Loads the widget and binds 127.0.0.1 at `port` (0 picks a free one).
    // Bodies are limited to kMaxCallBytes whatever `limits` says.
    // Throws WidgetError, PluginLoadError or platform::HttpServerError.
    WidgetServer(const std::string& widgetDir, int port, platform::HttpServer::Limits limits = {});

    int port() const { return m_host.port(); }
    // The address to open in a browser, ending in "/".
    std::string url() const;
    const WidgetHost& host() const { return m_host; }

    void run() { m_server.run(); }
    void stop() { m_server.stop(); }

private:
    WidgetHost m_host;
    platform::HttpServer m_server; // after the host: stops before the host goes
};

} // namespace host
