#include "facts/proxy_scoring.h"

#include "facts/interception.h"
#include "parallel/progress.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace wirelux {
namespace {

constexpr const char* kLanAddress = "192.168.1.10";
constexpr const char* kRemotePeer = "203.0.113.5";

TcpRow listening(const std::string& address, std::uint16_t port, std::uint32_t pid) {
    TcpRow row;
    row.local_address = address;
    row.local_port = port;
    row.state = kTcpStateListen;
    row.pid = pid;
    return row;
}

TcpRow established(std::uint32_t pid, std::uint16_t local_port, const std::string& remote,
                   std::uint32_t state = kTcpStateEstablished) {
    TcpRow row;
    row.local_address = "127.0.0.1";
    row.local_port = local_port;
    row.remote_address = remote;
    row.remote_port = 50000;
    row.state = state;
    row.pid = pid;
    return row;
}

// A machine with one LAN address; listeners and connections go into both tables as the collector puts them.
struct Machine {
    FactSnapshot snapshot;
    std::map<std::uint32_t, platform::ProcessIdentity> identities;

    Machine() {
        snapshot.own_names = {"localhost", "desk-7"};
        snapshot.own_addresses = {kLanAddress, "fe80::1"};
    }

    void process(std::uint32_t pid, const std::string& name, const std::string& path = {},
                 const std::string& command_line = {}) {
        snapshot.processes[pid] = ProcessInfo{name, {}, {}, pid};
        identities[pid] = {path, command_line, ""};
    }
    void listen(const std::string& address, std::uint16_t port, std::uint32_t pid) {
        snapshot.tcp_rows.push_back(listening(address, port, pid));
        snapshot.tcp_listeners.push_back(snapshot.tcp_rows.back());
    }
    void connection(std::uint32_t pid, std::uint16_t local_port, const std::string& remote,
                    std::uint32_t state = kTcpStateEstablished) {
        snapshot.tcp_rows.push_back(established(pid, local_port, remote, state));
    }
};

// Probes that answer from tables and remember what they were asked ("address|port"), from any thread.
class FakeProbes {
public:
    std::set<std::string> socks5_yes;
    std::map<std::string, std::string> connect_labels;

