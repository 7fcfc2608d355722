#pragma once

#include "model/snapshot.h"

#include <functional>

namespace wirelux {

// Fills a fresh snapshot in the fixed phase order, each phase closed by its timing mark. Never fails:
// a source that cannot be read leaves its fields at their defaults. start_early_probes is called once
// with the facts so far (adapters and routes among them), as soon as no source is left to read that
// could see the program's own probes, to start probes of the caller's that overlap the rest of the run.
FactSnapshot collect_facts(const std::function<void(const FactSnapshot&)>& start_early_probes = {});

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
