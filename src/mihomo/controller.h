#pragma once
// Where a proxy core's controller may listen, and how its answers are read.

#include "model/probe_results.h"
#include "model/snapshot.h"
#include "probe/http_message.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wirelux {

inline constexpr unsigned kControllerProbeTimeoutMs = 1000;
inline constexpr unsigned kConnectionsTimeoutMs = 2000;
inline constexpr std::string_view kVersionPath = "/version";
inline constexpr std::string_view kConnectionsPath = "/connections";

struct ControllerAddress {
    std::string host;
    std::uint16_t port = 0;

    // "http://host:port", an IPv6 host in brackets.
    std::string text() const;
    bool operator==(const ControllerAddress&) const = default;
};

// An address such as "127.0.0.1:9090", "http://[::1]:9090/ui" or ":9090": scheme and path dropped, a
// missing port read as 80, an any-address (or no host at all) as 127.0.0.1. Absent when the port is
// not a number from 1 to 65535.
std::optional<ControllerAddress> parse_controller_address(std::string_view text);

// The addresses to try, in probing order: the configured one (unless it names a pipe), the two usual
// ports, and the core's own loopback or any-address listeners above 1024 — sorted, each tried once.
std::vector<ControllerAddress> controller_candidates(std::string_view configured,
                                                     const std::vector<TcpRow>& core_listeners);

// The header a core with a secret wants; none without one.
HttpHeaders controller_headers(std::string_view secret);

// A controller answers /version with status 200 and something in the body.
bool controller_answered(const std::optional<HttpGetResult>& reply);

} // namespace wirelux
