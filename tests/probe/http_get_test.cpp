// The GET client against small servers the test runs itself on loopback.
#include "probe/http_get.h"

#include "loopback_server.h"
#include "probe/page_title.h"

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <string>
#include <vector>

namespace wirelux {
namespace {

using testing::Connection;
using testing::LoopbackServer;
using Clock = std::chrono::steady_clock;

std::int64_t ms_since(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// Every request a server received, in order.
class RequestLog {
public:
    void add(std::string request) {
        std::lock_guard lock(mutex_);
        requests_.push_back(std::move(request));
    }
    std::vector<std::string> requests() const {
        std::lock_guard lock(mutex_);
        return requests_;
    }
    std::vector<std::string> request_lines() const {
        std::vector<std::string> lines;
        for (const std::string& r : requests())
            lines.push_back(r.substr(0, r.find("\r\n")));
        return lines;
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> requests_;
};

std::string path_of(const std::string& request) {
    const std::size_t start = request.find(' ') + 1;
    return request.substr(start, request.find(' ', start) - start);
}

// Answers each request with the handler's response text and closes.
LoopbackServer::Handler answering(RequestLog& log,
                                  std::function<std::string(const std::string& path)> respond) {
    return [&log, respond](Connection& c) {
        const std::string request = c.read_request();
        log.add(request);
        c.send(respond(path_of(request)));
    };
}

TEST(HttpGet, SendsTheRequestAndReadsTheWholeResponse) {
    RequestLog log;
    LoopbackServer server(answering(log, [](const std::string&) {
        return "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n<html><TITLE> Portal </TITLE></html>";
    }));
    ASSERT_TRUE(server.listening());
    const auto result =
        http_get("127.0.0.1", server.port(), "/cgi-bin/rad_user_info", {{"X-Probe", "1"}}, 2000);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 200);
    EXPECT_EQ(result->body, "<html><TITLE> Portal </TITLE></html>");
    EXPECT_EQ(page_title(result->body), "Portal");
    EXPECT_EQ(log.requests(),
              std::vector<std::string>{"GET /cgi-bin/rad_user_info HTTP/1.0\r\nHost: 127.0.0.1\r\n"
                                       "Connection: close\r\nAccept: */*\r\nX-Probe: 1\r\n\r\n"});
}

TEST(HttpGet, AServerThatClosesAtOnceGivesStatusZeroAndNoBody) {
    LoopbackServer server([](Connection& c) { c.read_request(); });
    ASSERT_TRUE(server.listening());
    const auto result = http_get("127.0.0.1", server.port(), "/", {}, 2000);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 0);
    EXPECT_EQ(result->body, "");
}

TEST(HttpGet, NoConnectionMeansNoResult) {
    EXPECT_FALSE(http_get("127.0.0.1", testing::closed_port(), "/", {}, 1000));
    EXPECT_FALSE(http_get("", 80, "/", {}, 1000));
}

TEST(HttpGet, ASilentServerEndsTheReadAtTheTimeOut) {
    LoopbackServer server([](Connection& c) {
        c.read_request();
        c.hold();
    });
    ASSERT_TRUE(server.listening());
    const auto start = Clock::now();
    const auto result = http_get("127.0.0.1", server.port(), "/", {}, 400);
    const auto took = ms_since(start);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 0);
    EXPECT_GE(result->elapsed, 380u);
    EXPECT_GE(took, 380);
    EXPECT_LT(took, 2000);
}

// One byte just inside every receive's time-out: the response's own deadline ends it.
TEST(HttpGet, ATricklingServerIsCutOffAtTheResponseDeadline) {
    LoopbackServer server([](Connection& c) {
        c.read_request();
        if (!c.send("HTTP/1.0 200 OK\r\n\r\n")) return;
        // Gives up after a few seconds, so a client without a response deadline fails rather than hangs.
        for (int i = 0; i < 40 && !c.stopping && c.send("x"); ++i)
            c.pause(100);
    });
    ASSERT_TRUE(server.listening());
    const auto start = Clock::now();
    const auto result = http_get("127.0.0.1", server.port(), "/", {}, 600);
    const auto took = ms_since(start);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 200);
    EXPECT_GE(result->body.size(), 1u);
    EXPECT_LE(result->body.size(), 10u);
    EXPECT_EQ(result->body, std::string(result->body.size(), 'x'));
    EXPECT_GE(took, 580);
    EXPECT_LT(took, 2500);
}

