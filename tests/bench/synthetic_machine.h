#pragma once
// A synthetic busy machine shared by the benchmarks: listeners, TCP rows and processes in the
// proportions of a heavily loaded workstation, with probes and process identities that answer at once
// so that only the code under test is measured. Touches no network.

#include "facts/proxy_scoring.h"
#include "model/snapshot.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace wirelux::bench {

struct BusyMachine {
    FactSnapshot snapshot;
    std::vector<platform::ProcessIdentity> identities; // by pid - 1
    std::vector<ExplicitEndpoint> endpoints;
};

inline constexpr const char* kBusyProcessNames[] = {"mihomo.exe", "myproxy.exe", "chrome.exe", "svchost.exe",
                                                    "worker.exe"};

// Owners cycle through proxy cores, generic tools, interactive applications and plain services, so
// every pattern and branch of the scoring gets its share of the work.
inline BusyMachine busy_machine(std::size_t listeners, std::size_t rows, std::uint32_t processes) {
    BusyMachine m;
    m.snapshot.own_names = {"localhost", "bench-host"};
    m.snapshot.own_addresses = {"192.168.1.10", "fe80::1", "127.0.0.1", "::1"};
    // Sized up front, as a collector that knows its row count would: growth by doubling would leave the
    // largest vector of the machine with up to twice the memory it needs.
    m.identities.reserve(processes);
    m.snapshot.tcp_rows.reserve(std::max(rows, listeners));
    m.snapshot.tcp_listeners.reserve(listeners);
    for (std::uint32_t pid = 1; pid <= processes; ++pid) {
        const std::string name = kBusyProcessNames[pid % 5];
        m.snapshot.processes[pid] = ProcessInfo{name, {}, {}, pid};
        m.identities.push_back({R"(C:\Program Files\Vendor )" + std::to_string(pid) + "\\" + name,
                                "\"" + name + "\" --flag " + std::to_string(pid), ""});
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

// Probes that answer at once (every fourth port speaks SOCKS5, every fifth HTTP CONNECT) and the
// machine's own process identities. The machine must outlive the inputs.
inline ScoringInputs instant_scoring_inputs(const BusyMachine& m) {
    ScoringInputs inputs;
    inputs.endpoints = m.endpoints;
    inputs.probes.socks5 = [](const std::string&, std::uint16_t port) { return port % 4 == 0; };
    inputs.probes.http_connect = [](const std::string&, std::uint16_t port) {
        return port % 5 == 0 ? std::string("HTTP CONNECT / established") : std::string();
    };
    inputs.identity = [&m](std::uint32_t pid) { return m.identities[pid - 1]; };
    return inputs;
}

} // namespace wirelux::bench
