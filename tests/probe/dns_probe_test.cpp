// The DNS probe against a resolver the test runs itself on loopback port 53. The unit suite runs as root
// in an empty network namespace, where that port is free; elsewhere these tests skip. Each test has a
// loopback address of its own, so tests that run at the same time never compete for the port.
#include "platform/process_id.h"
#include "platform/socket.h"
#include "probe/dns_message.h"
#include "probe/dns_probe.h"

#include "loopback_server.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

namespace wirelux {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

struct Reply {
    Bytes bytes;
    bool from_other_port = false;
    unsigned delay_ms = 0;
};

using Responder = std::function<std::vector<Reply>(const Bytes& query)>;

// Answers the first query it receives with the responder's datagrams, then stops.
class FakeResolver {
public:
    static std::unique_ptr<FakeResolver> start(std::string_view address, Responder responder) {
        const auto local = SocketAddress::parse(address, kDnsPort);
        auto main = local ? Socket::open_udp(*local) : std::nullopt;
        auto other = local ? Socket::open_udp(local->with_port(0)) : std::nullopt;
        if (!main || !other) return nullptr;
        return std::unique_ptr<FakeResolver>(
            new FakeResolver(std::move(*main), std::move(*other), std::move(responder)));
    }
    ~FakeResolver() { finish(); }

    // Waits until the resolver has sent its replies; returns the query it received.
    const Bytes& finish() {
        if (thread_.joinable()) thread_.join();
        return query_;
    }

private:
    FakeResolver(Socket main, Socket other, Responder responder)
        : main_(std::move(main)), other_(std::move(other)), responder_(std::move(responder)) {
        thread_ = std::thread([this] { serve(); });
    }

    void serve() {
        std::array<std::uint8_t, 2048> buffer{};
        const auto datagram = main_.receive_from(buffer, deadline_after(5000));
        if (!datagram) return;
        query_.assign(buffer.begin(), buffer.begin() + static_cast<long>(datagram->size));
        for (const Reply& reply : responder_(query_)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(reply.delay_ms));
            Socket& sender = reply.from_other_port ? other_ : main_;
            sender.send_to(reply.bytes, datagram->from, deadline_after(1000));
        }
    }

    Socket main_;
    Socket other_;
    Responder responder_;
    Bytes query_;
    std::thread thread_;
};

// A reply to the query with the given answers (each an A record unless it is a CNAME).
Bytes answer(const Bytes& query, std::vector<Bytes> addresses, std::uint16_t id_change = 0,
             bool cname_first = false) {
    Bytes out = query;
    if (out.size() < 12) return out;
    const auto id = static_cast<std::uint16_t>(((out[0] << 8) | out[1]) + id_change);
    out[0] = static_cast<std::uint8_t>(id >> 8);
    out[1] = static_cast<std::uint8_t>(id);
    out[2] = 0x81;
    out[3] = 0x80;
    const std::size_t count = addresses.size() + (cname_first ? 1 : 0);
    out[7] = static_cast<std::uint8_t>(count);
    if (cname_first) {
        const Bytes cname = {0xC0, 0x0C, 0, 5, 0, 1, 0, 0, 0, 60, 0, 6, 3, 'c', 'd', 'n', 0xC0, 0x0C};
        out.insert(out.end(), cname.begin(), cname.end());
    }
    for (const Bytes& address : addresses) {
        const Bytes record = {0xC0, 0x0C, 0, 1,  0, 1,
                              0,    0,    0, 60, 0, static_cast<std::uint8_t>(address.size())};
        out.insert(out.end(), record.begin(), record.end());
        out.insert(out.end(), address.begin(), address.end());
    }
    return out;
}

