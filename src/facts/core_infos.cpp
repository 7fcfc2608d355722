#include "facts/core_infos.h"

#include "probe/http_get.h"

#include <set>

namespace wirelux {

void collect_core_infos(FactSnapshot& snapshot, const CoreSources& sources) {
    std::set<std::uint32_t> seen;
    for (const ProcessInfo& candidate : snapshot.proxy_like_processes) {
        if (!is_proxy_core_name(candidate.name) || !seen.insert(candidate.pid).second) continue;
        CoreProcess process;
        process.pid = candidate.pid;
        const auto listed = snapshot.processes.find(candidate.pid);
        process.name = listed != snapshot.processes.end() ? listed->second.name : candidate.name;
        if (sources.identity) {
            platform::ProcessIdentity identity = sources.identity(candidate.pid);
            process.image_path = std::move(identity.image_path);
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
