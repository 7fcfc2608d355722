#include "platform/process_query.h"

#include "linux/unique_fd.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace wirelux::platform {

namespace {

// Same bound as the command-line buffer of the Windows query.
constexpr std::size_t kMaxCommandLineBytes = 64 * 1024;

std::string proc_path(std::uint32_t pid, const char* entry) {
    return "/proc/" + std::to_string(pid) + "/" + entry;
}

std::optional<std::string> read_link(const std::string& path) {
    std::string buffer(256, '\0');
    for (int attempt = 0; attempt < 6; ++attempt) {
        const ssize_t n = ::readlink(path.c_str(), buffer.data(), buffer.size());
        if (n < 0) return std::nullopt;
        if (static_cast<std::size_t>(n) < buffer.size()) {
            buffer.resize(static_cast<std::size_t>(n));
            return buffer;
        }
        buffer.resize(buffer.size() * 4); // possibly cut: try again with room to spare
    }
    return std::nullopt;
}

std::string read_bounded(const std::string& path, std::size_t limit) {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid()) return {};
    std::string bytes;
    char chunk[4096];
    while (bytes.size() < limit) {
        const ssize_t n = ::read(fd.get(), chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        bytes.append(chunk, static_cast<std::size_t>(n));
    }
    if (bytes.size() > limit) bytes.resize(limit);
    return bytes;
}

bool names_a_file(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

} // namespace

ProcessIdentity query_process(std::uint32_t pid) {
    ProcessIdentity identity;
    if (const auto link = read_link(proc_path(pid, "exe")))
        identity.image_path = image_path_from_exe_link(*link, names_a_file(*link));
    identity.command_line =
        command_line_from_proc_cmdline(read_bounded(proc_path(pid, "cmdline"), kMaxCommandLineBytes));
    return identity;
}

} // namespace wirelux::platform
