// HttpRequestReader: one HTTP/1.1 request taken from bytes as they arrive,
// with its limits enforced while reading: a head longer or with more lines
// than allowed is refused before the rest of it is kept, and no body is kept
// unless its length was declared and allowed. Owns the bytes it has taken;
// knows nothing of sockets or time.
#pragma once

#include "platform/HttpServer.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

class HttpRequestReader {
public:
    enum class Progress {
        NeedMore, // give it more bytes
        HeadDone, // request() has the line and headers; call startBody() to go on
        BodyDone, // request() is whole
        Refused, // answer with refusalStatus() and close
    };

    explicit HttpRequestReader(const HttpServer::Limits& limits);

    // Takes the next bytes of the connection. Bytes after a whole request are
    // dropped: a connection carries one request.
    Progress feed(std::string_view bytes);

    // After HeadDone, once the request may go on: refuses a body that has no
    // declared length (411: a chunked body, or a POST, PUT or PATCH without
    // Content-Length), a length that is malformed or given twice (400), one
    // over the limit (413), or an expectation other than 100-continue (417).
    Progress startBody();

    // True when the client waits for "100 Continue" before sending its body.
    bool expectsContinue() const { return m_expectsContinue; }

    const HttpRequest& request() const { return m_request; }
    HttpRequest takeRequest() { return std::move(m_request); }

    int refusalStatus() const { return m_refusal; }

private:
    enum class Stage { Head, Screening, Body, Done, Refused };

    Progress refuse(int status);
    Progress parseHead(std::string_view head);
    Progress takeBody(std::string_view bytes);

    HttpServer::Limits m_limits;
    Stage m_stage = Stage::Head;
    std::string m_head; // the head so far, then bytes that came after it
    size_t m_scanned = 0; // bytes of m_head already searched for line ends
    size_t m_lines = 0; // line ends seen in the head, the request line's included
    size_t m_bodyLength = 0;
    bool m_expectsContinue = false;
    int m_refusal = 0;
    HttpRequest m_request;
};

} // namespace platform
