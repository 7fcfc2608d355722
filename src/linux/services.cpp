// Drivers are the loaded kernel modules; services are the systemd services that have a live process.
#include "platform/services.h"

#include "linux/proc_read.h"
#include "linux/service_units.h"
#include "platform/process_query.h"
#include "util/utf.h"

#include <algorithm>
#include <array>
#include <fcntl.h>
#include <sys/stat.h>

namespace wirelux::platform {

namespace {

constexpr std::size_t kModulesLimit = 4 * 1024 * 1024;
constexpr std::size_t kCgroupProcsLimit = 64 * 1024;
// systemd nests slices a few levels deep (user.slice/user-1000.slice/user@1000.service/app.slice/x.service,
// a delegated service's own sub-groups below that); the bounds keep a runaway tree from holding the run.
constexpr int kMaxCgroupDepth = 12;
constexpr std::size_t kMaxCgroups = 20000;

// The unified hierarchy, on a pure cgroup v2 mount and on a hybrid one.
constexpr std::array<const char*, 2> kCgroupRoots = {"/sys/fs/cgroup", "/sys/fs/cgroup/unified"};
// Where systemd puts system services and, under each user's manager, user services.
constexpr std::array<const char*, 2> kServiceSlices = {"system.slice", "user.slice"};

std::string executable_of(std::uint32_t pid) {
    const auto link = read_proc_link(AT_FDCWD, ("/proc/" + std::to_string(pid) + "/exe").c_str());
    if (!link || link->empty()) return {};
    struct stat info {};
    const bool names_a_file = !link->ends_with(" (deleted)") || ::stat(link->c_str(), &info) == 0;
    return image_path_from_exe_link(*link, names_a_file);
}

bool is_directory(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::vector<std::string> child_groups(const std::string& directory) {
    std::vector<std::string> children;
    DirStream dir(::opendir(directory.c_str()));
    if (!dir.valid()) return children;
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..") continue;
        if (entry->d_type == DT_DIR || (entry->d_type == DT_UNKNOWN && is_directory(directory + "/" + entry->d_name)))
            children.emplace_back(name);
    }
    std::sort(children.begin(), children.end());
    return children;
}

struct UnitWalk {
    std::size_t visited = 0;
    std::vector<std::pair<std::string, std::optional<std::uint32_t>>> units; // name, first process

    // The first process in the group or, for a service that delegates, in the groups below it: its own
    // sub-groups (a user manager's init.scope) before the units and slices it holds. Units found on the
    // way are recorded too (a user's manager holds the user's services).
    std::optional<std::uint32_t> walk(const std::string& directory, int depth) {
        if (depth > kMaxCgroupDepth || ++visited > kMaxCgroups) return std::nullopt;
        std::optional<std::uint32_t> own;
        if (const auto procs = read_proc_file(directory + "/cgroup.procs", kCgroupProcsLimit))
            own = first_cgroup_pid(*procs);
        std::optional<std::uint32_t> in_own_group;
        std::optional<std::uint32_t> in_held_unit;
        for (const std::string& child : child_groups(directory)) {
            const auto below = walk(directory + "/" + child, depth + 1);
            const bool unit = is_service_unit_name(child);
            if (unit) units.emplace_back(child, below);
            auto& slot = unit || child.ends_with(".slice") ? in_held_unit : in_own_group;
            if (!slot) slot = below;
        }
        if (own) return own;
        return in_own_group ? in_own_group : in_held_unit;
    }
};

} // namespace

std::vector<ServiceInfo> service_units_in(const std::string& cgroup_root) {
    UnitWalk walk;
    for (const char* slice : kServiceSlices)
        walk.walk(cgroup_root + "/" + slice, 0);
    std::sort(walk.units.begin(), walk.units.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<ServiceInfo> services;
    for (const auto& [unit, pid] : walk.units) {
        if (!pid) continue;
        const std::string name = sanitize_utf8(unit);
        if (!services.empty() && services.back().name == name) continue; // one line per unit name
        services.push_back(ServiceInfo{name, name, "Running", executable_of(*pid)});
    }
    return services;
}

std::vector<ServiceInfo> list_running(ServiceKind kind) {
    if (kind == ServiceKind::Services) {
        for (const char* root : kCgroupRoots)
            if (is_directory(std::string(root) + "/system.slice")) return service_units_in(root);
        return {};
    }
    const auto modules = read_proc_file("/proc/modules", kModulesLimit);
    return modules ? parse_proc_modules(*modules) : std::vector<ServiceInfo>{};
}

} // namespace wirelux::platform
