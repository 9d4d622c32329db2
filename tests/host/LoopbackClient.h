// Test support: raw HTTP/1.1 exchanges with a server on 127.0.0.1, so that
// tests can send exactly the bytes a hostile or broken client would. Every
// exchange is bounded: a connection that stays silent fails after a timeout.
#pragma once

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <map>
#include <netinet/in.h>
#include <string>
#include <strings.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace hosttest {

struct RawResponse {
    int status = 0; // 0: no answer came
    std::map<std::string, std::string> headers; // names in lower case
    std::string body;

    bool has(const std::string& name) const { return headers.count(name) != 0; }
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
    size_t line = raw.find("\r\n") + 2;
    while (line < end) {
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

// Sends `request` as it is and reads until the server closes the connection
// (it serves one request per connection) or `timeoutSeconds` pass in silence.
inline RawResponse roundTrip(int port, const std::string& request, int timeoutSeconds = 10)
{
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return {};
    timeval timeout {timeoutSeconds, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string raw;
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        size_t sent = 0;
        while (sent < request.size()) {
            ssize_t n = send(fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
            if (n <= 0)
                break;
            sent += static_cast<size_t>(n);
        }
        char buffer[8192];
        for (;;) {
            ssize_t n = recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0)
                break;
            raw.append(buffer, static_cast<size_t>(n));
        }
    }
    close(fd);
    return parseResponse(raw);
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

inline std::string callText(int port, const std::string& body, const std::string& extraHeaders = {})
{
    return requestText(
        "POST", "/_bridge/call", port, body, "Content-Type: application/json\r\n" + extraHeaders);
}

} // namespace hosttest
