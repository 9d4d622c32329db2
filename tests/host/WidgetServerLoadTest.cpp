// The widget host under load and abuse, on loopback only: a hundred clients
// at once, clients that connect and say nothing or trickle their request a
// byte at a time, and requests no browser would send. Every client here is
// bounded by socket timeouts and joined before the test ends. The bridge
// keeps answering, and the plug-in is never entered twice at once.
#include "host/WidgetServer.h"

#include "host/LoopbackClient.h"
#include "host/ProbeWidget.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>

namespace {

using hosttest::callText;
using hosttest::requestText;
using hosttest::roundTrip;

const std::string kGetLevel = R"({"object":"BridgeProbe","method":"getLevel","args":[]})";

// A connection to the server, closed when the object goes.
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
        return ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) == ssize_t(bytes.size());
    }
};

class WidgetServerLoadTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        server = std::make_unique<host::WidgetServer>(scratch.widget().string(), 0);
        port = server->port();
        serving = std::thread([this] { server->run(); });
    }
    void TearDown() override
    {
        server->stop();
        serving.join();
    }

    hosttest::RawResponse call(const std::string& body, int timeoutSeconds = 10)
    {
        return roundTrip(port, callText(port, body), timeoutSeconds);
    }

    hosttest::ScratchWidget scratch;
    std::unique_ptr<host::WidgetServer> server;
    int port = 0;
    std::thread serving;
};

} // namespace

TEST_F(WidgetServerLoadTest, AHundredClientsAtOnceAreAllAnsweredOneCallAtATime)
{
    constexpr int kClients = 100;
    std::vector<std::thread> clients;
    std::vector<int> status(kClients, 0);
    std::atomic<bool> go {false};
    for (int c = 0; c < kClients; ++c) {
        clients.emplace_back([&, c] {
            while (!go)
                std::this_thread::yield();
            // Half call the plug-in, half fetch files, all at the same moment.
            auto response = c % 2 ? call(R"({"object":"BridgeProbe","method":"slowTick","args":[)"
                                + std::to_string(c) + "]}")
                                  : roundTrip(port, requestText("GET", "/probe.html", port));
            status[size_t(c)] = response.status;
        });
    }
    go = true;
    for (auto& client : clients)
        client.join();
    for (int c = 0; c < kClients; ++c)
        EXPECT_EQ(status[size_t(c)], 200) << "client " << c;
    EXPECT_EQ(call(R"({"object":"BridgeProbe","method":"callStats","args":[]})").body,
        "{\"result\":\"overlaps=0 threads=1 ticks=50\"}\n");
}

TEST_F(WidgetServerLoadTest, SilentAndSlowClientsDoNotKeepThePageFromItsAnswers)
{
    // A hundred connections that send nothing, and ten that trickle a
    // request a byte at a time, each byte well within the read timeout.
    std::vector<std::unique_ptr<Connection>> silent;
    for (int i = 0; i < 100; ++i) {
        silent.push_back(std::make_unique<Connection>(port));
        ASSERT_GE(silent.back()->fd, 0) << "connection " << i;
    }
    std::atomic<bool> done {false};
    std::vector<std::thread> slow;
    for (int i = 0; i < 10; ++i) {
        slow.emplace_back([&] {
            Connection c(port);
            const std::string request = callText(port, kGetLevel);
            for (size_t at = 0; at < request.size() && !done; ++at) {
                if (!c.send(request.substr(at, 1)))
                    break;
                std::this_thread::sleep_for(std::chrono::milliseconds(200));
            }
        });
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    // Meanwhile the page's calls and files are answered, each well before
    // its client would give up.
    for (int i = 0; i < 5; ++i) {
        auto response = call(kGetLevel, 3);
        EXPECT_EQ(response.status, 200) << "call " << i << " while others hold connections";
        EXPECT_EQ(response.body, "{\"result\":0.25}\n");
        EXPECT_EQ(roundTrip(port, requestText("GET", "/probe.html", port), 3).status, 200);
    }
    done = true;
    for (auto& t : slow)
        t.join();
    silent.clear();
    EXPECT_EQ(call(kGetLevel).status, 200);
}

TEST_F(WidgetServerLoadTest, HostileRequestsAreRefusedAndTheBridgeStillAnswers)
{
    const std::string p = std::to_string(port);
    std::string nested(8000, '[');
    nested += std::string(8000, ']');
    const std::string hostile[] = {
        std::string("GET /\0/etc/passwd HTTP/1.1\r\nHost: 127.0.0.1:", 18) + p + "\r\n\r\n",
        "GET /" + std::string(70000, 'a') + " HTTP/1.1\r\nHost: 127.0.0.1:" + p + "\r\n\r\n",
        requestText("GET", "/", port, {}, "X-Long: " + std::string(70000, 'x') + "\r\n"),
        requestText("GET", "/", port, {},
            [] {
                std::string many;
                for (int i = 0; i < 500; ++i)
                    many += "X-" + std::to_string(i) + ": y\r\n";
                return many;
            }()),
        "\r\n\r\n\r\n",
        "GARBAGE\r\n\r\n",
        "GET / HTTP/9.9\r\nHost: 127.0.0.1:" + p + "\r\n\r\n",
        std::string(1 << 16, '\xFF'),
        callText(port, nested),
        callText(port, "{\"object\":\"BridgeProbe\",\"method\":\"setLevel\",\"args\":[1e999]}"),
        callText(port, "{\"object\":\"BridgeProbe\",\"method\":\"setLevel\",\"args\":[\"\xC3\"]}"),
        callText(port, R"({"object":"BridgeProbe","method":"secret","args":[]})"),
        callText(port, R"({"object":"BridgeProbe","method":"getLevel","args":{}})"),
        callText(port, R"({"object":"BridgeProbe","method":["getLevel"],"args":[]})"),
        callText(port, R"({"object":"GloamPlugin\u0000","method":"getLevel","args":[]})"),
        // Two requests in one: the connection serves one request only.
        callText(port, kGetLevel) + callText(port, kGetLevel),
        // A declared body that never comes.
        "POST /_bridge/call HTTP/1.1\r\nHost: 127.0.0.1:" + p
            + "\r\nContent-Type: application/json\r\nContent-Length: 500\r\n\r\n{",
    };
    for (const auto& request : hostile) {
        auto response = roundTrip(port, request, 8);
        // Refused with a status, or closed: never served as a success, never
        // a crash, never a hang past the read timeout.
        if (response.status == 200) {
            EXPECT_EQ(response.body.find("exposed an excluded"), std::string::npos);
            EXPECT_EQ(request.find("secret"), std::string::npos) << request.substr(0, 80);
        }
    }
    auto after = call(kGetLevel);
    EXPECT_EQ(after.status, 200);
    EXPECT_EQ(after.body, "{\"result\":0.25}\n") << "the level was changed by a refused call";
    EXPECT_EQ(call(R"({"object":"BridgeProbe","method":"callStats","args":[]})").body,
        "{\"result\":\"overlaps=0 threads=1 ticks=0\"}\n");
}