std::int64_t ms_since(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

#define START_RESOLVER(name, address, ...)                                                                   \
    auto name = FakeResolver::start(address, __VA_ARGS__);                                                   \
    if (!name) GTEST_SKIP() << "cannot bind " << address << " port 53 here"

TEST(DnsProbe, AsksForTheProbeNameUnderTheProcessId) {
    START_RESOLVER(resolver, testing::own_loopback(11), [](const Bytes&) { return std::vector<Reply>{}; });
    dns_probe(testing::own_loopback(11), 200);
    const auto id = static_cast<std::uint16_t>(platform::current_process_id() % 65536);
    EXPECT_EQ(resolver->finish(), build_dns_query(id, kDnsProbeName));
}

TEST(DnsProbe, ReturnsTheAddressThatFollowsACnameChain) {
    START_RESOLVER(resolver, testing::own_loopback(12), [](const Bytes& q) {
        return std::vector<Reply>{{answer(q, {{198, 51, 100, 7}}, 0, true)}};
    });
    const DnsProbeResult result = dns_probe(testing::own_loopback(12), 2000);
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.answer, "198.51.100.7");
    EXPECT_GE(result.elapsed, 0);
    EXPECT_LT(result.elapsed, 2000);
}

TEST(DnsProbe, AsksAnIpv6ResolverFromAnIpv6Socket) {
    START_RESOLVER(resolver, "::1", [](const Bytes& q) {
        return std::vector<Reply>{{answer(q, {{192, 0, 2, 53}})}};
    });
    const DnsProbeResult result = dns_probe("::1", 2000);
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.answer, "192.0.2.53");
}

// A reply that arrives but holds no A record: a reachable resolver without an answer. (What counts as
// an A record is the reply parser's, tested on its own.)
TEST(DnsProbe, AnsweredWithoutAnAddressKeepsTheElapsedTime) {
    START_RESOLVER(resolver, testing::own_loopback(13), [](const Bytes& q) {
        return std::vector<Reply>{{answer(q, {})}};
    });
    const DnsProbeResult result = dns_probe(testing::own_loopback(13), 2000);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.answer, "");
    EXPECT_GE(result.elapsed, 0);
    EXPECT_LT(result.elapsed, 2000);
}

// Datagrams that cannot be the reply to this query are passed over; the real reply still counts.
TEST(DnsProbe, PassesOverForeignDatagramsUntilTheReply) {
    START_RESOLVER(resolver, testing::own_loopback(14), [](const Bytes& q) {
        return std::vector<Reply>{
            {answer(q, {{203, 0, 113, 66}}, 1)},         // another query's id
            {Bytes{0xDE, 0xAD, 0xBE, 0xEF, 0x00}},       // too short to be a reply
            {answer(q, {{203, 0, 113, 67}}), true},      // right id, but from another port
            {answer(q, {{198, 51, 100, 8}}), false, 50}, // the resolver's reply
        };
    });
    const DnsProbeResult result = dns_probe(testing::own_loopback(14), 2000);
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.answer, "198.51.100.8");
}

TEST(DnsProbe, WithoutAUsableReplyTheTimeOutEndsTheProbe) {
    const std::vector<Responder> replies = {
        [](const Bytes&) { return std::vector<Reply>{}; },
        [](const Bytes& q) {
            return std::vector<Reply>{{answer(q, {{203, 0, 113, 66}}, 0x0101)}};
        },
        [](const Bytes&) {
            return std::vector<Reply>{{Bytes{1, 2, 3}}};
        },
        // a stream of foreign datagrams that outlasts the time-out must not prolong the probe
        [](const Bytes& q) {
            std::vector<Reply> flood;
            for (int i = 0; i < 40; ++i)
                flood.push_back({answer(q, {{203, 0, 113, 66}}, 7), false, 25});
            return flood;
        },
    };
    constexpr unsigned kTimeoutMs = 400;
    for (std::size_t i = 0; i < replies.size(); ++i) {
        START_RESOLVER(resolver, testing::own_loopback(15), replies[i]);
        const auto start = Clock::now();
        const DnsProbeResult result = dns_probe(testing::own_loopback(15), kTimeoutMs);
        const auto took = ms_since(start);
        EXPECT_FALSE(result.ok) << i;
        EXPECT_EQ(result.answer, "") << i;
        EXPECT_EQ(result.elapsed, -1) << i;
        EXPECT_GE(took, kTimeoutMs - 20) << i;
        EXPECT_LT(took, kTimeoutMs + 600) << i;
    }
}

TEST(DnsProbe, AResolverThatIsNoAddressFailsAtOnce) {
    const DnsProbeResult result = dns_probe("", 1000);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.elapsed, -1);
}

} // namespace
} // namespace wirelux
