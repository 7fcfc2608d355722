#include "graph/graph_pass.h"

namespace wirelux {

EchoResult cached_ping(std::map<std::string, EchoResult>& cache, const EchoFn& echo,
                       const std::string& target) {
    if (const auto found = cache.find(target); found != cache.end()) return found->second;
    EchoResult result;
    if (echo) {
        try {
            result = echo(target);
        } catch (...) {
            result = {};
        }
    }
    if (!result.ok) result.rtt_ms = -1;
    cache.emplace(target, result);
    return result;
}

} // namespace wirelux
