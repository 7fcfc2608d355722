#include "facts/core_infos.h"

#include "probe/http_get.h"

#include "util/text.h"

#include <algorithm>
#include <set>

namespace wirelux {
namespace {

std::string_view file_name(std::string_view path) {
    const std::size_t slash = path.find_last_of("\\/");
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// A name in lower case, and without its ".exe" too: the process list and the core may differ there.
void add_name(std::set<std::string, std::less<>>& names, std::string_view name) {
    if (name.empty()) return;
    std::string lower = to_lower_ascii(name);
    if (lower.size() > 4 && lower.ends_with(".exe")) names.insert(lower.substr(0, lower.size() - 4));
    names.insert(std::move(lower));
}

} // namespace

void fill_runtime_process_paths(FactSnapshot& snapshot,
                                const std::function<platform::ProcessIdentity(std::uint32_t pid)>& identity,
                                const std::map<std::uint32_t, std::string>& known) {
    std::set<std::string, std::less<>> names;
    for (const CoreInfo& core : snapshot.core_infos) {
        for (const RuntimeConnection& connection : core.connections) {
            add_name(names, connection.process_name);
            add_name(names, file_name(connection.process_path));
        }
    }
    if (names.empty()) return;
    std::vector<std::uint32_t> named;
    for (const auto& [pid, process] : snapshot.processes)
        if (process.path.empty() && names.contains(to_lower_ascii(process.name))) named.push_back(pid);
    std::sort(named.begin(), named.end());
    std::size_t queries = 0;
    for (const std::uint32_t pid : named) {
        if (const auto found = known.find(pid); found != known.end()) {
            snapshot.processes[pid].path = found->second;
        } else if (identity && queries < kRuntimePathQueries) {
            ++queries;
            snapshot.processes[pid].path = identity(pid).image_path;
        }
    }
}

void collect_core_infos(FactSnapshot& snapshot, const CoreSources& sources) {
    std::set<std::uint32_t> seen;
    std::map<std::uint32_t, std::string> image_paths;
    for (const ProcessInfo& candidate : snapshot.proxy_like_processes) {
        if (!is_proxy_core_name(candidate.name) || !seen.insert(candidate.pid).second) continue;
        CoreProcess process;
        process.pid = candidate.pid;
        const auto listed = snapshot.processes.find(candidate.pid);
        process.name = listed != snapshot.processes.end() ? listed->second.name : candidate.name;
        if (sources.identity) {
            platform::ProcessIdentity identity = sources.identity(candidate.pid);
            process.image_path = std::move(identity.image_path);
            image_paths.emplace(candidate.pid, process.image_path);
            process.command_line = std::move(identity.command_line);
            process.working_directory = std::move(identity.working_directory);
        }
        for (const TcpRow& listener : snapshot.tcp_listeners)
            if (listener.pid == candidate.pid) process.listeners.push_back(listener);
        snapshot.core_infos.push_back(probe_core(process, sources.operations));
        snapshot.core_pids.insert(candidate.pid);
    }
    keep_one_record_per_controller(snapshot.core_infos, snapshot.tcp_listeners);
    for (CoreInfo& core : snapshot.core_infos)
        fetch_connections(core, sources.operations);
    fill_runtime_process_paths(snapshot, sources.identity, image_paths);
}

CoreSources live_core_sources() {
    CoreSources sources;
    sources.identity = platform::query_process;
    sources.operations.read_file = read_core_config_file;
    sources.operations.get = [](const std::string& host, std::uint16_t port, std::string_view path,
                                const HttpHeaders& headers, unsigned timeout_ms) {
        return http_get(host, port, path, headers, timeout_ms);
    };
    return sources;
}

} // namespace wirelux
