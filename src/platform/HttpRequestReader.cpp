#include "platform/HttpRequestReader.h"

#include <algorithm>
#include <cctype>
#include <strings.h>

namespace platform {

namespace {

bool isTokenChar(unsigned char c)
{
    static constexpr std::string_view kSpecials = "!#$%&'*+-.^_`|~";
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')
        || kSpecials.find(static_cast<char>(c)) != std::string_view::npos;
}

bool isToken(std::string_view text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), isTokenChar);
}

// Visible characters, spaces and tabs: a CR, LF, NUL or any other control
// character in a value could split or end a header further down the line.
bool isFieldValue(std::string_view text)
{
    return std::all_of(text.begin(), text.end(),
        [](unsigned char c) { return c == '\t' || (c >= 0x20 && c != 0x7F); });
}

std::string_view trimmed(std::string_view text)
{
    size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool isVersion(std::string_view text)
{
    return text.size() == 8 && text.substr(0, 5) == "HTTP/"
        && std::isdigit(static_cast<unsigned char>(text[5])) && text[6] == '.'
        && std::isdigit(static_cast<unsigned char>(text[7]));
}

} // namespace

HttpRequestReader::HttpRequestReader(const HttpServer::Limits& limits)
    : m_limits(limits)
{
}

HttpRequestReader::Progress HttpRequestReader::refuse(int status)
{
    m_stage = Stage::Refused;
    m_refusal = status;
    m_head.clear();
    m_head.shrink_to_fit();
    return Progress::Refused;
}

HttpRequestReader::Progress HttpRequestReader::feed(std::string_view bytes)
{
    switch (m_stage) {
    case Stage::Head:
        break;
    case Stage::Screening:
        // Bytes of the body that came with the head, or right after it:
        // kept only up to the one read that brought them.
        if (m_head.size() < m_limits.maxBodyBytes)
            m_head.append(bytes.substr(0, m_limits.maxBodyBytes - m_head.size()));
        return Progress::NeedMore;
    case Stage::Body:
        return takeBody(bytes);
    case Stage::Done:
        return Progress::NeedMore;
    case Stage::Refused:
        return Progress::Refused;
    }

    // Never more than one byte past the limit is kept: enough to know the
    // head is too long.
    size_t room = m_limits.maxHeadBytes + 1 - m_head.size();
    m_head.append(bytes.substr(0, room));
    std::string_view rest = bytes.substr(std::min(room, bytes.size()));
    for (size_t end; (end = m_head.find('\n', m_scanned)) != std::string::npos;) {
        size_t lineStart = m_scanned;
        m_scanned = end + 1;
        bool blank = end == lineStart || (end == lineStart + 1 && m_head[lineStart] == '\r');
        if (blank) {
            if (m_lines == 0)
                return refuse(400); // no request line
            if (m_scanned > m_limits.maxHeadBytes)
                return refuse(431);
            std::string tail = m_head.substr(m_scanned);
            tail.append(rest.substr(0, m_limits.maxBodyBytes));
            m_head.resize(lineStart);
            Progress parsed = parseHead(m_head);
            m_head = std::move(tail);
            return parsed;
        }
        // The request line and at most maxHeaderLines headers.
        if (++m_lines > m_limits.maxHeaderLines + 1)
            return refuse(431);
    }
    if (m_head.size() > m_limits.maxHeadBytes)
        return refuse(431);
    return Progress::NeedMore;
}

HttpRequestReader::Progress HttpRequestReader::parseHead(std::string_view head)
{
    auto nextLine = [&head]() {
        size_t end = head.find('\n');
        std::string_view line = head.substr(0, end);
        head = end == std::string_view::npos ? std::string_view() : head.substr(end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        return line;
    };

    std::string_view requestLine = nextLine();
    size_t firstSpace = requestLine.find(' ');
    size_t lastSpace = requestLine.rfind(' ');
    if (firstSpace == std::string_view::npos || firstSpace == lastSpace)
        return refuse(400);
    std::string_view method = requestLine.substr(0, firstSpace);
    std::string_view target = requestLine.substr(firstSpace + 1, lastSpace - firstSpace - 1);
    std::string_view version = requestLine.substr(lastSpace + 1);
    if (!isToken(method) || target.empty() || target.find(' ') != std::string_view::npos
        || !isFieldValue(target) || target.find('\t') != std::string_view::npos)
        return refuse(400);
    // Only a path, as a browser sends to the server it talks to; a full URL
    // is for proxies.
    if (target.front() != '/' && !(target == "*" && method == "OPTIONS"))
        return refuse(400);
    if (!isVersion(version))
        return refuse(400);
    if (version != "HTTP/1.1" && version != "HTTP/1.0")
        return refuse(505);
    m_request.method = method;
    m_request.target = target;

    while (!head.empty()) {
        std::string_view line = nextLine();
        size_t colon = line.find(':');
        // A line folded onto the one before, or a name with white space
        // before its colon, is read differently by different servers: a
        // request smuggled past one check into another.
        if (colon == std::string_view::npos || !isToken(line.substr(0, colon)))
            return refuse(400);
        std::string_view value = trimmed(line.substr(colon + 1));
        if (!isFieldValue(value))
            return refuse(400);
        m_request.headers.emplace_back(line.substr(0, colon), value);
    }
    m_stage = Stage::Screening;
    return Progress::HeadDone;
}

HttpRequestReader::Progress HttpRequestReader::startBody()
{
    if (m_stage != Stage::Screening)
        return m_stage == Stage::Refused ? Progress::Refused : Progress::NeedMore;
    if (m_request.header("Transfer-Encoding"))
        return refuse(411);
    size_t lengths = m_request.headerCount("Content-Length");
    if (lengths > 1)
        return refuse(400);
    if (lengths == 0) {
        // A body without a length runs until the client closes: no limit
        // can be checked before it is read.
        const std::string& method = m_request.method;
        if (method == "POST" || method == "PUT" || method == "PATCH")
            return refuse(411);
        m_bodyLength = 0;
    } else {
        std::string length = *m_request.header("Content-Length");
        if (length.empty() || length.size() > 18
            || !std::all_of(
                length.begin(), length.end(), [](unsigned char c) { return c >= '0' && c <= '9'; }))
            return refuse(400);
        unsigned long long declared = std::stoull(length);
        if (declared > m_limits.maxBodyBytes)
            return refuse(413);
        m_bodyLength = static_cast<size_t>(declared);
    }
    if (auto expect = m_request.header("Expect")) {
        if (strcasecmp(expect->c_str(), "100-continue") != 0)
            return refuse(417);
        m_expectsContinue = m_bodyLength > m_head.size();
    }
    m_stage = Stage::Body;
    std::string early = std::move(m_head);
    m_head = {};
    return takeBody(early);
}

HttpRequestReader::Progress HttpRequestReader::takeBody(std::string_view bytes)
{
    std::string& body = m_request.body;
    body.append(bytes.substr(0, m_bodyLength - body.size()));
    if (body.size() < m_bodyLength)
        return Progress::NeedMore;
    m_stage = Stage::Done;
    return Progress::BodyDone;
}

} // namespace platform
