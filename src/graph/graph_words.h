#pragma once
// Texts every graph pass shares: confidence and status words, latency text and id tokens. Stored
// scores and confidences are rounded by round_two_decimals, the rounding the report's tables use.

#include "util/decimal.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace wirelux {

// "confirmed" (≥ 0.8), "likely" (≥ 0.5) or "possible"; with a suffix, "{word} · {suffix}".
std::string confidence_word(double confidence, std::string_view suffix = {});

// "OK" (≥ 0.8), "WARN" (≥ 0.5) or empty.
std::string status_from_confidence(double confidence);

// "{ms} ms" for a measured, non-negative time, otherwise "T/O".
std::string latency_text(bool measured, std::int64_t milliseconds);

// A value made safe for use inside a graph id: ASCII letters, digits and "-" stay, every other byte
// becomes "_", runs of "_" collapse and "_" at either end is dropped (192.168.1.1 -> 192_168_1_1).
std::string id_token(std::string_view value);

} // namespace wirelux
