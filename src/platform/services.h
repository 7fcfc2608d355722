#pragma once
// Running services and drivers as the system's service manager lists them. Linux stands in with loaded
// kernel modules for drivers and systemd services that have live processes for services.

#include "model/snapshot.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wirelux::platform {

// The Windows service type masks asked for.
enum class ServiceKind : std::uint32_t {
    Drivers = 0x0B,  // kernel and file-system drivers
    Services = 0x30, // Win32 services, own and shared process
};

// Running entries only, in enumeration order, each with state "Running"; the binary path is empty when
// the entry's configuration cannot be read. Empty when the service manager cannot be asked.
std::vector<ServiceInfo> list_running(ServiceKind kind);

// --- Linux texts behind list_running, parsed here so they are tested on every platform.

// Loaded modules of a /proc/modules text whose state is "Live", in file order, named and otherwise
// empty. Lines without the six fields are skipped.
std::vector<ServiceInfo> parse_proc_modules(std::string_view text);

// The first process id of a cgroup.procs text; absent when it lists none (the unit has no live
// process) or its first line is not a process id.
std::optional<std::uint32_t> first_cgroup_pid(std::string_view text);

// True for a cgroup directory name that is a systemd service unit ("name.service").
bool is_service_unit_name(std::string_view name);

} // namespace wirelux::platform
