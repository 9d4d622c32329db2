#include "platform/HttpServer.h"

#include "platform/HttpRequestReader.h"
#include "platform/WorkerPool.h"

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <strings.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>
#include <unordered_map>
#include <utility>
#include <vector>

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

// Connections the system keeps waiting to be accepted while the server holds
// as many as it may.
constexpr int kListenBacklog = 128;

// After its answer, a connection is read and the bytes dropped for a moment
// before it is closed: closed with unread bytes, it would be reset, and the
// client could lose the answer it has not read yet. A client that keeps
// sending is cut off after this many bytes or this long.
constexpr size_t kLingerBytes = 256 * 1024;
constexpr std::chrono::milliseconds kLingerTime {1000};

constexpr size_t kReadChunk = 16 * 1024;

constexpr std::chrono::milliseconds kAcceptPause {100};

class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd)
        : m_fd(fd)
    {
    }
    ~UniqueFd() { reset(); }
    UniqueFd(UniqueFd&& other) noexcept
        : m_fd(std::exchange(other.m_fd, -1))
    {
    }
    UniqueFd& operator=(UniqueFd&& other) noexcept
    {
        if (this != &other) {
            reset();
            m_fd = std::exchange(other.m_fd, -1);
        }
        return *this;
    }
    int get() const { return m_fd; }
    void reset()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd = -1;
};

bool sameName(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

const char* reasonPhrase(int status)
{
    switch (status) {
    case 100:
        return "Continue";
    case 200:
        return "OK";
    case 204:
        return "No Content";
    case 206:
        return "Partial Content";
    case 301:
        return "Moved Permanently";
    case 302:
        return "Found";
    case 304:
        return "Not Modified";
    case 400:
        return "Bad Request";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 411:
        return "Length Required";
    case 413:
        return "Content Too Large";
    case 415:
        return "Unsupported Media Type";
    case 416:
        return "Range Not Satisfiable";
    case 417:
        return "Expectation Failed";
    case 431:
        return "Request Header Fields Too Large";
    case 500:
        return "Internal Server Error";
    case 503:
        return "Service Unavailable";
    case 505:
        return "HTTP Version Not Supported";
    default:
        return status < 400 ? "OK" : "Error";
    }
}

// A header line the server writes: a value holding a line break would end
// the head early and let the rest pass for headers or a body.
void appendHeader(std::string& out, std::string_view name, std::string_view value)
{
    if (name.find_first_of("\r\n:") != std::string_view::npos
        || value.find_first_of("\r\n") != std::string_view::npos)
        return;
    out.append(name).append(": ").append(value).append("\r\n");
}

} // namespace

std::string_view HttpRequest::path() const
{
    std::string_view view = target;
    return view.substr(0, view.find('?'));
}

std::optional<std::string> HttpRequest::header(std::string_view name) const
{
    for (const auto& [key, value] : headers) {
        if (sameName(key, name))
            return value;
    }
    return std::nullopt;
}

size_t HttpRequest::headerCount(std::string_view name) const
{
    return static_cast<size_t>(std::count_if(headers.begin(), headers.end(),
        [&](const auto& header) { return sameName(header.first, name); }));
}

HttpResponse HttpResponse::text(int status, std::string body)
{
    return {status, "text/plain; charset=utf-8", std::move(body), {}};
}

struct HttpServer::Impl {
    enum class Stage {
        Reading, // the request, up to its deadline
        Answering, // with a worker; the client waits
        Writing, // the answer, up to its deadline
        Lingering, // answer sent; unread bytes are dropped before closing
    };

    struct Connection {
        UniqueFd fd;
        Stage stage = Stage::Reading;
        HttpRequestReader reader;
        bool headOnly = false; // a HEAD request: the answer has no body
        std::string out;
        size_t written = 0;
        size_t lingered = 0;
        bool heardFrom = false;
        Clock::time_point deadline;

        Connection(int socket, const Limits& limits)
            : fd(socket)
            , reader(limits)
            , deadline(Clock::now() + limits.firstByteTime)
        {
        }
    };

