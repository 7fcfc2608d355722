#include "util/decimal.h"

#include <cmath>

namespace wirelux {

double round_two_decimals(double value) {
    // Scores and confidences are short decimals (quarter points times factors like 0.035), so a true
    // half never sits within 1e-9 of another rounding boundary; the nudge only undoes binary error.
    const double scaled = value * 100.0;
    return std::round(scaled + std::copysign(1e-9, scaled)) / 100.0;
}

} // namespace wirelux
