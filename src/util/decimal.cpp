#include "util/decimal.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace wirelux {

double round_two_decimals(double value) {
    // Scores and confidences are short decimals (quarter points times factors like 0.035), so a true
    // half never sits within 1e-9 of another rounding boundary; the nudge only undoes binary error.
    const double scaled = value * 100.0;
    return std::round(scaled + std::copysign(1e-9, scaled)) / 100.0;
}

std::string two_decimals_text(double value) {
    double rounded = round_two_decimals(value);
    if (rounded == 0.0) rounded = 0.0; // no "-0.00"
    char buffer[64];
    // to_chars writes the same digits as "%.2f" at a fraction of the cost, which counts on a host
    // with thousands of listeners; anything it cannot fit goes the slow way.
    if (std::isfinite(rounded)) {
        const auto [end, error] =
            std::to_chars(buffer, buffer + sizeof buffer, rounded, std::chars_format::fixed, 2);
        if (error == std::errc{}) return std::string(buffer, end);
    }
    std::snprintf(buffer, sizeof buffer, "%.2f", rounded);
    return buffer;
}

} // namespace wirelux
