// The campus probes: the srun login answer in all its shapes, the five probes on fake network
// operations, how their outcomes land in the campus block, and the real GET and connect against
// servers on loopback standing in for the campus hosts.
#include "probe/campus_probes.h"

#include "loopback_server.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

namespace wirelux {
namespace {

using testing::Connection;
using testing::LoopbackServer;

void expect_login(const CampusLogin& login, const std::string& user, const std::string& ip,
                  const std::string& bytes, const std::string& seconds) {
    EXPECT_TRUE(login.recognized);
    EXPECT_EQ(login.user_name, user);
    EXPECT_EQ(login.online_ip, ip);
    EXPECT_EQ(login.sum_bytes, bytes);
    EXPECT_EQ(login.sum_seconds, seconds);
}

TEST(ParseLoginStatus, APlainJsonObjectGivesTheFourMembers) {
    expect_login(parse_login_status("  {\"error\":\"ok\",\"user_name\":\"s2301\",\"online_ip\":\"10.12.3.4\","
                                    "\"sum_bytes\":\"123456\",\"sum_seconds\":\"3600\"}\r\n"),
                 "s2301", "10.12.3.4", "123456", "3600");
}

TEST(ParseLoginStatus, AJsonpWrapperIsTakenOff) {
    expect_login(
        parse_login_status("jQuery112406_1700000000({\"user_name\":\"s2301\",\"online_ip\":\"10.12.3.4\","
                           "\"sum_bytes\":99,\"sum_seconds\":7}) "),
        "s2301", "10.12.3.4", "99", "7");
    // The text runs to the last ")", so parentheses inside member values survive.
    expect_login(parse_login_status("cb({\"user_name\":\"a (b)\",\"online_ip\":\"\"});"), "a (b)", "", "",
                 "");
}

TEST(ParseLoginStatus, MembersOfOtherTypesAreWrittenAsText) {
    const CampusLogin login = parse_login_status(
        "{\"user_name\":\"u\",\"online_ip\":null,\"sum_bytes\":12345678901234,\"sum_seconds\":true}");
    expect_login(login, "u", "", "12345678901234", "true");
    EXPECT_EQ(parse_login_status("{\"user_name\":\"u\",\"sum_bytes\":false}").sum_bytes, "false");
    // A counter sent as floating point stays a plain decimal number.
    EXPECT_EQ(parse_login_status("{\"user_name\":\"u\",\"sum_bytes\":12345678901.0}").sum_bytes,
              "12345678901");
    EXPECT_EQ(parse_login_status("{\"user_name\":\"u\",\"sum_bytes\":-3}").sum_bytes, "-3");
    EXPECT_EQ(parse_login_status("{\"user_name\":\"u\",\"sum_bytes\":[1],\"sum_seconds\":{}}").sum_bytes, "");
    expect_login(parse_login_status("{\"user_name\":2301}"), "2301", "", "", ""); // a number is a user too
}

TEST(ParseLoginStatus, AnEmptyOrMissingUserNameIsNotLoggedIn) {
    const CampusLogin empty = parse_login_status(
        "{\"user_name\":\"\",\"online_ip\":\"10.12.3.4\",\"sum_bytes\":\"1\",\"sum_seconds\":\"2\"}");
    EXPECT_FALSE(empty.recognized);
    EXPECT_FALSE(parse_login_status("{\"online_ip\":\"10.12.3.4\"}").recognized);
    EXPECT_FALSE(parse_login_status("{\"user_name\":null}").recognized);
}

TEST(ParseLoginStatus, CommaFieldsNeedAtLeastNine) {
    expect_login(parse_login_status("s2301,1700000000,1700003600,123456,3600,0,0,0,10.12.3.4"), "s2301",
                 "10.12.3.4", "123456", "3600");
    expect_login(parse_login_status("s2301,a,b,5,6,c,d,e,10.1.1.1,extra,more\n"), "s2301", "10.1.1.1", "5",
                 "6");
    EXPECT_FALSE(parse_login_status("s2301,1700000000,1700003600,123456,3600,0,0,0").recognized);
    // Empty fields are fields all the same.
    EXPECT_TRUE(parse_login_status(",,,,,,,,").recognized);
    EXPECT_FALSE(parse_login_status(",,,,,,,").recognized);
}

TEST(ParseLoginStatus, OtherShapesAreNotRecognised) {
    for (const char* body : {"", "   ", "not_online_error", "{\"user_name\":\"u\"", "{user_name:'u'}",
                             "cb({\"user_name\":\"u\"}", "cb)({\"user_name\":\"u\"}", "cb(\"just text\")",
                             "cb([1,2,3])", "cb()", "<html>(x)</html>", "{\"user_name\":\"u\"} trailing"}) {
        const CampusLogin login = parse_login_status(body);
        EXPECT_FALSE(login.recognized) << body;
        EXPECT_EQ(login.user_name, "") << body;
    }
}

// Fake network operations that record every call and answer from tables.
struct FakeCampus {
    std::map<std::string, std::optional<HttpGetResult>> pages; // "host:port path" -> answer
    std::map<std::string, DnsProbeResult> resolvers;
    bool connect_succeeds = false;
    bool throws = false;

