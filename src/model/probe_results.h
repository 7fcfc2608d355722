#pragma once
// Outcomes of the active probes. A failed probe is an ordinary value, never an error.

#include <cstdint>
#include <optional>
#include <string>

namespace wirelux {

// One ICMP echo.
struct EchoResult {
    bool ok = false;          // a reply arrived with success status
    std::int64_t rtt_ms = -1; // -1 when not ok
    bool refused = false;     // the system let this user open no echo socket, so nothing was sent
};

// One DNS query for an IPv4 address.
struct DnsProbeResult {
    std::string answer;        // first IPv4 address of the answer section; empty when none
    std::int64_t elapsed = -1; // -1 when no usable reply arrived
    bool ok = false;           // answer is non-empty
};

// One HTTP GET after its redirects. A GET that produced no response has no result at all.
struct HttpGetResult {
    std::string body;
    std::uint64_t elapsed = 0;
    std::uint16_t status = 0;
};

// Whether the interface of the best route to 1.1.1.1 is the one a real connection leaves from.
struct RouteSourceProbe {
    std::string target = "1.1.1.1:443";
    std::string source;
    bool connected = false;
    std::uint32_t route_interface = 0;
    std::uint32_t socket_interface = 0;
    bool mismatch = false;
};

} // namespace wirelux
