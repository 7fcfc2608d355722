#include "platform/clock.h"
#include "platform/process_env.h"

#include "util/utf.h"

#include <climits>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace wirelux::platform {

namespace {
std::vector<std::string>& main_arguments() {
    static std::vector<std::string> arguments;
    return arguments;
}
} // namespace

void record_main_arguments(int argc, char** argv) {
    auto& arguments = main_arguments();
    arguments.clear();
    for (int i = 0; i < argc; ++i) arguments.emplace_back(sanitize_utf8(argv[i] ? argv[i] : ""));
}

std::vector<std::string> command_line_tokens() {
    if (!main_arguments().empty()) return main_arguments();
    // Not started through main (a test binary, say): the kernel's copy of the arguments.
    std::ifstream in("/proc/self/cmdline", std::ios::binary);
    std::vector<std::string> tokens;
    std::string token;
    while (std::getline(in, token, '\0')) tokens.push_back(sanitize_utf8(token));
    return tokens;
}

std::optional<std::string> environment_variable(std::string_view name) {
    const char* value = std::getenv(std::string(name).c_str());
    if (value == nullptr) return std::nullopt;
    std::string text(value);
    if (!is_valid_utf8(text)) return std::nullopt;
    return text;
}

unsigned logical_processor_count() {
    const long n = ::sysconf(_SC_NPROCESSORS_ONLN);
    return n > 0 ? static_cast<unsigned>(n) : 0U;
}

std::optional<std::string> host_name() {
    char buffer[HOST_NAME_MAX + 1] = {};
    if (::gethostname(buffer, sizeof buffer - 1) != 0 || buffer[0] == '\0') return std::nullopt;
    return sanitize_utf8(buffer);
}

unsigned ui_language() { return 0; }

std::optional<std::string> os_release_text() {
    for (const char* path : {"/etc/os-release", "/usr/lib/os-release"}) {
        std::ifstream in(path, std::ios::binary);
        if (!in) continue;
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }
    return std::nullopt;
}

LocalTime local_time() {
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    LocalTime t;
    if (::localtime_r(&now, &parts) == nullptr) return t;
    t.year = parts.tm_year + 1900;
    t.month = parts.tm_mon + 1;
    t.day = parts.tm_mday;
    t.hour = parts.tm_hour;
    t.minute = parts.tm_min;
    t.second = parts.tm_sec > 59 ? 59 : parts.tm_sec;
    return t;
}

} // namespace wirelux::platform