TEST(HttpGet, AFloodIsCutAfterTheChunkThatPassesTheCap) {
    const std::string head = "HTTP/1.0 200 OK\r\n\r\n";
    LoopbackServer server([&head](Connection& c) {
        c.read_request();
        if (!c.send(head)) return;
        const std::string chunk(65536, 'f');
        while (!c.stopping && c.socket.send_all(chunk, deadline_after(2000))) {
        }
    });
    ASSERT_TRUE(server.listening());
    const auto result = http_get("127.0.0.1", server.port(), "/", {}, 10000);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 200);
    const std::size_t response = head.size() + result->body.size();
    EXPECT_GT(response, kHttpResponseCap);
    EXPECT_LE(response, kHttpResponseCap + 8192);
}

TEST(HttpGet, AResponseOfExactlyTheCapIsKeptWhole) {
    const std::string head = "HTTP/1.0 200 OK\r\n\r\n";
    LoopbackServer server([&head](Connection& c) {
        c.read_request();
        c.send(head + std::string(kHttpResponseCap - head.size(), 'b'));
    });
    ASSERT_TRUE(server.listening());
    const auto result = http_get("127.0.0.1", server.port(), "/", {}, 10000);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->body.size(), kHttpResponseCap - head.size());
}

TEST(HttpGet, InvalidUtf8InTheBodyIsReplaced) {
    RequestLog log;
    LoopbackServer server(answering(log, [](const std::string&) {
        return std::string("HTTP/1.0 200 OK\r\n\r\n\xff\xfe<title>\xc0\xafok</title>\xe4\xb8");
    }));
    ASSERT_TRUE(server.listening());
    const auto result = http_get("127.0.0.1", server.port(), "/", {}, 2000);
    ASSERT_TRUE(result);
    const std::string r = "\xef\xbf\xbd";
    EXPECT_EQ(result->body, r + r + "<title>" + r + r + "ok</title>" + r);
}

class HttpGetRedirect : public ::testing::Test {
protected:
    RequestLog log;
};

TEST_F(HttpGetRedirect, AnAbsolutePathIsRequestedOnTheSameServer) {
    LoopbackServer server(answering(log, [](const std::string& path) {
        if (path == "/") return std::string("HTTP/1.0 301 Moved\r\nLocation: /login\r\n\r\nmoved");
        return std::string("HTTP/1.0 200 OK\r\n\r\nlogin page");
    }));
    ASSERT_TRUE(server.listening());
    const auto result = http_get("127.0.0.1", server.port(), "/", {}, 2000);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 200);
    EXPECT_EQ(result->body, "login page");
    EXPECT_EQ(log.request_lines(), (std::vector<std::string>{"GET / HTTP/1.0", "GET /login HTTP/1.0"}));
}

TEST_F(HttpGetRedirect, ARelativePathReplacesTheLastSegment) {
    LoopbackServer server(answering(log, [](const std::string& path) {
        if (path == "/a/b") return std::string("HTTP/1.0 302 Found\r\nLocation: portal.html\r\n\r\n");
        return std::string("HTTP/1.0 200 OK\r\n\r\nportal");
    }));
    ASSERT_TRUE(server.listening());
    const auto result = http_get("127.0.0.1", server.port(), "/a/b", {}, 2000);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->body, "portal");
    EXPECT_EQ(log.request_lines(),
              (std::vector<std::string>{"GET /a/b HTTP/1.0", "GET /a/portal.html HTTP/1.0"}));
}

TEST_F(HttpGetRedirect, AnHttpAddressMovesToItsHostAndPort) {
    RequestLog second_log;
    LoopbackServer second(answering(
        second_log, [](const std::string&) { return std::string("HTTP/1.0 200 OK\r\n\r\nsecond"); }));
    ASSERT_TRUE(second.listening());
    const std::string location = "http://127.0.0.1:" + std::to_string(second.port()) + "/srun_portal?ac_id=1";
    LoopbackServer first(answering(log, [&location](const std::string&) {
        return "HTTP/1.0 307 Temporary\r\nLocation: " + location + "\r\n\r\n";
    }));
    ASSERT_TRUE(first.listening());
    const auto result = http_get("127.0.0.1", first.port(), "/", {{"X-K", "v"}}, 2000);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->body, "second");
    EXPECT_EQ(log.requests().size(), 1u);
    // The caller's header was for the first server only.
    EXPECT_EQ(second_log.requests(),
              std::vector<std::string>{"GET /srun_portal?ac_id=1 HTTP/1.0\r\nHost: 127.0.0.1\r\n"
                                       "Connection: close\r\nAccept: */*\r\n\r\n"});
}

