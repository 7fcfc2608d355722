#include "platform/files.h"

#include "linux/unique_fd.h"
#include "linux/spawn.h"
#include "util/utf.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace wirelux::platform {

std::optional<std::string> current_directory() {
    std::unique_ptr<char, decltype(&std::free)> cwd(::getcwd(nullptr, 0), &std::free);
    if (!cwd) return std::nullopt;
    return sanitize_utf8(cwd.get());
}

std::string join_path(std::string_view directory, std::string_view file_name) {
    std::string path(directory);
    if (!path.empty() && path.back() != '/') path.push_back('/');
    path += file_name;
    return path;
}

std::optional<std::string> write_whole_file(std::string_view path, std::string_view bytes) {
    UniqueFd fd(::open(std::string(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (!fd.valid()) return std::string(std::strerror(errno));
    if (!write_all(fd.get(), bytes.data(), bytes.size())) return std::string(std::strerror(errno));
    if (::close(fd.release()) != 0) return std::string(std::strerror(errno));
    return std::nullopt;
}

void open_in_current_directory(std::string_view file_name) {
    // The directory's own bytes, not its text: a name that is not valid UTF-8 must still be found.
    std::unique_ptr<char, decltype(&std::free)> cwd(::getcwd(nullptr, 0), &std::free);
    const std::string path = cwd ? join_path(cwd.get(), file_name) : std::string(file_name);
    if (const auto opener = find_in_path("xdg-open")) spawn_detached(*opener, {path});
}

} // namespace wirelux::platform
