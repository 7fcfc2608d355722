// One core's capture on fake files and HTTP (who is read, who is asked, what is kept), the choice of
// cores among the processes, and the probe and fetch against real controllers on loopback.
#include "facts/core_infos.h"
#include "mihomo/controller.h"

#include "probe/loopback_server.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace wirelux {
namespace {

using testing::Connection;
using testing::LoopbackServer;

struct Request {
    std::string target; // "host:port/path"
    HttpHeaders headers;
    unsigned timeout_ms = 0;
};

// A fake file system and controller: replies by "host:port/path", every request recorded.
struct FakeMachine {
    std::map<std::string, std::string> files;
    std::map<std::string, HttpGetResult> replies;
    std::vector<std::string> reads;
    std::vector<Request> requests;
    std::mutex lock;

    CoreOperations operations() {
        CoreOperations ops;
        ops.read_file = [this](const std::string& path) -> std::optional<std::string> {
            reads.push_back(path);
            const auto it = files.find(path);
            if (it == files.end()) return std::nullopt;
            return it->second;
        };
        ops.get = [this](const std::string& host, std::uint16_t port, std::string_view path,
                         const HttpHeaders& headers, unsigned timeout_ms) -> std::optional<HttpGetResult> {
            const std::string target = host + ":" + std::to_string(port) + std::string(path);
            const std::lock_guard guard(lock);
            requests.push_back({target, headers, timeout_ms});
            const auto it = replies.find(target);
            if (it == replies.end()) return std::nullopt;
            return it->second;
        };
        return ops;
    }

