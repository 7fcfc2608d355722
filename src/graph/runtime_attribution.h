#pragma once
// Ties the connections a proxy core reports through its runtime API to the local processes that
// opened them. The core names a process only by image path and name, never by process id, so the
// tie is as strong as the name evidence: an exact path, then the file name, then the process name.

#include "graph/layer_state.h"
#include "model/snapshot.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace wirelux {

inline constexpr const char* kAttributionExactPath = "runtime API exact process path";
inline constexpr const char* kAttributionBasename = "runtime API executable basename";
inline constexpr const char* kAttributionName = "runtime API process name";
inline constexpr double kConfidenceExactPath = 0.99;
inline constexpr double kConfidenceBasename = 0.92;
inline constexpr double kConfidenceName = 0.86;

struct ProcessAttribution {
    std::uint32_t pid = 0;
    double confidence = 0.0;
    const char* text = "";
};

// The file name after the last "\" or "/".
std::string_view path_basename(std::string_view path);

// Looks processes up by image path, file name and name. File and process names compare without
// regard to ASCII case, as Windows treats them; the full path must match byte for byte.
class ProcessMatcher {
public:
    explicit ProcessMatcher(const std::unordered_map<std::uint32_t, ProcessInfo>& processes);

    // The strongest rule the connection meets with any process. Several processes of one image meet
    // it alike (a browser's many processes); the core cannot tell them apart, so the connection goes
    // to the lowest pid among them rather than being claimed for every one. Empty names match nothing.
    std::optional<ProcessAttribution> attribute(std::string_view process_path,
                                                std::string_view process_name) const;

private:
    // Keyed texts map to the lowest pid that carries them.
    std::map<std::string, std::uint32_t, std::less<>> by_path_;
    std::map<std::string, std::uint32_t, std::less<>> by_basename_;
    std::map<std::string, std::uint32_t, std::less<>> by_name_;
};

struct RuleAndChain {
    std::string rule;  // "{rule}" or "{rule}:{payload}"
    std::string chain; // the chain's proxies joined with " / "
};

// Rule and chain of a runtime connection, read from its JSON object; without a readable object, the
// rule text split at its " -> ".
RuleAndChain rule_and_chain(const RuntimeConnection& connection);

// Every connection of every core that some process can be tied to, in core and connection order.
std::vector<AttributedConnection> attribute_connections(const FactSnapshot& snapshot);

} // namespace wirelux
