// Times proxy candidate scoring on a synthetic busy machine: 5,000 listeners, 100,000 TCP rows and
// 2,000 processes, with probes that answer at once, so only the scoring itself is measured. The same
// machine at half and at double size shows whether the cost grows in step with the input.
// Touches no network: the probes are stand-ins.
#include "facts/proxy_scoring.h"
#include "progress.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using namespace wirelux;

constexpr int kRounds = 7;

struct Machine {
    FactSnapshot snapshot;
    std::vector<platform::ProcessIdentity> identities; // by pid - 1
    std::vector<ExplicitEndpoint> endpoints;
};

// Owners cycle through proxy cores, generic tools, interactive applications and plain services, so
// every pattern and branch of the scoring gets its share of the work.
Machine build(std::size_t listeners, std::size_t rows, std::uint32_t processes) {
    static const char* const kNames[] = {"mihomo.exe", "myproxy.exe", "chrome.exe", "svchost.exe",
                                         "worker.exe"};
    Machine m;
    m.snapshot.own_names = {"localhost", "bench-host"};
    m.snapshot.own_addresses = {"192.168.1.10", "fe80::1", "127.0.0.1", "::1"};
    for (std::uint32_t pid = 1; pid <= processes; ++pid) {
        const std::string name = kNames[pid % 5];
        m.snapshot.processes[pid] = ProcessInfo{name, {}, {}, pid};
        m.identities.push_back({R"(C:\Program Files\Vendor )" + std::to_string(pid) + "\\" + name,
                                "\"" + name + "\" --flag " + std::to_string(pid)});
    }
    static const char* const kAddresses[] = {"127.0.0.1", "0.0.0.0", "::", "::1", "192.168.1.10"};
    for (std::size_t i = 0; i < listeners; ++i) {
        TcpRow row;
        row.local_address = kAddresses[i % 5];
        row.local_port = static_cast<std::uint16_t>(1024 + i % 60000);
        row.state = kTcpStateListen;
        row.pid = static_cast<std::uint32_t>(1 + i % processes);
        m.snapshot.tcp_rows.push_back(row);
        m.snapshot.tcp_listeners.push_back(row);
    }
    for (std::size_t i = m.snapshot.tcp_rows.size(); i < rows; ++i) {
        TcpRow row;
        row.state = i % 7 == 0 ? 8 : kTcpStateEstablished;
        row.pid = static_cast<std::uint32_t>(1 + i % processes);
        if (i % 3 == 0) { // accepted from a local client
            row.local_address = "127.0.0.1";
            row.local_port = static_cast<std::uint16_t>(1024 + i % listeners);
            row.remote_address = i % 2 ? "127.0.0.1" : "192.168.1.10";
        } else {
            row.local_address = "192.168.1.10";
            row.local_port = static_cast<std::uint16_t>(40000 + i % 20000);
            row.remote_address =
                i % 2 ? "203.0.113." + std::to_string(i % 250) : "2001:db8::" + std::to_string(i % 999);
        }
        row.remote_port = 443;
        m.snapshot.tcp_rows.push_back(row);
    }
    for (std::uint16_t port = 1024; port < 1084; ++port)
        m.endpoints.push_back(
            {port % 2 ? "WinINET" : "ENV:HTTP_PROXY", port % 3 ? "127.0.0.1" : "localhost", port});
    return m;
}

double time_once(const Machine& m, std::size_t& candidates) {
    ScoringInputs inputs;
    inputs.endpoints = m.endpoints;
    inputs.probes.socks5 = [](const std::string&, std::uint16_t port) { return port % 4 == 0; };
    inputs.probes.http_connect = [](const std::string&, std::uint16_t port) {
        return port % 5 == 0 ? std::string("HTTP CONNECT / established") : std::string();
    };
    inputs.identity = [&m](std::uint32_t pid) { return m.identities[pid - 1]; };
    const auto start = std::chrono::steady_clock::now();
    const ProxyAssessmentLists lists = assess_proxy_candidates(m.snapshot, inputs);
    const auto stop = std::chrono::steady_clock::now();
    candidates = lists.candidates.size();
    return std::chrono::duration<double, std::milli>(stop - start).count();
}

void run(const char* label, std::size_t listeners, std::size_t rows, std::uint32_t processes) {
    const Machine m = build(listeners, rows, processes);
    std::vector<double> times;
    std::size_t candidates = 0;
    for (int round = 0; round < kRounds; ++round)
        times.push_back(time_once(m, candidates));
    std::sort(times.begin(), times.end());
    std::printf(
        "%-7s %6zu listeners %7zu rows %5u processes: median %8.1f ms  best %8.1f ms  (%zu candidates)\n",
        label, listeners, rows, processes, times[times.size() / 2], times.front(), candidates);
}

} // namespace

int main() {
    progress_init(false);
    run("half", 2500, 50000, 1000);
    run("target", 5000, 100000, 2000);
    run("double", 10000, 200000, 4000);
    return 0;
}
