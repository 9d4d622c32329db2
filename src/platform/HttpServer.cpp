#include "platform/HttpServer.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <httplib.h>
#include <mutex>
#include <strings.h>
#include <sys/socket.h>
#include <thread>

namespace platform {

namespace {

// The library's own pool has a fixed eight workers, and a client that sends
// nothing holds one for the whole read timeout (one trickling a byte at a
// time, for longer): eight such clients and the page's calls queue behind
// them. Here each connection gets a worker of its own as it arrives, up to
// `max` at once; only past that do connections wait for one. Workers stay
// for the next connections and end with the server.
class ConnectionWorkers final : public httplib::TaskQueue {
public:
    explicit ConnectionWorkers(size_t max)
        : m_max(max)
    {
    }

    void enqueue(std::function<void()> job) override
    {
        std::lock_guard lock(m_mutex);
        m_jobs.push_back(std::move(job));
        if (m_jobs.size() > m_idle && m_threads.size() < m_max)
            m_threads.emplace_back([this] { work(); });
        else
            m_ready.notify_one();
    }

    void shutdown() override
    {
        {
            std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        m_ready.notify_all();
        for (auto& thread : m_threads)
            thread.join();
        m_threads.clear();
    }

private:
    void work()
    {
        std::unique_lock lock(m_mutex);
        for (;;) {
            ++m_idle;
            m_ready.wait(lock, [this] { return m_stopping || !m_jobs.empty(); });
            --m_idle;
            if (m_jobs.empty())
                return; // stopping, and every connection taken was served
            std::function<void()> job = std::move(m_jobs.front());
            m_jobs.pop_front();
            lock.unlock();
            job();
            lock.lock();
        }
    }

    const size_t m_max;
    std::mutex m_mutex;
    std::condition_variable m_ready;
    std::deque<std::function<void()>> m_jobs;
    std::vector<std::thread> m_threads;
    size_t m_idle = 0;
    bool m_stopping = false;
};

// Connections served at once; a loopback widget host has one page and a few
// tools as clients, so this many at once is only ever someone misbehaving.
constexpr size_t kMaxConnectionWorkers = 256;

// Connections the system keeps waiting to be accepted. The library listens
// with a backlog of five, built into its shared library: a burst of clients
// beyond that has its connections dropped and retried by the system,
// seconds later.
constexpr int kListenBacklog = 128;

bool sameName(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

HttpRequest fromLibrary(const httplib::Request& request, bool withBody)
{
    HttpRequest converted;
    converted.method = request.method;
    converted.target = request.target;
    for (const auto& [name, value] : request.headers)
        converted.headers.emplace_back(name, value);
    if (withBody)
        converted.body = request.body;
    return converted;
}

void toLibrary(HttpResponse answer, httplib::Response& response)
{
    response.status = answer.status;
    for (auto& [name, value] : answer.headers)
        response.set_header(name, value);
    if (answer.contentType.empty())
        answer.contentType = "application/octet-stream";
    response.set_content(std::move(answer.body), answer.contentType);
}

std::string reasonPhrase(int status)
{
    switch (status) {
    case 400:
        return "Bad Request";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 413:
        return "Payload Too Large";
    case 414:
        return "URI Too Long";
    case 416:
        return "Range Not Satisfiable";
    case 417:
        return "Expectation Failed";
    case 500:
        return "Internal Server Error";
    default:
        return "HTTP status " + std::to_string(status);
    }
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
    Handlers handlers;
    httplib::Server server;
    std::atomic<bool> stopped {false};
    std::atomic<bool> entered {false};
    std::atomic<bool> finished {false};
    std::atomic<int> listening {-1}; // the listening socket, once made
};

HttpServer::HttpServer(Handlers handlers, size_t maxBodyBytes, HttpHeaders everyAnswer)
    : m_impl(std::make_unique<Impl>())
{
    m_impl->handlers = std::move(handlers);
    httplib::Server& server = m_impl->server;

    httplib::Headers defaults;
    for (auto& [name, value] : everyAnswer)
        defaults.emplace(name, value);
    server.set_default_headers(std::move(defaults));
    // The library checks a declared length against this, but lets chunked and
    // compressed bodies grow past it; the screen refuses those first.
    server.set_payload_max_length(maxBodyBytes);
    // One request per connection: a refused request's unread body is never
    // taken for the next request, and idle browser connections hold no worker.
    server.set_keep_alive_max_count(1);
    server.set_read_timeout(5, 0);
    // The library's default adds SO_REUSEPORT, with which a second server on
    // the same port binds too and takes half of the connections. Address
    // reuse alone lets a restarted host take its port back at once.
    // The library calls this for its listening socket only, before binding;
    // bind() widens that socket's backlog once it listens.
    server.set_socket_options([impl = m_impl.get()](socket_t socket) {
        int yes = 1;
        setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        impl->listening = socket;
    });
    server.set_write_timeout(5, 0);
    server.new_task_queue = [] { return new ConnectionWorkers(kMaxConnectionWorkers); };

    Impl* impl = m_impl.get();
    // Runs before the library reads a body, so that a refusal costs nothing.
    server.set_pre_routing_handler(
        [impl](const httplib::Request& request, httplib::Response& response) {
            if (auto refusal = impl->handlers.screen(fromLibrary(request, false))) {
                toLibrary(std::move(*refusal), response);
                return httplib::Server::HandlerResponse::Handled;
            }
            return httplib::Server::HandlerResponse::Unhandled;
        });
    // A client that waits for "100 Continue" hears the refusal instead and
    // never sends its body.
    server.set_expect_100_continue_handler(
        [impl](const httplib::Request& request, httplib::Response& response) {
            if (auto refusal = impl->handlers.screen(fromLibrary(request, false))) {
                toLibrary(std::move(*refusal), response);
                return response.status == 100 ? 417 : response.status;
            }
            return 100;
        });
    auto answer = [impl](const httplib::Request& request, httplib::Response& response) {
        toLibrary(impl->handlers.answer(fromLibrary(request, true)), response);
    };
    server.Get(".*", answer);
    server.Post(".*", answer);
    server.Put(".*", answer);
    server.Patch(".*", answer);
    server.Delete(".*", answer);
    server.Options(".*", answer);
    // The library's own refusals (a malformed request line, a declared body
    // over the limit) get a text body; the screen's answers already have one.
    server.set_error_handler(httplib::Server::HandlerWithResponse(
        [](const httplib::Request&, httplib::Response& response) {
            if (!response.body.empty())
                return httplib::Server::HandlerResponse::Unhandled;
            response.set_content(reasonPhrase(response.status) + "\n", "text/plain; charset=utf-8");
            return httplib::Server::HandlerResponse::Handled;
        }));
}

HttpServer::~HttpServer()
{
    stop();
}

int HttpServer::bind(const std::string& address, int port)
{
    int bound = port == 0 ? m_impl->server.bind_to_any_port(address)
                          : (m_impl->server.bind_to_port(address, port) ? port : -1);
    if (bound <= 0)
        throw HttpServerError("cannot listen on " + address + ":" + std::to_string(port)
            + (port ? " (is the port in use?)" : ""));
    // Listening again on a listening socket only sets its backlog.
    if (int socket = m_impl->listening; socket >= 0)
        ::listen(socket, kListenBacklog);
    return bound;
}

void HttpServer::run()
{
    m_impl->entered = true;
    if (!m_impl->stopped)
        m_impl->server.listen_after_bind();
    m_impl->finished = true;
}

void HttpServer::stop()
{
    m_impl->stopped = true;
    // The library ignores a stop that comes before its loop is running; a
    // run() that got past its check is about to start that loop, so wait.
    while (m_impl->entered && !m_impl->finished && !m_impl->server.is_running())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    m_impl->server.stop();
}

} // namespace platform
