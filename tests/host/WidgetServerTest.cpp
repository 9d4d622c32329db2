#include "host/WidgetServer.h"

#include "host/LoopbackClient.h"
#include "host/ProbeWidget.h"

#include <gtest/gtest.h>
#include <thread>

namespace {

using hosttest::callText;
using hosttest::requestText;
using hosttest::roundTrip;

class WidgetServerTest : public ::testing::Test {
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

    std::string call(const std::string& body) { return roundTrip(port, callText(port, body)).body; }

    hosttest::ScratchWidget scratch;
    std::unique_ptr<host::WidgetServer> server;
    int port = 0;
    std::thread serving;
};

TEST_F(WidgetServerTest, ListensOnLoopbackAtTheChosenPort)
{
    EXPECT_GT(port, 0);
    EXPECT_EQ(server->url(), "http://127.0.0.1:" + std::to_string(port) + "/");
    auto page = roundTrip(port, requestText("GET", "/", port));
    EXPECT_EQ(page.status, 200);
    EXPECT_NE(page.body.find("Probe widget"), std::string::npos) << "the MainHTML page at /";
}

TEST_F(WidgetServerTest, EveryAnswerCarriesTheSafetyHeaders)
{
    const std::string cases[] = {
        requestText("GET", "/probe.html", port),
        requestText("HEAD", "/probe.html", port),
        requestText("GET", "/_bridge/bridge.js", port),
        requestText("GET", "/missing", port),
        requestText("GET", "/%2e%2e/etc/passwd", port),
        requestText("DELETE", "/probe.html", port),
        callText(port, R"({"object":"BridgeProbe","method":"getLevel","args":[]})"),
        callText(port, "not json"),
        requestText("GET", "/", port, {}, "Origin: http://evil.example\r\n"),
        requestText("POST", "/_bridge/call", port, std::string(20000, 'x'),
            "Content-Type: application/json\r\n"),
        // The server's own refusal of a request it cannot parse.
        "BREW /pot HTCPCP/1.0\r\n\r\n",
    };
    for (const auto& request : cases) {
        auto response = roundTrip(port, request);
        std::string line = request.substr(0, request.find('\r'));
        EXPECT_NE(response.status, 0) << line;
        EXPECT_EQ(response["x-content-type-options"], "nosniff") << line;
        EXPECT_EQ(response["cache-control"], "no-store") << line;
        EXPECT_EQ(response["content-security-policy"], "default-src 'self'") << line;
    }
}

TEST_F(WidgetServerTest, HeadGivesTheLengthWithoutTheBody)
{
    auto get = roundTrip(port, requestText("GET", "/probe.html", port));
    auto head = roundTrip(port, requestText("HEAD", "/probe.html", port));
    EXPECT_EQ(head.status, 200);
    EXPECT_EQ(head["content-length"], std::to_string(get.body.size()));
    EXPECT_EQ(head["content-type"], "text/html; charset=utf-8");
    EXPECT_TRUE(head.body.empty());
}

TEST_F(WidgetServerTest, RefusesCallsByTheirHeadersBeforeReadingABody)
{
    const std::string call = R"({"object":"BridgeProbe","method":"setLevel","args":[0.5]})";
    const std::string p = std::to_string(port);
    struct Case {
        const char* what;
        std::string request;
        int status;
    };
    auto post = [&](const std::string& headers, const std::string& body = {}) {
        return "POST /_bridge/call HTTP/1.1\r\n" + headers + "\r\n" + body;
    };
    const std::string host = "Host: 127.0.0.1:" + p + "\r\n";
    const std::string json = "Content-Type: application/json\r\n";
    const std::string length = "Content-Length: " + std::to_string(call.size()) + "\r\n";
    const Case cases[] = {
        {"foreign host", post("Host: example.com:" + p + "\r\n" + json + length, call), 403},
        {"other port", post("Host: 127.0.0.1:1\r\n" + json + length, call), 403},
        {"no host", post(json + length, call), 403},
        {"two hosts", post(host + host + json + length, call), 403},
        {"foreign origin", post(host + "Origin: http://evil.example\r\n" + json + length, call),
            403},
        {"origin other port", post(host + "Origin: http://127.0.0.1:1\r\n" + json + length, call),
            403},
        {"null origin", post(host + "Origin: null\r\n" + json + length, call), 403},
        {"https origin",
            post(host + "Origin: https://127.0.0.1:" + p + "\r\n" + json + length, call), 403},
        // No body follows these: a server that waited for one would time out.
        {"chunked", post(host + json + "Transfer-Encoding: chunked\r\n"), 411},
        {"compressed", post(host + json + "Content-Encoding: gzip\r\nContent-Length: 900000\r\n"),
            415},
        {"too large", post(host + json + "Content-Length: 16385\r\n"), 413},
        {"huge", post(host + json + "Content-Length: 99999999999999999\r\n"), 413},
        {"waits for continue",
            post(host + json + "Expect: 100-continue\r\nContent-Length: 20000\r\n"), 413},
        {"bad length", post(host + json + "Content-Length: 12x\r\n"), 400},
        {"form", post(host + "Content-Type: application/x-www-form-urlencoded\r\n" + length, call),
            415},
        {"text", post(host + "Content-Type: text/plain\r\n" + length, call), 415},
        {"no type", post(host + length, call), 415},
    };
    for (const auto& c : cases) {
        auto response = roundTrip(port, c.request, 3);
        EXPECT_EQ(response.status, c.status) << c.what << ": " << response.body;
    }
    // None of them reached the plug-in.
    EXPECT_EQ(this->call(R"({"object":"BridgeProbe","method":"getLevel","args":[]})"),
        "{\"result\":0.25}\n");
}

TEST_F(WidgetServerTest, AcceptsTheNamesAndOriginsOfItsOwnAddress)
{
    const std::string p = std::to_string(port);
    const std::string body = R"({"object":"BridgeProbe","method":"getLevel","args":[]})";
    const std::string hosts[] = {"127.0.0.1:" + p, "localhost:" + p, "LOCALHOST:" + p};
    const std::string origins[]
        = {"", "Origin: http://127.0.0.1:" + p + "\r\n", "Origin: http://localhost:" + p + "\r\n"};
    for (const auto& hostName : hosts) {
        for (const auto& origin : origins) {
            auto response = roundTrip(port,
                "POST /_bridge/call HTTP/1.1\r\nHost: " + hostName + "\r\n" + origin
                    + "Content-Type: application/json; charset=utf-8\r\nContent-Length: "
                    + std::to_string(body.size()) + "\r\n\r\n" + body);
            EXPECT_EQ(response.status, 200) << hostName << " " << origin;
        }
    }
}

TEST_F(WidgetServerTest, MethodsOutsideTheirPlaceAreNotAllowed)
{
    struct Case {
        std::string request;
        int status;
        const char* allow;
    };
    const Case cases[] = {
        {requestText("GET", "/_bridge/call", port), 405, "POST"},
        {requestText("POST", "/probe.html", port, "{}", "Content-Type: application/json\r\n"), 405,
            "GET, HEAD"},
        {requestText("PUT", "/probe.html", port, "x"), 405, "GET, HEAD"},
        {requestText("OPTIONS", "/_bridge/call", port), 405, "POST"},
    };
    for (const auto& c : cases) {
        auto response = roundTrip(port, c.request);
        EXPECT_EQ(response.status, c.status) << c.request;
        EXPECT_EQ(response["allow"], c.allow) << c.request;
    }
}

TEST_F(WidgetServerTest, ParallelCallsReachThePluginOneAtATimeOnOneThread)
{
    constexpr int kClients = 8;
    constexpr int kCallsEach = 12;
    std::vector<std::thread> clients;
    std::vector<std::vector<int>> answers(kClients);
    for (int c = 0; c < kClients; ++c) {
        clients.emplace_back([&, c] {
            for (int i = 0; i < kCallsEach; ++i) {
                auto response = roundTrip(port,
                    callText(port,
                        R"({"object":"BridgeProbe","method":"slowTick","args":[)"
                            + std::to_string(c * 100 + i) + "]}"));
                answers[c].push_back(
                    response.status == 200 ? std::atoi(response.body.c_str() + 10) : -1);
            }
        });
    }
    for (auto& client : clients)
        client.join();
    EXPECT_EQ(call(R"({"object":"BridgeProbe","method":"callStats","args":[]})"),
        "{\"result\":\"overlaps=0 threads=1 ticks=" + std::to_string(kClients * kCallsEach)
            + "\"}\n");
    // Each client waited for each answer, so its calls ran in its order: the
    // tick counts it was given only grow.
    for (int c = 0; c < kClients; ++c) {
        ASSERT_EQ(answers[c].size(), size_t(kCallsEach));
        for (int i = 0; i < kCallsEach; ++i) {
            EXPECT_GT(answers[c][i], 0) << "client " << c << " call " << i;
            if (i > 0) {
                EXPECT_GT(answers[c][i], answers[c][i - 1]) << "client " << c << " call " << i;
            }
        }
    }
}

TEST(WidgetServerBindTest, APortInUseIsReportedNotTakenOver)
{
    hosttest::ScratchWidget scratch;
    host::WidgetServer first(scratch.widget().string(), 0);
    try {
        host::WidgetServer second(scratch.widget().string(), first.port());
        ADD_FAILURE() << "bound a port that was in use";
    } catch (const platform::HttpServerError& e) {
        EXPECT_NE(std::string(e.what()).find("in use"), std::string::npos) << e.what();
    }
}

TEST(WidgetServerBindTest, StopBeforeRunEndsRunAtOnce)
{
    hosttest::ScratchWidget scratch;
    host::WidgetServer server(scratch.widget().string(), 0);
    server.stop();
    server.run(); // would hang if the stop were lost
    SUCCEED();
}

} // namespace