    Impl(Handlers h, const Limits& l, HttpHeaders everyAnswer)
        : handlers(std::move(h))
        , limits(l)
        , workers(l.maxWorkers, l.workerIdleTime)
    {
        for (const auto& [name, value] : everyAnswer)
            appendHeader(commonHeaders, name, value);
        wake = UniqueFd(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC));
        if (wake.get() < 0)
            throw HttpServerError("cannot make the server's wake-up descriptor");
    }

    std::string serialize(HttpResponse answer, bool headOnly) const
    {
        std::string out = "HTTP/1.1 " + std::to_string(answer.status) + " "
            + reasonPhrase(answer.status) + "\r\n" + commonHeaders;
        if (answer.contentType.empty())
            answer.contentType = "application/octet-stream";
        appendHeader(out, "Content-Type", answer.contentType);
        appendHeader(out, "Content-Length", std::to_string(answer.body.size()));
        appendHeader(out, "Connection", "close");
        for (const auto& [name, value] : answer.headers)
            appendHeader(out, name, value);
        out += "\r\n";
        if (!headOnly)
            out += answer.body;
        return out;
    }

    std::string refusal(int status) const
    {
        return serialize(
            HttpResponse::text(status, std::string(reasonPhrase(status)) + "\n"), false);
    }

    void signal() const
    {
        uint64_t one = 1;
        [[maybe_unused]] ssize_t ignored = ::write(wake.get(), &one, sizeof one);
    }

    void serve();
    void acceptConnections();
    void readFrom(uint64_t id, Connection& c);
    void writeTo(Connection& c);
    void lingerOn(uint64_t id, Connection& c);
    void startAnswer(Connection& c, std::string bytes);
    void takeAnswers();

    Handlers handlers;
    Limits limits;
    std::string commonHeaders;
    UniqueFd listener;
    UniqueFd wake; // written by workers with an answer ready, and by stop()
    std::atomic<bool> stopped {false};

    // Touched only by the thread in run().
    std::unordered_map<uint64_t, Connection> connections;
    std::vector<uint64_t> closing;
    uint64_t nextId = 1;
    Clock::time_point acceptAgainAt;

    std::mutex answeredMutex;
    std::vector<std::pair<uint64_t, std::string>> answered;

    WorkerPool workers; // last: joined before the rest goes
};

HttpServer::HttpServer(Handlers handlers, const Limits& limits, HttpHeaders everyAnswer)
    : m_impl(std::make_unique<Impl>(std::move(handlers), limits, std::move(everyAnswer)))
{
}

HttpServer::~HttpServer()
{
    stop();
}

