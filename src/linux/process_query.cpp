#include "platform/process_query.h"

#include "linux/proc_read.h"

#include <fcntl.h>
#include <string>
#include <sys/stat.h>

namespace wirelux::platform {

namespace {

// Same bound as the command-line buffer of the Windows query.
constexpr std::size_t kMaxCommandLineBytes = 64 * 1024;

std::string proc_path(std::uint32_t pid, const char* entry) {
    return "/proc/" + std::to_string(pid) + "/" + entry;
}

bool names_a_file(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

} // namespace

ProcessIdentity query_process(std::uint32_t pid) {
    ProcessIdentity identity;
    if (const auto link = read_proc_link(AT_FDCWD, proc_path(pid, "exe").c_str()))
        identity.image_path = image_path_from_exe_link(*link, names_a_file(*link));
    if (const auto link = read_proc_link(AT_FDCWD, proc_path(pid, "cwd").c_str()))
        identity.working_directory = image_path_from_exe_link(*link, names_a_file(*link));
    identity.command_line = command_line_from_proc_cmdline(
        read_proc_file(proc_path(pid, "cmdline"), kMaxCommandLineBytes).value_or(std::string()));
    return identity;
}

} // namespace wirelux::platform
