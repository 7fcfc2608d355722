#pragma once
// Timing marks: with WIRELUX_TIMING set, each mark prints how long its step took and the run so far.

#include <cstdint>
#include <string>
#include <string_view>

namespace wirelux {

void timing_mark(std::string_view label);

// "  [timing] " + label/26 + " " + step/7 (right) + " ms   (total " + total/7 (right) + " ms)\n"
std::string timing_line(std::string_view label, std::int64_t step_ms, std::int64_t total_ms);

} // namespace wirelux
