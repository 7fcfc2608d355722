#include "probe/proxy_protocol.h"

#include "loopback_server.h"

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <string>

namespace wirelux {
namespace {

using testing::Connection;
using testing::LoopbackServer;
using Clock = std::chrono::steady_clock;

std::int64_t ms_since(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

TEST(ProxyProbeHost, LoopbackHostsAsTheyAreWildcardsOnTheFamilysLoopback) {
    EXPECT_EQ(proxy_probe_host("127.0.0.1"), "127.0.0.1");
    EXPECT_EQ(proxy_probe_host("127.8.9.10"), "127.8.9.10");
    EXPECT_EQ(proxy_probe_host("::1"), "::1");
    EXPECT_EQ(proxy_probe_host("localhost"), "localhost");
    EXPECT_EQ(proxy_probe_host("0.0.0.0"), "127.0.0.1");
    EXPECT_EQ(proxy_probe_host("::"), "::1");
    // A dual-stack socket bound to the mapped IPv4 loopback is reached at that very address.
    EXPECT_EQ(proxy_probe_host("::ffff:127.0.0.1"), "::ffff:127.0.0.1");
}

TEST(ConnectRequest, IsTheSeventySixFixedBytes) {
    EXPECT_EQ(kConnectProbeRequest.size(), 76u);
    EXPECT_EQ(kConnectProbeRequest,
              "CONNECT 127.0.0.1:9 HTTP/1.1\r\nHost: 127.0.0.1:9\r\nProxy-Connection: close\r\n\r\n");
}

TEST(ConnectReply, A407StatusLineIsAnAuthenticatingProxy) {
    EXPECT_EQ(classify_connect_reply("HTTP/1.1 407 Proxy Authentication Required\r\n"
                                     "Proxy-Authenticate: Basic realm=\"x\"\r\n\r\n"),
              kConnectVerdict407);
    // The status line comes first, so it wins over a Proxy-Agent header after it.
    EXPECT_EQ(classify_connect_reply("http/1.0   407\r\nProxy-Agent: squid\r\n"), kConnectVerdict407);
    EXPECT_EQ(classify_connect_reply("HTTP/1.1 4070 Odd\r\n\r\n"), "");
}

TEST(ConnectReply, AProxyAgentHeaderInAnyCaseNamesAProxy) {
    EXPECT_EQ(classify_connect_reply("HTTP/1.1 502 Bad Gateway\r\nPROXY-AGENT: relay/2\r\n\r\n"),
              kConnectVerdictProxyAgent);
    EXPECT_EQ(classify_connect_reply("HTTP/1.0 200 Connection established\r\nProxy-agent: x\r\n\r\n"),
              kConnectVerdictProxyAgent);
    EXPECT_EQ(classify_connect_reply("HTTP/1.1 500 Oops\r\nX-Proxy-Agent: no\r\n\r\n"), "");
}

TEST(ConnectReply, A200MentioningConnectIsAnEstablishedTunnel) {
    EXPECT_EQ(classify_connect_reply("HTTP/1.1 200 Connection established\r\n\r\n"),
              kConnectVerdictEstablished);
    EXPECT_EQ(classify_connect_reply("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n"),
              kConnectVerdictEstablished);
    EXPECT_EQ(classify_connect_reply("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n"), "");
    EXPECT_EQ(classify_connect_reply("HTTP/1.1 404 Not Found\r\nConnection: close\r\n\r\n"), "");
    // Any line may carry the 200 status.
    EXPECT_EQ(classify_connect_reply("HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 Connect\r\n\r\n"),
              kConnectVerdictEstablished);
}

TEST(ConnectReply, WebServersAndOtherProtocolsGiveNothing) {
    EXPECT_EQ(
        classify_connect_reply("HTTP/1.1 400 Bad Request\r\nServer: nginx\r\nContent-Length: 0\r\n\r\n"), "");
    EXPECT_EQ(classify_connect_reply("HTTP/1.1 405 Method Not Allowed\r\n\r\n"), "");
    EXPECT_EQ(classify_connect_reply("SSH-2.0-OpenSSH_9.2p1\r\n"), "");
    EXPECT_EQ(classify_connect_reply(std::string_view("\x05\xff", 2)), "");
    EXPECT_EQ(classify_connect_reply(""), "");
    EXPECT_EQ(classify_connect_reply("\xff\xfe HTTP/1.1 407"), "");
}

// A fake listener that records what it received and answers with fixed bytes.
class ProxyProbe : public ::testing::Test {
protected:
    LoopbackServer::Handler answering(std::size_t expect, std::string reply, unsigned delay_ms = 0) {
        return [this, expect, reply, delay_ms](Connection& c) {
            record(c.read_until("", expect));
            c.pause(delay_ms);
            if (!reply.empty()) c.send(reply);
            c.hold();
        };
    }
    void record(std::string bytes) {
        std::lock_guard lock(mutex_);
        received_.push_back(std::move(bytes));
    }
    std::vector<std::string> received() {
        std::lock_guard lock(mutex_);
        return received_;
    }

    std::mutex mutex_;
    std::vector<std::string> received_;
};

TEST_F(ProxyProbe, Socks5AnyVersion5ReplyCounts) {
    for (const std::string_view reply : {std::string_view("\x05\x00", 2), std::string_view("\x05\xff", 2),
                                         std::string_view("\x05\x02", 2)}) {
        LoopbackServer server(answering(3, std::string(reply)));
        ASSERT_TRUE(server.listening());
        EXPECT_TRUE(socks5_probe("127.0.0.1", server.port()));
    }
    EXPECT_EQ(received(), std::vector<std::string>(3, std::string("\x05\x01\x00", 3)));
}

TEST_F(ProxyProbe, Socks5ReplyInTwoPiecesCounts) {
    LoopbackServer server([this](Connection& c) {
        record(c.read_until("", 3));
        c.send("\x05");
        c.pause(30);
        c.send(std::string_view("\x00", 1));
        c.hold();
    });
    ASSERT_TRUE(server.listening());
    EXPECT_TRUE(socks5_probe("127.0.0.1", server.port()));
}

TEST_F(ProxyProbe, Socks5OtherAnswersAndSilenceAreNot) {
    for (const std::string_view reply : {std::string_view("HTTP/1.1 400 Bad Request\r\n\r\n"),
                                         std::string_view("\x00\x5a\x00\x00\x00\x00\x00\x00", 8),
                                         std::string_view("\x04\x00", 2), std::string_view("\x05", 1)}) {
        LoopbackServer server([this, reply](Connection& c) {
            record(c.read_until("", 3));
            c.send(reply); // and close at once
        });
        ASSERT_TRUE(server.listening());
        EXPECT_FALSE(socks5_probe("127.0.0.1", server.port())) << reply;
    }
    EXPECT_FALSE(socks5_probe("127.0.0.1", testing::closed_port()));
}

TEST_F(ProxyProbe, Socks5SilentListenerEndsWithinItsTimeOuts) {
    LoopbackServer server(answering(3, ""));
    ASSERT_TRUE(server.listening());
    const auto start = Clock::now();
    EXPECT_FALSE(socks5_probe("127.0.0.1", server.port()));
    EXPECT_GE(ms_since(start), 130);
    EXPECT_LT(ms_since(start), 1000);
}

TEST_F(ProxyProbe, WildcardListenersAreProbedOnLoopback) {
    LoopbackServer v4(answering(3, std::string("\x05\x00", 2)));
    LoopbackServer v6(answering(3, std::string("\x05\x00", 2)), "::1");
    ASSERT_TRUE(v4.listening() && v6.listening());
    EXPECT_TRUE(socks5_probe("0.0.0.0", v4.port()));
    EXPECT_TRUE(socks5_probe("::", v6.port()));
    EXPECT_TRUE(socks5_probe("::1", v6.port()));
}

TEST_F(ProxyProbe, ConnectSendsTheFixedRequestAndNamesTheReply) {
    struct Case {
        const char* reply;
        const char* verdict;
    };
    for (const Case& c : {
             Case{"HTTP/1.1 200 Connection established\r\n\r\n", kConnectVerdictEstablished},
             Case{"HTTP/1.1 503 Service Unavailable\r\nProxy-Agent: relay\r\n\r\n",
                  kConnectVerdictProxyAgent},
             Case{"HTTP/1.1 407 Proxy Authentication Required\r\n\r\n", kConnectVerdict407},
             Case{"HTTP/1.1 400 Bad Request\r\nServer: web\r\nContent-Length: 0\r\n\r\n", ""},
         }) {
        LoopbackServer server(answering(kConnectProbeRequest.size(), c.reply));
        ASSERT_TRUE(server.listening());
        EXPECT_EQ(http_connect_probe("0.0.0.0", server.port()), c.verdict) << c.reply;
    }
    EXPECT_EQ(received(), std::vector<std::string>(4, std::string(kConnectProbeRequest)));
}

TEST_F(ProxyProbe, ConnectReadsOneReceiveOfAtMost768Bytes) {
    // The Proxy-Agent line lies beyond the first 768 bytes.
    const std::string padded =
        "HTTP/1.1 502 Bad Gateway\r\nX-Pad: " + std::string(800, 'p') + "\r\nProxy-Agent: late\r\n\r\n";
    LoopbackServer server(answering(kConnectProbeRequest.size(), padded));
    ASSERT_TRUE(server.listening());
    EXPECT_EQ(http_connect_probe("127.0.0.1", server.port()), "");
}

TEST_F(ProxyProbe, ConnectGivesNothingForSlowClosedOrMissingListeners) {
    {
        LoopbackServer slow(answering(kConnectProbeRequest.size(),
                                      "HTTP/1.1 407 Proxy Authentication Required\r\n\r\n", 500));
        ASSERT_TRUE(slow.listening());
        const auto start = Clock::now();
        EXPECT_EQ(http_connect_probe("127.0.0.1", slow.port()), "");
        EXPECT_LT(ms_since(start), 450);
    }
    {
        LoopbackServer closing([](Connection& c) { c.read_request(); });
        ASSERT_TRUE(closing.listening());
        EXPECT_EQ(http_connect_probe("127.0.0.1", closing.port()), "");
    }
    EXPECT_EQ(http_connect_probe("127.0.0.1", testing::closed_port()), "");
}

} // namespace
} // namespace wirelux
