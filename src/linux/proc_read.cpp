#include "linux/proc_read.h"

#include "linux/unique_fd.h"
#include "platform/proc_net.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace wirelux::platform {

std::optional<std::string> read_proc_file(const std::string& path, std::size_t limit) {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid()) return std::nullopt;
    std::string bytes;
    std::size_t used = 0;
    while (used < limit) {
        if (bytes.size() - used < 16 * 1024) bytes.resize(std::min(limit, bytes.size() + 64 * 1024));
        const ssize_t n = ::read(fd.get(), bytes.data() + used, bytes.size() - used);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return std::nullopt;
        if (n == 0) break;
        used += static_cast<std::size_t>(n);
    }
    bytes.resize(used);
    return bytes;
}

std::optional<std::string> read_proc_link(int directory_fd, const char* name) {
    std::string buffer(256, '\0');
    for (int attempt = 0; attempt < 6; ++attempt) {
        const ssize_t n = ::readlinkat(directory_fd, name, buffer.data(), buffer.size());
        if (n < 0) return std::nullopt;
        if (static_cast<std::size_t>(n) < buffer.size()) {
            buffer.resize(static_cast<std::size_t>(n));
            return buffer;
        }
        buffer.resize(buffer.size() * 4); // possibly cut: read again with room to spare
    }
    return std::nullopt;
}

std::vector<std::uint32_t> list_process_ids() {
    std::vector<std::uint32_t> pids;
    DirStream proc(::opendir("/proc"));
    if (!proc.valid()) return pids;
    while (const dirent* entry = ::readdir(proc.get())) {
        if (const auto pid = pid_from_proc_entry(entry->d_name)) pids.push_back(*pid);
    }
    std::sort(pids.begin(), pids.end());
    return pids;
}

} // namespace wirelux::platform
