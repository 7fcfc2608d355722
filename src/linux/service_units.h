#pragma once
// The systemd services under one cgroup slice directory that have a live process.

#include "model/snapshot.h"

#include <string>
#include <vector>

namespace wirelux::platform {

// Units in name order: name and display name are the unit name, the binary path is the executable of
// the first process its cgroup.procs lists. Units without a process are left out.
std::vector<ServiceInfo> service_units_under(const std::string& slice_directory);

} // namespace wirelux::platform
