#pragma once

#include "model/snapshot.h"

namespace wirelux {

// Fills a fresh snapshot in the fixed phase order, each phase closed by its timing mark. Never fails:
// a source that cannot be read leaves its fields at their defaults.
FactSnapshot collect_facts();

// The phase labels of the timing marks collection issues, in order.
inline constexpr const char* kCollectionMarks[] = {
    "adapters+pnp+routes", "egress+reachability", "proxy-registry",      "tcp-snapshots", "listener-discovery",
    "services",            "route-source-probe",  "adapter-assessments", "intercept-score", "core-infos",
    "phys-candidates",     "phys-gw",             "gw-probes",           "kam-facts"};

// One assessment per adapter in adapter order, a default entry where the map has none.
std::vector<InterfaceAssessment> assessments_in_adapter_order(const FactSnapshot& snapshot);

// Lower-cased "localhost" and computer name.
std::set<std::string> own_names(const FactSnapshot& snapshot);

} // namespace wirelux
