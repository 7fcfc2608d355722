#ifdef __linux__
#include "platform/command_runner.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace wirelux::platform {
namespace {

// Puts a stand-in "netsh" script first on PATH for the duration of a test.
class FakeNetsh : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() / ("wirelux-netsh-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir_);
        const char* path = std::getenv("PATH");
        old_path_ = path ? path : "";
        ::setenv("PATH", (dir_.string() + ":" + old_path_).c_str(), 1);
    }
    void TearDown() override {
        ::setenv("PATH", old_path_.c_str(), 1);
        std::filesystem::remove_all(dir_);
    }
    void script(const std::string& body) {
        const auto file = dir_ / "netsh";
        std::ofstream(file) << "#!/bin/sh\n" << body << "\n";
        std::filesystem::permissions(file, std::filesystem::perms::owner_all);
    }
    std::filesystem::path dir_;
    std::string old_path_;
};

TEST_F(FakeNetsh, PassesExactlyTheThreeArguments) {
    script(R"(printf '%s|' "$@"; printf '%s' "$#")");
    EXPECT_EQ(run_netsh("winhttp", "show", "proxy"), "winhttp|show|proxy|3");
    EXPECT_EQ(run_netsh("a b", "", "c"), "a b||c|3");
}

TEST_F(FakeNetsh, DrainsBothPipesTogether) {
    // Far more than a pipe buffer on standard error before anything on standard output: a reader that
    // waited on standard output alone would deadlock here.
    script("head -c 3000000 /dev/zero | tr '\\0' e >&2; head -c 2000000 /dev/zero | tr '\\0' o");
    const std::string text = run_netsh("wlan", "show", "interfaces");
    EXPECT_EQ(text.size(), 2000000u);
    EXPECT_EQ(text.find_first_not_of('o'), std::string::npos);
}

TEST_F(FakeNetsh, ErrorTextWhenOutputIsOnlyAByteOrderMark) {
    script(
        R"(printf '\357\273\277'; printf 'The following command was not found: wlan show interfaces.\n' >&2; exit 1)");
    EXPECT_EQ(run_netsh("wlan", "show", "interfaces"),
              "The following command was not found: wlan show interfaces.\n");
}

TEST_F(FakeNetsh, Utf16OutputIsDecoded) {
    script(R"(printf '\377\376P\000r\000o\000x\000y\000')");
    EXPECT_EQ(run_netsh("winhttp", "show", "proxy"), "Proxy");
}

TEST_F(FakeNetsh, StandardInputIsTheNullDevice) {
    script("cat; echo done");
    EXPECT_EQ(run_netsh("x", "y", "z"), "done\n");
}

TEST_F(FakeNetsh, AHungChildAndWhatItStartedAreEndedAtTheTimeOut) {
    // The child exits at once but leaves a grandchild holding both pipes: without the process-group
    // kill the reader would wait for the grandchild's end of file.
    script("sleep 30 & echo started; exit 0");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(run_program("netsh", {}, 300, kCommandOutputCap).has_value());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));

    script("exec sleep 30");
    EXPECT_FALSE(run_program("netsh", {}, 300, kCommandOutputCap).has_value());

    // Both streams closed, the child itself still running: the time-out bounds the child, not its pipes.
    script("exec >&- 2>&-; exec sleep 30");
    const auto closed = std::chrono::steady_clock::now();
    EXPECT_FALSE(run_program("netsh", {}, 300, kCommandOutputCap).has_value());
    EXPECT_LT(std::chrono::steady_clock::now() - closed, std::chrono::seconds(5));
}

TEST_F(FakeNetsh, AFloodingChildIsCutOffAtTheCap) {
    script("exec yes flood");
    EXPECT_FALSE(run_program("netsh", {}, 5000, 100000).has_value());
    script("head -c 100000 /dev/zero");
    const auto exact = run_program("netsh", {}, 5000, 100000);
    ASSERT_TRUE(exact.has_value());
    EXPECT_EQ(exact->out.size(), 100000u);
}

TEST(NetshRunner, NoProgramGivesEmptyText) {
    const char* path = std::getenv("PATH");
    const std::string old = path ? path : "";
    ::setenv("PATH", "/nonexistent-wirelux-dir", 1);
    EXPECT_EQ(run_netsh("winhttp", "show", "proxy"), "");
    ::setenv("PATH", old.c_str(), 1);
}

} // namespace
} // namespace wirelux::platform
#endif
