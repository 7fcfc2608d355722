#include "mihomo/core_capture.h"

#include "mihomo/connections.h"
#include "mihomo/controller.h"
#include "model/address_tests.h"
#include "parallel/parallel_map.h"
#include "platform/file_walk.h"
#include "util/regex.h"

#include <algorithm>

namespace wirelux {

bool is_proxy_core_name(std::string_view lower_name) {
    static const Regex pattern("(mihomo|xray|v2ray|clash|sing-box|singbox|gost|trojan|hysteria)");
    return pattern.search(lower_name);
}

bool is_mihomo_like(std::string_view identity_text) {
    static const Regex pattern("(?i)mihomo|clash|verge-mihomo");
    return pattern.search(identity_text);
}

namespace {

void probe_controllers(CoreInfo& core, const std::vector<TcpRow>& listeners, const CoreOperations& operations) {
    if (!operations.get) return;
    const std::vector<ControllerAddress> candidates = controller_candidates(core.controller, listeners);
    const HttpHeaders headers = controller_headers(core.secret);
    const std::vector<bool> answers = parallel_map(
        candidates,
        [&](const ControllerAddress& address) {
            try {
                return controller_answered(operations.get(address.host, address.port, kVersionPath, headers,
                                                          kControllerProbeTimeoutMs));
            } catch (const std::exception&) {
                return false; // a probe that could not even be made did not answer
            }
        },
        kCoreApiTaskLabel);

    const ControllerAddress* live = nullptr;
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        core.controller_probes.push_back(ControllerProbe{candidates[i].text(), answers[i]});
        if (answers[i] && live == nullptr) live = &candidates[i];
    }
    if (live == nullptr) return;
    core.live_controller = live->text();
    core.answered = true;
}

} // namespace

void capture_runtime(CoreInfo& core, const std::vector<TcpRow>& listeners, const CoreOperations& operations) {
    probe_controllers(core, listeners, operations);
    fetch_connections(core, operations);
}

void fetch_connections(CoreInfo& core, const CoreOperations& operations) {
    if (!core.answered || !operations.get) return;
    const auto live = parse_controller_address(core.live_controller);
    if (!live) return;
    const auto reply = operations.get(live->host, live->port, kConnectionsPath,
                                      controller_headers(core.secret), kConnectionsTimeoutMs);
    if (reply && reply->status == 200) core.connections = parse_connections(reply->body);
}

void keep_one_record_per_controller(std::vector<CoreInfo>& cores, const std::vector<TcpRow>& listeners) {
    for (std::size_t first = 0; first < cores.size(); ++first) {
        if (!cores[first].answered) continue;
        std::vector<CoreInfo*> sharing;
        for (std::size_t i = first; i < cores.size(); ++i)
            if (cores[i].answered && cores[i].live_controller == cores[first].live_controller)
                sharing.push_back(&cores[i]);
        if (sharing.size() < 2) continue;
        CoreInfo* owner = sharing.front();
        if (const auto address = parse_controller_address(cores[first].live_controller)) {
            for (const TcpRow& listener : listeners) {
                if (listener.local_port != address->port ||
                    !(same_address(listener.local_address, address->host) ||
                      is_unspecified_address(listener.local_address)))
                    continue;
                const auto owns = std::find_if(sharing.begin(), sharing.end(),
                                               [&](const CoreInfo* c) { return c->pid == listener.pid; });
                if (owns != sharing.end()) owner = *owns;
                break;
            }
        }
        for (CoreInfo* core : sharing) {
            if (core == owner) continue;
            core->live_controller.clear();
            core->answered = false;
            core->connections.clear();
            // Nor is the TUN its configuration enables its own: the owner runs it.
            core->tun_enabled = false;
        }
    }
}

CoreInfo capture_core(const CoreProcess& process, const CoreOperations& operations) {
    CoreInfo core = probe_core(process, operations);
    fetch_connections(core, operations);
    return core;
}

CoreInfo probe_core(const CoreProcess& process, const CoreOperations& operations) {
    CoreInfo core;
    core.pid = process.pid;
    const std::string identity = process.image_path + " " + process.command_line + " " + process.name;
    if (!is_mihomo_like(identity)) return core;

    CoreConfig config = read_core_config(process.command_line, operations.read_file, process.working_directory);
    core.config_path = std::move(config.config_path);
    core.controller = std::move(config.controller);
    core.secret = std::move(config.secret);
    core.find_process_mode = std::move(config.find_process_mode);
    core.tun_stack = std::move(config.tun_stack);
    core.tun_enabled = config.tun_enabled;
    core.tun_device = std::move(config.tun_device);
    core.outbound_proxies = std::move(config.outbound_proxies);
    probe_controllers(core, process.listeners, operations);
    return core;
}

std::optional<std::string> read_core_config_file(const std::string& path) {
    std::optional<std::string> text = platform::read_file_prefix(path, kCoreConfigReadLimit + 1);
    if (!text) return std::nullopt;
    return bounded_config_text(std::move(*text));
}

} // namespace wirelux
