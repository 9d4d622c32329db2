// The widget host against hostile local clients, on 127.0.0.1 only: bodies
// without a length, heads without end, clients that trickle or say nothing,
// and three hundred of them at once. The rules are checked on the request
// reader; each attack is then made on a real server, which must refuse it
// before buffering it, keep answering the page meanwhile, and be left with
// no extra threads and no extra memory. Every loop and socket is bounded.
#include "platform/Files.h"
#include "platform/HttpRequestReader.h"
#include "platform/WorkerPool.h"
#include "support/HostFixture.h"

#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <poll.h>
#include <thread>

namespace {

using namespace testing_support;
using platform::HttpRequestReader;
using Progress = HttpRequestReader::Progress;
using namespace std::chrono_literals;

const std::string kGetLevel = probeCall("getLevel");

size_t residentBytes()
{
    size_t pages = 0, resident = 0;
    std::ifstream("/proc/self/statm") >> pages >> resident;
    return resident * static_cast<size_t>(sysconf(_SC_PAGESIZE));
}

size_t threadCount()
{
    auto tasks = std::filesystem::directory_iterator("/proc/self/task");
    return static_cast<size_t>(std::distance(begin(tasks), end(tasks)));
}

// A client of the server's port; non-blocking when asked, so that one thread
// can hold hundreds of them.
struct Client : Connection {
    Client(int port, bool nonBlocking)
        : Connection(port, 3)
    {
        if (nonBlocking && fd >= 0)
            ::fcntl(fd, F_SETFL, O_NONBLOCK);
    }
    // Sends `chunk` up to `times` times, until the server stops taking it;
    // returns the bytes it took.
    size_t flood(const std::string& chunk, size_t times) const
    {
        size_t sent = 0;
        for (size_t i = 0; i < times && send(chunk); ++i)
            sent += chunk.size();
        return sent;
    }
    RawResponse response() const { return parseResponse(readAll()); }
    // True once the server has closed its side.
    bool closedByServer() const
    {
        pollfd polled {fd, POLLIN, 0};
        char byte;
        return ::poll(&polled, 1, 0) == 1 && ::recv(fd, &byte, 1, MSG_DONTWAIT) <= 0;
    }
};

// Feeds `head` to a reader in pieces of `step` bytes and goes on past the
// head as the server would; the reader's last word.
Progress read(HttpRequestReader& reader, const std::string& request, size_t step)
{
    Progress progress = Progress::NeedMore;
    for (size_t at = 0; at < request.size() && progress == Progress::NeedMore; at += step) {
        progress = reader.feed(std::string_view(request).substr(at, step));
        if (progress == Progress::HeadDone)
            progress = reader.startBody();
    }
    return progress;
}

TEST(HttpRequestReaderTest, LimitsHoldWhileTheRequestIsRead)
{
    platform::HttpServer::Limits limits;
    limits.maxBodyBytes = 100;
    limits.maxHeadBytes = 1024;
    limits.maxHeaderLines = 10;
    auto lines = [](int count) {
        std::string many;
        for (int i = 0; i < count; ++i)
            many += "X-H: a\r\n";
        return many;
    };
    const std::string get = "GET / HTTP/1.1\r\nHost: h\r\n";
    const std::string post = "POST /c HTTP/1.1\r\nHost: h\r\n";
    struct {
        const char* what;
        std::string request;
        int status; // 0: read whole
    } cases[] = {
        {"plain", get + "\r\n", 0},
        {"body", post + "Content-Length: 3\r\n\r\nabc", 0},
        {"bare line feeds", "GET / HTTP/1.1\nHost: h\n\n", 0},
        {"post without length", post + "\r\n" + std::string(5000, ' '), 411},
        {"put without length", "PUT /c HTTP/1.1\r\n\r\n", 411},
        {"patch without length", "PATCH /c HTTP/1.1\r\n\r\n", 411},
        {"chunked", post + "Transfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n0\r\n\r\n", 411},
        {"length twice", post + "Content-Length: 3\r\nContent-Length: 3\r\n\r\nabc", 400},
        {"length not a number", post + "Content-Length: 0x3\r\n\r\nabc", 400},
        {"body over the limit", post + "Content-Length: 101\r\n\r\n", 413},
        {"other expectation", post + "Expect: gold\r\nContent-Length: 3\r\n\r\nabc", 417},
        {"at the line limit", "GET / HTTP/1.1\r\n" + lines(10) + "\r\n", 0},
        {"over the line limit", "GET / HTTP/1.1\r\n" + lines(11) + "\r\n", 431},
        {"at the size limit", get + "X: " + std::string(1024 - get.size() - 7, 'a') + "\r\n\r\n",
            0},
        {"over the size limit", get + "X: " + std::string(1024 - get.size() - 6, 'a') + "\r\n\r\n",
            431},
        {"head without end", get + "X: " + std::string(5000, 'a'), 431},
        {"folded line", get + "X: a\r\n b\r\n\r\n", 400},
        {"space before colon", get + "X : a\r\n\r\n", 400},
        {"control character", get + "X: a\x01\r\n\r\n", 400},
        {"no version", "GET /\r\n\r\n", 400},
        {"full address", "GET http://h/ HTTP/1.1\r\n\r\n", 400},
        {"other version", "GET / HTTP/2.0\r\n\r\n", 505},
        {"blank first line", "\r\nGET / HTTP/1.1\r\n\r\n", 400},
    };
    for (const auto& c : cases) {
        // Whole, and a byte at a time as a trickling client sends it.
        for (size_t step : {c.request.size(), size_t(1)}) {
            HttpRequestReader reader(limits);
            Progress progress = read(reader, c.request, step);
            if (c.status == 0) {
                EXPECT_EQ(progress, Progress::BodyDone) << c.what << " by " << step;
            } else {
                EXPECT_EQ(progress, Progress::Refused) << c.what << " by " << step;
                EXPECT_EQ(reader.refusalStatus(), c.status) << c.what << " by " << step;
            }
        }
    }
    HttpRequestReader reader(limits);
    ASSERT_EQ(read(reader, post + "Content-Length: 3\r\nX-Y:  two words \r\n\r\nabcdef", 7),
        Progress::BodyDone);
    EXPECT_EQ(reader.request().method, "POST");
    EXPECT_EQ(reader.request().target, "/c");
    EXPECT_EQ(reader.request().header("x-y"), "two words");
    EXPECT_EQ(reader.request().body, "abc") << "bytes after the body belong to no request";
}

TEST(WorkerPoolTest, AtMostItsThreadsAtOnceAndNoneLeftOnceIdle)
{
    const size_t before = threadCount();
    std::atomic<int> running {0}, most {0}, done {0};
    std::atomic<bool> release {false};
    {
        platform::WorkerPool pool(3, std::chrono::milliseconds(100));
        for (int i = 0; i < 12; ++i) {
            pool.post([&] {
                int now = ++running;
                for (int seen = most; now > seen && !most.compare_exchange_weak(seen, now);)
                    ;
                while (!release)
                    std::this_thread::sleep_for(1ms);
                --running;
                ++done;
            });
        }
        std::this_thread::sleep_for(50ms);
        EXPECT_EQ(threadCount(), before + 3);
        release = true;
        pool.waitIdle();
        EXPECT_EQ(done, 12);
        auto end = std::chrono::steady_clock::now() + 2s;
        while (threadCount() > before && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(10ms);
        EXPECT_EQ(threadCount(), before) << "idle workers stayed";
        pool.post([&] { ++done; }); // a new burst starts a thread again
    }
    EXPECT_EQ(most, 3);
    EXPECT_EQ(done, 13) << "a job posted before the pool went was dropped";
}

platform::HttpServer::Limits shortDeadlines()
{
    platform::HttpServer::Limits limits;
    limits.requestTime = std::chrono::milliseconds(1500);
    limits.workerIdleTime = std::chrono::milliseconds(200);
    return limits;
}

class HostileClientTest : public HostFixture {
protected:
    HostileClientTest()
        : HostFixture(shortDeadlines())
        , threadsBefore(threadCount())
    {
        EXPECT_EQ(call(kGetLevel).status, 200);
        memoryBefore = residentBytes();
    }

    // After an attack: the page is answered, no thread is left over, and
    // memory is back within 20 MB of what it was.
    void expectNothingLeftBehind(const char* attack)
    {
        auto answer = call(kGetLevel, 2);
        EXPECT_EQ(answer.status, 200) << attack;
        EXPECT_EQ(answer.body, "{\"result\":0.25}\n") << attack;
        auto end = std::chrono::steady_clock::now() + 5s;
        while (threadCount() > threadsBefore && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(50ms);
        EXPECT_EQ(threadCount(), threadsBefore) << attack;
        EXPECT_LT(residentBytes(), memoryBefore + (20u << 20)) << attack;
    }

    const size_t threadsBefore;
    size_t memoryBefore = 0;
};

TEST_F(HostileClientTest, AHeadThatAsksTooMuchIsRefusedBeforeWhatFollowsIsTaken)
{
    std::string lines;
    for (int i = 0; i < 8192; ++i)
        lines += "X-H: a\r\n";
    const std::string host = "Host: 127.0.0.1:" + std::to_string(port) + "\r\n";
    const struct {
        const char* attack;
        std::string head, chunk;
        size_t times, mostTaken;
        int status;
    } attacks[] = {
        // Answered on the head alone, and the rest of the 128 MiB not taken.
        {"a body without a length",
            "POST /_bridge/call HTTP/1.1\r\n" + host + "Content-Type: application/json\r\n\r\n",
            std::string(1 << 20, ' '), 128, size_t(32) << 20, 411},
        // Refused at the hundred-and-first line, not after 7.6 MB.
        {"a million header lines", "GET / HTTP/1.1\r\n" + host, lines, 1000000 / 8192,
            size_t(7) << 20, 431},
    };
    for (const auto& a : attacks) {
        Client client(port, false);
        ASSERT_TRUE(client.send(a.head)) << a.attack;
        pollfd polled {client.fd, POLLIN, 0};
        if (a.status == 411) {
            ASSERT_EQ(::poll(&polled, 1, 2000), 1) << "no answer to the head alone";
        }
        EXPECT_LT(client.flood(a.chunk, a.times), a.mostTaken) << a.attack;
        EXPECT_EQ(client.response().status, a.status) << a.attack;
        expectNothingLeftBehind(a.attack);
    }
}

TEST_F(HostileClientTest, ATricklingClientIsCutOffAtTheRequestDeadline)
{
    Client client(port, false);
    const std::string request = callText(port, kGetLevel);
    auto start = std::chrono::steady_clock::now();
    bool cut = false;
    for (size_t at = 0; at < request.size() && !cut; ++at) {
        // A byte every 100 ms keeps any silence limit from ever firing.
        cut = !client.send(request.substr(at, 1)) || client.closedByServer();
        std::this_thread::sleep_for(100ms);
    }
    EXPECT_TRUE(cut) << "the whole request was trickled in";
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
    expectNothingLeftBehind("a trickling client");
}

TEST_F(HostileClientTest, ThreeHundredHostileConnectionsDoNotHoldUpThePage)
{
    // A hundred each that say nothing, trickle a head a byte at a time, or
    // send a head just under the limits and then stall.
    std::string bigHead = "GET / HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) + "\r\n";
    for (int i = 0; i < 90; ++i)
        bigHead += "X-" + std::to_string(i) + ": " + std::string(160, 'h') + "\r\n";
    const std::string trickled = callText(port, kGetLevel);
    std::vector<std::unique_ptr<Client>> silent, trickling, big;
    for (int i = 0; i < 100; ++i) {
        silent.push_back(std::make_unique<Client>(port, true));
        trickling.push_back(std::make_unique<Client>(port, true));
        big.push_back(std::make_unique<Client>(port, true));
        ASSERT_TRUE(big.back()->send(bigHead)) << "connection " << i;
        ASSERT_GE(silent.back()->fd, 0);
        ASSERT_GE(trickling.back()->fd, 0);
    }

    std::vector<int> answers;
    std::thread page([&] {
        for (int i = 0; i < 5; ++i)
            answers.push_back(call(kGetLevel, 2).status); // a client that gives up after 2 s
    });
    for (size_t at = 0; at < 10; ++at) {
        for (auto& client : trickling)
            client->send(trickled.substr(at, 1));
        std::this_thread::sleep_for(100ms);
    }
    page.join();
    EXPECT_EQ(answers, std::vector<int>(5, 200));

    silent.clear();
    trickling.clear();
    big.clear();
    expectNothingLeftBehind("three hundred connections");
}

platform::HttpServer::Limits threeConnections()
{
    platform::HttpServer::Limits limits;
    limits.maxConnections = 3;
    return limits;
}

class ConnectionLimitTest : public HostFixture {
protected:
    ConnectionLimitTest()
        : HostFixture(threeConnections())
    {
    }
};

TEST_F(ConnectionLimitTest, PastTheLimitClientsWaitInTheQueue)
{
    std::vector<std::unique_ptr<Client>> held;
    for (int i = 0; i < 3; ++i)
        held.push_back(std::make_unique<Client>(port, false));
    Client waiting(port, false);
    ASSERT_TRUE(waiting.send(callText(port, kGetLevel))) << "the system queue takes it";
    pollfd polled {waiting.fd, POLLIN, 0};
    EXPECT_EQ(::poll(&polled, 1, 300), 0) << "answered past the limit";
    held.pop_back();
    EXPECT_EQ(::poll(&polled, 1, 2000), 1) << "still waiting with a place free";
    EXPECT_EQ(waiting.response().status, 200);
}

// The page's caption rests on this: a picture that was not replaced keeps
// its identity, and one that was has a new one.
TEST_F(HostileClientTest, AFileKeepsItsIdentityUntilItIsReplaced)
{
    auto identity = [&](const std::string& path) {
        return roundTrip(port, requestText("GET", "/_bridge/identity" + path, port), 2);
    };
    const auto picture = scratch.widget() / "Images/current.png";
    EXPECT_EQ(identity("/Images/current.png").status, 200);
    EXPECT_EQ(identity("/Images/current.png").body, "") << "no picture yet";
    testing_support::writeText(picture, "first");
    std::string first = identity("/Images/current.png").body;
    EXPECT_NE(first, "");
    EXPECT_EQ(identity("/Images/current.png").body, first);
    const std::string second = "second";
    ASSERT_TRUE(platform::writeFileAtomically(picture.string(),
        std::span(reinterpret_cast<const uint8_t*>(second.data()), second.size())));
    EXPECT_NE(identity("/Images/current.png").body, first);
    EXPECT_EQ(identity("/%2e%2e/etc/passwd").status, 400);
    EXPECT_EQ(identity("/BridgeProbe.widgetplugin/Contents/Info.plist").body, "")
        << "the plug-in's bundle is private";
}

} // namespace
