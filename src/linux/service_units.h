#pragma once
// The systemd services of a cgroup tree that have a live process.

#include "model/snapshot.h"

#include <string>
#include <vector>

namespace wirelux::platform {

// Units anywhere below the system slice and the user slice of a cgroup mount, as systemd lays them out:
// directly in system.slice, in a template's system-<name>.slice, under a user's manager
// (user.slice/user-<uid>.slice/user@<uid>.service/app.slice). In name order, one per name; name and
// display name are the unit name, the binary path is the executable of the first process its
// cgroup.procs lists or, for a service that keeps its processes in groups of its own below (delegation),
// of the first process found there. Units without a process are left out, as are groups that cannot be
// read.
std::vector<ServiceInfo> service_units_in(const std::string& cgroup_root);

} // namespace wirelux::platform