TEST_F(HttpGetRedirect, ABracketedIpv6AddressIsFollowed) {
    RequestLog second_log;
    LoopbackServer second(
        answering(second_log, [](const std::string&) { return std::string("HTTP/1.0 200 OK\r\n\r\nsix"); }),
        "::1");
    ASSERT_TRUE(second.listening());
    const std::string location = "http://[::1]:" + std::to_string(second.port()) + "/v6";
    LoopbackServer first(answering(log, [&location](const std::string&) {
        return "HTTP/1.0 302 Found\r\nLocation: " + location + "\r\n\r\n";
    }));
    ASSERT_TRUE(first.listening());
    const auto result = http_get("127.0.0.1", first.port(), "/", {}, 2000);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->body, "six");
    EXPECT_EQ(second_log.request_lines(), std::vector<std::string>{"GET /v6 HTTP/1.0"});
}

TEST_F(HttpGetRedirect, HttpsAndSchemeRelativeLocationsEndWithTheRedirectItself) {
    for (const std::string location : {"https://portal.test/login", "//portal.test/login"}) {
        RequestLog local_log;
        LoopbackServer server(answering(local_log, [&location](const std::string&) {
            return "HTTP/1.0 302 Found\r\nLocation: " + location + "\r\n\r\nsee there";
        }));
        ASSERT_TRUE(server.listening());
        const auto result = http_get("127.0.0.1", server.port(), "/", {}, 2000);
        ASSERT_TRUE(result) << location;
        EXPECT_EQ(result->status, 302);
        EXPECT_EQ(result->body, "see there");
        EXPECT_EQ(local_log.requests().size(), 1u);
    }
}

TEST_F(HttpGetRedirect, FourRedirectsAreFollowedAndAFifthLeavesNoResult) {
    for (const int redirects : {4, 5}) {
        RequestLog local_log;
        LoopbackServer server(answering(local_log, [redirects](const std::string& path) {
            const int hop = std::stoi(path.substr(1));
            if (hop < redirects)
                return "HTTP/1.0 302 Found\r\nLocation: /" + std::to_string(hop + 1) + "\r\n\r\n";
            return std::string("HTTP/1.0 200 OK\r\n\r\nend");
        }));
        ASSERT_TRUE(server.listening());
        const auto result = http_get("127.0.0.1", server.port(), "/0", {}, 2000);
        EXPECT_EQ(local_log.requests().size(), 5u) << redirects;
        if (redirects == 4) {
            ASSERT_TRUE(result);
            EXPECT_EQ(result->body, "end");
        } else {
            EXPECT_FALSE(result);
        }
    }
}

TEST_F(HttpGetRedirect, ElapsedIsTheSumOverAllRequests) {
    LoopbackServer server([this](Connection& c) {
        const std::string request = c.read_request();
        log.add(request);
        c.pause(150);
        c.send(path_of(request) == "/" ? "HTTP/1.0 303 See Other\r\nLocation: /next\r\n\r\n"
                                       : "HTTP/1.0 200 OK\r\n\r\n");
    });
    ASSERT_TRUE(server.listening());
    const auto start = Clock::now();
    const auto result = http_get("127.0.0.1", server.port(), "/", {}, 2000);
    const auto took = ms_since(start);
    ASSERT_TRUE(result);
    EXPECT_EQ(log.requests().size(), 2u);
    EXPECT_GE(result->elapsed, 295u);
    EXPECT_LE(result->elapsed, static_cast<std::uint64_t>(took) + 1);
}

TEST_F(HttpGetRedirect, ALocationThatWouldSmuggleAHeaderLineEndsTheGet) {
    LoopbackServer server(answering(log, [](const std::string&) {
        return std::string("HTTP/1.0 302 Found\r\nLocation: /x\rX-Injected: 1\r\n\r\n");
    }));
    ASSERT_TRUE(server.listening());
    EXPECT_FALSE(http_get("127.0.0.1", server.port(), "/", {}, 2000));
    EXPECT_EQ(log.requests().size(), 1u);
}

} // namespace
} // namespace wirelux
