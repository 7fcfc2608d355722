#include "graph/runtime_attribution.h"

#include "util/text.h"

#include <nlohmann/json.hpp>

#include <algorithm>

namespace wirelux {
namespace {

void keep_lowest(std::map<std::string, std::uint32_t, std::less<>>& index, std::string key,
                 std::uint32_t pid) {
    if (key.empty()) return;
    const auto [it, inserted] = index.emplace(std::move(key), pid);
    if (!inserted) it->second = std::min(it->second, pid);
}

std::optional<std::uint32_t> lookup(const std::map<std::string, std::uint32_t, std::less<>>& index,
                                    std::string_view key) {
    if (key.empty()) return std::nullopt;
    const auto found = index.find(key);
    if (found == index.end()) return std::nullopt;
    return found->second;
}

std::string string_member(const nlohmann::json& object, const char* name) {
    const auto it = object.find(name);
    return it != object.end() && it->is_string() ? it->get<std::string>() : std::string();
}

} // namespace

std::string_view path_basename(std::string_view path) {
    const std::size_t slash = path.find_last_of("\\/");
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

ProcessMatcher::ProcessMatcher(const std::unordered_map<std::uint32_t, ProcessInfo>& processes) {
    for (const auto& [pid, process] : processes) {
        keep_lowest(by_path_, process.path, pid);
        keep_lowest(by_basename_, to_lower_ascii(path_basename(process.path)), pid);
        keep_lowest(by_name_, to_lower_ascii(process.name), pid);
    }
}

std::optional<ProcessAttribution> ProcessMatcher::attribute(std::string_view process_path,
                                                            std::string_view process_name) const {
    if (const auto pid = lookup(by_path_, process_path))
        return ProcessAttribution{*pid, kConfidenceExactPath, kAttributionExactPath};
    if (const auto pid = lookup(by_basename_, to_lower_ascii(path_basename(process_path))))
        return ProcessAttribution{*pid, kConfidenceBasename, kAttributionBasename};
    const std::string name = to_lower_ascii(process_name);
    std::optional<std::uint32_t> pid = lookup(by_name_, name);
    // The core may add ".exe" to a name the process list carries without it.
    constexpr std::string_view exe = ".exe";
    if (name.size() > exe.size() && name.ends_with(exe)) {
        const auto stem = lookup(by_name_, std::string_view(name).substr(0, name.size() - exe.size()));
        if (stem && (!pid || *stem < *pid)) pid = stem;
    }
    if (pid) return ProcessAttribution{*pid, kConfidenceName, kAttributionName};
    return std::nullopt;
}

RuleAndChain rule_and_chain(const RuntimeConnection& connection) {
    const nlohmann::json object = nlohmann::json::parse(connection.json, nullptr, false);
    if (object.is_discarded() || !object.is_object()) {
        constexpr std::string_view arrow = " -> ";
        const std::size_t at = connection.rule_text.find(arrow);
        if (at == std::string::npos) return RuleAndChain{connection.rule_text, {}};
        return RuleAndChain{connection.rule_text.substr(0, at),
                            connection.rule_text.substr(at + arrow.size())};
    }
    RuleAndChain result;
    result.rule = string_member(object, "rule");
    const std::string payload = string_member(object, "rulePayload");
    if (!result.rule.empty() && !payload.empty()) result.rule += ":" + payload;
    if (const auto chains = object.find("chains"); chains != object.end() && chains->is_array()) {
        std::vector<std::string> names;
        for (const nlohmann::json& name : *chains)
            if (name.is_string()) names.push_back(name.get<std::string>());
        result.chain = join(names, " / ");
    }
    return result;
}

std::vector<AttributedConnection> attribute_connections(const FactSnapshot& snapshot) {
    std::vector<AttributedConnection> attributed;
    bool any = false;
    for (const CoreInfo& core : snapshot.core_infos)
        any = any || !core.connections.empty();
    if (!any) return attributed;
    const ProcessMatcher matcher(snapshot.processes);
    for (std::size_t c = 0; c < snapshot.core_infos.size(); ++c) {
        const std::vector<RuntimeConnection>& connections = snapshot.core_infos[c].connections;
        for (std::size_t i = 0; i < connections.size(); ++i) {
            const auto match = matcher.attribute(connections[i].process_path, connections[i].process_name);
            if (!match) continue;
            RuleAndChain rc = rule_and_chain(connections[i]);
            attributed.push_back(AttributedConnection{c, i, match->pid, match->confidence, match->text,
                                                      std::move(rc.rule), std::move(rc.chain)});
        }
    }
    return attributed;
}

} // namespace wirelux
