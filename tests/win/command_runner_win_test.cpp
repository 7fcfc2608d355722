#ifdef _WIN32
#include "platform/command_runner.h"
#include "util/text.h"

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

TEST(CommandOutputDecoding, ConsoleCodePagesAreConverted) {
    EXPECT_EQ(decode_code_page("\xD6\xD0\xCE\xC4", 936), "中文");
    EXPECT_EQ(decode_code_page("\xC9\xCD\xBB Proxy", 437), "╔═╗ Proxy");
    // netsh on a Chinese system: GBK text in a pipe, which is no valid UTF-8.
    const LegacyDecoder gbk = [](std::string_view bytes) { return decode_code_page(bytes, 936); };
    const std::string gbk_bytes = "\xB4\xFA\xC0\xED\xB7\xFE\xCE\xF1\xC6\xF7 (\xD6\xB1\xBD\xD3\xB7\xC3\xCE\xCA)";
    EXPECT_EQ(decode_command_output(gbk_bytes, gbk), "代理服务器 (直接访问)");
    EXPECT_EQ(decode_command_output("Direct access \xE2\x9C\x93", gbk), "Direct access ✓");
}

TEST(CommandRunner, AMissingProgramGivesNothing) {
    EXPECT_FALSE(run_program("wirelux-no-such-program", {}, 1000, kCommandOutputCap).has_value());
}

} // namespace
} // namespace wirelux::platform
#endif
