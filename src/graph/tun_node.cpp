#include "graph/tun_node.h"

#include "facts/interface_assessment.h"
#include "graph/carrier_chain.h"
#include "graph/graph_words.h"
#include "util/text.h"

#include <optional>
#include <string>
#include <vector>

namespace wirelux {
namespace {

// The proxy cores whose configuration enables a TUN on this adapter: the one it names by device, or
// any TUN when it names none.
std::optional<NodeItem> stack_row(const FactSnapshot& snapshot, std::uint32_t if_index) {
    std::vector<std::string> cores;
    for (const CoreInfo& core : snapshot.core_infos) {
        if (!core_runs_tun(snapshot, core, if_index)) continue;
        const auto process = snapshot.processes.find(core.pid);
        const std::string pid = "PID " + std::to_string(core.pid);
        const std::string stack = core.tun_stack.empty() ? "" : "stack " + core.tun_stack;
        if (process != snapshot.processes.end())
            cores.push_back(process->second.name + " (" + pid + (stack.empty() ? "" : ", " + stack) + ")");
        else
            cores.push_back(pid + (stack.empty() ? "" : " (" + stack + ")"));
    }
    if (cores.empty()) return std::nullopt;
    const bool several = cores.size() > 1;
    return make_row("stack", "stack", join(cores, ", "), several ? kStatusWarn : "",
                    several ? "multiple core candidates" : "proxy core with a TUN stack", kRoleProp);
}

} // namespace

bool core_runs_tun(const FactSnapshot& snapshot, const CoreInfo& core, std::uint32_t if_index) {
    if (!core.tun_enabled) return false;
    if (core.tun_device.empty()) return true;
    const AdapterInfo* adapter = find_adapter(snapshot, if_index);
    return adapter != nullptr && to_lower_ascii(adapter->friendly_name) == to_lower_ascii(core.tun_device);
}

TunReason tun_reason(const FactSnapshot& snapshot, std::uint32_t if_index, std::string reason) {
    const InterfaceAssessment* view = interface_view(snapshot, if_index);
    if (view == nullptr)
        return TunReason{std::move(reason), 0.7, "Find-NetRoute default egress + adapter assessment"};
    return TunReason{std::move(reason), view->role_confidence, join(view->evidence, " · ")};
}

std::string draw_tun_node(GraphBuilder& builder, std::uint32_t if_index, std::int64_t layer,
                          const TunReason& reason) {
    const FactSnapshot& snapshot = builder.snapshot();
    const std::string id = "tun-" + std::to_string(if_index) + "-l" + std::to_string(layer);
    if (builder.find_node(id) != nullptr) return id;

    const AdapterInfo* adapter = find_adapter(snapshot, if_index);
    const InterfaceAssessment* view = interface_view(snapshot, if_index);
    const std::string status = status_from_confidence(reason.confidence);
    const std::string v4 = adapter != nullptr ? address_list(adapter->ipv4) : std::string();

    std::vector<NodeItem> rows;
    rows.push_back(make_row("ipv4", "IPv4", v4.empty() ? "--" : v4, status,
                            confidence_word(reason.confidence, reason.reason), kRoleAddr));
    if (adapter != nullptr && !adapter->ipv6.empty())
        rows.push_back(make_row("ipv6", "IPv6", address_list(adapter->ipv6), "", "", kRoleProp));
    rows.push_back(make_row("ifindex", "ifIndex", std::to_string(if_index), "",
                            "graph layer " + std::to_string(layer), kRoleProp));
    const std::string role = view != nullptr ? view->role : "tunnel-like";
    rows.push_back(make_row("role", "role", role, role == kRoleSuspectedTunnel ? kStatusWarn : "",
                            "confidence " + two_decimals_text(reason.confidence), kRoleProp));
    if (view != nullptr && !view->service.empty())
        rows.push_back(make_row("service", "service", view->service, "", "driver service", kRoleProp));
    if (!reason.reason_text.empty())
        rows.push_back(make_row("signals", "signals", reason.reason_text, "", "", kRoleProp));
    if (auto stack = stack_row(snapshot, if_index)) rows.push_back(std::move(*stack));

    const std::string kind_text = view != nullptr && view->role == kRoleTunnel
                                      ? "virtual/tunnel adapter"
                                      : "tunnel-like / ambiguous route adapter";
    const bool selected = snapshot.best_route_v4 && snapshot.egress_if_index_v4 == if_index;
    builder.add_node(id, "Tunnel ifIndex " + std::to_string(if_index),
                     kind_text + " · layer " + std::to_string(layer), kNodeTun, status, selected,
                     std::move(rows));
    builder.set_if_index(id, if_index);
    builder.set_layer(id, layer);
    builder.carrier_state().tun_nodes.push_back(id);
    return id;
}

} // namespace wirelux
