#pragma once

namespace wirelux {

// The value rounded to two decimals, halves away from zero, where a half means the decimal half the
// arithmetic meant: 1.005 and 0.915 round up although their nearest doubles lie a hair below the half.
double round_two_decimals(double value);

} // namespace wirelux
