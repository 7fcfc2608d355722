#include "linux/proc_read.h"
#include "platform/proc_net.h"
#include "platform/process_query.h"
#include "platform/sockets.h"

#include <fcntl.h>
#include <string>
#include <sys/stat.h>

namespace wirelux::platform {

namespace {

constexpr std::size_t kStatLimit = 4096;

// The name Windows would show: the executable's file name. Kernel threads and processes whose
// executable cannot be read (another user's, without privilege) fall back to the command name.
std::optional<std::string> process_name(std::uint32_t pid) {
    const std::string base = "/proc/" + std::to_string(pid);
    if (auto link = read_proc_link(AT_FDCWD, (base + "/exe").c_str()); link && !link->empty()) {
        struct stat info {};
        const bool names_a_file = !link->ends_with(" (deleted)") || ::stat(link->c_str(), &info) == 0;
        return image_name_from_path(image_path_from_exe_link(*link, names_a_file));
    }
    const auto stat_text = read_proc_file(base + "/stat", kStatLimit);
    if (!stat_text) return std::nullopt; // gone meanwhile
    return command_name_from_stat(*stat_text);
}

} // namespace

std::vector<ProcessInfo> read_process_list() {
    std::vector<ProcessInfo> processes;
    for (const std::uint32_t pid : list_process_ids()) {
        if (auto name = process_name(pid)) {
            ProcessInfo info;
            info.name = std::move(*name);
            info.pid = pid;
            processes.push_back(std::move(info));
        }
    }
    return processes;
}

} // namespace wirelux::platform
