#pragma once
// One verdict on whether this machine's traffic is being intercepted: the role of the egress interface
// combined with the proxy listeners, VPN drivers and services, the route/source probe and fake-IP
// addressing already recorded in the snapshot.

#include "model/snapshot.h"

#include <string>
#include <vector>

namespace wirelux {

inline constexpr const char* kLevelPossible = "POSSIBLE";
inline constexpr const char* kLevelLikely = "LIKELY";
inline constexpr const char* kLevelVisibleTunnel = "VISIBLE-TUNNEL";

struct InterceptionVerdict {
    double score = 0.0;
    std::string level = kLevelNone;
    double confidence = 0.2;
    std::vector<std::string> reasons; // in scoring order
};

// Reads the egress assessment, the listener assessment, the service scan and the route/source probe,
// so it belongs after all of them.
InterceptionVerdict assess_interception(const FactSnapshot& snapshot);

// Stores the verdict in the snapshot's intercept fields, replacing whatever they held.
void record_interception(FactSnapshot& snapshot);

} // namespace wirelux