    std::mutex lock;
    std::vector<std::string> calls;

    void record(std::string call) {
        const std::lock_guard guard(lock);
        calls.push_back(std::move(call));
    }

    CampusNetwork network() {
        CampusNetwork n;
        n.get = [this](std::string_view host, std::uint16_t port, std::string_view path,
                       unsigned timeout_ms) {
            const std::string key = std::string(host) + ":" + std::to_string(port) + " " + std::string(path);
            record("GET " + key + " " + std::to_string(timeout_ms));
            if (throws) throw std::runtime_error("get");
            const auto it = pages.find(key);
            return it != pages.end() ? it->second : std::nullopt;
        };
        n.dns = [this](std::string_view resolver, unsigned timeout_ms) {
            record("DNS " + std::string(resolver) + " " + std::to_string(timeout_ms));
            if (throws) throw std::runtime_error("dns");
            const auto it = resolvers.find(std::string(resolver));
            return it != resolvers.end() ? it->second : DnsProbeResult{};
        };
        n.connect = [this](std::string_view host, std::uint16_t port, unsigned timeout_ms) {
            record("CONNECT " + std::string(host) + ":" + std::to_string(port) + " " +
                   std::to_string(timeout_ms));
            if (throws) throw std::runtime_error("connect");
            return connect_succeeds;
        };
        return n;
    }
};

TEST(CampusProbes, EachTaskAsksItsFixedTargetWithItsTimeOut) {
    FakeCampus fake;
    const CampusNetwork network = fake.network();
    const auto calls_of = [&](CampusTask task) {
        fake.calls.clear();
        run_campus_task(task, network);
        return fake.calls;
    };
    using Calls = std::vector<std::string>;
    EXPECT_EQ(calls_of(CampusTask::portal), Calls{"GET 10.0.0.55:80 / 8000"});
    EXPECT_EQ(calls_of(CampusTask::login), Calls{"GET 10.0.0.55:80 /cgi-bin/rad_user_info 6000"});
    EXPECT_EQ(calls_of(CampusTask::dns_primary), Calls{"DNS 10.0.32.32 4000"});
    EXPECT_EQ(calls_of(CampusTask::dns_backup), Calls{"DNS 10.0.32.33 4000"});
    EXPECT_EQ(calls_of(CampusTask::api), (Calls{"GET 10.0.0.54:8800 / 6000", "CONNECT 10.0.0.54:8800 1400"}));
}

TEST(CampusProbes, TheApiFallbackRunsOnlyWithoutAnHttpResponse) {
    FakeCampus fake;
    fake.connect_succeeds = true;
    CampusTaskResult connected = run_campus_task(CampusTask::api, fake.network());
    EXPECT_FALSE(connected.http);
    EXPECT_EQ(connected.fallback, FallbackOutcome::connected);

    fake.connect_succeeds = false;
    CampusTaskResult failed = run_campus_task(CampusTask::api, fake.network());
    EXPECT_EQ(failed.fallback, FallbackOutcome::failed);
    EXPECT_EQ(failed.fallback_elapsed, 0u);

    // Even a response without a status line is a response: no fallback.
    fake.pages["10.0.0.54:8800 /"] = HttpGetResult{"", 3, 0};
    fake.calls.clear();
    CampusTaskResult answered = run_campus_task(CampusTask::api, fake.network());
    ASSERT_TRUE(answered.http);
    EXPECT_EQ(answered.fallback, FallbackOutcome::not_attempted);
    EXPECT_EQ(fake.calls.size(), 1u);
}

TEST(CampusProbes, OffCampusEveryProbeFailsQuietly) {
    FakeCampus fake;
    const std::vector<CampusTaskResult> results = run_campus_probes(fake.network());
    ASSERT_EQ(results.size(), 5u);
    for (int i : {0, 1, 4})
        EXPECT_FALSE(results[static_cast<std::size_t>(i)].http) << i;
    for (int i : {2, 3}) {
        ASSERT_TRUE(results[static_cast<std::size_t>(i)].dns) << i;
        EXPECT_FALSE(results[static_cast<std::size_t>(i)].dns->ok) << i;
    }
    EXPECT_EQ(results[4].fallback, FallbackOutcome::failed);

    CampusFacts campus;
    store_campus_results(campus, results);
    EXPECT_FALSE(campus.portal_ok);
    EXPECT_EQ(campus.portal_elapsed, -1);
    EXPECT_FALSE(campus.login.recognized);
    EXPECT_FALSE(campus.api_reachable);
    EXPECT_EQ(campus.api_status, 0);
    EXPECT_EQ(campus.api_elapsed, -1);
    EXPECT_EQ(campus.dns_primary_kind, "");
}

// Virtual time for probes on real worker threads: a probe waits out its time-out on this clock, and
// the clock jumps to the next wake-up once every busy worker is waiting, so the schedule is the one the
// map makes, without a single real sleep.
class VirtualClock {
public:
    VirtualClock(unsigned workers, unsigned tasks) : workers_(workers), unfinished_(tasks) {}