    std::vector<std::string> targets() {
        std::vector<std::string> out;
        for (const Request& r : requests)
            out.push_back(r.target);
        std::sort(out.begin(), out.end());
        return out;
    }
};

constexpr const char* kConfig = "mixed-port: 7890\n"
                                "external-controller: 0.0.0.0:9090\n"
                                "secret: \"p@ss word\"\n"
                                "find-process-mode: always\n"
                                "stack: gvisor\n"
                                "tun:\n"
                                "  enable: true\n"
                                "proxies:\n"
                                "  - name: relay\n"
                                "    type: socks5\n"
                                "    server: 198.51.100.7\n"
                                "    port: 1080\n";

constexpr const char* kConnections =
    R"({"connections":[{"metadata":{"processName":"curl","processPath":"/usr/bin/curl"},)"
    R"("rule":"MATCH","rulePayload":"","chains":["A","B"]}]})";

CoreProcess mihomo_process() {
    CoreProcess p;
    p.pid = 4242;
    p.name = "mihomo";
    p.image_path = "/opt/cores/mihomo";
    p.command_line = "/opt/cores/mihomo -d \"/srv/my cores\" -f config.yaml";
    return p;
}

TEST(CaptureCore, ReadsTheConfigurationProbesEveryCandidateAndListsTheLiveOnesConnections) {
    FakeMachine machine;
    machine.files["/srv/my cores/config.yaml"] = kConfig;
    machine.replies["127.0.0.1:9090/version"] = {R"({"version":"v1"})", 1, 200};
    machine.replies["127.0.0.1:9090/connections"] = {kConnections, 1, 200};
    CoreProcess process = mihomo_process();
    TcpRow own;
    own.local_address = "127.0.0.1";
    own.local_port = 7890;
    own.pid = process.pid;
    process.listeners = {own};

    const CoreInfo core = capture_core(process, machine.operations());
    EXPECT_EQ(machine.reads, std::vector<std::string>{"/srv/my cores/config.yaml"});
    EXPECT_EQ(core.pid, 4242u);
    EXPECT_EQ(core.config_path, "/srv/my cores/config.yaml");
    EXPECT_EQ(core.controller, "0.0.0.0:9090");
    EXPECT_EQ(core.secret, "p@ss word");
    EXPECT_EQ(core.find_process_mode, "always");
    EXPECT_EQ(core.tun_stack, ""); // the stack key above the tun block is not the tun's
    EXPECT_TRUE(core.tun_enabled);
    ASSERT_EQ(core.outbound_proxies.size(), 1u);
    EXPECT_EQ(core.outbound_proxies[0].server, "198.51.100.7");

    EXPECT_EQ(machine.targets(),
              (std::vector<std::string>{"127.0.0.1:7890/version", "127.0.0.1:9090/connections",
                                        "127.0.0.1:9090/version", "127.0.0.1:9097/version"}));
    for (const Request& r : machine.requests) {
        EXPECT_EQ(r.headers, (HttpHeaders{{"Authorization", "Bearer p@ss word"}})) << r.target;
        EXPECT_EQ(r.timeout_ms, r.target.ends_with("/connections") ? 2000u : 1000u) << r.target;
    }
    ASSERT_EQ(core.controller_probes.size(), 3u);
    // "0.0.0.0:9090" sorts before every "127.0.0.1:" text.
    EXPECT_EQ(core.controller_probes[0].address, "http://127.0.0.1:9090");
    EXPECT_TRUE(core.controller_probes[0].answered);
    EXPECT_EQ(core.controller_probes[1].address, "http://127.0.0.1:7890");
    EXPECT_FALSE(core.controller_probes[1].answered);
    EXPECT_TRUE(core.answered);
    EXPECT_EQ(core.live_controller, "http://127.0.0.1:9090");
    ASSERT_EQ(core.connections.size(), 1u);
    EXPECT_EQ(core.connections[0].process_name, "curl");
    EXPECT_EQ(core.connections[0].process_path, "/usr/bin/curl");
    EXPECT_EQ(core.connections[0].rule_text, "MATCH -> A / B");
}

TEST(CaptureCore, TheFirstAnsweringCandidateInListOrderIsLive) {
    FakeMachine machine;
    machine.replies["127.0.0.1:9097/version"] = {"v", 1, 200};
    machine.replies["127.0.0.1:9090/version"] = {"v", 1, 200};
    machine.replies["127.0.0.1:9090/connections"] = {kConnections, 1, 200};
    CoreProcess process = mihomo_process();
    process.command_line = "mihomo";
    const CoreInfo core = capture_core(process, machine.operations());
    EXPECT_EQ(core.live_controller, "http://127.0.0.1:9090");
    EXPECT_EQ(core.connections.size(), 1u);
    for (const Request& r : machine.requests)
        EXPECT_TRUE(r.headers.empty()) << r.target; // no secret known, no header
}

TEST(CaptureCore, NoLiveControllerMeansNoConnectionsRequest) {
    FakeMachine machine;
    machine.replies["127.0.0.1:9090/version"] = {"", 1, 200};
    machine.replies["127.0.0.1:9097/version"] = {"{}", 1, 401};
    const CoreInfo core = capture_core(mihomo_process(), machine.operations());
    EXPECT_FALSE(core.answered);
    EXPECT_EQ(core.live_controller, "");
    EXPECT_EQ(machine.targets(),
              (std::vector<std::string>{"127.0.0.1:9090/version", "127.0.0.1:9097/version"}));
    EXPECT_EQ(core.controller_probes.size(), 2u);
}

TEST(CaptureCore, AConnectionsReplyOtherThan200IsNoCapture) {
    FakeMachine machine;
    machine.replies["127.0.0.1:9090/version"] = {"v", 1, 200};
    machine.replies["127.0.0.1:9090/connections"] = {kConnections, 1, 500};
    const CoreInfo core = capture_core(mihomo_process(), machine.operations());
    EXPECT_TRUE(core.answered);
    EXPECT_TRUE(core.connections.empty());
}

TEST(CaptureCore, ACoreOutsideTheFamilyIsNeitherReadNorAsked) {
    FakeMachine machine;
    machine.files["/etc/xray/config.yaml"] = kConfig;
    CoreProcess xray;
    xray.pid = 77;
    xray.name = "xray";
    xray.image_path = "/usr/bin/xray";
    xray.command_line = "/usr/bin/xray run -d /etc/xray --ext-ctl 127.0.0.1:9090";
    const CoreInfo core = capture_core(xray, machine.operations());
    EXPECT_EQ(core.pid, 77u);
    EXPECT_TRUE(machine.reads.empty());
    EXPECT_TRUE(machine.requests.empty());
    EXPECT_EQ(core.config_path, "");
    EXPECT_EQ(core.controller, "");
    EXPECT_TRUE(core.controller_probes.empty());
}

TEST(CaptureCore, TheFamilyIsKnownByPathOrCommandLineToo) {
    EXPECT_TRUE(is_mihomo_like("C:\\Program Files\\Clash Verge\\core.exe  core.exe"));
    EXPECT_TRUE(
        is_mihomo_like("/usr/bin/sing-box /usr/bin/sing-box run --ext-ctl x -c /etc/MIHOMO.yaml sing-box"));
    EXPECT_FALSE(is_mihomo_like("/usr/bin/v2ray /usr/bin/v2ray run v2ray"));
    EXPECT_TRUE(is_proxy_core_name("verge-mihomo.exe"));
    EXPECT_TRUE(is_proxy_core_name("sing-box"));
    EXPECT_FALSE(is_proxy_core_name("tun2socks"));
    EXPECT_FALSE(is_proxy_core_name("wireguard.exe"));
}

ProcessInfo proxy_like(std::string name, std::uint32_t pid) {
    ProcessInfo p;
    p.name = std::move(name);
    p.pid = pid;
    return p;
}

TEST(CollectCoreInfos, OneRecordPerCoreProcessWithItsOwnListeners) {
    FactSnapshot s;
    s.proxy_like_processes = {proxy_like("tun2socks", 5), proxy_like("mihomo", 10),
                              proxy_like("xray.exe", 11), proxy_like("mihomo", 10)};
    s.processes[10] = proxy_like("Mihomo", 10);
    for (const std::uint32_t pid : {10u, 11u, 5u}) {
        TcpRow row;
        row.local_address = "127.0.0.1";
        row.local_port = static_cast<std::uint16_t>(20000 + pid);
        row.pid = pid;
        s.tcp_listeners.push_back(row);
    }
    FakeMachine machine;
    std::vector<std::uint32_t> identities;
    CoreSources sources;
    sources.identity = [&](std::uint32_t pid) {
        identities.push_back(pid);
        return platform::ProcessIdentity{"/opt/p" + std::to_string(pid), "p", ""};
    };
    sources.operations = machine.operations();
    collect_core_infos(s, sources);

    ASSERT_EQ(s.core_infos.size(), 2u);
    EXPECT_EQ(s.core_infos[0].pid, 10u);
    EXPECT_EQ(s.core_infos[1].pid, 11u);
    EXPECT_EQ(s.core_pids, (std::set<std::uint32_t>{10, 11}));
    EXPECT_EQ(identities, (std::vector<std::uint32_t>{10, 11}));
    // Only the family member (by its listed name) was probed, on its own listener and the defaults.
    EXPECT_EQ(machine.targets(),
              (std::vector<std::string>{"127.0.0.1:20010/version", "127.0.0.1:9090/version",
                                        "127.0.0.1:9097/version"}));
}

TEST(CollectCoreInfos, AControllerSeveralCoresFoundIsCapturedOnceForItsOwner) {
    // A GUI named like a core and the core it runs both find the default controller.
    struct Case {
        std::vector<std::uint32_t> listening; // pids with a listener on the controller's port
        std::uint32_t captured;               // the record that keeps the capture
    };
    for (const Case& c : {Case{{40}, 40}, Case{{}, 30}, Case{{99}, 30}}) {
        FactSnapshot s;
        s.proxy_like_processes = {proxy_like("clash-verge", 30), proxy_like("mihomo", 40)};
        for (const std::uint32_t pid : c.listening) {
            TcpRow row;
            row.local_address = "0.0.0.0";
            row.local_port = 9090;
            row.pid = pid;
            s.tcp_listeners.push_back(row);
        }
        FakeMachine machine;
        machine.replies["127.0.0.1:9090/version"] = {"v", 1, 200};
        machine.replies["127.0.0.1:9090/connections"] = {kConnections, 1, 200};
        CoreSources sources;
        sources.identity = [](std::uint32_t pid) {
            return platform::ProcessIdentity{pid == 30 ? "/opt/clash-verge" : "/opt/mihomo", "", ""};
        };
        sources.operations = machine.operations();
        collect_core_infos(s, sources);

        ASSERT_EQ(s.core_infos.size(), 2u);
        const auto targets = machine.targets();
        EXPECT_EQ(std::count(targets.begin(), targets.end(), "127.0.0.1:9090/connections"), 1);
        for (const CoreInfo& core : s.core_infos) {
            const bool keeps = core.pid == c.captured;
            EXPECT_EQ(core.answered, keeps) << core.pid;
            EXPECT_EQ(core.live_controller, keeps ? "http://127.0.0.1:9090" : "") << core.pid;
            EXPECT_EQ(core.connections.size(), keeps ? 1u : 0u) << core.pid;
            EXPECT_TRUE(core.controller_probes.front().answered) << "the probe itself is kept";
        }
    }
}

TEST(FillRuntimeProcessPaths, TheProcessesAConnectionNamesGetTheirPathOncePerPid) {
    FactSnapshot s;
    s.processes[10] = proxy_like("mihomo", 10);
    s.processes[300] = proxy_like("curl", 300);
    s.processes[200] = proxy_like("curl", 200);
    s.processes[7] = proxy_like("Chrome.exe", 7);
    s.processes[8] = proxy_like("bash", 8);
    s.processes[9] = ProcessInfo{"tool", "/known/tool", "", 9};
    for (std::uint32_t pid = 1000; pid < 1000 + kRuntimePathQueries + 5; ++pid)
        s.processes[pid] = proxy_like("worker", pid);
    CoreInfo core;
    for (const auto& [name, path] : std::vector<std::pair<std::string, std::string>>{
             {"curl", ""}, {"", "C:\\Apps\\chrome.exe"}, {"mihomo", ""}, {"tool", ""}, {"worker", ""}})
        core.connections.push_back(RuntimeConnection{"{}", name, path, ""});
    s.core_infos = {core, core}; // the same names from two cores are asked for once
    std::vector<std::uint32_t> asked;
    const auto identity = [&](std::uint32_t pid) {
        asked.push_back(pid);
        return platform::ProcessIdentity{"/bin/p" + std::to_string(pid), "", ""};
    };
    fill_runtime_process_paths(s, identity, {{10, "/opt/mihomo"}});

    // The core's own path was known from its capture; bash is named by no connection.
    std::vector<std::uint32_t> expected = {7, 200, 300};
    for (std::uint32_t pid = 1000; expected.size() < kRuntimePathQueries; ++pid)
        expected.push_back(pid);
    EXPECT_EQ(asked, expected);
    EXPECT_EQ(s.processes[10].path, "/opt/mihomo");
    EXPECT_EQ(s.processes[200].path, "/bin/p200");
    EXPECT_EQ(s.processes[7].path, "/bin/p7");
    EXPECT_EQ(s.processes[8].path, "");
    EXPECT_EQ(s.processes[9].path, "/known/tool");
    EXPECT_EQ(s.processes[1000 + kRuntimePathQueries + 4].path, "") << "beyond the budget";
}

// --- The real HTTP client against controllers on loopback.

std::string header_line(const std::string& request, const std::string& name) {
    const std::size_t at = request.find("\r\n" + name + ": ");
    if (at == std::string::npos) return {};
    const std::size_t start = at + 4 + name.size();
    return request.substr(start, request.find("\r\n", start) - start);
}

std::string request_path(const std::string& request) {
    const std::size_t space = request.find(' ');
    return request.substr(space + 1, request.find(' ', space + 1) - space - 1);
}

void reply(Connection& c, const std::string& status, const std::string& body, const std::string& extra = {}) {
    c.send("HTTP/1.1 " + status + "\r\nContent-Type: application/json\r\n" + extra +
           "Content-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
}

// A controller that wants the secret, as a core with one configured does.
LoopbackServer::Handler controller(const std::string& secret) {
    return [secret](Connection& c) {
        const std::string request = c.read_request();
        if (header_line(request, "Authorization") != "Bearer " + secret)
            return reply(c, "401 Unauthorized", R"({"message":"Unauthorized"})");
        if (request_path(request) == "/version") return reply(c, "200 OK", R"({"meta":true,"version":"v1"})");
        if (request_path(request) == "/connections") return reply(c, "200 OK", kConnections);
        reply(c, "404 Not Found", "{}");
    };
}

CoreInfo live_capture(std::uint16_t port, std::string secret) {
    CoreInfo core;
    core.controller = "127.0.0.1:" + std::to_string(port);
    core.secret = std::move(secret);
    capture_runtime(core, {}, live_core_sources().operations);
    return core;
}

TEST(LiveCapture, WithTheSecretTheControllerAnswersAndListsItsConnections) {
    LoopbackServer server(controller("t0ken"));
    ASSERT_TRUE(server.listening());
    const CoreInfo core = live_capture(server.port(), "t0ken");
    EXPECT_TRUE(core.answered);
    EXPECT_EQ(core.live_controller, "http://127.0.0.1:" + std::to_string(server.port()));
    ASSERT_EQ(core.connections.size(), 1u);
    EXPECT_EQ(core.connections[0].rule_text, "MATCH -> A / B");
    EXPECT_EQ(server.connections(), 2); // one probe, one fetch
}

TEST(LiveCapture, WithoutTheSecretTheControllerIsNotLive) {
    LoopbackServer server(controller("t0ken"));
    ASSERT_TRUE(server.listening());
    const CoreInfo core = live_capture(server.port(), "");
    EXPECT_FALSE(core.answered);
    EXPECT_TRUE(core.connections.empty());
    EXPECT_EQ(server.connections(), 1);
}

TEST(LiveCapture, AControllerThatNeverAnswersCostsOnlyItsTimeOut) {
    LoopbackServer silent([](Connection& c) { c.hold(); });
    ASSERT_TRUE(silent.listening());
    const auto start = std::chrono::steady_clock::now();
    const CoreInfo core = live_capture(silent.port(), "t0ken");
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_FALSE(core.answered);
    EXPECT_LT(took, std::chrono::milliseconds(2500));
    EXPECT_GE(took, std::chrono::milliseconds(900));
}

TEST(LiveCapture, TheSecretIsNotCarriedToAnotherServerByARedirect) {
    std::mutex lock;
    std::string elsewhere_saw = "<no request>";
    LoopbackServer elsewhere([&](Connection& c) {
        const std::string request = c.read_request();
        {
            const std::lock_guard guard(lock);
            elsewhere_saw = header_line(request, "Authorization");
        }
        reply(c, "200 OK", "{\"version\":\"x\"}");
    });
    ASSERT_TRUE(elsewhere.listening());
    const std::string location = "http://127.0.0.1:" + std::to_string(elsewhere.port()) + "/version";
    std::string same_saw = "<no request>";
    LoopbackServer redirecting([&](Connection& c) {
        const std::string request = c.read_request();
        if (request_path(request) == "/version") return reply(c, "302 Found", "", "Location: /v2\r\n");
        if (request_path(request) == "/v2") {
            {
                const std::lock_guard guard(lock);
                same_saw = header_line(request, "Authorization");
            }
            return reply(c, "302 Found", "", "Location: " + location + "\r\n");
        }
        reply(c, "404 Not Found", "{}");
    });
    ASSERT_TRUE(redirecting.listening());
    live_capture(redirecting.port(), "t0ken");
    const std::lock_guard guard(lock);
    EXPECT_EQ(same_saw, "Bearer t0ken"); // a redirect on the same server keeps it
    EXPECT_EQ(elsewhere_saw, "");
}

} // namespace
} // namespace wirelux
