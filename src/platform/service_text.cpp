// The Linux texts behind the service and driver lists; no system calls here.
#include "platform/services.h"

#include <charconv>

namespace wirelux::platform {

namespace {

constexpr std::string_view kLiveModuleState = "Live";
constexpr std::string_view kServiceUnitSuffix = ".service";

std::vector<std::string_view> split_fields(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r'))
            ++i;
        const std::size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r')
            ++i;
        if (i > start) fields.push_back(line.substr(start, i - start));
    }
    return fields;
}

bool all_digits(std::string_view text) {
    if (text.empty()) return false;
    for (const char c : text)
        if (c < '0' || c > '9') return false;
    return true;
}

// Calls f for every line, the last one included when it lacks its line break.
template <class F> void for_each_line(std::string_view text, F&& f) {
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        f(text.substr(start, end - start));
        start = end + 1;
    }
}

} // namespace

std::vector<ServiceInfo> parse_proc_modules(std::string_view text) {
    std::vector<ServiceInfo> modules;
    for_each_line(text, [&](std::string_view line) {
        // name size refcount dependencies state address [taint flags]
        const auto fields = split_fields(line);
        if (fields.size() < 6 || !all_digits(fields[1]) || fields[4] != kLiveModuleState) return;
        ServiceInfo module;
        module.name = std::string(fields[0]);
        modules.push_back(std::move(module));
    });
    return modules;
}

std::optional<std::uint32_t> first_cgroup_pid(std::string_view text) {
    std::optional<std::uint32_t> found;
    bool malformed = false;
    for_each_line(text, [&](std::string_view line) {
        if (found || malformed) return;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty()) return;
        std::uint32_t pid = 0;
        const auto [end, error] = std::from_chars(line.data(), line.data() + line.size(), pid);
        if (error != std::errc() || end != line.data() + line.size()) {
            malformed = true;
            return;
        }
        if (pid != 0) found = pid; // 0 stands for a process outside this pid namespace
    });
    return malformed ? std::nullopt : found;
}

bool is_service_unit_name(std::string_view name) {
    return name.size() > kServiceUnitSuffix.size() && name.ends_with(kServiceUnitSuffix) &&
           name.find('/') == std::string_view::npos;
}

} // namespace wirelux::platform
