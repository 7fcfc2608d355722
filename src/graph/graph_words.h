#pragma once
// Texts every graph pass shares: confidence and status words, latency text, id tokens, and the
// two-decimal rounding of stored scores and confidences.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace wirelux {

// round(value × 100) / 100 with halves away from zero; non-finite values pass through.
double round_hundredths(double value);

// A score or confidence as shown in texts: rounded to two decimals and written with both ("0.85", "1.00").
std::string two_decimals_text(double value);

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
