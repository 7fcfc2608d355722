#include "facts/echo_run.h"

#include "parallel/parallel_map.h"

namespace wirelux {

namespace {

EchoResult echo_or_unanswered(const EchoFn& echo, const std::string& target) {
    if (!echo) return {};
    try {
        EchoResult result = echo(target);
        if (!result.ok) result.rtt_ms = -1;
        return result;
    } catch (...) {
        return {};
    }
}

} // namespace

std::vector<EchoResult> echo_all(const std::vector<std::string>& targets, const EchoFn& echo,
                                 std::string_view label, const MapOptions& options) {
    return parallel_map(
        targets, [&echo](const std::string& target) { return echo_or_unanswered(echo, target); }, label,
        options);
}

} // namespace wirelux
