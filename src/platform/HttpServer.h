// HttpServer: an HTTP/1.1 server for a local host, as plain request and
// response values. The owner gives two functions: a screen that sees each
// request's line and headers before any body is read, and the answer for
// requests the screen lets through. The server owns its listening socket and
// its worker threads; every connection carries exactly one request.
#pragma once

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

    // `everyAnswer` headers go on every response, the server's own error
    // answers included. A body over `maxBodyBytes` is never read.
    HttpServer(Handlers handlers, size_t maxBodyBytes, HttpHeaders everyAnswer);
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
