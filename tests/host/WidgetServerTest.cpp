// The widget host over real sockets on 127.0.0.1: its address, the headers
// on every answer, the screen of calls by their headers, the methods allowed
// where, and the plug-in entered one call at a time however many clients
// come (the reader's limits and the slow clients are the hostile-client
// tests').
#include "support/HostFixture.h"

#include <atomic>

namespace {

using namespace testing_support;

using WidgetServerTest = HostFixture;

TEST_F(WidgetServerTest, ServesTheMainPageAtTheRootAndHeadWithoutBody)
{
    EXPECT_EQ(server.url(), "http://127.0.0.1:" + std::to_string(port) + "/");
    EXPECT_NE(get("/").body.find("Probe widget"), std::string::npos) << "the MainHTML page at /";
    auto page = get("/probe.html");
    auto head = roundTrip(port, requestText("HEAD", "/probe.html", port));
    EXPECT_EQ(head.status, 200);
    EXPECT_EQ(head["content-length"], std::to_string(page.body.size()));
    EXPECT_EQ(head["content-type"], "text/html; charset=utf-8");
    EXPECT_TRUE(head.body.empty());
}

TEST_F(WidgetServerTest, EveryAnswerCarriesTheSafetyHeaders)
{
    const std::string cases[] = {
        requestText("GET", "/probe.html", port), requestText("GET", "/missing", port),
        requestText("GET", "/%2e%2e/etc/passwd", port), requestText("DELETE", "/probe.html", port),
        callText(port, probeCall("getLevel")), callText(port, "not json"),
        requestText("GET", "/", port, {}, "Origin: http://evil.example\r\n"),
        "BREW /pot HTCPCP/1.0\r\n\r\n", // the server's own refusal
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

TEST_F(WidgetServerTest, RefusesCallsByTheirHeadersBeforeReadingABody)
{
    const std::string body = probeCall("setLevel", "0.5");
    const std::string p = std::to_string(port);
    const std::string host = "Host: 127.0.0.1:" + p + "\r\n";
    const std::string json = "Content-Type: application/json\r\n";
    const std::string length = "Content-Length: " + std::to_string(body.size()) + "\r\n";
    auto post = [&](const std::string& headers, bool withBody = true) {
        return "POST /_bridge/call HTTP/1.1\r\n" + headers + "\r\n" + (withBody ? body : "");
    };
    const struct {
        const char* what;
        std::string request;
        int status;
    } cases[] = {
        {"foreign host", post("Host: example.com:" + p + "\r\n" + json + length), 403},
        {"other port", post("Host: 127.0.0.1:1\r\n" + json + length), 403},
        {"no host", post(json + length), 403},
        {"two hosts", post(host + host + json + length), 400},
        {"two origins",
            post(host + "Origin: http://127.0.0.1:" + p + "\r\nOrigin: http://evil.example\r\n"
                + json + length),
            400},
        {"two types", post(host + json + json + length), 400},
        {"foreign origin", post(host + "Origin: http://evil.example\r\n" + json + length), 403},
        {"origin other port", post(host + "Origin: http://127.0.0.1:1\r\n" + json + length), 403},
        {"null origin", post(host + "Origin: null\r\n" + json + length), 403},
        {"https origin", post(host + "Origin: https://127.0.0.1:" + p + "\r\n" + json + length),
            403},
        // No body follows these: a server that waited for one would time out.
        {"chunked", post(host + json + "Transfer-Encoding: chunked\r\n", false), 411},
        {"compressed", post(host + json + "Content-Encoding: gzip\r\nContent-Length: 9\r\n", false),
            415},
        {"too large", post(host + json + "Content-Length: 16385\r\n", false), 413},
        {"huge", post(host + json + "Content-Length: 99999999999999999\r\n", false), 413},
        {"bad length", post(host + json + "Content-Length: 12x\r\n", false), 400},
        {"form", post(host + "Content-Type: application/x-www-form-urlencoded\r\n" + length), 415},
        {"no type", post(host + length), 415},
    };
    for (const auto& c : cases)
        EXPECT_EQ(roundTrip(port, c.request, 3).status, c.status) << c.what;
    EXPECT_EQ(call(probeCall("getLevel")).body, "{\"result\":0.25}\n") << "a refused call ran";

    // The host's own names, with or without an origin of its own.
    for (const std::string& name : {"127.0.0.1:" + p, "localhost:" + p, "LOCALHOST:" + p}) {
        for (const std::string& origin : {std::string(), "Origin: http://127.0.0.1:" + p + "\r\n",
                 "Origin: http://localhost:" + p + "\r\n"}) {
            auto response = roundTrip(port,
                post("Host: " + name + "\r\n" + origin
                    + "Content-Type: application/json; charset=utf-8\r\n" + length));
            EXPECT_EQ(response.status, 200) << name << " " << origin;
        }
    }
}

TEST_F(WidgetServerTest, MethodsOutsideTheirPlaceAreNotAllowed)
{
    const struct {
        std::string request;
        const char* allow;
    } cases[] = {
        {requestText("GET", "/_bridge/call", port), "POST"},
        {callText(port, "{}").replace(5, 12, "/probe.html"), "GET, HEAD"},
    };
    for (const auto& c : cases) {
        auto response = roundTrip(port, c.request);
        EXPECT_EQ(response.status, 405) << c.request;
        EXPECT_EQ(response["allow"], c.allow) << c.request;
    }
}

TEST_F(WidgetServerTest, AHundredClientsAtOnceAreAllAnsweredOneCallAtATime)
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
            status[size_t(c)]
                = (c % 2 ? call(probeCall("slowTick", std::to_string(c))) : get("/probe.html"))
                      .status;
        });
    }
    go = true;
    for (auto& client : clients)
        client.join();
    for (int c = 0; c < kClients; ++c)
        EXPECT_EQ(status[size_t(c)], 200) << "client " << c;
    EXPECT_EQ(
        call(probeCall("callStats")).body, "{\"result\":\"overlaps=0 threads=1 ticks=50\"}\n");
}

// The reader's refusals are the hostile-client tests'; here, what a reader
// that took more than one request per connection would let through.
TEST_F(WidgetServerTest, TwoRequestsInOneConnectionServeTheFirstOnly)
{
    auto twice = roundTrip(
        port, callText(port, probeCall("getLevel")) + callText(port, probeCall("setLevel", "0.5")));
    EXPECT_EQ(twice.body, "{\"result\":0.25}\n");
    EXPECT_EQ(call(probeCall("getLevel")).body, "{\"result\":0.25}\n") << "the second one ran";
}

TEST(WidgetServerBindTest, APortInUseIsReportedAndStopBeforeRunEndsRunAtOnce)
{
    ScratchWidget scratch;
    host::WidgetServer first(scratch.widget().string(), 0);
    try {
        host::WidgetServer second(scratch.widget().string(), first.port());
        ADD_FAILURE() << "bound a port that was in use";
    } catch (const platform::HttpServerError& e) {
        EXPECT_NE(std::string(e.what()).find("in use"), std::string::npos) << e.what();
    }
    first.stop();
    first.run(); // would hang if the stop were lost
}

} // namespace