int HttpServer::bind(const std::string& address, int port)
{
    auto fail = [&] {
        return HttpServerError("cannot listen on " + address + ":" + std::to_string(port)
            + (port ? " (is the port in use?)" : ""));
    };
    sockaddr_in where {};
    where.sin_family = AF_INET;
    where.sin_port = htons(static_cast<uint16_t>(port));
    if (port < 0 || port > 65535 || ::inet_pton(AF_INET, address.c_str(), &where.sin_addr) != 1)
        throw fail();
    UniqueFd socket(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (socket.get() < 0)
        throw fail();
    // Lets a restarted host take its port back at once. No SO_REUSEPORT: with
    // it a second server on the same port would bind too and take half of
    // the connections.
    int yes = 1;
    ::setsockopt(socket.get(), SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    if (::bind(socket.get(), reinterpret_cast<sockaddr*>(&where), sizeof where) != 0
        || ::listen(socket.get(), kListenBacklog) != 0)
        throw fail();
    socklen_t size = sizeof where;
    if (::getsockname(socket.get(), reinterpret_cast<sockaddr*>(&where), &size) != 0)
        throw fail();
    m_impl->listener = std::move(socket);
    return ntohs(where.sin_port);
}

void HttpServer::run()
{
    if (m_impl->listener.get() < 0 || m_impl->stopped)
        return;
    m_impl->serve();
}

void HttpServer::stop()
{
    m_impl->stopped = true;
    m_impl->signal();
}

void HttpServer::Impl::serve()
{
    std::vector<pollfd> polled;
    std::vector<uint64_t> polledIds;
    while (!stopped) {
        polled.clear();
        polledIds.clear();
        polled.push_back({wake.get(), POLLIN, 0});
        Clock::time_point now = Clock::now();
        // At the limit, new connections wait in the system's queue.
        bool accepting = connections.size() < limits.maxConnections && now >= acceptAgainAt;
        polled.push_back({listener.get(), short(accepting ? POLLIN : 0), 0});
        Clock::time_point nearest = now < acceptAgainAt ? acceptAgainAt : Clock::time_point::max();
        for (auto& [id, c] : connections) {
            short events = 0;
            if (c.stage == Stage::Reading || c.stage == Stage::Lingering)
                events = POLLIN;
            else if (c.stage == Stage::Writing)
                events = POLLOUT;
            if (c.stage != Stage::Answering)
                nearest = std::min(nearest, c.deadline);
            // An answering connection is not watched: a hang-up would wake
            // the loop again and again until the answer is ready.
            polled.push_back({c.stage == Stage::Answering ? -1 : c.fd.get(), events, 0});
            polledIds.push_back(id);
        }
        int timeout = -1;
        if (nearest != Clock::time_point::max()) {
            auto wait = std::chrono::ceil<std::chrono::milliseconds>(nearest - now).count();
            timeout = static_cast<int>(std::clamp<long long>(wait, 0, 60000));
        }
        int ready = ::poll(polled.data(), polled.size(), timeout);
        if (ready < 0 && errno != EINTR)
            break;
        if (polled[0].revents & POLLIN) {
            uint64_t count;
            [[maybe_unused]] ssize_t ignored = ::read(wake.get(), &count, sizeof count);
            takeAnswers();
        }
        for (size_t i = 2; i < polled.size(); ++i) {
            if (polled[i].revents == 0)
                continue;
            uint64_t id = polledIds[i - 2];
            auto found = connections.find(id);
            if (found == connections.end())
                continue;
            Connection& c = found->second;
            if (c.stage == Stage::Reading)
                readFrom(id, c);
            else if (c.stage == Stage::Writing)
                writeTo(c);
            if (c.stage == Stage::Lingering)
                lingerOn(id, c);
        }
        if (polled[1].revents & POLLIN)
            acceptConnections();

        now = Clock::now();
        for (auto& [id, c] : connections) {
            if (c.stage != Stage::Answering && now >= c.deadline)
                closing.push_back(id);
        }
        for (uint64_t id : closing)
            connections.erase(id);
        closing.clear();
    }
    // Answers under way finish before their connections go.
    workers.waitIdle();
    connections.clear();
    std::lock_guard lock(answeredMutex);
    answered.clear();
}

void HttpServer::Impl::acceptConnections()
{
    while (connections.size() < limits.maxConnections) {
        int socket = ::accept4(listener.get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (socket < 0) {
            // Out of descriptors, the waiting connection stays in the queue
            // and the listener stays ready: without a pause the loop would
            // spin until a descriptor came free.
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM)
                acceptAgainAt = Clock::now() + kAcceptPause;
            return;
        }
        connections.try_emplace(nextId++, socket, limits);
    }
}

void HttpServer::Impl::readFrom(uint64_t id, Connection& c)
{
    char buffer[kReadChunk];
    for (;;) {
        ssize_t n = ::recv(c.fd.get(), buffer, sizeof buffer, 0);
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
            return;
        if (n <= 0) {
            closing.push_back(id); // gone before its request was whole
            return;
        }
        if (!c.heardFrom) {
            c.heardFrom = true;
            c.deadline = Clock::now() + limits.requestTime;
        }
        HttpRequestReader::Progress progress
            = c.reader.feed(std::string_view(buffer, static_cast<size_t>(n)));
        if (progress == HttpRequestReader::Progress::HeadDone) {
            c.headOnly = c.reader.request().method == "HEAD";
            std::optional<HttpResponse> refused;
            try {
                refused = handlers.screen(c.reader.request());
            } catch (const std::exception&) {
                refused = HttpResponse::text(500, "Internal Server Error\n");
            }
            if (refused) {
                startAnswer(c, serialize(std::move(*refused), c.headOnly));
                return;
            }
            progress = c.reader.startBody();
            if (progress == HttpRequestReader::Progress::NeedMore && c.reader.expectsContinue()) {
                static constexpr std::string_view kContinue = "HTTP/1.1 100 Continue\r\n\r\n";
                ::send(c.fd.get(), kContinue.data(), kContinue.size(), MSG_NOSIGNAL);
            }
        }
        if (progress == HttpRequestReader::Progress::Refused) {
            startAnswer(c, refusal(c.reader.refusalStatus()));
            return;
        }
        if (progress == HttpRequestReader::Progress::BodyDone) {
            c.stage = Stage::Answering;
            workers.post([this, id, request = c.reader.takeRequest(), headOnly = c.headOnly] {
                std::string bytes;
                try {
                    bytes = serialize(handlers.answer(request), headOnly);
                } catch (const std::exception&) {
                    bytes = refusal(500);
                }
                {
                    std::lock_guard lock(answeredMutex);
                    answered.emplace_back(id, std::move(bytes));
                }
                signal();
            });
            return;
        }
    }
}

void HttpServer::Impl::takeAnswers()
{
    std::vector<std::pair<uint64_t, std::string>> ready;
    {
        std::lock_guard lock(answeredMutex);
        ready.swap(answered);
    }
    for (auto& [id, bytes] : ready) {
        auto found = connections.find(id);
        if (found == connections.end())
            continue;
        startAnswer(found->second, std::move(bytes));
        if (found->second.stage == Stage::Lingering)
            lingerOn(id, found->second);
    }
}

void HttpServer::Impl::startAnswer(Connection& c, std::string bytes)
{
    c.stage = Stage::Writing;
    c.out = std::move(bytes);
    c.written = 0;
    c.deadline = Clock::now() + limits.responseTime;
    writeTo(c);
}

void HttpServer::Impl::writeTo(Connection& c)
{
    while (c.written < c.out.size()) {
        ssize_t n
            = ::send(c.fd.get(), c.out.data() + c.written, c.out.size() - c.written, MSG_NOSIGNAL);
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
            return;
        if (n <= 0) {
            c.deadline = Clock::now(); // the client is gone
            return;
        }
        c.written += static_cast<size_t>(n);
    }
    c.out = {};
    ::shutdown(c.fd.get(), SHUT_WR);
    c.stage = Stage::Lingering;
    c.deadline = Clock::now() + kLingerTime;
}

void HttpServer::Impl::lingerOn(uint64_t id, Connection& c)
{
    char buffer[kReadChunk];
    for (;;) {
        ssize_t n = ::recv(c.fd.get(), buffer, sizeof buffer, 0);
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
            return;
        c.lingered += n > 0 ? static_cast<size_t>(n) : 0;
        if (n <= 0 || c.lingered > kLingerBytes) {
            closing.push_back(id);
            return;
        }
    }
}

} // namespace platform
