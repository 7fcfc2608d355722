#include "mihomo/connections.h"

#include "util/text.h"

#include <nlohmann/json.hpp>

namespace wirelux {
namespace {

using nlohmann::json;

// The first member of the object that is a non-empty string.
std::string first_text(const json& object, std::initializer_list<const char*> names) {
    if (!object.is_object()) return {};
    for (const char* name : names) {
        const auto it = object.find(name);
        if (it != object.end() && it->is_string() && !it->get_ref<const std::string&>().empty())
            return it->get<std::string>();
    }
    return {};
}

std::string rule_text(const json& connection) {
    std::string base = first_text(connection, {"rule"});
    const std::string payload = first_text(connection, {"rulePayload"});
    if (!base.empty() && !payload.empty()) base += ":" + payload;
    std::vector<std::string> chains;
    if (const auto it = connection.find("chains"); it != connection.end() && it->is_array()) {
        for (const json& hop : *it)
            if (hop.is_string()) chains.push_back(hop.get<std::string>());
    }
    if (chains.empty()) return base;
    const std::string chain = join(chains, " / ");
    return base.empty() ? chain : base + " -> " + chain;
}

RuntimeConnection connection_record(const json& connection) {
    RuntimeConnection record;
    // The reply is UTF-8 already (invalid bytes were replaced on receipt); replace keeps dump total.
    record.json = connection.dump(-1, ' ', false, json::error_handler_t::replace);
    const auto metadata = connection.find("metadata");
    if (metadata != connection.end()) {
        record.process_name = first_text(*metadata, {"processName", "process"});
        record.process_path = first_text(*metadata, {"processPath", "processPathName"});
    }
    record.rule_text = rule_text(connection);
    return record;
}

} // namespace

std::size_t json_nesting_depth(std::string_view text) {
    std::size_t depth = 0;
    std::size_t deepest = 0;
    bool in_string = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (in_string) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                in_string = false;
        } else if (c == '"') {
            in_string = true;
        } else if (c == '[' || c == '{') {
            deepest = std::max(deepest, ++depth);
        } else if ((c == ']' || c == '}') && depth > 0) {
            --depth;
        }
    }
    return deepest;
}

std::vector<RuntimeConnection> parse_connections(std::string_view body) try {
    if (json_nesting_depth(body) > kMaxConnectionsDepth) return {};
    const json reply = json::parse(body, nullptr, false);
    if (reply.is_discarded() || !reply.is_object()) return {};
    const auto list = reply.find("connections");
    if (list == reply.end() || !list->is_array()) return {};
    std::vector<RuntimeConnection> records;
    for (const json& element : *list) {
        if (records.size() == kMaxRuntimeConnections) break;
        if (element.is_object()) records.push_back(connection_record(element));
    }
    return records;
} catch (const std::exception&) {
    return {}; // out of memory on a huge reply: no capture rather than no run
}

} // namespace wirelux
