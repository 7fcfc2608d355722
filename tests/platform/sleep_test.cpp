#include "platform/sleep.h"

#include <gtest/gtest.h>

#include <chrono>

namespace wirelux::platform {
namespace {

// Only the lower bound: the spacing of the socket reads must not shrink (a unit slip in the timer's
// 100 ns due time would make it 1000 times shorter). How much later it wakes is the system's business.
TEST(SleepPrecisely, SleepsAtLeastTheDuration) {
    const auto start = std::chrono::steady_clock::now();
    sleep_precisely(std::chrono::milliseconds(60));
    EXPECT_GE(std::chrono::steady_clock::now() - start,
              std::chrono::milliseconds(54)); // a timer tick of slack
    const auto again = std::chrono::steady_clock::now();
    sleep_precisely(std::chrono::milliseconds(0));
    sleep_precisely(std::chrono::milliseconds(-5));
    EXPECT_LT(std::chrono::steady_clock::now() - again, std::chrono::seconds(1));
}

} // namespace
} // namespace wirelux::platform
