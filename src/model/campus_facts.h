#pragma once
// What the probes of the KAM campus network found.

#include "model/probe_results.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace wirelux {

inline constexpr const char* kCampusTargets[] = {"10.0.0.55", "10.0.0.54", "10.0.32.32", "10.0.32.33"};
inline constexpr const char* kCampusResolvers[] = {"10.0.32.32", "10.0.32.33"};

// The srun login figures of the logged-in user.
struct CampusLogin {
    std::string user_name;
    std::string online_ip;
    std::string sum_bytes;
    std::string sum_seconds;
    bool recognized = false;
};

struct CampusFacts {
    std::map<std::string, bool> reachable;    // campus target -> answered an ICMP echo
    std::map<std::string, std::string> route; // campus target -> route ("via") text

    bool portal_ok = false;
    std::int64_t portal_elapsed = -1;
    std::string portal_title;

    CampusLogin login;

    std::optional<DnsProbeResult> dns_primary;
    std::optional<DnsProbeResult> dns_backup;
    std::string dns_primary_kind; // "proxy" when the answer is a proxy's fake address
    std::string dns_backup_kind;

    bool api_reachable = false;
    std::uint16_t api_status = 0;
    std::int64_t api_elapsed = -1;
    std::string api_title;
};

} // namespace wirelux
