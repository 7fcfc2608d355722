#pragma once
// ICMP echo fan-out shared by the internet and gateway reachability checks. The echo itself is passed
// in, so the logic runs on recorded or fake answers as well as on the platform's.

#include "model/probe_results.h"
#include "parallel/parallel_map.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace wirelux {

using EchoFn = std::function<EchoResult(const std::string& target)>;

// Echoes every target as one parallel task map run under the label; the results are in target
// order. An echo that throws, or no echo function at all, counts as unanswered: one bad target must
// not cost the others their answers.
std::vector<EchoResult> echo_all(const std::vector<std::string>& targets, const EchoFn& echo,
                                 std::string_view label, const MapOptions& options = {});

} // namespace wirelux
