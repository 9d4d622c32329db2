// HttpServer: an HTTP/1.1 server for a local host, as plain request and
// response values. The owner gives two functions: a screen that sees each
// request's line and headers before any body is read, and the answer for
// requests the screen lets through. The server owns its listening socket, its
// connections and its worker threads; every connection carries exactly one
// request. One thread reads and writes every connection, so a client that
// trickles or says nothing costs a buffer, not a thread; workers only answer.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform {

using HttpHeaders = std::vector<std::pair<std::string, std::string>>;

struct HttpRequest {
    std::string method;
    // The request target exactly as sent, still percent-encoded, with its query.
    std::string target;
    HttpHeaders headers;
    std::string body; // empty while the request is being screened

    // The path part of `target` (before any '?'), still percent-encoded.
    std::string_view path() const;
    // The first header called `name` (compared without case).
    std::optional<std::string> header(std::string_view name) const;
    size_t headerCount(std::string_view name) const;
};

struct HttpResponse {
    int status = 200;
    std::string contentType;
    std::string body;
    HttpHeaders headers;

    static HttpResponse text(int status, std::string body);
};

struct HttpServerError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class HttpServer {
public:
    struct Handlers {
        // Returns an answer to refuse the request before its body is read;
        // none to let it through.
        std::function<std::optional<HttpResponse>(const HttpRequest&)> screen;
        std::function<HttpResponse(const HttpRequest&)> answer;
    };

    // What one client may cost. Each limit holds while the request is read,
    // before anything beyond it is kept.
    struct Limits {
        // A body declared longer is refused (413) unread.
        size_t maxBodyBytes = 16 * 1024;
        // The request line and headers together; past either limit, 431.
        size_t maxHeadBytes = 16 * 1024;
        size_t maxHeaderLines = 100;
        // A connection that sends nothing this long after it opens is closed.
        std::chrono::milliseconds firstByteTime {5000};
        // The whole request must arrive this soon after its first byte.
        std::chrono::milliseconds requestTime {10000};
        // The answer must be taken this soon after it is ready.
        std::chrono::milliseconds responseTime {10000};
        // Connections held at once; the rest wait in the listen queue.
        size_t maxConnections = 512;
        // Threads answering at once, and how long one waits for work before
        // it ends.
        size_t maxWorkers = 8;
        std::chrono::milliseconds workerIdleTime {1000};
    };

    // `everyAnswer` headers go on every response, the server's own error
    // answers included.
    HttpServer(Handlers handlers, const Limits& limits, HttpHeaders everyAnswer);
    ~HttpServer();

    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    // Binds `address` at `port` (0 picks a free port) and returns the port.
    // Throws HttpServerError when the address cannot be bound.
    int bind(const std::string& address, int port);
    // Serves until stop(); returns at once when stop() came first.
    void run();
    // Safe from any thread, also before run() and more than once.
    void stop();

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace platform
