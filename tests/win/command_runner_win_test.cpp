#ifdef _WIN32
#include "platform/command_runner.h"

#include <gtest/gtest.h>

#include <chrono>

namespace wirelux::platform {
namespace {

TEST(CommandRunner, CapturesBothStreamsOfAChild) {
    const auto output = run_program("cmd", {"/c", "echo out& echo err>&2"}, 10000, kCommandOutputCap);
    ASSERT_TRUE(output.has_value());
    EXPECT_EQ(output->out, "out\r\n");
    EXPECT_EQ(output->err, "err\r\n");
}

TEST(CommandRunner, AChildThatDoesNotFinishIsEndedAtTheTimeOut) {
    // ping waits about a second between its echoes, so this child would run for half a minute.
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(run_program("cmd", {"/c", "ping -n 30 127.0.0.1"}, 700, kCommandOutputCap).has_value());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

TEST(CommandRunner, OutputBeyondTheCapIsRefused) {
    EXPECT_FALSE(
        run_program("cmd", {"/c", "for /l %i in (1,1,400) do @echo 0123456789012345678901234567890123456789"},
                    10000, 4000)
            .has_value());
}

TEST(CommandRunner, AMissingProgramGivesNothing) {
    EXPECT_FALSE(run_program("wirelux-no-such-program", {}, 1000, kCommandOutputCap).has_value());
}

} // namespace
} // namespace wirelux::platform
#endif
