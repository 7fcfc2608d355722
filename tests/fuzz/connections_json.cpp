// The /connections reply of a proxy core's controller (any local listener may answer in its place).
#include "common/harness.h"
#include "mihomo/connections.h"
#include "util/utf.h"

#include <nlohmann/json.hpp>

namespace wirelux::fuzz {

void fuzz_one_input(std::string_view input) {
    const std::vector<RuntimeConnection> connections = parse_connections(input);
    check(connections.size() <= kMaxRuntimeConnections, "the record count is bounded");
    for (const RuntimeConnection& connection : connections) {
        // Each record keeps its element as JSON text that reads back as an object.
        const auto element = nlohmann::json::parse(connection.json, nullptr, false);
        check(!element.is_discarded() && element.is_object(), "the kept element is an object");
        check(is_valid_utf8(connection.process_name) && is_valid_utf8(connection.process_path) &&
                  is_valid_utf8(connection.rule_text),
              "texts are UTF-8");
    }
}

} // namespace wirelux::fuzz
