#include "platform/process_env.h"
#include "platform/process_id.h"
#include "platform/process_query.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace wirelux::platform {
namespace {

using namespace std::string_literals;

// --- /proc/<pid>/cmdline

TEST(ProcCmdline, JoinsArgumentsAndIgnoresTheTerminatingZeros) {
    EXPECT_EQ(command_line_from_proc_cmdline(""), "");
    EXPECT_EQ(command_line_from_proc_cmdline("\0"s), "");
    EXPECT_EQ(command_line_from_proc_cmdline("/usr/bin/mihomo\0-d\0/etc/mihomo\0"s),
              "/usr/bin/mihomo -d /etc/mihomo");
    // No final zero: a process that rewrote its title as one string.
    EXPECT_EQ(command_line_from_proc_cmdline("sshd: admin@pts/0"s), R"("sshd: admin@pts/0")");
    // A rewritten title padded with zeros does not turn into empty arguments.
    EXPECT_EQ(command_line_from_proc_cmdline("frpc\0\0\0\0\0"s), "frpc");
}

TEST(ProcCmdline, QuotesArgumentsThatHoldWhiteSpaceQuotesOrNothing) {
    EXPECT_EQ(command_line_from_proc_cmdline("/opt/Clash Verge/clash\0-f\0/home/u/my config.yaml\0"s),
              R"("/opt/Clash Verge/clash" -f "/home/u/my config.yaml")");
    EXPECT_EQ(command_line_from_proc_cmdline("sh\0-c\0echo\ta\nb\0"s), "sh -c \"echo\ta\nb\"");
    EXPECT_EQ(command_line_from_proc_cmdline("prog\0\0last\0"s), R"(prog "" last)");
    EXPECT_EQ(command_line_from_proc_cmdline("prog\0say \"hi\"\0C:\\dir\\\0a b\\\0"s),
              R"(prog "say \"hi\"" C:\dir\ "a b\\")");
}

TEST(ProcCmdline, SplitsBackIntoTheSameArguments) {
    const std::vector<std::string> arguments = {"/usr/bin/sing-box",    "run",  "-c",
                                                "/etc/a b/config.json", "",     R"(--tag="x y")",
                                                R"(\\srv\share\)",      "end\\"};
    std::string bytes;
    for (const std::string& argument : arguments)
        bytes += argument + '\0';
    EXPECT_EQ(split_windows_command_line(command_line_from_proc_cmdline(bytes)), arguments);
}

TEST(ProcCmdline, ReplacesInvalidUtf8InEachArgument) {
    EXPECT_EQ(command_line_from_proc_cmdline("prog\0caf\xC3\xA9\0\xFF\xFE\0half\xE4\xB8\0"s),
              "prog caf\xC3\xA9 \xEF\xBF\xBD\xEF\xBF\xBD half\xEF\xBF\xBD");
}

// --- /proc/<pid>/exe

TEST(ExeLink, DropsTheDeletedMarkOnlyWhenNoFileHasTheMarkedName) {
    EXPECT_EQ(image_path_from_exe_link("/usr/bin/mihomo", true), "/usr/bin/mihomo");
    EXPECT_EQ(image_path_from_exe_link("/usr/bin/mihomo (deleted)", false), "/usr/bin/mihomo");
    EXPECT_EQ(image_path_from_exe_link("/srv/odd (deleted)", true), "/srv/odd (deleted)");
    EXPECT_EQ(image_path_from_exe_link("/srv/odd (deleted) (deleted)", false), "/srv/odd (deleted)");
    EXPECT_EQ(image_path_from_exe_link(" (deleted)", false), " (deleted)");
    EXPECT_EQ(image_path_from_exe_link("/opt/\xFF/tool", true), "/opt/\xEF\xBF\xBD/tool");
}

// --- Windows buffers, built by hand in their 64-bit layout

std::string le(std::uint64_t value, std::size_t width) {
    std::string bytes;
    for (std::size_t k = 0; k < width; ++k)
        bytes.push_back(static_cast<char>((value >> (8 * k)) & 0xFF));
    return bytes;
}

std::string utf16le(std::u16string_view text) {
    std::string bytes;
    for (const char16_t unit : text)
        bytes += le(unit, 2);
    return bytes;
}

std::string counted_header(std::uint16_t length, std::uint16_t maximum, std::uint64_t address) {
    return le(length, 2) + le(maximum, 2) + std::string(4, '\0') + le(address, 8);
}

TEST(CommandLineBuffer, ReadsTheCountedStringThatFollowsItsHeader) {
    constexpr std::uint64_t base = 0x0000'01F0'0040'0000;
    const std::string text = utf16le(u"\"C:\\Program Files\\v2rayN\\xray.exe\" run -c config.json");
    const std::string buffer = counted_header(static_cast<std::uint16_t>(text.size()),
                                              static_cast<std::uint16_t>(text.size() + 2), base + 16) +
                               text + std::string(2, '\0') + std::string(64, 'x');
    EXPECT_EQ(counted_string_in_buffer(buffer, base),
              R"("C:\Program Files\v2rayN\xray.exe" run -c config.json)");
}

TEST(CommandLineBuffer, RejectsCharactersOutsideTheBuffer) {
    constexpr std::uint64_t base = 0x7FF0'0000;
    const std::string text = utf16le(u"abc");
    const std::string body = text + std::string(8, '\0');
    const auto buffer_with = [&](std::uint16_t length, std::uint64_t address) {
        return counted_header(length, length, address) + body;
    };
    EXPECT_EQ(counted_string_in_buffer(buffer_with(6, base + 16), base), "abc");
    EXPECT_EQ(counted_string_in_buffer(buffer_with(6, base - 16), base), "");   // before the buffer
    EXPECT_EQ(counted_string_in_buffer(buffer_with(6, base + 4096), base), ""); // after it
    EXPECT_EQ(counted_string_in_buffer(buffer_with(200, base + 16), base), ""); // runs past its end
    EXPECT_EQ(counted_string_in_buffer(buffer_with(0, base + 16), base), "");   // empty string
    EXPECT_EQ(counted_string_in_buffer(buffer_with(6, 0), base), "");           // null pointer
    const std::string cut_header = counted_header(6, 6, base + 16).substr(0, 15);
    EXPECT_EQ(counted_string_in_buffer(cut_header, base), "");
    // An odd byte length leaves half a character, which is dropped.
    EXPECT_EQ(counted_string_in_buffer(buffer_with(5, base + 16), base), "ab");
}

TEST(CommandLineBuffer, ReadsPebFieldsAtTheirOffsets) {
    // A parameter block with the command line header at 0x70, as the fallback reads it.
    std::string parameters(0x70, '\0');
    parameters += counted_header(24, 26, 0x0000'0200'0000'1234);
    const auto line = read_counted_string(parameters, 0x70);
    ASSERT_TRUE(line.has_value());
    EXPECT_EQ(line->length_bytes, 24);
    EXPECT_EQ(line->address, 0x0000'0200'0000'1234U);
    EXPECT_FALSE(read_counted_string(parameters, 0x71).has_value());
    EXPECT_FALSE(read_counted_string(parameters, 0x1000).has_value());

    const std::string peb = std::string(0x20, '\0') + le(0x0000'7FF6'1122'3344, 8);
    EXPECT_EQ(read_pointer(peb, 0x20), 0x0000'7FF6'1122'3344U);
    EXPECT_FALSE(read_pointer(peb, 0x21).has_value());

    EXPECT_EQ(text_from_utf16le(utf16le(u"tun2socks.exe -device wintun") + std::string(4, '\0')),
              "tun2socks.exe -device wintun");
    EXPECT_EQ(text_from_utf16le(utf16le(u"a\xD800z")), "a\xEF\xBF\xBDz"); // unpaired surrogate
}

// --- The live query on this test process

std::string final_component(const std::string& path) {
    const std::size_t cut = path.find_last_of("/\\");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

TEST(ProcessQuery, OwnProcessGivesItsExecutableAndArguments) {
    const ProcessIdentity self = query_process(current_process_id());

#ifdef _WIN32
    ASSERT_GE(self.image_path.size(), 3U);
    EXPECT_EQ(self.image_path.substr(1, 2), ":\\") << self.image_path;
    EXPECT_EQ(final_component(self.image_path), "wirelux_tests.exe");
    EXPECT_EQ(self.working_directory, ""); // not read from another process's memory
#else
    char cwd[4096] = {};
    ASSERT_NE(::getcwd(cwd, sizeof cwd), nullptr);
    EXPECT_EQ(self.working_directory, cwd);
    ASSERT_FALSE(self.image_path.empty());
    EXPECT_EQ(self.image_path.front(), '/') << self.image_path;
    EXPECT_EQ(final_component(self.image_path), "wirelux_tests");
#endif

    // Split back by the same rules, the command line holds the program and every argument it was given.
    const std::vector<std::string> tokens = split_windows_command_line(self.command_line);
    const std::vector<std::string> argv = ::testing::internal::GetArgvs();
    ASSERT_EQ(tokens.size(), argv.size()) << self.command_line;
    EXPECT_EQ(final_component(tokens[0]).find("wirelux_tests"), 0U) << self.command_line;
    for (std::size_t i = 1; i < argv.size(); ++i)
        EXPECT_EQ(tokens[i], argv[i]);
}

TEST(ProcessQuery, ProcessThatDoesNotExistGivesEmptyTexts) {
    const ProcessIdentity none = query_process(0);
    EXPECT_EQ(none.image_path, "");
    EXPECT_EQ(none.command_line, "");
}

} // namespace
} // namespace wirelux::platform
