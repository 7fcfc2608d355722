#include "util/decimal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace wirelux {
namespace {

TEST(RoundTwoDecimals, DecimalHalvesRoundAwayFromZero) {
    // Each of these has its nearest double just below the half, so plain rounding of value * 100 would
    // give the lower neighbour.
    EXPECT_DOUBLE_EQ(round_two_decimals(1.005), 1.01);
    EXPECT_DOUBLE_EQ(round_two_decimals(2.675), 2.68);
    EXPECT_DOUBLE_EQ(round_two_decimals(0.995), 1.0);
    EXPECT_DOUBLE_EQ(round_two_decimals(0.74 + 0.02 * 8.75), 0.92);
    EXPECT_DOUBLE_EQ(round_two_decimals(0.5 + 0.035 * 5), 0.68);
    EXPECT_DOUBLE_EQ(round_two_decimals(0.125), 0.13);
    EXPECT_DOUBLE_EQ(round_two_decimals(-0.125), -0.13);
    EXPECT_DOUBLE_EQ(round_two_decimals(-1.005), -1.01);
}

TEST(RoundTwoDecimals, EverythingElseGoesToTheNearestHundredth) {
    EXPECT_DOUBLE_EQ(round_two_decimals(0.6925), 0.69);
    EXPECT_DOUBLE_EQ(round_two_decimals(0.994), 0.99);
    EXPECT_DOUBLE_EQ(round_two_decimals(0.0049), 0.0);
    EXPECT_DOUBLE_EQ(round_two_decimals(0.80625), 0.81);
    EXPECT_DOUBLE_EQ(round_two_decimals(25.5), 25.5);
    EXPECT_DOUBLE_EQ(round_two_decimals(0.0), 0.0);
    EXPECT_DOUBLE_EQ(round_two_decimals(-0.004), 0.0);
    EXPECT_TRUE(std::isnan(round_two_decimals(std::numeric_limits<double>::quiet_NaN())));
    EXPECT_TRUE(std::isinf(round_two_decimals(std::numeric_limits<double>::infinity())));
}

TEST(RoundTwoDecimals, TextIsTheRoundedValueWithTwoDecimals) {
    // The graph's confidences and the report's tables share this text, so a decimal half is never
    // shown one way in the graph and another way in a table.
    EXPECT_EQ(two_decimals_text(1.005), "1.01");
    EXPECT_EQ(two_decimals_text(0.74 + 0.02 * 8.75), "0.92");
    EXPECT_EQ(two_decimals_text(0.454), "0.45");
    EXPECT_EQ(two_decimals_text(1.0), "1.00");
    EXPECT_EQ(two_decimals_text(-0.001), "0.00");
}

} // namespace
} // namespace wirelux
