#include "platform/process_env.h"

#include <gtest/gtest.h>

namespace wirelux::platform {
namespace {

using Tokens = std::vector<std::string>;

TEST(WindowsCommandLine, ProgramNameHasNoEscapes) {
    EXPECT_EQ(split_windows_command_line(R"("C:\Program Files\wirelux.exe" --no-progress)"),
              (Tokens{R"(C:\Program Files\wirelux.exe)", "--no-progress"}));
    EXPECT_EQ(split_windows_command_line(R"(C:\tools\wire\"lux.exe a)"), (Tokens{R"(C:\tools\wire\"lux.exe)", "a"}));
    EXPECT_EQ(split_windows_command_line("--no-progress"), (Tokens{"--no-progress"}));
    EXPECT_EQ(split_windows_command_line(""), (Tokens{""}));
}

TEST(WindowsCommandLine, BlanksSeparateAndTrailingBlanksAddNothing) {
    EXPECT_EQ(split_windows_command_line("w.exe  a\t b  "), (Tokens{"w.exe", "a", "b"}));
    EXPECT_EQ(split_windows_command_line("w.exe   "), (Tokens{"w.exe"}));
    EXPECT_EQ(split_windows_command_line(R"(w.exe "")"), (Tokens{"w.exe", ""}));
}

TEST(WindowsCommandLine, QuotesAndBackslashes) {
    EXPECT_EQ(split_windows_command_line(R"(w.exe "arg with space" quo\"te)"),
              (Tokens{"w.exe", "arg with space", R"(quo"te)"}));
    EXPECT_EQ(split_windows_command_line(R"(w.exe a\\b a\\\\"b c" d)"), (Tokens{"w.exe", R"(a\\b)", R"(a\\b c)", "d"}));
    EXPECT_EQ(split_windows_command_line(R"(w.exe a\\\"b)"), (Tokens{"w.exe", R"(a\"b)"}));
    EXPECT_EQ(split_windows_command_line(R"(w.exe "C:\dir\\" x)"), (Tokens{"w.exe", R"(C:\dir\)", "x"}));
    EXPECT_EQ(split_windows_command_line(R"(w.exe ab"c d"e)"), (Tokens{"w.exe", "abc de"}));
}

TEST(WindowsCommandLine, RunsOfQuotes) {
    // Inside a quoted part, each completed group of three quotes gives one literal quote.
    EXPECT_EQ(split_windows_command_line(R"(w.exe """a b""")"), (Tokens{"w.exe", R"("a)", R"(b")"}));
    EXPECT_EQ(split_windows_command_line(R"(w.exe "a""b")"), (Tokens{"w.exe", R"(a"b)"}));
    EXPECT_EQ(split_windows_command_line(R"(w.exe """")"), (Tokens{"w.exe", R"(")"}));
}

TEST(WindowsCommandLine, NonAsciiPassesThrough) {
    EXPECT_EQ(split_windows_command_line("w.exe 中文 \"é x\""), (Tokens{"w.exe", "中文", "é x"}));
}

TEST(CommandLine, TheRunningProcessHasAtLeastItsName) {
    const Tokens tokens = command_line_tokens();
    ASSERT_FALSE(tokens.empty());
}

} // namespace
} // namespace wirelux::platform