    ScoringProbes probes() {
        return {[this](const std::string& address, std::uint16_t port) {
                    const std::string key = address + "|" + std::to_string(port);
                    const std::lock_guard lock(mutex_);
                    socks5_asked_.push_back(key);
                    return socks5_yes.count(key) > 0;
                },
                [this](const std::string& address, std::uint16_t port) {
                    const std::string key = address + "|" + std::to_string(port);
                    const std::lock_guard lock(mutex_);
                    connect_asked_.push_back(key);
                    const auto it = connect_labels.find(key);
                    return it == connect_labels.end() ? std::string() : it->second;
                }};
    }
    std::set<std::string> socks5_asked() const { return {socks5_asked_.begin(), socks5_asked_.end()}; }
    std::set<std::string> connect_asked() const { return {connect_asked_.begin(), connect_asked_.end()}; }
    std::size_t socks5_count() const { return socks5_asked_.size(); }
    std::size_t connect_count() const { return connect_asked_.size(); }

private:
    std::mutex mutex_;
    std::vector<std::string> socks5_asked_;
    std::vector<std::string> connect_asked_;
};

ProxyAssessmentLists assess(const Machine& machine, FakeProbes& fake,
                            std::vector<ExplicitEndpoint> endpoints = {}) {
    ScoringInputs inputs;
    inputs.endpoints = std::move(endpoints);
    inputs.probes = fake.probes();
    inputs.identity = [&machine](std::uint32_t pid) {
        const auto it = machine.identities.find(pid);
        return it == machine.identities.end() ? platform::ProcessIdentity{} : it->second;
    };
    return assess_proxy_candidates(machine.snapshot, inputs);
}

const ListenerAssessment& find_listener(const ProxyAssessmentLists& lists, std::uint32_t pid,
                                        std::uint16_t port) {
    const auto it = std::find_if(lists.listeners.begin(), lists.listeners.end(),
                                 [&](const ListenerAssessment& l) { return l.pid == pid && l.port == port; });
    if (it == lists.listeners.end()) throw std::runtime_error("listener not assessed");
    return *it;
}

class ProxyScoring : public ::testing::Test {
protected:
    void SetUp() override { progress_init(false); }
    Machine machine;
    FakeProbes fake;
};

TEST_F(ProxyScoring, ProxyCoreNamedByWinInetAnsweringSocks5ScoresTwentyPointFive) {
    machine.process(100, "mihomo.exe", R"(C:\Tools\mihomo\mihomo.exe)",
                    R"("C:\Tools\mihomo\mihomo.exe" -d .)");
    machine.process(200, "browser-helper.exe");
    machine.listen("127.0.0.1", 7890, 100);
    // Two accepted clients on the proxy port, and the client side of one of them in another process.
    machine.connection(100, 7890, "127.0.0.1");
    machine.connection(100, 7890, "127.0.0.1");
    machine.connection(200, 51000, "127.0.0.1");
    fake.socks5_yes = {"127.0.0.1|7890"};

    const auto lists = assess(machine, fake, {{"WinINET", "127.0.0.1", 7890}});

    ASSERT_EQ(lists.listeners.size(), 1u);
    const ListenerAssessment& l = lists.listeners[0];
    EXPECT_EQ(l.signals, "SOCKS5 negotiation + explicit proxy policy references listener (WinINET) + "
                         "known proxy/tunnel process identity + 2 live local client connection(s) + "
                         "common proxy port (weak)");
    EXPECT_DOUBLE_EQ(l.score, 20.5);
    EXPECT_EQ(l.tier, "candidate");
    EXPECT_TRUE(l.is_candidate);
    EXPECT_EQ(l.endpoint, "127.0.0.1:7890");
    EXPECT_EQ(l.process_name, "mihomo.exe");
    EXPECT_EQ(l.live_local_clients, 2u);
    EXPECT_EQ(l.remote_established, 0u);
    EXPECT_EQ(fake.connect_count(), 0u) << "a SOCKS5 answer makes the CONNECT probe unnecessary";
    ASSERT_EQ(lists.candidates.size(), 1u);
    ASSERT_EQ(lists.processes.size(), 1u);
    EXPECT_EQ(lists.processes[0].tier, "candidate");
    EXPECT_EQ(lists.processes[0].protocol_confirmed_count, 1u);
}

TEST_F(ProxyScoring, ExplicitPolicyAloneIsACandidateWithoutProbePenalty) {
    machine.process(300, "helper.exe");
    machine.process(301, "lan-service.exe");
    // The LAN-bound listener comes first in the table but "localhost" falls back to loopback/wildcard ones.
    machine.listen(kLanAddress, 4567, 301);
    machine.listen("0.0.0.0", 4567, 300);

    const auto lists = assess(machine, fake, {{"ENV:HTTP_PROXY", "localhost", 4567}});

    ASSERT_EQ(lists.listeners.size(), 1u) << "a listener on a LAN address is not assessed";
    const ListenerAssessment& l = lists.listeners[0];
    EXPECT_EQ(l.pid, 300u);
    EXPECT_EQ(l.signals, "explicit proxy policy references listener (ENV:HTTP_PROXY)");
    EXPECT_DOUBLE_EQ(l.score, 5.0);
    EXPECT_EQ(l.tier, "candidate");
    // Both probes ran on the listener's own address and found nothing.
    EXPECT_EQ(fake.socks5_asked(), std::set<std::string>{"0.0.0.0|4567"});
    EXPECT_EQ(fake.connect_asked(), std::set<std::string>{"0.0.0.0|4567"});
}

TEST_F(ProxyScoring, ExplicitEndpointsFindTheirListener) {
    machine.process(310, "alpha.exe");
    machine.process(311, "beta.exe");
    machine.process(312, "gamma.exe");
    machine.process(313, "delta.exe");
    machine.listen("127.0.0.1", 4000, 310);
    machine.listen(kLanAddress, 5000, 311);
    machine.listen("0.0.0.0", 5000, 312);
    machine.listen("::", 6000, 313);
    machine.listen("0.0.0.0", 6100, 313);
    machine.listen("0.0.0.0", 0, 0); // owned by no process: never assessed nor referenced

    const auto lists = assess(machine, fake,
                              {{"WinINET", "127.0.0.1", 4000},
                               {"WinINET", "127.0.0.1", 4000},    // http= and https= naming one listener
                               {"ENV:ALL_PROXY", "desk-7", 4000}, // own name: only an equal address
                               {"ENV:HTTP_PROXY", "localhost", 4000},
                               {"WinHTTP", kLanAddress, 5000},       // names only the LAN-bound listener
                               {"ENV:FTP_PROXY", kRemotePeer, 6100}, // another machine
                               {"ENV:SOCKS_PROXY", "::1", 6000},
                               {"WinHTTP", "0.0.0.0", 6100}});

    ASSERT_EQ(lists.listeners.size(), 4u);
    EXPECT_EQ(find_listener(lists, 310, 4000).signals,
              "explicit proxy policy references listener (WinINET, ENV:HTTP_PROXY)");
    EXPECT_EQ(find_listener(lists, 312, 5000).signals, "active proxy protocol probe negative");
    const ListenerAssessment& wildcard_v6 = find_listener(lists, 313, 6000);
    EXPECT_EQ(wildcard_v6.endpoint, "[::]:6000");
    EXPECT_EQ(wildcard_v6.signals, "explicit proxy policy references listener (ENV:SOCKS_PROXY)");
    EXPECT_EQ(find_listener(lists, 313, 6100).signals, "explicit proxy policy references listener (WinHTTP)");
}

TEST_F(ProxyScoring, ProbeBudgetsFollowThePriorityOrder) {
    // 73 plain listeners plus one known proxy that outranks them all although it comes last.
    for (std::uint32_t i = 0; i < 73; ++i) {
        machine.process(1000 + i, "worker.exe");
        machine.listen("127.0.0.1", static_cast<std::uint16_t>(20000 + i), 1000 + i);
    }
    machine.process(5000, "clash.exe", R"(C:\Clash\clash.exe)");
    machine.listen("127.0.0.1", 9090, 5000);

    const auto lists = assess(machine, fake);

    EXPECT_EQ(fake.socks5_count(), 72u);
    EXPECT_EQ(fake.socks5_asked().count("127.0.0.1|9090"), 1u);
    EXPECT_EQ(fake.socks5_asked().count("127.0.0.1|20070"), 1u);
    EXPECT_EQ(fake.socks5_asked().count("127.0.0.1|20071"), 0u);
    EXPECT_EQ(fake.socks5_asked().count("127.0.0.1|20072"), 0u);
    // Plain listeners carry no evidence that earns them a CONNECT probe; the known proxy does.
    EXPECT_EQ(fake.connect_asked(), std::set<std::string>{"127.0.0.1|9090"});

    const ListenerAssessment& probed = find_listener(lists, 1070, 20070);
    EXPECT_EQ(probed.signals, "active proxy protocol probe negative");
    EXPECT_DOUBLE_EQ(probed.score, -0.75);
    const ListenerAssessment& unprobed = find_listener(lists, 1072, 20072);
    EXPECT_EQ(unprobed.signals, "protocol probe budget not reached");
    EXPECT_DOUBLE_EQ(unprobed.score, 0.0);
    EXPECT_EQ(unprobed.tier, "inventory");
    // A known identity is not penalised for a silent probe, and 4.0 is already a candidate.
    const ListenerAssessment& known = find_listener(lists, 5000, 9090);
    EXPECT_EQ(known.signals, "known proxy/tunnel process identity");
    EXPECT_DOUBLE_EQ(known.score, 4.0);
    EXPECT_EQ(known.tier, "candidate");
    // Assessment order is by process id, whatever the probe order was.
    EXPECT_EQ(lists.listeners.front().pid, 1000u);
    EXPECT_EQ(lists.listeners.back().pid, 5000u);
}

TEST_F(ProxyScoring, HttpConnectBudgetTakesTheFirstThirtySixThatQualify) {
    for (std::uint32_t i = 0; i < 40; ++i) {
        machine.process(2000 + i, "svc.exe");
        machine.listen("127.0.0.1", 8080, 2000 + i);
    }
    fake.connect_labels["127.0.0.1|8080"] = "HTTP CONNECT / 407";

    const auto lists = assess(machine, fake);

    EXPECT_EQ(fake.socks5_count(), 40u);
    EXPECT_EQ(fake.connect_count(), 36u);
    EXPECT_EQ(find_listener(lists, 2035, 8080).signals, "HTTP CONNECT / 407 + common proxy port (weak)");
    EXPECT_DOUBLE_EQ(find_listener(lists, 2035, 8080).score, 7.5);
    const ListenerAssessment& late = find_listener(lists, 2036, 8080);
    EXPECT_EQ(late.signals, "common proxy port (weak) + active proxy protocol probe negative");
    EXPECT_DOUBLE_EQ(late.score, -0.25);
}

TEST_F(ProxyScoring, CommonApplicationsAreNotProbedWithoutOtherEvidence) {
    const std::string chrome = R"(C:\Program Files\Google\Chrome\Application\chrome.exe)";
    machine.process(400, "chrome.exe", chrome, "\"" + chrome + "\" --remote-debugging-port=9222");
    machine.process(401, "Code.exe", R"(C:\Users\u\AppData\Local\Programs\Microsoft VS Code\Code.exe)");
    machine.process(402, "myproxy.exe", R"(C:\Tools\myproxy.exe)");
    machine.listen("127.0.0.1", 9222, 400);
    machine.listen("127.0.0.1", 8080, 401); // a common application on a common proxy port is still probed
    machine.listen("127.0.0.1", 3128, 402);

    const auto lists = assess(machine, fake);

    const ListenerAssessment& debug_port = find_listener(lists, 400, 9222);
    EXPECT_EQ(
        debug_port.signals,
        "common interactive application negative prior + active probe skipped by common-app negative prior");
    EXPECT_DOUBLE_EQ(debug_port.score, -2.5);
    EXPECT_EQ(debug_port.tier, "inventory");
    EXPECT_TRUE(debug_port.common_app);
    EXPECT_EQ(fake.socks5_asked().count("127.0.0.1|9222"), 0u);
    EXPECT_EQ(fake.connect_asked().count("127.0.0.1|9222"), 0u);

    const ListenerAssessment& editor = find_listener(lists, 401, 8080);
    EXPECT_EQ(editor.signals, "common proxy port (weak) + common interactive application negative prior + "
                              "active proxy protocol probe negative");
    EXPECT_DOUBLE_EQ(editor.score, -2.75);

    const ListenerAssessment& generic = find_listener(lists, 402, 3128);
    EXPECT_EQ(generic.signals, "generic proxy/vpn-like process identity (weak) + common proxy port (weak) + "
                               "active proxy protocol probe negative");
    EXPECT_DOUBLE_EQ(generic.score, 0.75);
    EXPECT_EQ(generic.tier, "inventory");
}

TEST_F(ProxyScoring, CommonApplicationIsAWholeWordOfTheIdentity) {
    struct Case {
        std::string name, path, command_line;
        bool common_app;
    };
    const std::vector<Case> cases = {
        {"STEAMWEBHELPER.EXE", "", "", true},                      // any case, ".exe" optional
        {"launcher.exe", "C:/Games/Battle.net/launcher.exe", "", true}, // a folder word, "/" separates
        {"helper.exe", R"(C:\x\helper.exe)", "run\tteams --x", true},    // tab separates
        {"chromedriver.exe", R"(C:\tools\chromedriver.exe)", "", false}, // a longer word
        {"helper.exe", R"(C:\x\helper.exe)", "\"chrome.exe\" --x", false}, // a quote does not separate
        {"code.exe.exe", "", "", false},
        {"qqmusic.exe", "", "", false},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const auto pid = static_cast<std::uint32_t>(600 + i);
        machine.process(pid, cases[i].name, cases[i].path, cases[i].command_line);
        machine.listen("127.0.0.1", static_cast<std::uint16_t>(20000 + i), pid);
    }
    const auto lists = assess(machine, fake);
    for (std::size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(find_listener(lists, static_cast<std::uint32_t>(600 + i), static_cast<std::uint16_t>(20000 + i))
                      .common_app,
                  cases[i].common_app)
            << cases[i].name << " " << cases[i].path << " " << cases[i].command_line;
}

TEST_F(ProxyScoring, TierBoundariesAreInclusiveFromBelow) {
    // 5.0 policy + 1.0 generic + 0.5 port - 2.5 common app = exactly 4.0.
    machine.process(500, "discord.exe", R"(C:\Apps\discord.exe)", "discord.exe --proxy-server=x");
    machine.listen("127.0.0.1", 1080, 500);
    // 1.0 generic + 3.0 client + 0.5 port - 0.75 silent probes = 3.75.
    machine.process(501, "tunnelkit.exe");
    machine.listen("127.0.0.1", 1081, 501);
    machine.connection(501, 1081, "127.0.0.1");

    const auto lists = assess(machine, fake, {{"WinINET", "127.0.0.1", 1080}});

    EXPECT_DOUBLE_EQ(find_listener(lists, 500, 1080).score, 4.0);
    EXPECT_EQ(find_listener(lists, 500, 1080).tier, "candidate");
    EXPECT_DOUBLE_EQ(find_listener(lists, 501, 1081).score, 3.75);
    EXPECT_EQ(find_listener(lists, 501, 1081).tier, "investigate");
}

TEST_F(ProxyScoring, ExactlyTwoIsInvestigateForAListenerBeyondBothBudgets) {
    // 72 known proxies fill the SOCKS5 budget and, all silent, the CONNECT budget too.
    for (std::uint32_t i = 0; i < 72; ++i) {
        machine.process(3000 + i, "v2ray.exe");
        machine.listen("127.0.0.1", static_cast<std::uint16_t>(30000 + i), 3000 + i);
    }
    // 1.0 generic + 3.0 client + 0.5 port - 2.5 common app = exactly 2.0, with no probe to penalise it.
    machine.process(600, "steam.exe", R"(C:\Games\Steam\steam.exe)", "steam.exe -socks");
    machine.listen("127.0.0.1", 8888, 600);
    machine.connection(600, 8888, "::1");

    const auto lists = assess(machine, fake);

    EXPECT_EQ(fake.connect_count(), 36u);
    const ListenerAssessment& l = find_listener(lists, 600, 8888);
    EXPECT_EQ(l.signals,
              "generic proxy/vpn-like process identity (weak) + 1 live local client connection(s) + "
              "common proxy port (weak) + common interactive application negative prior + "
              "protocol probe budget not reached");
    EXPECT_DOUBLE_EQ(l.score, 2.0);
    EXPECT_EQ(l.tier, "investigate");
}

TEST_F(ProxyScoring, ConnectionsCountPerProcessAndPerListener) {
    machine.process(900, "worker.exe");
    machine.listen("127.0.0.1", 5000, 900);
    machine.listen("127.0.0.1", 5001, 900);
    machine.connection(900, 5000, "::1");                         // local client
    machine.connection(900, 5000, kLanAddress);                   // own address: local client
    machine.connection(901, 5000, "127.0.0.1");                   // another process's port
    machine.connection(900, 5000, "127.0.0.1", 6);                // not established
    machine.connection(900, 40001, kRemotePeer);                  // remote
    machine.connection(900, 40002, "[2001:db8::7]");              // remote
    machine.connection(900, 40003, "0.0.0.0");                    // unspecified: neither
    machine.connection(900, 40004, "");                           // no peer: neither
    machine.connection(900, 40005, kRemotePeer, kTcpStateListen); // not established
    machine.connection(0, 40006, kRemotePeer);                    // no owner

    const auto lists = assess(machine, fake);

    const ListenerAssessment& busy = find_listener(lists, 900, 5000);
    EXPECT_EQ(busy.live_local_clients, 2u);
    EXPECT_EQ(busy.remote_established, 2u);
    EXPECT_EQ(busy.signals,
              "2 live local client connection(s) + 2 remote established socket(s), ranking only + "
              "active proxy protocol probe negative");
    EXPECT_DOUBLE_EQ(busy.score, 2.25);
    const ListenerAssessment& idle = find_listener(lists, 900, 5001);
    EXPECT_EQ(idle.live_local_clients, 0u);
    EXPECT_EQ(idle.remote_established, 2u);

    ASSERT_EQ(lists.processes.size(), 1u);
    const ProcessAssessment& p = lists.processes[0];
    EXPECT_EQ(p.tier, "investigate");
    EXPECT_DOUBLE_EQ(p.best_score, 2.25) << "the best listener need not be the last";
    EXPECT_EQ(p.max_live_local_clients, 2u);
    EXPECT_EQ(p.max_remote_established, 2u);
    EXPECT_EQ(p.candidate_count, 0u);
}

TEST_F(ProxyScoring, ProcessAggregationDigestsSignalsInByteOrder) {
    machine.process(800, "clash-verge.exe");
    machine.process(100, "tiny.exe");
    // Deliberately out of order: assessment order is by process id, then port.
    machine.listen("127.0.0.1", 9097, 800);
    machine.listen("127.0.0.1", 7892, 800);
    machine.listen("127.0.0.1", 7891, 800);
    machine.listen("127.0.0.1", 7890, 800);
    machine.listen("127.0.0.1", 9090, 800);
    machine.listen("127.0.0.1", 53000, 800);
    machine.listen("127.0.0.1", 4444, 100);
    machine.connection(800, 9097, "127.0.0.1");
    fake.socks5_yes = {"127.0.0.1|7890", "127.0.0.1|7891"};
    fake.connect_labels["127.0.0.1|7892"] = "HTTP CONNECT / established";

    FactSnapshot& s = machine.snapshot;
    record_proxy_assessment(s, assess(machine, fake));

    std::vector<std::uint16_t> ports;
    for (const auto& l : s.listener_assessments)
        ports.push_back(l.port);
    EXPECT_EQ(ports, (std::vector<std::uint16_t>{4444, 7890, 7891, 7892, 9090, 9097, 53000}));

    ASSERT_EQ(s.process_assessments.size(), 2u);
    EXPECT_EQ(s.process_assessments[0].pid, 100u);
    EXPECT_EQ(s.process_assessments[0].tier, "inventory");
    const ProcessAssessment& core = s.process_assessments[1];
    EXPECT_EQ(core.process_name, "clash-verge.exe");
    EXPECT_EQ(core.tier, "candidate");
    EXPECT_DOUBLE_EQ(core.best_score, 12.5);
    EXPECT_EQ(core.listener_count, 6u);
    EXPECT_EQ(core.candidate_count, 6u);
    EXPECT_EQ(core.protocol_confirmed_count, 3u);
    EXPECT_EQ(core.max_live_local_clients, 1u);
    // Upper case sorts before lower case; the duplicate SOCKS5 text appears once; the fourth is dropped.
    EXPECT_EQ(core.signal_digest,
              "HTTP CONNECT / established + known proxy/tunnel process identity + common proxy port (weak) | "
              "SOCKS5 negotiation + known proxy/tunnel process identity + common proxy port (weak) | "
              "known proxy/tunnel process identity");

    ASSERT_EQ(s.candidate_processes.size(), 1u);
    EXPECT_EQ(s.candidate_processes[0].pid, 800u);
    EXPECT_EQ(s.candidate_listeners.size(), 6u);
    EXPECT_EQ(s.protocol_proxy_listeners.size(), 3u);
    EXPECT_EQ(s.protocol_proxy_pids, std::vector<std::uint32_t>{800});
    EXPECT_EQ(s.proxy_like_listener_pids, std::vector<std::uint32_t>{800});
}

TEST_F(ProxyScoring, InterceptionCountsAProxyProcessOnceWhateverItsListeners) {
    machine.process(700, "sing-box.exe");
    machine.listen("127.0.0.1", 7890, 700);
    machine.listen("::1", 7891, 700);
    fake.socks5_yes = {"127.0.0.1|7890", "::1|7891"};
    FactSnapshot& s = machine.snapshot;
    record_proxy_assessment(s, assess(machine, fake));
    record_interception(s);

    EXPECT_EQ(s.protocol_proxy_listeners.size(), 2u);
    EXPECT_DOUBLE_EQ(s.intercept_score, 4.0);
    EXPECT_EQ(s.intercept_level, "POSSIBLE");

    // A second proxy process adds one point.
    machine.process(701, "xray.exe");
    machine.listen("127.0.0.1", 10808, 701);
    fake.socks5_yes.insert("127.0.0.1|10808");
    record_proxy_assessment(s, assess(machine, fake));
    record_interception(s);
    EXPECT_EQ(s.protocol_proxy_pids, (std::vector<std::uint32_t>{700, 701}));
    EXPECT_DOUBLE_EQ(s.intercept_score, 5.0);
}

TEST_F(ProxyScoring, NoListenersMeansNoListsAndNoProbes) {
    machine.connection(1, 5000, kRemotePeer);
    FactSnapshot& s = machine.snapshot;
    s.proxy_like_listener_pids = {42}; // stale values are replaced
    record_proxy_assessment(s, assess(machine, fake, {{"WinINET", "127.0.0.1", 7890}}));
    EXPECT_TRUE(s.listener_assessments.empty());
    EXPECT_TRUE(s.candidate_listeners.empty());
    EXPECT_TRUE(s.process_assessments.empty());
    EXPECT_TRUE(s.proxy_like_listener_pids.empty());
    EXPECT_EQ(fake.socks5_count() + fake.connect_count(), 0u);
}

TEST_F(ProxyScoring, ThrowingOrMissingProbesAreNegativeAnswers) {
    machine.process(100, "proxyd.exe");
    machine.listen("127.0.0.1", 1080, 100);
    ScoringInputs inputs;
    inputs.probes.socks5 = [](const std::string&, std::uint16_t) -> bool { throw std::runtime_error("x"); };
    const auto lists = assess_proxy_candidates(machine.snapshot, inputs);
    ASSERT_EQ(lists.listeners.size(), 1u);
    EXPECT_EQ(lists.listeners[0].signals, "generic proxy/vpn-like process identity (weak) + "
                                          "common proxy port (weak) + active proxy protocol probe negative");
}

TEST(ProxySettingTexts, WinInetWhenEnabledThenWinHttpThenEnvironmentInFixedOrder) {
    FactSnapshot s;
    s.wininet_server = "127.0.0.1:7890";
    s.winhttp_text = "Proxy Server(s) :  127.0.0.1:7891";
    const std::map<std::string, std::string> env = {{"SOCKS_PROXY", "socks5://127.0.0.1:1080"},
                                                    {"HTTP_PROXY", "http://127.0.0.1:8080"},
                                                    {"HTTPS_PROXY", ""}};
    const EnvironmentLookup lookup = [&env](std::string_view name) -> std::optional<std::string> {
        const auto it = env.find(std::string(name));
        if (it == env.end()) return std::nullopt;
        return it->second;
    };
    const auto labels = [](const std::vector<ProxySettingText>& settings) {
        std::vector<std::string> out;
        for (const auto& setting : settings)
            out.push_back(setting.source);
        return out;
    };

    EXPECT_EQ(labels(explicit_proxy_setting_texts(s, lookup)),
              (std::vector<std::string>{"WinHTTP", "ENV:HTTP_PROXY", "ENV:SOCKS_PROXY"}));
    s.wininet_enable = true;
    const auto settings = explicit_proxy_setting_texts(s, lookup);
    EXPECT_EQ(labels(settings),
              (std::vector<std::string>{"WinINET", "WinHTTP", "ENV:HTTP_PROXY", "ENV:SOCKS_PROXY"}));
    EXPECT_EQ(settings[3].text, "socks5://127.0.0.1:1080");
}

} // namespace
} // namespace wirelux
