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

// The unified hierarchy's system slice, on a pure cgroup v2 mount and on a hybrid one.
constexpr std::array<const char*, 2> kSystemSlices = {"/sys/fs/cgroup/system.slice",
                                                      "/sys/fs/cgroup/unified/system.slice"};

std::string executable_of(std::uint32_t pid) {
    const auto link = read_proc_link(AT_FDCWD, ("/proc/" + std::to_string(pid) + "/exe").c_str());
    if (!link || link->empty()) return {};
    struct stat info {};
    const bool names_a_file = !link->ends_with(" (deleted)") || ::stat(link->c_str(), &info) == 0;
    return image_path_from_exe_link(*link, names_a_file);
}

} // namespace

std::vector<ServiceInfo> service_units_under(const std::string& slice_directory) {
    std::vector<ServiceInfo> services;
    std::vector<std::string> units;
    {
        DirStream dir(::opendir(slice_directory.c_str()));
        if (!dir.valid()) return services;
        while (const dirent* entry = ::readdir(dir.get())) {
            if (entry->d_type != DT_DIR && entry->d_type != DT_UNKNOWN) continue;
            if (is_service_unit_name(entry->d_name)) units.emplace_back(entry->d_name);
        }
    }
    std::sort(units.begin(), units.end());
    for (const std::string& unit : units) {
        const auto procs = read_proc_file(slice_directory + "/" + unit + "/cgroup.procs", kCgroupProcsLimit);
        if (!procs) continue;
        const auto pid = first_cgroup_pid(*procs);
        if (!pid) continue;
        const std::string name = sanitize_utf8(unit);
        services.push_back(ServiceInfo{name, name, "Running", executable_of(*pid)});
    }
    return services;
}

std::vector<ServiceInfo> list_running(ServiceKind kind) {
    if (kind == ServiceKind::Services) {
        for (const char* slice : kSystemSlices) {
            struct stat info {};
            if (::stat(slice, &info) == 0 && S_ISDIR(info.st_mode)) return service_units_under(slice);
        }
        return {};
    }
    const auto modules = read_proc_file("/proc/modules", kModulesLimit);
    return modules ? parse_proc_modules(*modules) : std::vector<ServiceInfo>{};
}

} // namespace wirelux::platform
