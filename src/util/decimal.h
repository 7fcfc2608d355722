#pragma once

#include <string>

namespace wirelux {

// The value rounded to two decimals, halves away from zero, where a half means the decimal half the
// arithmetic meant: 1.005 and 0.915 round up although their nearest doubles lie a hair below the half.
double round_two_decimals(double value);

// The value rounded as above and written with two decimals ("0.85", "1.00"), never "-0.00".
std::string two_decimals_text(double value);

} // namespace wirelux