    void wait(unsigned ms) {
        std::unique_lock lock(mutex_);
        const std::uint64_t wake = now_ + ms;
        const auto entry = wakes_.insert(wake);
        advance();
        // A real deadline only so that a schedule that never advances fails instead of hanging.
        if (!changed_.wait_for(lock, std::chrono::seconds(10), [&] { return now_ >= wake; })) stuck_ = true;
        wakes_.erase(entry);
    }

    void task_done(CampusTask task) {
        const std::lock_guard lock(mutex_);
        ends_[task] = now_;
        --unfinished_;
        advance();
    }

    void started(CampusTask task) {
        const std::lock_guard lock(mutex_);
        starts_.emplace_back(task, now_);
    }

    std::vector<std::pair<CampusTask, std::uint64_t>> starts_;
    std::map<CampusTask, std::uint64_t> ends_;
    bool stuck_ = false;

private:
    void advance() {
        const std::size_t busy = std::min<std::size_t>(workers_, unfinished_);
        if (wakes_.size() != busy || wakes_.empty() || *wakes_.begin() <= now_) return;
        now_ = *wakes_.begin();
        changed_.notify_all();
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::multiset<std::uint64_t> wakes_;
    std::uint64_t now_ = 0;
    unsigned workers_;
    unsigned unfinished_;
};

TEST(CampusProbes, OffCampusTheLongestTimeOutBoundsThePhaseOnFourWorkers) {
    VirtualClock clock(4, 5);
    const auto task_of = [](std::string_view host, std::string_view path) {
        if (host == kCampusApiHost) return CampusTask::api;
        return path == "/" ? CampusTask::portal : CampusTask::login;
    };
    CampusNetwork network;
    network.get = [&](std::string_view host, std::uint16_t, std::string_view path,
                      unsigned timeout_ms) -> std::optional<HttpGetResult> {
        const CampusTask task = task_of(host, path);
        clock.started(task);
        clock.wait(timeout_ms);
        if (task != CampusTask::api) clock.task_done(task); // the API task goes on to its fallback connect
        return std::nullopt;
    };
    network.connect = [&](std::string_view, std::uint16_t, unsigned timeout_ms) {
        clock.wait(timeout_ms);
        clock.task_done(CampusTask::api);
        return false;
    };
    network.dns = [&](std::string_view resolver, unsigned timeout_ms) {
        const CampusTask task = resolver == kCampusResolvers[0] ? CampusTask::dns_primary : CampusTask::dns_backup;
        clock.started(task);
        clock.wait(timeout_ms);
        clock.task_done(task);
        return DnsProbeResult{};
    };

    const std::vector<CampusTaskResult> results = run_campus_probes(network, {4, MapProgress::silent});
    ASSERT_FALSE(clock.stuck_);
    ASSERT_EQ(results.size(), 5u);
    EXPECT_EQ(results[4].fallback, FallbackOutcome::failed); // results stay in task order
    EXPECT_TRUE(results[2].dns && results[3].dns);

    ASSERT_EQ(clock.ends_.size(), 5u);
    std::uint64_t phase = 0;
    for (const auto& [task, end] : clock.ends_) phase = std::max(phase, end);
    EXPECT_EQ(phase, kCampusPortalTimeoutMs);
    EXPECT_EQ(clock.ends_[CampusTask::api], kCampusApiTimeoutMs + kCampusApiConnectTimeoutMs);
    ASSERT_EQ(clock.starts_.size(), 5u);
    EXPECT_EQ(clock.starts_.back().second, kCampusDnsTimeoutMs); // the fifth waits for a resolver's worker
}

TEST(CampusProbes, OperationsThatThrowOrAreMissingCountAsNoAnswer) {
    FakeCampus fake;
    fake.throws = true;
    const std::vector<CampusTaskResult> results = run_campus_probes(fake.network());
    ASSERT_EQ(results.size(), 5u);
    EXPECT_FALSE(results[0].http);
    EXPECT_FALSE(results[2].dns->ok);
    EXPECT_EQ(results[4].fallback, FallbackOutcome::failed);

    const std::vector<CampusTaskResult> none = run_campus_probes(CampusNetwork{});
    ASSERT_EQ(none.size(), 5u);
    EXPECT_EQ(none[4].fallback, FallbackOutcome::failed);
}

TEST(StoreCampusResults, TheWholeCampusAnswering) {
    FakeCampus fake;
    fake.pages["10.0.0.55:80 /"] = HttpGetResult{"<html><title> KAM Login </title></html>", 41, 200};
    fake.pages["10.0.0.55:80 /cgi-bin/rad_user_info"] = HttpGetResult{
        "cb({\"user_name\":\"s2301\",\"online_ip\":\"10.12.3.4\",\"sum_bytes\":5,\"sum_seconds\":6})", 9,
        200};
    fake.resolvers["10.0.32.32"] = DnsProbeResult{"93.184.216.34", 3, true};
    fake.resolvers["10.0.32.33"] = DnsProbeResult{"198.18.0.7", 4, true};
    fake.pages["10.0.0.54:8800 /"] = HttpGetResult{"<TITLE>Msg API</TITLE>", 17, 404};

    CampusFacts campus;
    store_campus_results(campus, run_campus_probes(fake.network()));
    EXPECT_TRUE(campus.portal_ok);
    EXPECT_EQ(campus.portal_elapsed, 41);
    EXPECT_EQ(campus.portal_title, "KAM Login");
    expect_login(campus.login, "s2301", "10.12.3.4", "5", "6");
    ASSERT_TRUE(campus.dns_primary);
    EXPECT_EQ(campus.dns_primary->answer, "93.184.216.34");
    EXPECT_EQ(campus.dns_primary_kind, "direct");
    ASSERT_TRUE(campus.dns_backup);
    EXPECT_EQ(campus.dns_backup_kind, "proxy"); // a fake-IP answer means a proxy answered in its place
    EXPECT_TRUE(campus.api_reachable);
    EXPECT_EQ(campus.api_status, 404);
    EXPECT_EQ(campus.api_elapsed, 17);
    EXPECT_EQ(campus.api_title, "Msg API");
}

TEST(StoreCampusResults, OnlyStatus200MakesThePortalOk) {
    for (const auto& [status, ok] : {std::pair{200, true}, {302, false}, {0, false}, {500, false}}) {
        std::vector<CampusTaskResult> results(5);
        results[0].http = HttpGetResult{"<title>t</title>", 5, static_cast<std::uint16_t>(status)};
        CampusFacts campus;
        store_campus_results(campus, results);
        EXPECT_EQ(campus.portal_ok, ok) << status;
        EXPECT_EQ(campus.portal_elapsed, 5) << status;
        EXPECT_EQ(campus.portal_title, "t") << status;
    }
}

TEST(StoreCampusResults, AnApiReachedOnlyByTheFallbackConnect) {
    std::vector<CampusTaskResult> results(5);
    results[4].fallback = FallbackOutcome::connected;
    results[4].fallback_elapsed = 12;
    CampusFacts campus;
    store_campus_results(campus, results);
    EXPECT_TRUE(campus.api_reachable);
    EXPECT_EQ(campus.api_status, 0);
    EXPECT_EQ(campus.api_elapsed, 12);
    EXPECT_EQ(campus.api_title, "");
}

TEST(StoreCampusResults, MissingResultsLeaveTheBlockAlone) {
    CampusFacts campus;
    store_campus_results(campus, {});
    EXPECT_FALSE(campus.portal_ok);
    EXPECT_FALSE(campus.dns_primary);
    EXPECT_FALSE(campus.api_reachable);
    EXPECT_EQ(campus.api_elapsed, -1);
}

// The live operations, with the campus addresses mapped onto servers on loopback.
CampusNetwork live_on_loopback(const std::map<std::string, std::uint16_t>& ports) {
    const CampusNetwork live = live_campus_network();
    const auto port_for = [ports](std::string_view host, std::uint16_t port) {
        const auto it = ports.find(std::string(host) + ":" + std::to_string(port));
        return it != ports.end() ? it->second : testing::closed_port();
    };
    CampusNetwork n;
    n.get = [live, port_for](std::string_view host, std::uint16_t port, std::string_view path,
                             unsigned timeout_ms) {
        return live.get("127.0.0.1", port_for(host, port), path, timeout_ms);
    };
    n.dns = live.dns;
    n.connect = [live, port_for](std::string_view host, std::uint16_t port, unsigned timeout_ms) {
        return live.connect("127.0.0.1", port_for(host, port), timeout_ms);
    };
    return n;
}

std::string request_path(Connection& c) {
    const std::string request = c.read_request();
    const std::size_t start = request.find(' ') + 1;
    return request.substr(start, request.find(' ', start) - start);
}

TEST(CampusProbesOnLoopback, ThePortalRedirectIsFollowedAndTheLoginRead) {
    LoopbackServer portal([](Connection& c) {
        const std::string path = request_path(c);
        if (path == "/") {
            c.send("HTTP/1.0 302 Found\r\nLocation: /srun_portal_pc?ac_id=1\r\n\r\n");
        } else if (path == "/srun_portal_pc?ac_id=1") {
            c.send(
                "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n<html><title>KAM Portal</title></html>");
        } else if (path == "/cgi-bin/rad_user_info") {
            c.send("HTTP/1.0 200 OK\r\n\r\njsonp1({\"user_name\":\"s2301\",\"online_ip\":\"10.12.3.4\","
                   "\"sum_bytes\":1024,\"sum_seconds\":60})");
        } else {
            c.send("HTTP/1.0 404 Not Found\r\n\r\n");
        }
    });
    LoopbackServer api([](Connection& c) {
        request_path(c);
        c.send("HTTP/1.0 200 OK\r\n\r\n<title>API</title>");
    });
    ASSERT_TRUE(portal.listening() && api.listening());
    const CampusNetwork network =
        live_on_loopback({{"10.0.0.55:80", portal.port()}, {"10.0.0.54:8800", api.port()}});

    std::vector<CampusTaskResult> results(5);
    for (CampusTask task : {CampusTask::portal, CampusTask::login, CampusTask::api})
        results[static_cast<std::size_t>(task)] = run_campus_task(task, network);
    CampusFacts campus;
    store_campus_results(campus, results);
    EXPECT_TRUE(campus.portal_ok);
    EXPECT_EQ(campus.portal_title, "KAM Portal");
    expect_login(campus.login, "s2301", "10.12.3.4", "1024", "60");
    EXPECT_TRUE(campus.api_reachable);
    EXPECT_EQ(campus.api_status, 200);
    EXPECT_EQ(campus.api_title, "API");
    EXPECT_EQ(results[4].fallback, FallbackOutcome::not_attempted);
}

TEST(CampusProbesOnLoopback, AnHttpsRedirectEndsThePortalGetWithTheRedirect) {
    LoopbackServer portal([](Connection& c) {
        request_path(c);
        c.send("HTTP/1.0 301 Moved Permanently\r\nLocation: https://10.0.0.55/srun_portal_pc\r\n\r\n"
               "<title>Moved</title>");
    });
    ASSERT_TRUE(portal.listening());
    const CampusTaskResult result =
        run_campus_task(CampusTask::portal, live_on_loopback({{"10.0.0.55:80", portal.port()}}));
    ASSERT_TRUE(result.http);
    EXPECT_EQ(result.http->status, 301);
    EXPECT_EQ(portal.connections(), 1);

    std::vector<CampusTaskResult> results(5);
    results[0] = result;
    CampusFacts campus;
    store_campus_results(campus, results);
    EXPECT_FALSE(campus.portal_ok);
    EXPECT_EQ(campus.portal_title, "Moved");
}

TEST(CampusProbesOnLoopback, TheFallbackConnectSucceedsOrFailsForReal) {
    // The GET finds nothing listening, the fallback connect finds a listener: as if the service came
    // up in between. What matters is that the connect is real and timed.
    LoopbackServer listener([](Connection&) {});
    ASSERT_TRUE(listener.listening());
    const CampusNetwork live = live_campus_network();
    CampusNetwork network;
    network.get = [](std::string_view, std::uint16_t, std::string_view, unsigned) {
        return std::optional<HttpGetResult>();
    };
    network.connect = [&](std::string_view, std::uint16_t, unsigned timeout_ms) {
        return live.connect("127.0.0.1", listener.port(), timeout_ms);
    };
    const CampusTaskResult connected = run_campus_task(CampusTask::api, network);
    EXPECT_EQ(connected.fallback, FallbackOutcome::connected);
    EXPECT_LT(connected.fallback_elapsed, 1400u);

    const CampusTaskResult refused = run_campus_task(CampusTask::api, live_on_loopback({}));
    EXPECT_FALSE(refused.http);
    EXPECT_EQ(refused.fallback, FallbackOutcome::failed);
}

// Answers one query on loopback port 53 with one A record, then stops.
class OneAnswerResolver {
public:
    explicit OneAnswerResolver(std::array<std::uint8_t, 4> address) {
        auto socket = Socket::open_udp(*SocketAddress::parse(testing::own_loopback(16), 53));
        if (!socket) return;
        thread_ = std::thread([s = std::move(*socket), address]() mutable {
            std::array<std::uint8_t, 512> buffer{};
            const auto query = s.receive_from(buffer, deadline_after(5000));
            if (!query || query->size < 12) return;
            std::vector<std::uint8_t> reply(buffer.begin(), buffer.begin() + static_cast<long>(query->size));
            reply[2] = 0x81;
            reply[3] = 0x80;
            reply[7] = 1;
            const std::uint8_t record[] = {0xC0, 0x0C, 0, 1, 0, 1, 0, 0, 0, 60, 0, 4};
            reply.insert(reply.end(), std::begin(record), std::end(record));
            reply.insert(reply.end(), address.begin(), address.end());
            s.send_to(reply, query->from, deadline_after(1000));
        });
    }
    ~OneAnswerResolver() {
        if (thread_.joinable()) thread_.join();
    }
    bool running() const { return thread_.joinable(); }

private:
    std::thread thread_;
};

TEST(CampusProbesOnLoopback, AResolverAnsweringAFakeAddressIsMarkedAsAProxy) {
    OneAnswerResolver resolver({198, 18, 0, 5});
    if (!resolver.running()) GTEST_SKIP() << "cannot bind " << testing::own_loopback(16) << " port 53 here";
    const CampusNetwork live = live_campus_network();
    CampusNetwork network;
    network.dns = [&live](std::string_view, unsigned timeout_ms) {
        return live.dns(testing::own_loopback(16), timeout_ms);
    };
    std::vector<CampusTaskResult> results(5);
    results[3] = run_campus_task(CampusTask::dns_backup, network);
    CampusFacts campus;
    store_campus_results(campus, results);
    ASSERT_TRUE(campus.dns_backup);
    EXPECT_TRUE(campus.dns_backup->ok);
    EXPECT_EQ(campus.dns_backup->answer, "198.18.0.5");
    EXPECT_GE(campus.dns_backup->elapsed, 0);
    EXPECT_EQ(campus.dns_backup_kind, "proxy");
}

} // namespace
} // namespace wirelux
